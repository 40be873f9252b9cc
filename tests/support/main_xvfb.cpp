// Window and end-to-end tests run on their own X server and window manager, started here and
// stopped when the tests end; if this program dies, they die with it.
#include "support/SanitizerSettings.h"
#include "support/XSession.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv) {
    applySanitizerSettings(argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    XSession session;
#ifdef TEST_TWO_MONITORS
    // Two monitors side by side, the left one primary.
    session.setMonitors({QRect(0, 0, 1280, 1024), QRect(1280, 0, 1280, 1024)});
#endif
    if (!session.start()) {
        std::fprintf(stderr, "cannot start the test display: %s\n", qPrintable(session.error()));
        return 1;
    }
    int result = 1;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
        checkLeaksBeforeExit();
    }
    session.stop();
    return result;
}
