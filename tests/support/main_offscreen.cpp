// Unit tests run on Qt's offscreen platform: widgets work, nothing needs a display.
#include "support/SanitizerSettings.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    applySanitizerSettings(argv);
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime folder; a temporary one is created 0700 and removed at exit.
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    int result = 1;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
        checkLeaksBeforeExit();
    }
    return result;
}
