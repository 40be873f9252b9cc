#include "support/Wait.h"

#include "player/playback/HostLookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// A name server that answers only when told to.
struct HangingResolver {
    std::mutex mutex;
    std::condition_variable released;
    bool answer = false;
    std::atomic<bool> asked{false};

    bool resolve(const QByteArray &host) {
        asked = true;
        std::unique_lock lock(mutex);
        released.wait(lock, [this] { return answer; });
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

TEST(HostLookup, AnswersItsOwnerButIsNeverWaitedForWhenTheOwnerGoes) {
    auto resolver = std::make_shared<HangingResolver>();
    QObject receiver;
    std::optional<bool> heard;
    {
        HostLookup lookups(&receiver, [resolver](const QByteArray &host) { return resolver->resolve(host); });
        lookups.start("decodeur.home.arpa", [&](bool known) { heard = known; });
        resolver->release();
        ASSERT_TRUE(waitUntil([&] { return heard.has_value(); }, 5000));
        EXPECT_TRUE(*heard);
    }

    // An owner going while its look-up hangs returns at once; the late answer is dropped.
    resolver = std::make_shared<HangingResolver>();
    heard.reset();
    {
        HostLookup lookups(&receiver, [resolver](const QByteArray &host) { return resolver->resolve(host); });
        lookups.start("decodeur.home.arpa", [&](bool known) { heard = known; });
        ASSERT_TRUE(waitUntil([&] { return resolver->asked.load(); }, 5000));
    }
    resolver->release();
    waitUntil([] { return false; }, 100);
    EXPECT_FALSE(heard.has_value());
}

} // namespace
