// The volume a desktop's media controls set, whatever number they send.
#include "desktop/MprisPlayerAdaptor.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(MprisVolume, AnyNumberSetsAVolumeInRangeAndNaNSetsNone) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const int loudest = *MprisPlayerAdaptor::percentOf(kInfinity);
    EXPECT_GE(loudest, 200) << "below the player's own loudest";
    struct Case {
        double volume;
        int percent;
    };
    for (const Case &c : {Case{0.5, 50}, Case{1.0, 100}, Case{0.004, 0}, Case{1.5, 150}, Case{0.0, 0},
                          Case{-0.0, 0}, Case{-3.0, 0}, Case{-kInfinity, 0}, Case{2.5e7, loudest},
                          Case{1e308, loudest}, Case{std::numeric_limits<double>::max(), loudest}}) {
        SCOPED_TRACE(c.volume);
        EXPECT_EQ(MprisPlayerAdaptor::percentOf(c.volume), c.percent);
    }
    EXPECT_FALSE(MprisPlayerAdaptor::percentOf(std::numeric_limits<double>::quiet_NaN()).has_value());
}

} // namespace
