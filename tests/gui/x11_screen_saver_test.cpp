// The X server's screen-saver extension, the way the screen is kept on where no desktop service
// answers: the program's connection can suspend it and resume it.
#include "desktop/X11ScreenSaver.h"

#include <gtest/gtest.h>

TEST(X11ScreenSaver, IsSuspendedAndResumedOnTheProgramsDisplay) {
    EXPECT_TRUE(suspendX11ScreenSaver(true)) << "no screen-saver extension on the display";
    EXPECT_TRUE(suspendX11ScreenSaver(false));
}
