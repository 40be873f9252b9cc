#include "forms/KeyStateTracker.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class KeyStateTest : public ::testing::Test {
protected:
    void key(QEvent::Type type, int k, bool autoRepeat = false) {
        QKeyEvent event(type, k, Qt::NoModifier, QString(), autoRepeat);
        QCoreApplication::sendEvent(&m_window, &event);
    }
    void applicationState(Qt::ApplicationState state) {
        QApplicationStateChangeEvent event(state);
        QCoreApplication::sendEvent(qApp, &event);
    }

    QWidget m_window;
    KeyStateTracker m_keys;
};

TEST_F(KeyStateTest, HeldFromPressToRealRelease) {
    EXPECT_FALSE(m_keys.isDown(Qt::Key_Up));
    key(QEvent::KeyPress, Qt::Key_Up);
    key(QEvent::KeyPress, Qt::Key_Up); // the same press seen by the window, then the widget
    EXPECT_TRUE(m_keys.isDown(Qt::Key_Up));
    EXPECT_FALSE(m_keys.isDown(Qt::Key_Down));

    // Auto-repeat: release/press pairs while the key stays held.
    for (int i = 0; i < 3; ++i) {
        key(QEvent::KeyRelease, Qt::Key_Up, true);
        EXPECT_TRUE(m_keys.isDown(Qt::Key_Up)) << "repeat " << i;
        key(QEvent::KeyPress, Qt::Key_Up, true);
    }

    key(QEvent::KeyPress, Qt::Key_Down);
    key(QEvent::KeyRelease, Qt::Key_Up);
    EXPECT_FALSE(m_keys.isDown(Qt::Key_Up));
    EXPECT_TRUE(m_keys.isDown(Qt::Key_Down)) << "keys are tracked one by one";
    key(QEvent::KeyRelease, Qt::Key_Up); // the second copy of the release changes nothing
    EXPECT_FALSE(m_keys.isDown(Qt::Key_Up));
}

TEST_F(KeyStateTest, ForgottenWhenTheApplicationLosesTheFocus) {
    key(QEvent::KeyPress, Qt::Key_Up);
    key(QEvent::KeyPress, Qt::Key_Down);
    applicationState(Qt::ApplicationActive);
    EXPECT_TRUE(m_keys.isDown(Qt::Key_Up));
    applicationState(Qt::ApplicationInactive);
    EXPECT_FALSE(m_keys.isDown(Qt::Key_Up));
    EXPECT_FALSE(m_keys.isDown(Qt::Key_Down));
}

} // namespace
