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
    // The ramp is a walk along the stops in their order, one stop at most for each entry: the
    // walk passes the next stop once the entry is past its ratio. Entry i shows the segment
    // from the walk's stop a to the next, b: a's colour up to a's ratio, then the blend
    // towards b (rounded down) until b's ratio. A segment whose ratios tie shows a; one whose
    // ratios go backwards shows b. So stops out of order each show for one entry after the
    // stop before them, and the segment after them blends from their own ratio; a stop that
    // ties the one before it shows the one before for an entry more.
    const bool linear = interpolation_ == Interpolation::kLinearRgb;
    const size_t n = stops_.size();
    size_t j = 0;
    for (int i = 0; i < kGradientTableSize; ++i) {
        if (j + 1 < n && i > stops_[j + 1].ratio) ++j;
        Rgba c;
        if (j + 1 >= n) {
            c = stops_.back().color;
        } else {
            const GradientStop& a = stops_[j];
            const GradientStop& b = stops_[j + 1];
            if (i <= a.ratio || b.ratio == a.ratio) {
                c = a.color;
            } else if (b.ratio < a.ratio) {
                c = b.color;
            } else {
                const int num = std::min(i - a.ratio, b.ratio - a.ratio), den = b.ratio - a.ratio;
                const float f = float(num) / float(den);
                auto mix = [&](uint8_t x, uint8_t y, bool colour) {
                    if (linear && colour) {
                        const float v = LinearToSrgb(SrgbToLinear(x / 255.0f) * (1 - f) + SrgbToLinear(y / 255.0f) * f) * 255.0f;
                        return static_cast<uint8_t>(std::clamp(std::floor(v + 1e-3f), 0.0f, 255.0f));
                    }
                    // Exactly, in integers: (x (den - num) + y num) / den, rounded down.
                    return static_cast<uint8_t>((x * (den - num) + y * num) / den);
                };
                c = {mix(a.color.r, b.color.r, true), mix(a.color.g, b.color.g, true), mix(a.color.b, b.color.b, true),
                     mix(a.color.a, b.color.a, false)};
            }
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
