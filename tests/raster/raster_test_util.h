#pragma once
// Pictures for rasterizer tests, and exact areas computed from geometry to check them by.

#include <algorithm>
#include <cmath>
#include <vector>

#include "raster/canvas.h"

namespace raster_test {

struct Picture {
    int width, height;
    std::vector<uint32_t> pixels;
    raster::Target target;
    Picture(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0) {
        target = raster::Target::TopDown(pixels.data(), w, h, w * 4);
    }
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t alpha(int x, int y) const { return at(x, y) >> 24; }
};

// Area of the convex polygon `poly` inside the pixel [px, px+1] x [py, py+1], by clipping the
// polygon against the pixel's four sides and taking the shoelace area.
inline double AreaInPixel(std::vector<raster::Point> poly, int px, int py) {
    auto clip = [](const std::vector<raster::Point>& in, auto inside, auto cross) {
        std::vector<raster::Point> out;
        for (size_t i = 0; i < in.size(); ++i) {
            const raster::Point a = in[i], b = in[(i + 1) % in.size()];
            const bool ia = inside(a), ib = inside(b);
            if (ia) out.push_back(a);
            if (ia != ib) out.push_back(cross(a, b));
        }
        return out;
    };
    auto atX = [](raster::Point a, raster::Point b, double x) {
        const double t = (x - a.x) / (double(b.x) - a.x);
        return raster::Point{float(x), float(a.y + t * (double(b.y) - a.y))};
    };
    auto atY = [](raster::Point a, raster::Point b, double y) {
        const double t = (y - a.y) / (double(b.y) - a.y);
        return raster::Point{float(a.x + t * (double(b.x) - a.x)), float(y)};
    };
    const double x0 = px, x1 = px + 1, y0 = py, y1 = py + 1;
    poly = clip(poly, [&](raster::Point p) { return p.x >= x0; }, [&](auto a, auto b) { return atX(a, b, x0); });
    poly = clip(poly, [&](raster::Point p) { return p.x <= x1; }, [&](auto a, auto b) { return atX(a, b, x1); });
    poly = clip(poly, [&](raster::Point p) { return p.y >= y0; }, [&](auto a, auto b) { return atY(a, b, y0); });
    poly = clip(poly, [&](raster::Point p) { return p.y <= y1; }, [&](auto a, auto b) { return atY(a, b, y1); });
    double area = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        const raster::Point a = poly[i], b = poly[(i + 1) % poly.size()];
        area += double(a.x) * b.y - double(b.x) * a.y;
    }
    return std::fabs(area) / 2;
}

// Fills the whole picture with `paint` over transparent: every pixel is the paint's colour.
inline Picture FillAll(int w, int h, const raster::Paint& paint) {
    Picture pic(w, h);
    raster::Path all;
    all.addRect(0, 0, float(w), float(h));
    raster::Canvas(pic.target).fillPath(all, raster::Matrix(), paint);
    return pic;
}

inline raster::Path PolygonPath(const std::vector<raster::Point>& poly) {
    raster::Path p;
    p.moveTo(poly[0].x, poly[0].y);
    for (size_t i = 1; i < poly.size(); ++i) p.lineTo(poly[i].x, poly[i].y);
    p.close();
    return p;
}

}  // namespace raster_test
