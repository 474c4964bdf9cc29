#include "res/art.h"

#include <cmath>
#include <numbers>
#include <string_view>

#include "raster/canvas.h"

namespace art {

namespace {

using raster::Canvas;
using raster::Matrix;
using raster::Paint;
using raster::Path;
using raster::Rgba;

constexpr float kPi = std::numbers::pi_v<float>;
constexpr Rgba kDarkGrey{64, 64, 68, 255};
constexpr Rgba kLightGrey{224, 224, 226, 255};

// Points on an ellipse from angle a0 to a1 (degrees, clockwise on screen from the +x axis).
void Arc(Path& p, float cx, float cy, float rx, float ry, float a0, float a1, bool start) {
    const int steps = std::max(4, static_cast<int>(std::fabs(a1 - a0) / 10));
    for (int i = 0; i <= steps; ++i) {
        const float t = (a0 + (a1 - a0) * static_cast<float>(i) / static_cast<float>(steps)) * kPi / 180;
        const float x = cx + rx * std::cos(t), y = cy + ry * std::sin(t);
        if (i == 0 && start) {
            p.moveTo(x, y);
        } else {
            p.lineTo(x, y);
        }
    }
}

void Line(Path& p, std::initializer_list<raster::Point> points) {
    bool first = true;
    for (raster::Point q : points) {
        if (first) {
            p.moveTo(q.x, q.y);
        } else {
            p.lineTo(q.x, q.y);
        }
        first = false;
    }
}

// A stroke lettering of our own: each glyph is centre lines on a grid where the baseline
// is y = 10, the x-height y = 4 and the capitals' top y = 0; it returns its advance.
float Glyph(char c, Path& p) {
    switch (c) {
        case 'D':
            Line(p, {{0, 0}, {0, 10}});
            Line(p, {{0, 0}, {2.5f, 0}});
            Arc(p, 2.5f, 5, 4.5f, 5, -90, 90, false);
            p.lineTo(0, 10);
            return 9;
        case 'r':
            Line(p, {{0, 4}, {0, 10}});
            Arc(p, 3, 7.2f, 3, 3.2f, 180, 280, true);
            return 5;
        case 'a':
            Arc(p, 2.5f, 7, 2.5f, 3, 0, 360, true);
            Line(p, {{5, 4}, {5, 10}});
            return 7;
        case 'g':
            Arc(p, 2.5f, 7, 2.5f, 3, 0, 360, true);
            Line(p, {{5, 4}, {5, 11}});
            Arc(p, 2.5f, 11, 2.5f, 2, 0, 150, false);
            return 7;
        case 's':
            Arc(p, 2.4f, 5.5f, 2.2f, 1.5f, -20, -270, true);
            Arc(p, 2.4f, 8.5f, 2.2f, 1.5f, -90, 160, false);
            return 6;
        case 'w':
            Line(p, {{0, 4}, {1.5f, 10}, {3.2f, 5.5f}, {4.9f, 10}, {6.4f, 4}});
            return 8.2f;
        case 'f':
            Line(p, {{1.5f, 10}, {1.5f, 2.5f}});
            Arc(p, 3.7f, 2.5f, 2.2f, 2.2f, 180, 300, false);
            Line(p, {{0, 4.5f}, {3.6f, 4.5f}});
            return 5;
        case 'i':
            Line(p, {{0, 4.5f}, {0, 10}});
            Line(p, {{0, 1.6f}, {0, 1.9f}});
            return 2.8f;
        case 'l':
            Line(p, {{0, 0}, {0, 10}});
            return 2.8f;
        case 'e':
            Line(p, {{0, 7}, {5, 7}});
            Arc(p, 2.5f, 7, 2.5f, 3, 0, -310, false);
            return 7;
        case 'h':
            Line(p, {{0, 0}, {0, 10}});
            Arc(p, 2.5f, 7, 2.5f, 2.6f, 180, 360, true);
            p.lineTo(5, 10);
            return 7;
        default:
            return 3.2f;  // a space
    }
}

// The lettering's width in grid units.
float TextWidth(std::string_view text) {
    float width = 0;
    Path scratch;
    for (char c : text) width += Glyph(c, scratch);
    return width;
}

void DrawText(Canvas& canvas, std::string_view text, float x, float y, float scale, float weight, Rgba color) {
    raster::StrokeStyle style;
    style.width = weight;
    for (char c : text) {
        Path p;
        const float advance = Glyph(c, p);
        if (!p.empty()) canvas.strokePath(p, Matrix{scale, 0, 0, scale, x, y}, style, Paint::Solid(color));
        x += advance * scale;
    }
}

Path Circle(float cx, float cy, float r) {
    Path p;
    Arc(p, cx, cy, r, r, 0, 360, true);
    p.close();
    return p;
}

// The logo: a disc shaded from amber to crimson with a white film frame in it, a ribbon
// running through it like a strip leaving the projector.
void DrawLogo(Canvas& canvas, float cx, float cy, float r) {
    const raster::Gradient shade(raster::GradientKind::kRadial,
                                 {{0, {255, 200, 80, 255}}, {150, {240, 110, 40, 255}}, {255, {190, 30, 50, 255}}});
    canvas.fillPath(Circle(cx, cy, r), Matrix(),
                    Paint::WithGradient(shade, Matrix{r * 1.25f, 0, 0, r * 1.25f, cx - r * 0.35f, cy - r * 0.4f}));
    // The white frame with rounded corners, and its two perforations.
    const float w = r * 0.9f, h = r * 0.62f;
    Path frame;
    frame.addRect(cx - w / 2, cy - h / 2, w, h);
    canvas.fillPath(frame, Matrix(), Paint::Solid({255, 255, 255, 240}));
    Path window;
    window.addRect(cx - w / 2 + r * 0.12f, cy - h / 2 + r * 0.1f, w - r * 0.24f, h - r * 0.2f);
    canvas.fillPath(window, Matrix(), Paint::Solid({200, 40, 60, 255}));
    // The play mark in the frame.
    Path play;
    play.moveTo(cx - r * 0.12f, cy - r * 0.17f);
    play.lineTo(cx + r * 0.2f, cy);
    play.lineTo(cx - r * 0.12f, cy + r * 0.17f);
    play.close();
    canvas.fillPath(play, Matrix(), Paint::Solid({255, 255, 255, 255}));
    // The ribbon: an arc round the lower right of the disc.
    raster::StrokeStyle ribbon;
    ribbon.width = std::max(1.0f, r * 0.12f);
    Path arc;
    Arc(arc, cx, cy, r * 0.78f, r * 0.78f, 20, 160, true);
    canvas.strokePath(arc, Matrix(), ribbon, Paint::Solid({255, 255, 255, 220}));
}

void DrawArrow(Canvas& canvas, float cx, float cy, float length) {
    Path p;
    const float shaft = length * 0.14f, head = length * 0.34f;
    p.moveTo(cx - length / 2, cy - shaft);
    p.lineTo(cx + length / 2 - head, cy - shaft);
    p.lineTo(cx + length / 2 - head, cy - head * 0.9f);
    p.lineTo(cx + length / 2, cy);
    p.lineTo(cx + length / 2 - head, cy + head * 0.9f);
    p.lineTo(cx + length / 2 - head, cy + shaft);
    p.lineTo(cx - length / 2, cy + shaft);
    p.close();
    canvas.fillPath(p, Matrix(), Paint::Solid(kDarkGrey));
}

void DrawReel(Canvas& canvas, float cx, float cy, float r) {
    // The film leaving the reel, under it.
    Path strip;
    strip.moveTo(cx + r * 0.2f, cy + r);
    strip.lineTo(cx + r * 1.25f, cy + r);
    strip.lineTo(cx + r * 1.25f, cy + r * 0.55f);
    strip.lineTo(cx + r * 0.6f, cy + r * 0.55f);
    strip.close();
    canvas.fillPath(strip, Matrix(), Paint::Solid({90, 90, 96, 255}));
    canvas.fillPath(Circle(cx, cy, r), Matrix(), Paint::Solid(kDarkGrey));
    for (int k = 0; k < 5; ++k) {
        const float a = -kPi / 2 + static_cast<float>(k) * 2 * kPi / 5;
        canvas.fillPath(Circle(cx + r * 0.55f * std::cos(a), cy + r * 0.55f * std::sin(a), r * 0.24f), Matrix(),
                        Paint::Solid(kLightGrey));
    }
    canvas.fillPath(Circle(cx, cy, r * 0.12f), Matrix(), Paint::Solid(kLightGrey));
}

void AppendLe(std::string& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// A BITMAPINFOHEADER: 40 bytes.
void AppendInfoHeader(std::string& out, int width, int height, int bits, uint32_t imageBytes) {
    AppendLe(out, 40, 4);
    AppendLe(out, static_cast<uint32_t>(width), 4);
    AppendLe(out, static_cast<uint32_t>(height), 4);
    AppendLe(out, 1, 2);
    AppendLe(out, static_cast<uint32_t>(bits), 2);
    AppendLe(out, 0, 4);  // BI_RGB
    AppendLe(out, imageBytes, 4);
    for (int i = 0; i < 4; ++i) AppendLe(out, 0, 4);
}

}  // namespace

std::string DropHintBmp() {
    const int w = kDropHintWidth, h = kDropHintHeight;
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    Canvas canvas(raster::Target::TopDown(pixels.data(), w, h, w * 4));
    canvas.clear(kLightGrey);
    const std::string_view text = "Drag swf files here";
    const float scale = 1.55f;
    DrawText(canvas, text, (static_cast<float>(w) - TextWidth(text) * scale) / 2 + 1, 12, scale, 1.9f, kDarkGrey);
    DrawLogo(canvas, 50, 82, 27);
    DrawArrow(canvas, 133, 82, 46);
    DrawReel(canvas, 208, 80, 25);

    const int rowBytes = (w * 3 + 3) & ~3;
    const uint32_t imageBytes = static_cast<uint32_t>(rowBytes * h);
    std::string out = "BM";
    AppendLe(out, 14 + 40 + imageBytes, 4);
    AppendLe(out, 0, 4);
    AppendLe(out, 14 + 40, 4);
    AppendInfoHeader(out, w, h, 24, imageBytes);
    for (int y = h - 1; y >= 0; --y) {  // bottom row first
        const size_t start = out.size();
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y) * w + x];  // opaque: no unpremultiplying
            AppendLe(out, p & 0xFFFFFF, 3);
        }
        out.append(static_cast<size_t>(rowBytes) - (out.size() - start), '\0');
    }
    return out;
}

std::vector<uint32_t> Logo(int size) {
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size, 0);
    Canvas canvas(raster::Target::TopDown(pixels.data(), size, size, size * 4));
    const float s = static_cast<float>(size);
    DrawLogo(canvas, s / 2, s / 2, s / 2 - std::max(0.5f, s / 64));
    return pixels;
}

std::string IconFile() {
    std::string out;
    const int count = static_cast<int>(std::size(kIconSizes));
    AppendLe(out, 0, 2);
    AppendLe(out, 1, 2);  // an icon
    AppendLe(out, static_cast<uint32_t>(count), 2);
    std::vector<std::string> images;
    for (int size : kIconSizes) {
        const std::vector<uint32_t> logo = Logo(size);
        const int maskRow = ((size + 31) / 32) * 4;
        std::string image;
        AppendInfoHeader(image, size, size * 2, 32, static_cast<uint32_t>(size * size * 4 + maskRow * size));
        for (int y = size - 1; y >= 0; --y) {
            for (int x = 0; x < size; ++x) {
                // Icons carry straight (not premultiplied) alpha.
                const uint32_t p = logo[static_cast<size_t>(y) * size + x];
                const uint32_t a = p >> 24;
                auto straight = [&](uint32_t c) { return a == 0 ? 0u : std::min(255u, (c * 255 + a / 2) / a); };
                AppendLe(image, straight(p & 0xFF) | straight((p >> 8) & 0xFF) << 8 | straight((p >> 16) & 0xFF) << 16 |
                                    a << 24,
                         4);
            }
        }
        // The AND mask: set where the icon is fully transparent.
        for (int y = size - 1; y >= 0; --y) {
            std::string row(static_cast<size_t>(maskRow), '\0');
            for (int x = 0; x < size; ++x) {
                if ((logo[static_cast<size_t>(y) * size + x] >> 24) == 0) row[x / 8] |= static_cast<char>(0x80 >> (x % 8));
            }
            image += row;
        }
        images.push_back(std::move(image));
    }
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        const int size = kIconSizes[i];
        out.push_back(static_cast<char>(size >= 256 ? 0 : size));
        out.push_back(static_cast<char>(size >= 256 ? 0 : size));
        out.push_back(0);  // no palette
        out.push_back(0);
        AppendLe(out, 1, 2);   // planes
        AppendLe(out, 32, 2);  // bits per pixel
        AppendLe(out, static_cast<uint32_t>(images[i].size()), 4);
        AppendLe(out, offset, 4);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::string& image : images) out += image;
    return out;
}

}  // namespace art
