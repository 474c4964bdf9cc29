#include "raster/gradient.h"

#include <algorithm>
#include <cmath>

namespace raster {

namespace {

float SrgbToLinear(float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); }
float LinearToSrgb(float c) { return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f; }

}  // namespace

Gradient::Gradient(GradientKind kind, std::vector<GradientStop> stops, Spread spread,
                   Interpolation interpolation, float focal)
    : kind_(kind), spread_(spread), interpolation_(interpolation),
      focal_(std::clamp(focal, -kMaxFocal, kMaxFocal)), stops_(std::move(stops)) {
    if (stops_.size() > kMaxGradientStops) stops_.resize(kMaxGradientStops);
    buildTable(ColorTransform(), table_);
}

void Gradient::buildTable(const ColorTransform& cx, std::array<uint32_t, kGradientTableSize>& table) const {
    if (stops_.empty()) {
        table.fill(0);
        return;
    }
    // Each stop is reached at its own entry, in order: a stop at or below the ratio of the
    // one before it moves one entry past that one (stops pushed past 255 never show, so the
    // first stop to reach 255 holds the end). The entry a moved stop lands on still shows the
    // stop before it, so stops sharing a ratio show as thin bands in their order, one entry
    // after the ratio, instead of the last one hiding the others.
    std::array<int, kMaxGradientStops> at{};
    std::array<bool, kMaxGradientStops> moved{};
    for (size_t k = 0; k < stops_.size(); ++k) {
        at[k] = stops_[k].ratio;
        if (k > 0 && at[k] <= at[k - 1]) {
            at[k] = at[k - 1] + 1;
            moved[k] = true;
        }
    }
    const bool linear = interpolation_ == Interpolation::kLinearRgb;
    size_t next = 0;
    for (int i = 0; i < kGradientTableSize; ++i) {
        while (next < stops_.size() && at[next] < i) ++next;
        Rgba c;
        if (next == 0) {
            c = stops_.front().color;
        } else if (next == stops_.size()) {
            c = stops_.back().color;
        } else if (moved[next]) {
            c = stops_[next - 1].color;
        } else {
            const GradientStop& a = stops_[next - 1];
            const GradientStop& b = stops_[next];
            const float f = (float(i) - float(at[next - 1])) / float(at[next] - at[next - 1]);
            auto mix = [&](uint8_t x, uint8_t y, bool colour) {
                float v;
                if (linear && colour) {
                    v = LinearToSrgb(SrgbToLinear(x / 255.0f) * (1 - f) + SrgbToLinear(y / 255.0f) * f) * 255.0f;
                } else {
                    v = x * (1 - f) + y * f;
                }
                return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
            };
            c = {mix(a.color.r, b.color.r, true), mix(a.color.g, b.color.g, true), mix(a.color.b, b.color.b, true),
                 mix(a.color.a, b.color.a, false)};
        }
        table[i] = PremultipliedWord(cx.apply(c));
    }
}

float Gradient::position(float u, float v) const {
    switch (kind_) {
        case GradientKind::kLinear:
            return (u + 1) * 0.5f;
        case GradientKind::kRadial:
            return std::sqrt(u * u + v * v);
        case GradientKind::kFocal: {
            // The ray from the focal point F through P meets the unit circle at F + s (P - F)
            // with s > 0; the position is 1 / s.
            const float dx = u - focal_, dy = v;
            const float a = dx * dx + dy * dy;
            if (a == 0) return 0;
            const float b = focal_ * dx;
            const float c = focal_ * focal_ - 1;
            const float s = (-b + std::sqrt(b * b - a * c)) / a;
            return s > 0 ? 1 / s : 1;
        }
    }
    return 0;
}

int Gradient::index(float t) const {
    if (!std::isfinite(t)) t = 0;
    switch (spread_) {
        case Spread::kPad:
            t = std::clamp(t, 0.0f, 1.0f);
            break;
        case Spread::kRepeat:
            t -= std::floor(t);
            break;
        case Spread::kReflect: {
            t = std::fabs(t);
            const float period = std::fmod(t, 2.0f);
            t = period > 1 ? 2 - period : period;
            break;
        }
    }
    return std::clamp(static_cast<int>(t * 255.0f + 0.5f), 0, 255);
}

}  // namespace raster
