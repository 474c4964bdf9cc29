// Shapes from DefineShape records drawn at known places, checked by their geometry.
#include <gtest/gtest.h>

#include "movie/render/shape.h"
#include "support/swf_builder.h"
#include "../raster/raster_test_util.h"

namespace {

using namespace testing_support;
using raster_test::Picture;

constexpr float kTwip = 1.0f / 20;

movie::ShapeGeometry Parse(const std::vector<uint8_t>& body) {
    swf::ByteReader r(body.data(), body.size());
    r.u16();
    const swf::Rect bounds = swf::ReadRect(r);
    swf::Shape shape;
    EXPECT_TRUE(swf::ReadShape(r, 3, true, shape));
    return movie::BuildShapeGeometry(shape, bounds);
}

Picture Draw(const movie::ShapeGeometry& g, int w, int h, raster::Matrix m = raster::Matrix::scale(kTwip, kTwip)) {
    Picture pic(w, h);
    raster::Canvas canvas(pic.target);
    std::vector<raster::Paint> paints;
    movie::DrawShape(canvas, g, m, raster::ColorTransform(), true, paints);
    return pic;
}

TEST(ShapeDrawing, RectangleLandsWhereItsTwipsSay) {
    // 40 x 20 px at (10, 5): the fill on the right of the edges as drawn, clockwise on screen.
    const auto records = ShapeRecordWriter(1, 0)
                             .change(std::pair{200, 100}, std::nullopt, 1u, std::nullopt)
                             .line(800, 0).line(0, 400).line(-800, 0).line(0, -400)
                             .end();
    const auto g = Parse(DefineShapeBody(1, 200, 1000, 100, 500, {SolidFill(255, 0, 0, 255)}, {}, records));
    const Picture pic = Draw(g, 64, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 10 && x < 50 && y >= 5 && y < 25;
            EXPECT_EQ(pic.at(x, y), inside ? raster::PremultipliedWord({255, 0, 0, 255}) : 0u) << x << "," << y;
        }
    }
}

TEST(ShapeDrawing, FillOnTheLeftIsTheSameRegion) {
    // The same rectangle drawn the other way round with fill0: the same pixels.
    const auto right = ShapeRecordWriter(1, 0)
                           .change(std::pair{200, 100}, std::nullopt, 1u, std::nullopt)
                           .line(800, 0).line(0, 400).line(-800, 0).line(0, -400)
                           .end();
    const auto left = ShapeRecordWriter(1, 0)
                          .change(std::pair{200, 100}, 1u, std::nullopt, std::nullopt)
                          .line(0, 400).line(800, 0).line(0, -400).line(-800, 0)
                          .end();
    const auto a = Draw(Parse(DefineShapeBody(1, 0, 1000, 0, 500, {SolidFill(0, 0, 255, 255)}, {}, right)), 64, 32);
    const auto b = Draw(Parse(DefineShapeBody(1, 0, 1000, 0, 500, {SolidFill(0, 0, 255, 255)}, {}, left)), 64, 32);
    EXPECT_EQ(a.pixels, b.pixels);
    EXPECT_EQ(b.alpha(20, 10), 255u);
}

TEST(ShapeDrawing, TwoFillsSharingAnEdgeLeaveNoSeam) {
    // A square split by a slanted edge from (430, 100) down to (280, 700) twips: fill 1 on
    // its left part, fill 2 on its right. The slanted edge has fill 1 on its right as drawn
    // (it runs down and to the left) and fill 2 on its left.
    const auto records = ShapeRecordWriter(2, 0)
                             .change(std::pair{100, 100}, 0u, 1u, std::nullopt)
                             .line(330, 0)
                             .change(std::nullopt, 2u, 1u, std::nullopt)
                             .line(-150, 600)
                             .change(std::nullopt, 0u, 1u, std::nullopt)
                             .line(-180, 0).line(0, -600)
                             .change(std::pair{430, 100}, 0u, 2u, std::nullopt)
                             .line(270, 0).line(0, 600).line(-420, 0)
                             .end();
    const auto g = Parse(DefineShapeBody(1, 100, 700, 100, 700, {SolidFill(255, 0, 0, 255), SolidFill(0, 255, 0, 255)},
                                         {}, records));
    const Picture pic = Draw(g, 40, 40);
    for (int y = 6; y < 34; ++y) {
        for (int x = 6; x < 34; ++x) EXPECT_EQ(pic.alpha(x, y), 255u) << x << "," << y;
    }
}

TEST(ShapeDrawing, LineStylesStrokeTheirEdges) {
    std::vector<uint8_t> lineStyle;
    AppendU16(lineStyle, 40);  // 2 px
    AppendBytes(lineStyle, {0, 0, 0, 255});
    const auto records = ShapeRecordWriter(0, 1)
                             .change(std::pair{100, 200}, std::nullopt, std::nullopt, 1u)
                             .line(600, 0)
                             .end();
    const auto g = Parse(DefineShapeBody(1, 100, 700, 180, 220, {}, {lineStyle}, records));
    const Picture pic = Draw(g, 40, 20);
    EXPECT_EQ(pic.alpha(20, 9), 255u);
    EXPECT_EQ(pic.alpha(20, 10), 255u);
    EXPECT_EQ(pic.alpha(20, 7), 0u);
    EXPECT_EQ(pic.alpha(20, 12), 0u);
    EXPECT_NEAR(double(pic.alpha(4, 9)), 255 * 3.14159 / 4, 2) << "a quarter of the round cap's disc";
    EXPECT_EQ(pic.alpha(2, 9), 0u);
}

TEST(ShapeDrawing, GradientFillSpansItsMatrix) {
    // A linear gradient red to blue over a 40 px wide rectangle: the gradient square of
    // 32768 twips scaled to 800 twips and centred on the rectangle.
    std::vector<uint8_t> fill = {0x10};
    BitWriter w;
    WriteMatrix(w, std::pair{800.0 / 32768, 800.0 / 32768}, std::nullopt, 600, 300);
    AppendBytes(fill, w.take());
    AppendBytes(fill, {0x02, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255});
    const auto records = ShapeRecordWriter(1, 0)
                             .change(std::pair{200, 100}, std::nullopt, 1u, std::nullopt)
                             .line(800, 0).line(0, 400).line(-800, 0).line(0, -400)
                             .end();
    const Picture pic = Draw(Parse(DefineShapeBody(1, 200, 1000, 100, 500, {fill}, {}, records)), 64, 32);
    const uint32_t leftmost = pic.at(10, 10), rightmost = pic.at(49, 10), middle = pic.at(30, 10);
    EXPECT_GT(raster::ChannelR(leftmost), 240u);
    EXPECT_GT(raster::ChannelB(rightmost), 240u);
    EXPECT_NEAR(double(raster::ChannelR(middle)), 121, 4) << "(30.5 - 10) / 40 of the way";
    EXPECT_EQ(raster::ChannelA(middle), 255u);
}

TEST(ShapeDrawing, DamagedStyleIndexesDrawNothing) {
    const auto records = ShapeRecordWriter(2, 0)
                             .change(std::pair{200, 100}, std::nullopt, 3u, std::nullopt)  // only one fill exists
                             .line(800, 0).line(0, 400).line(-800, 0).line(0, -400)
                             .end();
    const Picture pic = Draw(Parse(DefineShapeBody(1, 200, 1000, 100, 500, {SolidFill(255, 0, 0, 255)}, {}, records)), 64, 32);
    for (uint32_t p : pic.pixels) EXPECT_EQ(p, 0u);
}

}  // namespace
