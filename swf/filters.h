#pragma once
// The filters of PlaceObject3 and of DefineButton2's records (FILTERLIST), decoded once when
// the movie is read: one plain struct per kind. Sizes are as the file gives them (blur widths
// and distances in stage pixels, angles in radians); floats that are not finite read as 0.

#include <array>
#include <cstdint>
#include <variant>
#include <vector>

#include "swf/byte_reader.h"
#include "swf/records.h"

namespace swf {

// The filter ids of the format.
enum class FilterId : uint8_t {
    kDropShadow = 0,
    kBlur = 1,
    kGlow = 2,
    kBevel = 3,
    kGradientGlow = 4,
    kConvolution = 5,
    kColorMatrix = 6,
    kGradientBevel = 7,
};

// The fields the shadow, glow and bevel filters share. Glows have no angle or distance;
// only bevels and the gradient filters have `onTop`.
struct FilterEffect {
    float blurX = 0, blurY = 0;
    float angle = 0, distance = 0;
    float strength = 0;
    bool inner = false, knockout = false;
    bool compositeSource = true;  // false: the object itself is hidden, only the effect shows
    bool onTop = false;
    uint8_t passes = 1;
};

struct DropShadowFilter {
    Color color;
    FilterEffect effect;
};
struct BlurFilter {
    float blurX = 0, blurY = 0;
    uint8_t passes = 1;
};
struct GlowFilter {
    Color color;
    FilterEffect effect;
};
// The record holds the highlight's colour first, then the shadow's (so the reference renders
// show them).
struct BevelFilter {
    Color highlight, shadow;
    FilterEffect effect;
};
struct GradientGlowFilter {
    std::vector<GradientRecord> stops;
    FilterEffect effect;
};
struct GradientBevelFilter {
    std::vector<GradientRecord> stops;
    FilterEffect effect;
};
struct ConvolutionFilter {
    uint8_t columns = 0, rows = 0;
    float divisor = 1, bias = 0;
    std::vector<float> matrix;  // columns x rows, row by row
    Color outside;              // the colour past the edges when not clamped
    bool clamp = true, preserveAlpha = true;
};
struct ColorMatrixFilter {
    std::array<float, 20> matrix{};  // 4 rows of 5: r g b a and the offset
};

using Filter = std::variant<DropShadowFilter, BlurFilter, GlowFilter, BevelFilter, GradientGlowFilter,
                            GradientBevelFilter, ConvolutionFilter, ColorMatrixFilter>;

// A FILTERLIST: a count, then each filter's id and fields. False when a filter's id is unknown
// or its fields run past the reader's end: the size of what follows cannot be told then.
bool ReadFilterList(ByteReader& r, std::vector<Filter>& out);

}  // namespace swf
