// When the screen saver is held off and let go, and through which way.
#include "desktop/ScreenSaverInhibitor.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct Calls {
    QStringList log;
};

// Answers at once, or when the test says (a desktop service that takes its time).
class FakeWay : public ScreenSaverBackend {
public:
    FakeWay(const char *name, bool available, Calls &calls)
        : m_name(name), m_available(available), m_calls(calls) {}
    void hold(Answer answer) override {
        if (slow) {
            m_calls.log << QStringLiteral("%1 asked").arg(QLatin1String(m_name));
            pending = std::move(answer);
            return;
        }
        m_calls.log << QStringLiteral("%1 hold%2").arg(QLatin1String(m_name), m_available ? "" : " refused");
        answer(m_available);
    }
    void answer(bool held) {
        m_calls.log << QStringLiteral("%1 answers %2").arg(QLatin1String(m_name), held ? "held" : "refused");
        std::exchange(pending, nullptr)(held);
    }
    void release() override { m_calls.log << QStringLiteral("%1 release").arg(QLatin1String(m_name)); }
    const char *name() const override { return m_name; }

    bool slow = false;
    Answer pending;

private:
    const char *m_name;
    bool m_available;
    Calls &m_calls;
};

std::unique_ptr<ScreenSaverInhibitor> inhibitor(Calls &calls, bool busAnswers = true) {
    std::vector<std::unique_ptr<ScreenSaverBackend>> ways;
    ways.push_back(std::make_unique<FakeWay>("bus", busAnswers, calls));
    ways.push_back(std::make_unique<FakeWay>("x11", true, calls));
    return std::make_unique<ScreenSaverInhibitor>(std::move(ways));
}

TEST(ScreenSaver, HeldOnceWhilePlayingAndLetGoAsSoonAsPlayingStops) {
    Calls calls;
    auto saver = inhibitor(calls);
    saver->setPlaying(false);
    EXPECT_TRUE(calls.log.isEmpty());
    saver->setPlaying(true);
    saver->setPlaying(true);
    EXPECT_TRUE(saver->isHeld());
    saver->setPlaying(false);
    saver->setPlaying(false);
    EXPECT_FALSE(saver->isHeld());
    saver->setPlaying(true);
    EXPECT_EQ(calls.log, (QStringList{"bus hold", "bus release", "bus hold"}));
    saver.reset();
    EXPECT_EQ(calls.log.last(), "bus release") << "the program ended holding it";
}

TEST(ScreenSaver, WithoutTheDesktopsServiceTheXServerHoldsItAndIsLetGo) {
    Calls calls;
    auto saver = inhibitor(calls, false);
    saver->setPlaying(true);
    saver->setPlaying(false);
    EXPECT_EQ(calls.log, (QStringList{"bus hold refused", "x11 hold", "x11 release"}));
}

TEST(ScreenSaver, AMinimisedOrHiddenWindowLetsTheScreenBlank) {
    Calls calls;
    auto saver = inhibitor(calls);
    QWidget window;
    window.show();
    saver->watchWindow(&window);
    saver->setPlaying(true);
    ASSERT_TRUE(saver->isHeld());

    window.showMinimized();
    EXPECT_FALSE(saver->isHeld()) << "held while minimised";
    window.showNormal();
    EXPECT_TRUE(saver->isHeld()) << "not held again once restored";
    window.hide();
    EXPECT_FALSE(saver->isHeld()) << "held while hidden";
    window.show();
    EXPECT_TRUE(saver->isHeld());

    saver->setPlaying(false);
    window.hide();
    window.show();
    EXPECT_FALSE(saver->isHeld()) << "a window shown again holds it with nothing playing";
    EXPECT_EQ(calls.log.count("bus hold"), 3);
    EXPECT_EQ(calls.log.count("bus release"), 3);
}

// A service that hangs holds nothing up: playing goes on at once, a refusal (its call timing out)
// passes to the next way, and a late yes after the picture stopped is let go of at once.
TEST(ScreenSaver, NoWayIsWaitedForAndALateAnswerFollowsWhatPlaysThen) {
    Calls calls;
    std::vector<std::unique_ptr<ScreenSaverBackend>> ways;
    auto bus = std::make_unique<FakeWay>("bus", true, calls);
    FakeWay &slowBus = *bus;
    slowBus.slow = true;
    ways.push_back(std::move(bus));
    ways.push_back(std::make_unique<FakeWay>("x11", true, calls));
    ScreenSaverInhibitor saver(std::move(ways));

    saver.setPlaying(true);
    EXPECT_TRUE(saver.isAsking());
    EXPECT_FALSE(saver.isHeld());
    saver.setPlaying(false);
    saver.setPlaying(true);
    EXPECT_EQ(calls.log, QStringList{"bus asked"}) << "asked again before the first answer";
    slowBus.answer(false);
    EXPECT_TRUE(saver.isHeld()) << "the next way not tried after a refusal";

    calls.log.clear();
    saver.setPlaying(false);
    saver.setPlaying(true);
    saver.setPlaying(false);
    slowBus.answer(true);
    EXPECT_FALSE(saver.isHeld());
    EXPECT_EQ(calls.log, (QStringList{"x11 release", "bus asked", "bus answers held", "bus release"}));
}

} // namespace
