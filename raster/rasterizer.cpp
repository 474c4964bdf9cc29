#include "raster/rasterizer.h"

#include <algorithm>
#include <cmath>

namespace raster {

void Rasterizer::reset(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    edges_.clear();
    multiStyle_ = false;
    if (area_.size() < static_cast<size_t>(width_) + 2) {
        area_.assign(static_cast<size_t>(width_) + 2, 0.0f);
        coverage_.assign(static_cast<size_t>(width_) + 2, 0.0f);
    }
}

void Rasterizer::line(Point from, Point to) { addLine(from, to, style_); }

// Clips in y to the rows of the target, then hands the piece on for x.
void Rasterizer::addLine(Point a, Point b, uint32_t style) {
    if (!(std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(b.x) && std::isfinite(b.y))) return;
    if (a.y == b.y) return;  // horizontal lines cover nothing
    const float top = 0, bottom = static_cast<float>(height_);
    const bool down = a.y < b.y;
    Point p = down ? a : b, q = down ? b : a;  // p above q
    if (q.y <= top || p.y >= bottom) return;
    const float dxdy = (q.x - p.x) / (q.y - p.y);
    if (p.y < top) {
        p.x += (top - p.y) * dxdy;
        p.y = top;
    }
    if (q.y > bottom) {
        q.x -= (q.y - bottom) * dxdy;
        q.y = bottom;
    }
    if (down) {
        addClippedX(p, q, style);
    } else {
        addClippedX(q, p, style);
    }
}

// Splits at the left and right edges of the target. A piece left of the target becomes a
// vertical line on its left edge: it still covers every pixel to its right. A piece right
// of it lands in the cell past the last column, where it changes no pixel.
void Rasterizer::addClippedX(Point a, Point b, uint32_t style) {
    const float left = 0, right = static_cast<float>(width_);
    float cuts[4] = {0, 1, 1, 1};
    int n = 1;
    if (a.x != b.x) {
        for (float edge : {left, right}) {
            const float t = (edge - a.x) / (b.x - a.x);
            if (t > 0 && t < 1) cuts[n++] = t;
        }
    }
    if (n == 3 && cuts[2] < cuts[1]) std::swap(cuts[1], cuts[2]);
    cuts[n] = 1;
    Point prev = a;
    for (int i = 1; i <= n; ++i) {
        const float t = cuts[i];
        Point next = i == n ? b : Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
        Point p0 = prev, p1 = next;
        p0.x = std::clamp(p0.x, left, right);
        p1.x = std::clamp(p1.x, left, right);
        addEdge(p0, p1, style);
        prev = next;
    }
}

void Rasterizer::addEdge(Point a, Point b, uint32_t style) {
    if (a.y == b.y) return;
    if (edges_.size() >= kMaxRasterEdges) {
        overflow_ = true;
        return;
    }
    Edge e;
    if (a.y < b.y) {
        e = {a.x, a.y, b.x, b.y, 0, 1, style};
    } else {
        e = {b.x, b.y, a.x, a.y, 0, -1, style};
    }
    e.dxdy = (e.x1 - e.x0) / (e.y1 - e.y0);
    if (!edges_.empty() && edges_.front().style != style) multiStyle_ = true;
    edges_.push_back(e);
}

// Adds the part of `e` inside row y: for every column it crosses, the signed area it leaves
// to its right within that column goes to the column, the rest of its height to the next.
void Rasterizer::accumulateArea(const Edge& e, int y) {
    const float rowTop = static_cast<float>(y), rowBottom = rowTop + 1;
    const float ya = std::max(e.y0, rowTop), yb = std::min(e.y1, rowBottom);
    if (yb <= ya) return;
    const float xa = e.x0 + (ya - e.y0) * e.dxdy;
    const float xb = e.x0 + (yb - e.y0) * e.dxdy;
    const float height = (yb - ya) * static_cast<float>(e.dir);
    float* area = area_.data();
    const float xl = std::min(xa, xb), xr = std::max(xa, xb);
    const int cl = static_cast<int>(xl), cr = static_cast<int>(xr);
    touchedMin_ = std::min(touchedMin_, cl);
    touchedMax_ = std::max(touchedMax_, cr + 1);
    touched_.push_back({cl, cr + 2});  // cell cr + 1 takes the rest of the height
    if (cl == cr || xr - xl < 1e-6f) {
        const float mid = (xl + xr) * 0.5f - static_cast<float>(cl);
        area[cl] += height * (1 - mid);
        area[cl + 1] += height * mid;
        return;
    }
    const float perX = height / (xr - xl);
    for (int c = cl; c <= cr; ++c) {
        const float s = std::max(xl, static_cast<float>(c));
        const float t = std::min(xr, static_cast<float>(c + 1));
        if (t <= s) continue;
        const float h = (t - s) * perX;
        const float mid = (s + t) * 0.5f - static_cast<float>(c);
        area[c] += h * (1 - mid);
        area[c + 1] += h * mid;
    }
}

// Without anti-aliasing: the edge crosses the centre line of row y at most once; every pixel
// whose centre lies right of the crossing gets its winding.
void Rasterizer::accumulateCentre(const Edge& e, int y) {
    const float centre = static_cast<float>(y) + 0.5f;
    if (centre < e.y0 || centre >= e.y1) return;
    const float x = e.x0 + (centre - e.y0) * e.dxdy;
    const int c = std::clamp(static_cast<int>(std::ceil(x - 0.5f)), 0, width_);
    area_[c] += static_cast<float>(e.dir);
    touchedMin_ = std::min(touchedMin_, c);
    touchedMax_ = std::max(touchedMax_, c);
    touched_.push_back({c, c + 1});
}

namespace {

inline float FoldCoverage(float sum, FillRule rule) {
    const float v = std::fabs(sum);
    float c;
    if (rule == FillRule::kNonZero) {
        c = v >= 1 ? 1.0f : v;
    } else {
        const float t = std::fmod(v, 2.0f);
        c = t > 1 ? 2 - t : t;
    }
    return c < 1e-4f ? 0 : (c > 0.9999f ? 1 : c);
}

// Runs at least this long, where no edge changes the coverage, go to the sink as one run.
constexpr int kMinRun = 16;

}  // namespace

// Turns the accumulated cells of [x0, x1) into coverage, clearing them: the cells that edges
// touched go out as spans of varying coverage, the stretches between them, where the
// coverage cannot change, as constant runs.
void Rasterizer::emitCoverage(uint32_t style, int y, int x0, int x1, FillRule rule, CoverageSink& sink) {
    // Merge the touched intervals, sorted; gaps too short to be worth a run join them.
    std::sort(touched_.begin(), touched_.end());
    size_t merged = 0;
    for (size_t i = 1; i < touched_.size(); ++i) {
        if (touched_[i].first < touched_[merged].second + kMinRun) {
            touched_[merged].second = std::max(touched_[merged].second, touched_[i].second);
        } else {
            touched_[++merged] = touched_[i];
        }
    }
    if (!touched_.empty()) touched_.resize(merged + 1);

    float* area = area_.data();
    float sum = 0, c = 0;
    int x = x0;
    for (const auto& [begin, end] : touched_) {
        const int runEnd = std::min(begin, x1);
        if (runEnd > x && c > 0) sink.run(style, y, x, runEnd - x, c);
        const int from = std::max(begin, x), to = std::min(end, x1);
        x = std::max(x, runEnd);
        if (from >= to) continue;
        int count = 0;
        for (int i = from; i < to; ++i) {
            sum += area[i];
            area[i] = 0;
            c = FoldCoverage(sum, rule);
            coverage_[count++] = c;
        }
        sink.span(style, y, from, coverage_.data(), count);
        x = to;
    }
    touched_.clear();
}

void Rasterizer::sweep(FillRule rule, bool antiAlias, CoverageSink& sink) {
    if (edges_.empty() || width_ == 0) return;
    order_.resize(edges_.size());
    for (uint32_t i = 0; i < order_.size(); ++i) order_[i] = i;
    std::sort(order_.begin(), order_.end(),
              [&](uint32_t l, uint32_t r) { return edges_[l].y0 < edges_[r].y0; });
    active_.clear();
    size_t next = 0;
    const int firstRow = static_cast<int>(edges_[order_[0]].y0);
    for (int y = firstRow; y < height_; ++y) {
        const float rowTop = static_cast<float>(y), rowBottom = rowTop + 1;
        // Drop finished edges, take on the ones that start in this row.
        active_.erase(std::remove_if(active_.begin(), active_.end(),
                                     [&](uint32_t i) { return edges_[i].y1 <= rowTop; }),
                      active_.end());
        bool newStyles = false;
        while (next < order_.size() && edges_[order_[next]].y0 < rowBottom) {
            active_.push_back(order_[next++]);
            newStyles = true;
        }
        if (active_.empty()) {
            if (next == order_.size()) break;
            y = static_cast<int>(edges_[order_[next]].y0) - 1;  // skip empty rows
            continue;
        }
        if (newStyles && multiStyle_) {
            // By style, then by index: deterministic, and std::sort needs no buffer.
            std::sort(active_.begin(), active_.end(), [&](uint32_t l, uint32_t r) {
                return edges_[l].style != edges_[r].style ? edges_[l].style < edges_[r].style : l < r;
            });
        }
        int rowMin = width_, rowMax = 0;
        for (size_t g = 0; g < active_.size();) {
            const uint32_t style = edges_[active_[g]].style;
            touchedMin_ = width_;
            touchedMax_ = 0;
            size_t h = g;
            for (; h < active_.size() && edges_[active_[h]].style == style; ++h) {
                if (antiAlias) {
                    accumulateArea(edges_[active_[h]], y);
                } else {
                    accumulateCentre(edges_[active_[h]], y);
                }
            }
            g = h;
            const int x0 = std::max(touchedMin_, 0), x1 = std::min(touchedMax_, width_);
            emitCoverage(style, y, x0, x1, rule, sink);
            for (int x = std::max(x1, 0); x <= touchedMax_ && x < static_cast<int>(area_.size()); ++x) {
                area_[x] = 0;
            }
            if (x1 > x0) {
                rowMin = std::min(rowMin, x0);
                rowMax = std::max(rowMax, x1);
            }
        }
        if (rowMax > rowMin) sink.endRow(y, rowMin, rowMax);
    }
}

}  // namespace raster
