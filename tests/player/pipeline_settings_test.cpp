#include "support/Wait.h"

#include "player/engine/CallbackGate.h"
#include "player/engine/PipelineSettings.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// The settings a stream is played with, and the gate through which threads reach their owner.
namespace {

TEST(PipelineSettings, MutingSilencesAndKeepsTheVolumeAndAStreamsOwnCachingGoesFirst) {
    PipelineSettings settings;
    settings.volume = 150;
    EXPECT_DOUBLE_EQ(settings.level(), 1.5);
    settings.muted = true;
    EXPECT_DOUBLE_EQ(settings.level(), 0.0);
    EXPECT_EQ(settings.volume, 150);

    PlayerOptions plain;
    EXPECT_EQ(settings.forStream(plain).latencyMs, std::nullopt);
    settings.latencyMs = 200;
    EXPECT_EQ(settings.forStream(plain).latencyMs, 200);
    PlayerOptions cached = PlayerOptions::parse({":network-caching=1000"});
    EXPECT_EQ(settings.forStream(cached).latencyMs, 1000);
    // The rest is the engine's, whatever the stream asks.
    EXPECT_TRUE(settings.forStream(cached).muted);
}

TEST(CallbackGate, ACallMayGoThroughTheGateAgainAndNothingPassesOnceItIsClosed) {
    QObject target;
    CallbackGate gate(&target);
    int ran = 0;
    bool posted = false;
    // Held under a lock, the inner run and post would never return.
    gate.run([&] {
        ++ran;
        gate.run([&] { ++ran; });
        gate.post([&] { posted = true; });
    });
    EXPECT_EQ(ran, 2);
    EXPECT_TRUE(waitUntil([&] { return posted; }, 5000));

    gate.close();
    gate.run([&] { ++ran; });
    posted = false;
    gate.post([&] { posted = true; });
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 2);
    EXPECT_FALSE(posted);
}

TEST(CallbackGate, ClosingWaitsForACallAnotherThreadIsRunning) {
    QObject target;
    CallbackGate gate(&target);
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false, released = false;
    std::atomic<bool> callEnded{false}, closing{false};
    std::thread caller([&] {
        gate.run([&] {
            std::unique_lock lock(mutex);
            entered = true;
            changed.notify_all();
            changed.wait(lock, [&] { return released; });
            callEnded = true;
        });
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return entered; });
    }
    bool endedWhenClosed = false;
    std::thread closer([&] {
        closing = true;
        gate.close();
        endedWhenClosed = callEnded;
    });
    ASSERT_TRUE(waitUntil([&] { return closing.load(); }, 5000));
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    closer.join();
    caller.join();
    EXPECT_TRUE(endedWhenClosed);
}

} // namespace
