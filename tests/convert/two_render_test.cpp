// The alpha composition of two renders, by its rules, and against the engine's own
// transparent draw of a busy movie.
#include <gtest/gtest.h>

#include <cstdlib>

#include "movie/engine.h"
#include "raster/alpha_compose.h"
#include "support/demo_movie.h"
#include "swf/tags.h"
#include "../raster/raster_test_util.h"

namespace {

uint32_t Bgr(uint32_t b, uint32_t g, uint32_t r) { return b | g << 8 | r << 16; }

TEST(AlphaCompose, OpacityComesFromTheBlueDifference) {
    const struct {
        uint32_t white, black, want;
        const char* what;
    } cases[] = {
        {Bgr(30, 60, 90), Bgr(30, 60, 90), 0xFF000000u | Bgr(30, 60, 90), "the same in both: opaque, colour kept"},
        {Bgr(255, 255, 255), Bgr(0, 0, 0), 0x00000000u, "background only: transparent, colour 0"},
        {Bgr(191, 191, 191), Bgr(64, 64, 64), 0x80000000u | Bgr(64, 64, 64), "191 over white, 64 over black: 128"},
        {Bgr(9, 0, 0), Bgr(10, 0, 0), 0xFF000000u | Bgr(10, 0, 0), "brighter over black: stays opaque"},
        {Bgr(10, 0, 0), Bgr(20, 0, 0), 0xFF000000u | Bgr(20, 0, 0), "brighter over black by 10: opaque"},
        {Bgr(100, 200, 50), Bgr(100, 10, 250), 0xFF000000u | Bgr(100, 10, 250), "red and green differ: opaque"},
        {0xAB000000u | Bgr(200, 0, 0), 0x12000000u | Bgr(100, 0, 0), 0x9B000000u | Bgr(100, 0, 0),
         "input alpha bits ignored"},
    };
    for (const auto& c : cases) EXPECT_EQ(raster::ComposePixel(c.white, c.black), c.want) << c.what;
    // The array form, in place over the black render.
    uint32_t white[3] = {Bgr(255, 255, 255), Bgr(191, 0, 0), Bgr(9, 0, 0)};
    uint32_t black[3] = {0, Bgr(64, 0, 0), Bgr(10, 0, 0)};
    raster::ComposeAlpha(white, black, black, 3);
    EXPECT_EQ(black[0], 0u);
    EXPECT_EQ(black[1], 0x80000000u | 64);
    EXPECT_EQ(black[2], 0xFF000000u | 10);
}

// The capture's two renders, composed, give back the engine's transparent draw (what the
// portable converter writes) on every pixel of frames of the demo movie: gradients with
// transparent stops, translucent fills, a mask, strokes. Drawn the player control's way (the
// frame laid over the colour) they agree exactly; drawn with the shapes straight onto the
// colour they still agree within the rounding of the layers.
TEST(AlphaCompose, TwoRendersGiveBackTheTransparentDraw) {
    const std::string bytes = testing_support::BuildDemoMovie();
    swf::SwfFile file;
    std::string error;
    ASSERT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << error;
    movie::Engine engine;
    ASSERT_TRUE(engine.load(file, error)) << error;
    const int w = 320, h = 180;
    raster_test::Picture overWhite(w, h), overBlack(w, h), transparent(w, h);
    std::vector<uint32_t> composed(size_t(w) * h);
    auto worstDifference = [&] {
        raster::ComposeAlpha(overWhite.pixels.data(), overBlack.pixels.data(), composed.data(), composed.size());
        int worst = 0;
        for (size_t i = 0; i < composed.size(); ++i) {
            for (int shift = 0; shift < 32; shift += 8) {
                const int a = int(composed[i] >> shift & 0xFF), b = int(transparent.pixels[i] >> shift & 0xFF);
                worst = std::max(worst, std::abs(a - b));
            }
        }
        return worst;
    };
    int translucent = 0;
    for (int frame : {0, 30, 61}) {
        engine.gotoFrame(frame);
        engine.draw(transparent.target, true, true);
        for (uint32_t p : transparent.pixels) translucent += (p >> 24) > 0 && (p >> 24) < 255;
        engine.setBackgroundColor({255, 255, 255, 255});
        engine.drawOverBackground(overWhite.target);
        engine.setBackgroundColor({0, 0, 0, 255});
        engine.drawOverBackground(overBlack.target);
        EXPECT_EQ(worstDifference(), 0) << "frame " << frame << ", the control's way";
        engine.setBackgroundColor({255, 255, 255, 255});
        engine.draw(overWhite.target, false, true);
        engine.setBackgroundColor({0, 0, 0, 255});
        engine.draw(overBlack.target, false, true);
        EXPECT_LE(worstDifference(), 2) << "frame " << frame << ", shapes onto the colour";
    }
    EXPECT_GT(translucent, 1000) << "the frames must carry partial alpha for the comparison to mean much";
}

}  // namespace
