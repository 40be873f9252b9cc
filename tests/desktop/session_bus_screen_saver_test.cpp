// The desktop's screen-saver service asked over a session bus of the test's own: a service that
// hangs holds nothing up.
#include "desktop/FreedesktopScreenSaver.h"
#include "support/PrivateSessionBus.h"
#include "support/ScreenSaverStandIn.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(FreedesktopScreenSaver, AServiceThatHangsIsNotWaitedForAndCountsAsRefused) {
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.start()) << "no dbus-daemon";
    ScreenSaverStandIn service;
    ASSERT_TRUE(service.start(bus.address()));
    FreedesktopScreenSaver way;
    std::optional<bool> answer;
    const auto record = [&](bool held) { answer = held; };

    service.setHanging(true);
    way.hold(record);
    EXPECT_FALSE(answer.has_value()) << "the call waited for the service";
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }, 20000)) << "no answer after the call's timeout";
    EXPECT_EQ(answer, false);

    service.setHanging(false);
    answer.reset();
    way.hold(record);
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }, 20000));
    EXPECT_EQ(answer, true);
    EXPECT_EQ(service.held(), 1);
    way.release();
    EXPECT_TRUE(waitUntil([&] { return service.held() == 0; }, 20000)) << "not let go";
}

} // namespace
