#include <gtest/gtest.h>

#include "swf/swf_header.h"

namespace {

swf::MovieHeader WithRate(uint16_t rate88) {
    swf::MovieHeader h;
    h.frameRate = rate88 >> 8;
    h.frameRate88 = rate88;
    return h;
}

TEST(FramePeriod, WholeRatesUseIntegerDivision) {
    EXPECT_EQ(swf::FramePeriodMs(WithRate(25 << 8)), 40);
    EXPECT_EQ(swf::FramePeriodMs(WithRate(24 << 8)), 41);
    EXPECT_EQ(swf::FramePeriodMs(WithRate(12 << 8)), 83);
    EXPECT_EQ(swf::FramePeriodMs(WithRate(30 << 8)), 33);
    EXPECT_EQ(swf::FramePeriodMs(WithRate(255 << 8)), 3);
    EXPECT_EQ(swf::FramePeriodMs(WithRate(1 << 8)), 1000);
    // The fraction does not change a whole rate's period: 29.97 plays as 29.
    EXPECT_EQ(swf::FramePeriodMs(WithRate(0x1DF8)), 1000 / 29);
}

TEST(FramePeriod, RatesBelowOneFramePerSecondComeFromTheFullRate) {
    EXPECT_EQ(swf::FramePeriodMs(WithRate(0x0080)), 2000);  // 0.5 fps
    EXPECT_EQ(swf::FramePeriodMs(WithRate(0x0040)), 4000);  // 0.25 fps
    EXPECT_EQ(swf::FramePeriodMs(WithRate(0x00C0)), 1333);  // 0.75 fps, rounded
}

TEST(FramePeriod, VerySlowAndZeroRatesStayBounded) {
    EXPECT_EQ(swf::FramePeriodMs(WithRate(0x0001)), swf::kMaxFramePeriodMs);  // 1/256 fps
    EXPECT_EQ(swf::FramePeriodMs(WithRate(0x0000)), swf::kZeroRateFramePeriodMs);
    EXPECT_GT(swf::kZeroRateFramePeriodMs, 0);
}

TEST(FramePeriod, StartUpHeaderGivesTwentyFiveFramesPerSecond) {
    EXPECT_EQ(swf::FramePeriodMs(swf::MovieHeader()), 40);
}

}  // namespace
