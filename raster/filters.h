#pragma once
// Filters on a layer, as SWF movies apply them to display objects: blur, drop shadow, glow,
// bevel, gradient glow and gradient bevel, colour matrix and convolution. Each works in
// place on a premultiplied layer; effects that spread beyond the object stay within the
// layer, which is as large as the target. A Filters object keeps its scratch buffers, so
// filtering allocates nothing once they have grown.

#include <array>
#include <cstdint>
#include <vector>

#include "raster/color_transform.h"
#include "raster/paint_color.h"
#include "raster/target.h"

namespace raster {

inline constexpr int kMaxFilterPasses = 15;      // SWF's quality field is 5 bits
inline constexpr float kMaxBlurRadius = 255;     // SWF's blur is 16.16 fixed, at most 255 px

struct BlurParams {
    float blurX = 4, blurY = 4;  // box width in pixels
    int passes = 1;              // the box is applied this many times (SWF's quality)
};

// What a shadow, glow or bevel does with the object it is made from.
struct EffectParams {
    BlurParams blur;
    float strength = 1;    // multiplies the effect's alpha
    float angle = 0.785398f;  // radians, from +x towards +y (down)
    float distance = 4;    // offset in pixels (drop shadow and bevels)
    bool inner = false;    // inside the object rather than around it
    bool knockout = false; // the object itself is removed, only the effect stays
    bool hideObject = false;  // drop shadow: draw the shadow alone, without the object
    bool onTop = false;    // bevels: the effect goes over the object (SWF's on-top flag)
};

enum class BevelType : uint8_t { kInner, kOuter, kFull };

// A colour transform on the premultiplied pixels of `box`, through their straight colours.
// Transparent pixels stay transparent.
void TransformColors(const Target& layer, const PixelBox& box, const ColorTransform& cx);

class Filters {
public:
    // Four channels summed together, for box blurs of whole pixels.
    struct Sum4 {
        int32_t c[4] = {0, 0, 0, 0};
        Sum4& operator+=(const Sum4& o) {
            for (int i = 0; i < 4; ++i) c[i] += o.c[i];
            return *this;
        }
        Sum4& operator-=(const Sum4& o) {
            for (int i = 0; i < 4; ++i) c[i] -= o.c[i];
            return *this;
        }
    };

    void blur(const Target& layer, const BlurParams& p);
    void dropShadow(const Target& layer, Rgba color, const EffectParams& p);
    void glow(const Target& layer, Rgba color, const EffectParams& p);
    void bevel(const Target& layer, Rgba highlight, Rgba shadow, BevelType type, const EffectParams& p);
    // Gradient forms: the effect's strength, 0 to 1 (for bevels -1 shadow to +1 highlight),
    // picks its colour from a 256-entry premultiplied table.
    void gradientGlow(const Target& layer, const std::array<uint32_t, 256>& table, const EffectParams& p);
    void gradientBevel(const Target& layer, const std::array<uint32_t, 256>& table, BevelType type, const EffectParams& p);
    // A 4 x 5 matrix on straight colours, row by row for red, green, blue and alpha; the
    // fifth column is an offset in 0..255 units.
    void colorMatrix(const Target& layer, const std::array<float, 20>& m);
    // A cols x rows kernel on premultiplied pixels, divided, biased (0..255 units). Pixels
    // beyond the layer repeat its edge, or are `outside` when clamp is false.
    void convolution(const Target& layer, int cols, int rows, const std::vector<float>& kernel, float divisor,
                     float bias, bool preserveAlpha, bool clamp, Rgba outside);

private:
    void blurPlane(std::vector<float>& plane, int w, int h, const BlurParams& p);
    void alphaPlane(const Target& layer, int dx, int dy, std::vector<float>& out);
    void shadowPlane(const Target& layer, const EffectParams& p);
    void bevelPlanes(const Target& layer, const EffectParams& p);
    void composeEffect(const Target& layer, const std::vector<float>& effect, const uint32_t* table, uint32_t color,
                       uint32_t negativeColor, bool signedEffect, bool inner, bool outer, bool knockout, bool onTop,
                       bool hideObject);

    std::vector<float> line_, plane_, planeB_;
    std::vector<uint32_t> copy_;
    std::vector<Sum4> pixelLine_;
};

}  // namespace raster
