// Draws the same scenes with our rasterizer and with Cairo's image backend at 1920x1080 and
// prints, per scene:
//   raster SCENE OURS_MS CAIRO_MS RATIO PSNR_DB
// RATIO is our time over Cairo's (below 1: we are faster); PSNR compares the two pictures
// over all four channels, so the times compare the same work. The two renderers take
// turns, run after run, and each keeps its fastest run: on a shared machine that is the
// figure least disturbed by other work. Cairo is used here only; the product never links it.

#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "raster/canvas.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kRuns = 7;

struct Shape {
    std::vector<raster::Point> points;  // move, then pairs (control, end) when curved
    bool curved = false;
    raster::Rgba color;
    float strokeWidth = 0;             // > 0: stroked (open), not filled
    int gradient = -1;                 // >= 0: filled with gradient kind 0 linear, 1 radial
    raster::Matrix gradientMatrix;
};

std::vector<Shape> LargeCurvedShapes(std::mt19937& rng, int count) {
    std::uniform_real_distribution<float> x(-100, kWidth + 100), y(-100, kHeight + 100), r(100, 500);
    std::uniform_int_distribution<int> channel(0, 255), corners(3, 12);
    std::vector<Shape> shapes(count);
    for (Shape& s : shapes) {
        s.curved = true;
        const float cx = x(rng), cy = y(rng), radius = r(rng);
        const int n = corners(rng);
        for (int i = 0; i <= 2 * n; ++i) {
            const float a = float(i) * float(std::numbers::pi) / float(n);
            const float rr = radius * (i % 2 ? 1.4f : 0.6f + 0.4f * float(channel(rng)) / 255);
            s.points.push_back({cx + rr * std::cos(a), cy + rr * std::sin(a)});
        }
        s.color = {uint8_t(channel(rng)), uint8_t(channel(rng)), uint8_t(channel(rng)), uint8_t(96 + channel(rng) / 2)};
    }
    return shapes;
}

std::vector<Shape> SmallPolygons(std::mt19937& rng, int count) {
    std::uniform_real_distribution<float> x(0, kWidth), y(0, kHeight), d(-12, 12);
    std::uniform_int_distribution<int> channel(0, 255);
    std::vector<Shape> shapes(count);
    for (Shape& s : shapes) {
        const float cx = x(rng), cy = y(rng);
        for (int i = 0; i < 4; ++i) s.points.push_back({cx + d(rng), cy + d(rng)});
        s.color = {uint8_t(channel(rng)), uint8_t(channel(rng)), uint8_t(channel(rng)), uint8_t(channel(rng))};
    }
    return shapes;
}

std::vector<Shape> Strokes(std::mt19937& rng, int count) {
    std::uniform_real_distribution<float> x(0, kWidth), y(0, kHeight), d(-60, 60), w(1, 8);
    std::uniform_int_distribution<int> channel(0, 255);
    std::vector<Shape> shapes(count);
    for (Shape& s : shapes) {
        s.curved = true;
        raster::Point p{x(rng), y(rng)};
        s.points.push_back(p);
        for (int i = 0; i < 6; ++i) {
            s.points.push_back({p.x + d(rng), p.y + d(rng)});
            p = {p.x + d(rng), p.y + d(rng)};
            s.points.push_back(p);
        }
        s.strokeWidth = w(rng);
        s.color = {uint8_t(channel(rng)), uint8_t(channel(rng)), uint8_t(channel(rng)), uint8_t(128 + channel(rng) / 2)};
    }
    return shapes;
}

std::vector<Shape> GradientShapes(std::mt19937& rng, int count) {
    std::vector<Shape> shapes = LargeCurvedShapes(rng, count);
    std::uniform_real_distribution<float> angle(0, 6.28f), scale(100, 400);
    for (size_t i = 0; i < shapes.size(); ++i) {
        Shape& s = shapes[i];
        s.gradient = int(i % 2);
        const float a = angle(rng), k = scale(rng);
        const raster::Point c = s.points[0];
        s.gradientMatrix = {k * std::cos(a), k * std::sin(a), -k * std::sin(a), k * std::cos(a), c.x, c.y};
        s.color.a = 255;  // opaque stops: Cairo's and our interpolation then agree
    }
    return shapes;
}

raster::Path ToPath(const Shape& s) {
    raster::Path p;
    p.moveTo(s.points[0].x, s.points[0].y);
    if (s.curved) {
        for (size_t i = 1; i + 1 < s.points.size(); i += 2) {
            p.quadTo(s.points[i].x, s.points[i].y, s.points[i + 1].x, s.points[i + 1].y);
        }
    } else {
        for (size_t i = 1; i < s.points.size(); ++i) p.lineTo(s.points[i].x, s.points[i].y);
    }
    if (s.strokeWidth == 0) p.close();
    return p;
}

const raster::Gradient& BenchGradient(int kind) {
    static const raster::Gradient linear(raster::GradientKind::kLinear,
                                         {{0, {255, 40, 0, 255}}, {128, {20, 200, 60, 255}}, {255, {0, 40, 255, 255}}});
    static const raster::Gradient radial(raster::GradientKind::kRadial,
                                         {{0, {255, 255, 255, 255}}, {255, {90, 0, 140, 255}}});
    return kind == 0 ? linear : radial;
}

void DrawOurs(raster::Canvas& canvas, const std::vector<raster::Path>& paths, const std::vector<Shape>& shapes) {
    canvas.clear({255, 255, 255, 255});
    for (size_t i = 0; i < paths.size(); ++i) {
        const Shape& s = shapes[i];
        if (s.strokeWidth > 0) {
            raster::StrokeStyle style;
            style.width = s.strokeWidth;
            canvas.strokePath(paths[i], raster::Matrix(), style, raster::Paint::Solid(s.color));
        } else if (s.gradient >= 0) {
            canvas.fillPath(paths[i], raster::Matrix(), raster::Paint::WithGradient(BenchGradient(s.gradient), s.gradientMatrix));
        } else {
            canvas.fillPath(paths[i], raster::Matrix(), raster::Paint::Solid(s.color));
        }
    }
}

void DrawCairo(cairo_t* cr, const std::vector<Shape>& shapes) {
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    for (const Shape& s : shapes) {
        cairo_move_to(cr, s.points[0].x, s.points[0].y);
        if (s.curved) {
            // Cairo has cubic curves only: the quadratic raised to a cubic is the same curve.
            for (size_t i = 1; i + 1 < s.points.size(); i += 2) {
                double x0, y0;
                cairo_get_current_point(cr, &x0, &y0);
                const raster::Point c = s.points[i], e = s.points[i + 1];
                cairo_curve_to(cr, x0 + 2.0 / 3 * (c.x - x0), y0 + 2.0 / 3 * (c.y - y0),
                               e.x + 2.0 / 3 * (c.x - e.x), e.y + 2.0 / 3 * (c.y - e.y), e.x, e.y);
            }
        } else {
            for (size_t i = 1; i < s.points.size(); ++i) cairo_line_to(cr, s.points[i].x, s.points[i].y);
        }
        if (s.strokeWidth > 0) {
            cairo_set_source_rgba(cr, s.color.r / 255.0, s.color.g / 255.0, s.color.b / 255.0, s.color.a / 255.0);
            cairo_set_line_width(cr, s.strokeWidth);
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            cairo_stroke(cr);
            continue;
        }
        cairo_close_path(cr);
        if (s.gradient >= 0) {
            cairo_pattern_t* pattern = s.gradient == 0 ? cairo_pattern_create_linear(-1, 0, 1, 0)
                                                       : cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
            for (const raster::GradientStop& stop : BenchGradient(s.gradient).stops()) {
                cairo_pattern_add_color_stop_rgb(pattern, stop.ratio / 255.0, stop.color.r / 255.0,
                                                 stop.color.g / 255.0, stop.color.b / 255.0);
            }
            cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
            const raster::Matrix& m = s.gradientMatrix;
            cairo_matrix_t toDevice;
            cairo_matrix_init(&toDevice, m.a, m.b, m.c, m.d, m.tx, m.ty);
            cairo_matrix_invert(&toDevice);  // Cairo's pattern matrix maps device to pattern space
            cairo_pattern_set_matrix(pattern, &toDevice);
            cairo_set_source(cr, pattern);
            cairo_fill(cr);
            cairo_pattern_destroy(pattern);
            continue;
        }
        cairo_set_source_rgba(cr, s.color.r / 255.0, s.color.g / 255.0, s.color.b / 255.0, s.color.a / 255.0);
        cairo_fill(cr);
    }
}

double TimeMs(const std::function<void()>& draw) {
    const auto t0 = std::chrono::steady_clock::now();
    draw();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double Psnr(const uint32_t* a, const uint8_t* b, int stride) {
    double se = 0;
    for (int y = 0; y < kHeight; ++y) {
        const uint32_t* rowB = reinterpret_cast<const uint32_t*>(b + y * stride);
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t p = a[y * kWidth + x], q = rowB[x];
            for (int c = 0; c < 32; c += 8) {
                const double d = double((p >> c) & 0xFF) - double((q >> c) & 0xFF);
                se += d * d;
            }
        }
    }
    const double mse = se / (double(kWidth) * kHeight * 4);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

void RunScene(const char* name, const std::vector<Shape>& shapes, std::vector<double>& ratios) {
    std::vector<raster::Path> paths;
    for (const Shape& s : shapes) paths.push_back(ToPath(s));
    std::vector<uint32_t> ours(size_t(kWidth) * kHeight);
    raster::Canvas canvas(raster::Target::TopDown(ours.data(), kWidth, kHeight, kWidth * 4));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_tolerance(cr, raster::kDefaultTolerance);

    double oursMs = 1e30, cairoMs = 1e30;
    for (int run = 0; run < kRuns; ++run) {
        oursMs = std::min(oursMs, TimeMs([&] { DrawOurs(canvas, paths, shapes); }));
        cairoMs = std::min(cairoMs, TimeMs([&] {
            DrawCairo(cr, shapes);
            cairo_surface_flush(surface);
        }));
    }
    const double psnr = Psnr(ours.data(), cairo_image_surface_get_data(surface), cairo_image_surface_get_stride(surface));
    std::printf("raster %s %.2f %.2f %.3f %.1f\n", name, oursMs, cairoMs, oursMs / cairoMs, psnr);
    std::fflush(stdout);
    ratios.push_back(oursMs / cairoMs);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

}  // namespace

int main() {
    std::mt19937 rng(20261209);
    std::vector<double> ratios;
    RunScene("filled_paths", LargeCurvedShapes(rng, 200), ratios);
    RunScene("small_shapes", SmallPolygons(rng, 20000), ratios);
    RunScene("strokes", Strokes(rng, 3000), ratios);
    RunScene("gradients", GradientShapes(rng, 100), ratios);
    std::sort(ratios.begin(), ratios.end());
    const size_t n = ratios.size();
    const double median = n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
    std::printf("raster median_ratio %.3f\n", median);
    return 0;
}
