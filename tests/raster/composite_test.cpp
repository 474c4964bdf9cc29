// The vector compositing paths against the per-pixel formula.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "raster/composite.h"

namespace {

using namespace raster;

// A random premultiplied pixel: no channel above its alpha.
uint32_t RandomPremul(std::mt19937& rng) {
    const uint32_t a = static_cast<uint32_t>(rng() & 0xFF);
    auto ch = [&] { return static_cast<uint32_t>(rng() % (a + 1)); };
    return PackBgra(ch(), ch(), ch(), a);
}

TEST(Composite, ScaleChannelsRoundsEachChannel) {
    for (uint32_t v : {0u, 1u, 127u, 128u, 200u, 255u}) {
        for (uint32_t k : {0u, 1u, 128u, 254u, 255u}) {
            const uint32_t expected = (v * k + 127) / 255;
            const uint32_t got = ScaleChannels(PackBgra(v, v, v, v), k);
            EXPECT_EQ(ChannelB(got), expected) << v << "*" << k;
            EXPECT_EQ(ChannelA(got), expected);
        }
    }
}

TEST(Composite, SpansAndRunsMatchThePixelFormula) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 50; ++trial) {
        const int n = 1 + static_cast<int>(rng() % 37);
        std::vector<uint32_t> dst(n), viaSpan(n), viaRun(n);
        std::vector<float> coverage(n);
        for (int i = 0; i < n; ++i) {
            dst[i] = RandomPremul(rng);
            coverage[i] = (rng() % 5 == 0) ? 1.0f : static_cast<float>(rng() % 1000) / 1000.0f;
        }
        const uint32_t color = RandomPremul(rng);
        viaSpan = dst;
        OverSpan(viaSpan.data(), coverage.data(), n, color);
        viaRun = dst;
        OverRun(viaRun.data(), n, color);
        for (int i = 0; i < n; ++i) {
            const uint32_t k = static_cast<uint32_t>(coverage[i] * 255.0f + 0.5f);
            const uint32_t src = ScaleChannels(color, k);
            const uint32_t expected = src + ScaleChannels(dst[i], 255 - ChannelA(src));
            for (int c = 0; c < 32; c += 8) {
                EXPECT_NEAR(double((viaSpan[i] >> c) & 0xFF), double((expected >> c) & 0xFF), 1.0) << i;
            }
            EXPECT_EQ(viaRun[i], color + ScaleChannels(dst[i], 255 - ChannelA(color))) << i;
            EXPECT_GE(ChannelA(viaSpan[i]), ChannelR(viaSpan[i])) << "stays premultiplied";
        }
    }
}

}  // namespace
