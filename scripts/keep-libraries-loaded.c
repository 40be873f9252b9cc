// Preloaded into the program by asan-session.sh: libraries stay loaded until the process ends, so
// that the leak check at exit can still name the library behind each leak (Qt unloads the GL
// driver as the application goes, and a leak of the driver's would have no name left).
#include <stdlib.h>

int dlclose(void *handle) {
    (void)handle;
    return 0;
}

// The web engine's helper processes and GStreamer's plugin scanner are not sanitized: they must
// not inherit the preload.
__attribute__((constructor)) static void forgetPreload(void) {
    unsetenv("LD_PRELOAD");
}
