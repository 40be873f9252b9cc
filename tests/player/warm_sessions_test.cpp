#include "QtPrinting.h"
#include "support/Wait.h"

#include "player/warm/WarmSessions.h"
#include "player/warm/WarmSource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// The set of warm sessions against a stand-in box that answers each TEARDOWN when the test says.
namespace {

class StandInBox {
public:
    static WarmSessions::Link linkTo(const std::shared_ptr<StandInBox> &box) {
        return {[box](WarmSource &source) { box->opened(source.address()); },
                [box](WarmSource &source) { box->teardown(source.address()); }};
    }

    void answer(const QString &address) {
        std::lock_guard lock(m_mutex);
        m_answered << address;
        m_wake.notify_all();
    }
    void answerAll() {
        std::lock_guard lock(m_mutex);
        m_answerAll = true;
        m_wake.notify_all();
    }
    // Each TEARDOWN sent from now on waits this long at most for its answer, as a player's does.
    void giveUpAfter(int ms) {
        std::lock_guard lock(m_mutex);
        m_giveUpMs = ms;
    }
    QStringList opens() const {
        std::lock_guard lock(m_mutex);
        return m_opens;
    }
    // TEARDOWNs sent and not answered yet.
    QStringList asked() const {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

private:
    void opened(const QString &address) {
        std::lock_guard lock(m_mutex);
        m_opens << address;
    }
    void teardown(const QString &address) {
        std::unique_lock lock(m_mutex);
        m_asked << address;
        const auto answered = [&] { return m_answerAll || m_answered.contains(address); };
        if (m_giveUpMs < 0)
            m_wake.wait(lock, answered);
        else
            m_wake.wait_for(lock, std::chrono::milliseconds(m_giveUpMs), answered);
        m_asked.removeOne(address);
        m_answered.removeOne(address);
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QStringList m_opens, m_asked, m_answered;
    bool m_answerAll = false;
    int m_giveUpMs = -1;
};

class Sessions : public ::testing::Test {
protected:
    void TearDown() override {
        // No closing thread is left waiting on the stand-in.
        box->answerAll();
        sessions.reset();
    }
    void open(const QStringList &addresses) {
        for (const QString &address : addresses)
            sessions->open(address, 0);
        ASSERT_TRUE(waitUntil([&] { return box->opens().size() >= addresses.size(); }, 10000));
    }

    std::shared_ptr<StandInBox> box = std::make_shared<StandInBox>();
    std::unique_ptr<WarmSessions> sessions =
        std::make_unique<WarmSessions>(50, WarmSessions::Handlers(), StandInBox::linkTo(box));
};

const QString kA = "rtsp://box/6";
const QString kB = "rtsp://box/4";
const QString kC = "rtsp://box/7";

TEST_F(Sessions, ACloseCountsUntilTheBoxAnswersAndTheWaitersAreToldOnceAfterTheLast) {
    open({kA, kB});
    int told = 0;
    sessions->whenClosed([&] { ++told; });
    EXPECT_EQ(told, 1) << "nothing closing: told at once";

    EXPECT_TRUE(sessions->close(kA));
    EXPECT_FALSE(sessions->close(kA)) << "already given up";
    EXPECT_TRUE(sessions->close(kB));
    EXPECT_EQ(sessions->find(kA), nullptr);
    EXPECT_EQ(sessions->size(), 0);
    EXPECT_TRUE(sessions->isClosing(kA));
    EXPECT_EQ(sessions->closing(), 2);
    std::atomic<int> waited{0};
    sessions->whenClosed([&] { ++waited; });

    box->answer(kA);
    ASSERT_TRUE(waitUntil([&] { return !sessions->isClosing(kA); }, 10000));
    EXPECT_TRUE(sessions->isClosing(kB));
    EXPECT_EQ(waited, 0) << "one close is still under way";
    box->answer(kB);
    ASSERT_TRUE(waitUntil([&] { return waited == 1; }, 10000));
    EXPECT_EQ(sessions->closing(), 0);

    // A later close does not tell the earlier waiter again.
    open({kA});
    sessions->close(kA);
    box->answer(kA);
    ASSERT_TRUE(waitUntil([&] { return sessions->closing() == 0; }, 10000));
    EXPECT_EQ(waited, 1);
}

TEST_F(Sessions, AWaitForOneBoxsClosesIsToldWhateverAnotherBoxStillOwes) {
    const QString other = "rtsp://other:8554/4";
    open({kA, other});
    sessions->close(kA);
    sessions->close(other);
    EXPECT_EQ(sessions->closing("box:554"), 1);
    EXPECT_EQ(sessions->closing("other:8554"), 1);
    std::atomic<int> boxDone{0}, allDone{0};
    sessions->whenClosed([&] { ++boxDone; }, "box:554");
    sessions->whenClosed([&] { ++allDone; });
    box->answer(kA);
    ASSERT_TRUE(waitUntil([&] { return boxDone == 1; }, 10000));
    EXPECT_EQ(allDone, 0) << "the other box has not answered yet";
    box->answer(other);
    ASSERT_TRUE(waitUntil([&] { return allDone == 1; }, 10000));
    EXPECT_EQ(boxDone, 1);
}

TEST_F(Sessions, CloseAllSendsEveryTeardownTogetherAndWaitsOnlyUntilItsDeadline) {
    open({kA, kB, kC});
    // The box answers none: all three are asked at once, and the wait gives up.
    sessions->closeAll(50);
    EXPECT_EQ(sessions->size(), 0);
    EXPECT_EQ(sessions->closing(), 3);
    ASSERT_TRUE(waitUntil([&] { return box->asked().size() == 3; }, 10000)) << box->asked().join(", ");
    box->answerAll();
    ASSERT_TRUE(waitUntil([&] { return sessions->closing() == 0; }, 10000));

    // A box that answers is waited for.
    open({kA, kB});
    sessions->closeAll(60000);
    EXPECT_EQ(sessions->closing(), 0);
}

TEST_F(Sessions, NoCloseOutlivesTheSetEvenPastItsDeadline) {
    // A box that answers no TEARDOWN: each close gives up by itself, later than the way out's
    // deadline.
    box->giveUpAfter(WarmSessions::kExitDeadlineMs + 300);
    open({kA, kB});
    sessions->close(kA);
    std::atomic<int> told{0};
    sessions->whenClosed([&] { ++told; });
    // B's close is sent on the way out; whatever runs on the closing threads has ended once the set
    // is gone, so nothing there can reach what the program ends next.
    sessions.reset();
    EXPECT_TRUE(box->asked().isEmpty()) << box->asked().join(", ");
    EXPECT_EQ(told, 1);
}

TEST_F(Sessions, ManyClosesAtOnceAllEndWithoutAThreadEach) {
    QStringList addresses;
    for (int i = 0; i < 3 * WarmSessions::kClosers; ++i)
        addresses << QStringLiteral("rtsp://box/%1").arg(100 + i);
    open(addresses);
    for (const QString &address : addresses)
        sessions->close(address);
    // No more TEARDOWNs wait on the box at once than there are closing threads.
    ASSERT_TRUE(waitUntil([&] { return box->asked().size() == WarmSessions::kClosers; }, 10000));
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(box->asked().size(), WarmSessions::kClosers);
    std::atomic<int> told{0};
    sessions->whenClosed([&] { ++told; });
    box->answerAll();
    ASSERT_TRUE(waitUntil([&] { return told == 1; }, 10000));
    EXPECT_EQ(sessions->closing(), 0);
}

} // namespace
