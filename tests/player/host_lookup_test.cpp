#include "support/Wait.h"

#include "player/engine/HostLookup.h"

#include <gtest/gtest.h>

#include <QList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

// A name server that answers only when told to; the look-up gives up when told to.
struct HangingResolver {
    std::mutex mutex;
    std::condition_variable released;
    bool answer = false;
    std::atomic<bool> asked{false};
    std::atomic<bool> gaveUp{false};

    bool resolve(const QByteArray &host, const std::atomic<bool> &giveUp) {
        asked = true;
        std::unique_lock lock(mutex);
        while (!released.wait_for(lock, std::chrono::milliseconds(10), [this] { return answer; })) {
            if (giveUp) {
                gaveUp = true;
                return false;
            }
        }
        return host == "decodeur.home.arpa";
    }
    void release() {
        {
            std::lock_guard lock(mutex);
            answer = true;
        }
        released.notify_all();
    }
};

TEST(HostLookup, AnswersItsOwnerAndCutsALookUpShortWhenTheOwnerGoes) {
    auto resolver = std::make_shared<HangingResolver>();
    QObject receiver;
    std::optional<bool> heard;
    {
        HostLookup lookups(&receiver, [resolver](const QByteArray &host, const std::atomic<bool> &giveUp) {
            return resolver->resolve(host, giveUp);
        });
        lookups.start("decodeur.home.arpa", [&](bool known) { heard = known; });
        resolver->release();
        ASSERT_TRUE(waitUntil([&] { return heard.has_value(); }, 5000));
        EXPECT_TRUE(*heard);
    }

    // An owner going while its look-up hangs ends it and joins its thread: nothing is left running
    // past the owner, and no answer comes.
    resolver = std::make_shared<HangingResolver>();
    heard.reset();
    {
        HostLookup lookups(&receiver, [resolver](const QByteArray &host, const std::atomic<bool> &giveUp) {
            return resolver->resolve(host, giveUp);
        });
        lookups.start("decodeur.home.arpa", [&](bool known) { heard = known; });
        ASSERT_TRUE(waitUntil([&] { return resolver->asked.load(); }, 5000));
    }
    EXPECT_TRUE(resolver->gaveUp);
    waitUntil([] { return false; }, 100);
    EXPECT_FALSE(heard.has_value());
}

TEST(HostLookup, OnlyTheNewestRequestWaitsBehindALookUpUnderWay) {
    auto resolver = std::make_shared<HangingResolver>();
    QObject receiver;
    QList<int> heard;
    HostLookup lookups(&receiver, [resolver](const QByteArray &host, const std::atomic<bool> &giveUp) {
        return resolver->resolve(host, giveUp);
    });
    lookups.start("decodeur.home.arpa", [&](bool) { heard << 1; });
    ASSERT_TRUE(waitUntil([&] { return resolver->asked.load(); }, 5000));
    // Asked again and again while the name server hangs (a stream retried every few seconds).
    lookups.start("decodeur.home.arpa", [&](bool) { heard << 2; });
    lookups.start("decodeur.home.arpa", [&](bool) { heard << 3; });
    resolver->release();
    ASSERT_TRUE(waitUntil([&] { return heard.size() == 2; }, 5000));
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(heard, QList<int>({1, 3}));
}

} // namespace
