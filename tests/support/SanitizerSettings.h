#pragma once

// Sanitized test programs, and every helper process they start, read their sanitizer settings from
// the environment at start-up: when those are not set yet, the program sets them and starts itself
// again. Only in sanitized builds; included by the test programs' main files only.

#include <cstdlib>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

inline void applySanitizerSettings([[maybe_unused]] char **argv) {
#if defined(__SANITIZE_ADDRESS__)
    if (std::getenv("LSAN_OPTIONS"))
        return;
    setenv("LSAN_OPTIONS", "suppressions=" HALCYON_SOURCE_DIR "/tests/support/lsan.supp:print_suppressions=0",
           1);
    // The web engine deletes some of its objects through a base without a virtual destructor.
    setenv("ASAN_OPTIONS", "new_delete_type_mismatch=0", 0);
    execv("/proc/self/exe", argv);
#endif
}

// Looks for leaks while the application still exists: tearing it down unloads the GL driver, which
// leaves a leak behind with no module left to name it by.
inline void checkLeaksBeforeExit() {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_do_leak_check();
#endif
}
