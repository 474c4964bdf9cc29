#include "support/demo_movie.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "support/swf_builder.h"
#include "swf/tags.h"

namespace testing_support {

namespace {

constexpr int kTwips = 20;

int32_t Twips(double px) { return static_cast<int32_t>(std::lround(px * kTwips)); }
uint16_t Width(double px) { return static_cast<uint16_t>(Twips(px)); }

// Shape records from absolute points in pixels; the writer wants deltas in twips, so the pen
// keeps its position in twips and every edge ends exactly where the next begins.
class Pen {
public:
    Pen(unsigned fillBits, unsigned lineBits) : w_(fillBits, lineBits) {}

    Pen& start(double x, double y, std::optional<uint32_t> fill0, std::optional<uint32_t> fill1,
               std::optional<uint32_t> line) {
        x_ = Twips(x);
        y_ = Twips(y);
        w_.change(std::pair{x_, y_}, fill0, fill1, line);
        return *this;
    }
    // New styles where the pen stands.
    Pen& style(std::optional<uint32_t> fill0, std::optional<uint32_t> fill1, std::optional<uint32_t> line) {
        w_.change(std::nullopt, fill0, fill1, line);
        return *this;
    }
    Pen& lineTo(double x, double y) {
        const int32_t tx = Twips(x), ty = Twips(y);
        w_.line(tx - x_, ty - y_);
        x_ = tx;
        y_ = ty;
        return *this;
    }
    Pen& curveTo(double cx, double cy, double x, double y) {
        const int32_t tcx = Twips(cx), tcy = Twips(cy), tx = Twips(x), ty = Twips(y);
        w_.curve(tcx - x_, tcy - y_, tx - tcx, ty - tcy);
        x_ = tx;
        y_ = ty;
        return *this;
    }
    // A circle of eight quadratic arcs, from the point at angle 0 round to it again; the
    // pen must stand at (cx + r, cy).
    Pen& circle(double cx, double cy, double r) {
        const double step = std::numbers::pi / 4, reach = r / std::cos(step / 2);
        for (int k = 0; k < 8; ++k) {
            const double mid = (k + 0.5) * step, end = (k + 1) * step;
            curveTo(cx + reach * std::cos(mid), cy + reach * std::sin(mid), cx + r * std::cos(end),
                    cy + r * std::sin(end));
        }
        return *this;
    }
    // A rectangle with rounded corners, clockwise on screen from the top edge.
    Pen& roundedRect(double x0, double y0, double x1, double y1, double r, std::optional<uint32_t> fill1,
                     std::optional<uint32_t> line) {
        start(x0 + r, y0, std::nullopt, fill1, line);
        lineTo(x1 - r, y0).curveTo(x1, y0, x1, y0 + r);
        lineTo(x1, y1 - r).curveTo(x1, y1, x1 - r, y1);
        lineTo(x0 + r, y1).curveTo(x0, y1, x0, y1 - r);
        lineTo(x0, y0 + r).curveTo(x0, y0, x0 + r, y0);
        return *this;
    }
    std::vector<uint8_t> end() { return w_.end(); }

private:
    ShapeRecordWriter w_;
    int32_t x_ = 0, y_ = 0;
};

std::vector<uint8_t> Shape(uint16_t id, double x0, double y0, double x1, double y1,
                           const std::vector<std::vector<uint8_t>>& fills, const std::vector<std::vector<uint8_t>>& lines,
                           const std::vector<uint8_t>& records) {
    return TagRecord(swf::tag::kDefineShape3,
                     DefineShapeBody(id, Twips(x0), Twips(x1), Twips(y0), Twips(y1), fills, lines, records));
}

// A rotation by `degrees` (clockwise on screen) with a uniform scale.
PlaceFields Rotated(PlaceFields p, double degrees, double scale = 1) {
    const double a = degrees * std::numbers::pi / 180;
    p.scale = std::pair{scale * std::cos(a), scale * std::cos(a)};
    p.rotateSkew = std::pair{scale * std::sin(a), -scale * std::sin(a)};
    return p;
}

std::pair<int32_t, int32_t> At(double x, double y) { return {Twips(x), Twips(y)}; }

// Character ids.
enum : uint16_t { kSky = 1, kSun, kGround, kWheel, kCross, kSpinner, kBody, kCart, kMorph, kWindow, kStripes };

// Depths on the main timeline.
enum : uint16_t { kSkyDepth = 1, kSunDepth, kGroundDepth, kMorphDepth = 5, kWindowDepth = 10, kStripesDepth = 11,
                  kWindowTop = 12, kCartDepth = 20 };

std::vector<std::vector<uint8_t>> Definitions() {
    std::vector<std::vector<uint8_t>> tags;
    // The sky: a rounded panel with a vertical gradient that fades from opaque to translucent.
    {
        const double h = 230;
        const double s = h * kTwips / 32768.0;
        MatrixFields vertical{std::pair{0.0, 0.0}, std::pair{s, -s}, Twips(320), Twips(20 + h / 2)};
        const auto fill = GradientFill(0x10, vertical,
                                       {{0, {40, 60, 130, 255}}, {150, {200, 110, 140, 220}}, {255, {250, 170, 90, 96}}});
        tags.push_back(Shape(kSky, 20, 20, 620, 250, {fill}, {},
                             Pen(1, 0).roundedRect(20, 20, 620, 20 + h, 24, 1u, std::nullopt).end()));
    }
    // The sun: a radial gradient whose last stop is fully transparent.
    {
        const double r = 60, s = r * kTwips / 16384.0;
        const auto fill = GradientFill(0x12, {std::pair{s, s}, std::nullopt, 0, 0},
                                       {{0, {255, 245, 160, 255}}, {140, {255, 170, 50, 255}}, {255, {255, 120, 40, 0}}});
        tags.push_back(Shape(kSun, -r, -r, r, r, {fill}, {}, Pen(1, 0).start(r, 0, std::nullopt, 1u, std::nullopt)
                                                                 .circle(0, 0, r).end()));
    }
    // The ground: a translucent band with a wavy, outlined top.
    {
        Pen pen(1, 1);
        pen.start(-20, 240, std::nullopt, 1u, 1u);
        for (int k = 0; k < 6; ++k) {
            const double x = -20 + k * 120;
            pen.curveTo(x + 60, k % 2 ? 262 : 218, x + 120, 240);
        }
        pen.style(std::nullopt, std::nullopt, 0u).lineTo(700, 300).lineTo(-20, 300).lineTo(-20, 240);
        tags.push_back(Shape(kGround, -22, 215, 702, 300, {SolidFill(60, 150, 80, 200)},
                             {LineStyle(Width(2), 20, 70, 30, 255)}, pen.end()));
    }
    // A wheel and the cross that spins on it.
    tags.push_back(Shape(kWheel, -20, -20, 20, 20, {SolidFill(40, 40, 48, 255)}, {LineStyle(Width(3), 200, 200, 210, 255)},
                         Pen(1, 1).start(18, 0, std::nullopt, 1u, 1u).circle(0, 0, 18).end()));
    {
        Pen pen(1, 0);
        pen.start(-15, -2.5, std::nullopt, 1u, std::nullopt).lineTo(15, -2.5).lineTo(15, 2.5).lineTo(-15, 2.5).lineTo(-15, -2.5);
        pen.start(-2.5, -15, std::nullopt, 1u, std::nullopt).lineTo(2.5, -15).lineTo(2.5, 15).lineTo(-2.5, 15).lineTo(-2.5, -15);
        tags.push_back(Shape(kCross, -15, -15, 15, 15, {SolidFill(230, 200, 60, 255)}, {}, pen.end()));
    }
    // The spinner: the cross turns a quarter turn over its frames, then loops.
    {
        std::vector<std::vector<uint8_t>> frames;
        frames.push_back(PlaceObject2Tag({1, kWheel}));
        for (int k = 0; k < kDemoSpinnerFrames; ++k) {
            PlaceFields p{2};
            if (k == 0) {
                p.character = kCross;
            } else {
                p.move = true;
            }
            frames.push_back(PlaceObject2Tag(Rotated(p, 90.0 * k / kDemoSpinnerFrames)));
            frames.push_back(ShowFrameTag());
        }
        tags.push_back(DefineSpriteTag(kSpinner, kDemoSpinnerFrames, frames));
    }
    // The cart: an outlined body that bobs over four frames on two spinners.
    tags.push_back(Shape(kBody, -62, -52, 62, -8, {SolidFill(200, 60, 60, 255)}, {LineStyle(Width(3), 90, 20, 20, 255)},
                         Pen(1, 1).roundedRect(-60, -50, 60, -10, 8, 1u, 1u).end()));
    {
        std::vector<std::vector<uint8_t>> frames = {
            PlaceObject2Tag({2, kSpinner, false, At(-35, 0)}),
            PlaceObject2Tag({3, kSpinner, false, At(35, 0)}),
        };
        const double bob[] = {0, -1.5, -3, -1.5};
        for (int k = 0; k < 4; ++k) {
            PlaceFields p{1, std::nullopt, k > 0, At(0, bob[k])};
            if (k == 0) p.character = kBody;
            frames.push_back(PlaceObject2Tag(p));
            frames.push_back(ShowFrameTag());
        }
        tags.push_back(DefineSpriteTag(kCart, 4, frames));
    }
    // The morph: a square that becomes a circle, blue to translucent pink, its outline
    // growing from 2 to 5 pixels.
    {
        const double s = 40;
        std::vector<uint8_t> styles = {1, 0x00, 80, 120, 255, 255, 255, 80, 180, 160, 1};
        AppendU16(styles, Width(2));
        AppendU16(styles, Width(5));
        AppendBytes(styles, {255, 255, 255, 255, 255, 230, 80, 255});
        Pen square(1, 1);
        square.start(s, 0, std::nullopt, 1u, 1u)
            .lineTo(s, s).lineTo(0, s).lineTo(-s, s).lineTo(-s, 0)
            .lineTo(-s, -s).lineTo(0, -s).lineTo(s, -s).lineTo(s, 0);
        Pen round(0, 0);
        round.start(s, 0, std::nullopt, std::nullopt, std::nullopt).circle(0, 0, s);
        tags.push_back(DefineMorphShapeTag(kMorph, {Twips(-s - 1), Twips(s + 1), Twips(-s - 1), Twips(s + 1)},
                                           {Twips(-s - 3), Twips(s + 3), Twips(-s - 3), Twips(s + 3)}, styles,
                                           square.end(), round.end()));
    }
    // The window (a clip layer) and the stripes that slide behind it: slanted bars, solid
    // and with a rotated gradient by turns.
    tags.push_back(Shape(kWindow, -50, -50, 50, 50, {SolidFill(0, 0, 0, 255)}, {},
                         Pen(1, 0).start(50, 0, std::nullopt, 1u, std::nullopt).circle(0, 0, 50).end()));
    {
        const double s = 60 * kTwips / 32768.0, c = std::cos(std::numbers::pi / 4), n = std::sin(std::numbers::pi / 4);
        const auto diagonal = GradientFill(0x10, {std::pair{s * c, s * c}, std::pair{s * n, -s * n}, Twips(160), Twips(80)},
                                           {{0, {60, 220, 255, 255}}, {255, {30, 60, 200, 255}}});
        Pen pen(2, 0);
        for (int i = 0; i < 24; ++i) {
            const double x = i * 16;
            pen.start(x, 0, std::nullopt, 1u + i % 2, std::nullopt)
                .lineTo(x + 16, 0).lineTo(x - 44, 160).lineTo(x - 60, 160).lineTo(x, 0);
        }
        tags.push_back(Shape(kStripes, -60, 0, 384, 160, {SolidFill(255, 255, 255, 230), diagonal}, {}, pen.end()));
    }
    return tags;
}

// The morph's ratio goes from 0 to 65535 and back over the movie.
uint16_t MorphRatio(int frame) {
    const double half = kDemoFrames / 2.0;
    const double t = frame <= half ? frame / half : (kDemoFrames - frame) / half;
    return static_cast<uint16_t>(std::lround(65535 * std::clamp(t, 0.0, 1.0)));
}

// The sun's alpha multiplier, pulsing between 0.6 and 1 (8.8 fixed point).
int SunAlpha(int frame) {
    return static_cast<int>(std::lround(256 * (0.8 + 0.2 * std::cos(frame * 2 * std::numbers::pi / kDemoFrames))));
}

}  // namespace

std::string BuildDemoMovie() {
    std::vector<std::vector<uint8_t>> tags = {BackgroundTag(24, 28, 48)};
    for (auto& t : Definitions()) tags.push_back(std::move(t));
    for (int f = 0; f < kDemoFrames; ++f) {
        const bool first = f == 0;
        auto place = [&](PlaceFields p, uint16_t character) {
            if (first) {
                p.character = character;
            } else {
                p.move = true;
            }
            tags.push_back(PlaceObject2Tag(p));
        };
        if (first) {
            tags.push_back(PlaceObject2Tag({kSkyDepth, kSky}));
            tags.push_back(PlaceObject2Tag({kGroundDepth, kGround}));
            tags.push_back(PlaceObject2Tag({kWindowDepth, kWindow, false, At(320, 120), std::nullopt, std::nullopt,
                                            kWindowTop}));
        }
        place({kSunDepth, std::nullopt, false, At(500, 90), std::array{256, 256, 256, SunAlpha(f)}}, kSun);
        PlaceFields morph{kMorphDepth, std::nullopt, false, At(120, 110)};
        morph.ratio = MorphRatio(f);
        place(morph, kMorph);
        place({kStripesDepth, std::nullopt, false, At(220 - (f * 2) % 32, 50)}, kStripes);
        place({kCartDepth, std::nullopt, false, At(-80 + f * 800.0 / (kDemoFrames - 1), 262)}, kCart);
        tags.push_back(ShowFrameTag());
    }
    tags.push_back(EndTag());

    SwfFields fields;
    fields.signature = 'C';
    fields.version = 8;
    fields.xMax = kDemoWidth * kTwips;
    fields.yMax = kDemoHeight * kTwips;
    fields.rate88 = kDemoRate << 8;
    fields.frameCount = kDemoFrames;
    fields.tags.clear();
    for (const auto& t : tags) AppendBytes(fields.tags, t);
    return BuildSwfFile(fields);
}

}  // namespace testing_support
