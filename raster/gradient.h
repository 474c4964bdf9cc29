#pragma once
// Gradients: linear, radial and focal, with up to 256 stops, three spread modes and
// interpolation in sRGB or linear RGB, looked up through a 256-entry table.
//
// A gradient lives in its own unit space. Linear: the colour runs from u = -1 (ratio 0) to
// u = 1 (ratio 255). Radial: from the centre to the unit circle. Focal: like radial, but
// from the focal point (focal, 0), |focal| < 1, to the unit circle. A paint's matrix maps
// this space to the device (SWF's gradient square of 32768 twips is a scale of 16384).

#include <array>
#include <cstdint>
#include <vector>

#include "raster/color_transform.h"
#include "raster/paint_color.h"

namespace raster {

enum class GradientKind : uint8_t { kLinear, kRadial, kFocal };
enum class Spread : uint8_t { kPad, kReflect, kRepeat };
enum class Interpolation : uint8_t { kSrgb, kLinearRgb };

struct GradientStop {
    uint8_t ratio = 0;
    Rgba color;
};

inline constexpr size_t kMaxGradientStops = 256;
inline constexpr int kGradientTableSize = 256;

// The focal point lies no nearer the circle than this: the reference players draw one
// nearer as if it were here (a reflected focal gradient shows it as its stripes' width).
inline constexpr float kMaxFocal = 0.98f;

class Gradient {
public:
    Gradient() = default;
    // Stops beyond kMaxGradientStops are ignored. Stops whose ratios tie or go backwards are
    // kept in their order: the table's walk (buildTable) shows how.
    Gradient(GradientKind kind, std::vector<GradientStop> stops, Spread spread = Spread::kPad,
             Interpolation interpolation = Interpolation::kSrgb, float focal = 0);

    GradientKind kind() const { return kind_; }
    Spread spread() const { return spread_; }
    float focal() const { return focal_; }
    const std::vector<GradientStop>& stops() const { return stops_; }

    // The table of premultiplied colours for positions 0..255, with `cx` applied to the stops.
    void buildTable(const ColorTransform& cx, std::array<uint32_t, kGradientTableSize>& table) const;
    // The table without a colour transform, built once.
    const std::array<uint32_t, kGradientTableSize>& table() const { return table_; }

    // The gradient position (before spreading) at a point of its unit space.
    float position(float u, float v) const;
    // The table index of a position after spreading.
    int index(float t) const;

private:
    GradientKind kind_ = GradientKind::kLinear;
    Spread spread_ = Spread::kPad;
    Interpolation interpolation_ = Interpolation::kSrgb;
    float focal_ = 0;
    std::vector<GradientStop> stops_;
    std::array<uint32_t, kGradientTableSize> table_{};
};

}  // namespace raster
