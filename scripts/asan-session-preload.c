// Preloaded into the sanitized program by asan-session.sh, after the sanitizer's runtime.
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

// Libraries stay loaded until the process ends. Qt unloads the GL driver as the application goes:
// the driver's memory, still held by the driver's own globals, would then read as leaks that no
// library can be named for.
int dlclose(void *handle) {
    (void)handle;
    return 0;
}

// The leak check ends the process with a status of its own when it finds anything, hiding the one
// the program exited with. The sanitizer's check at exit is off; this handler writes the program's
// status down and then runs the check. Registered before the libraries' own exit handlers, it runs
// after them, where the sanitizer's would.
static void recordStatusAndCheckLeaks(int status, void *path) {
    void (*checkLeaks)(void) = (void (*)(void))dlsym(RTLD_DEFAULT, "__lsan_do_leak_check");
    FILE *file = fopen((const char *)path, "w");
    if (file) {
        // Without the check, no status: the session must not pass unchecked.
        if (checkLeaks)
            fprintf(file, "%d\n", status);
        else
            fputs("no leak check\n", file);
        fclose(file);
    }
    if (checkLeaks)
        checkLeaks();
}

__attribute__((constructor)) static void setUp(void) {
    const char *path = getenv("HALCYON_EXIT_STATUS_FILE");
    if (path)
        on_exit(recordStatusAndCheckLeaks, (void *)path);
    // The web engine's helper processes and GStreamer's plugin scanner are not sanitized: they must
    // not inherit the preload.
    unsetenv("LD_PRELOAD");
}
