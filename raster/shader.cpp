#include "raster/shader.h"

#include <algorithm>
#include <cmath>

#include "raster/target.h"

namespace raster {

namespace {

// The straight colour of a premultiplied word.
Rgba Unpremultiply(uint32_t p) {
    const uint32_t a = ChannelA(p);
    if (a == 0) return {0, 0, 0, 0};
    auto ch = [&](uint32_t v) { return static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + a / 2) / a)); };
    return {ch(ChannelR(p)), ch(ChannelG(p)), ch(ChannelB(p)), static_cast<uint8_t>(a)};
}

// Interpolates premultiplied words: a + (b - a) * w / 256, w 0 to 256.
uint32_t Lerp(uint32_t a, uint32_t b, uint32_t w) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
        out |= static_cast<uint32_t>(ca + (((cb - ca) * int(w)) >> 8)) << shift;
    }
    return out;
}

int Wrap(int i, int n) {
    const int r = i % n;
    return r < 0 ? r + n : r;
}

}  // namespace

void Shader::prepare(const Paint& paint) {
    cx_ = paint.cx;
    transformColors_ = false;
    if (paint.kind == Paint::Kind::kBitmap && paint.bitmap != nullptr && !paint.bitmap->empty()) {
        solid_ = false;
        gradient_ = nullptr;
        bitmap_ = paint.bitmap;
        repeat_ = paint.repeat;
        smooth_ = paint.smooth;
        transformColors_ = !paint.cx.isIdentity();
        invertible_ = paint.matrix.invert(toGradient_);
        return;
    }
    bitmap_ = nullptr;
    solid_ = paint.kind == Paint::Kind::kSolid || paint.gradient == nullptr;
    if (solid_) {
        // A bitmap paint without pixels fills with nothing.
        color_ = paint.kind == Paint::Kind::kSolid ? PremultipliedWord(paint.cx.apply(paint.color)) : 0;
        return;
    }
    gradient_ = paint.gradient;
    if (paint.cx.isIdentity()) {
        table_ = gradient_->table();
    } else {
        gradient_->buildTable(paint.cx, table_);
    }
    invertible_ = paint.matrix.invert(toGradient_);
}

void Shader::shade(int y, int x0, int count, uint32_t* out) const {
    if (solid_) {
        std::fill_n(out, count, color_);
        return;
    }
    if (!invertible_) {
        std::fill_n(out, count, 0u);
        return;
    }
    const Point start = toGradient_.apply({static_cast<float>(x0) + 0.5f, static_cast<float>(y) + 0.5f});
    const float du = toGradient_.a, dv = toGradient_.b;
    if (bitmap_ != nullptr) {
        shadeBitmap(start.x, start.y, du, dv, count, out);
        return;
    }
    const Gradient& g = *gradient_;
    float u = start.x, v = start.y;
    if (g.kind() == GradientKind::kLinear && g.spread() == Spread::kPad) {
        // The common case without a branch per pixel: the table index straight from u.
        float t = (u + 1) * 127.5f + 0.5f;
        const float dt = du * 127.5f;
        for (int i = 0; i < count; ++i, t += dt) out[i] = table_[static_cast<int>(std::clamp(t, 0.0f, 255.0f))];
        return;
    }
    if (g.kind() == GradientKind::kLinear) {
        for (int i = 0; i < count; ++i, u += du) out[i] = table_[g.index((u + 1) * 0.5f)];
        return;
    }
    for (int i = 0; i < count; ++i, u += du, v += dv) out[i] = table_[g.index(g.position(u, v))];
}

uint32_t Shader::texel(int x, int y) const {
    const Bitmap& b = *bitmap_;
    if (repeat_) return b.at(Wrap(x, b.width), Wrap(y, b.height));
    return b.at(std::clamp(x, 0, b.width - 1), std::clamp(y, 0, b.height - 1));
}

// Samples the bitmap at (u, v) in its pixel space, stepping (du, dv) per device pixel:
// nearest takes the texel the point lies in; bilinear weighs the four texels around it
// by their centres' distances.
void Shader::shadeBitmap(float u, float v, float du, float dv, int count, uint32_t* out) const {
    constexpr float kLimit = 1 << 30;  // keeps the integer conversions defined
    for (int i = 0; i < count; ++i, u += du, v += dv) {
        const float su = std::clamp(smooth_ ? u - 0.5f : u, -kLimit, kLimit);
        const float sv = std::clamp(smooth_ ? v - 0.5f : v, -kLimit, kLimit);
        const float fu = std::floor(su), fv = std::floor(sv);
        const int x = static_cast<int>(fu), y = static_cast<int>(fv);
        uint32_t c;
        if (!smooth_) {
            c = texel(x, y);
        } else {
            const uint32_t wx = static_cast<uint32_t>((su - fu) * 256.0f + 0.5f);
            const uint32_t wy = static_cast<uint32_t>((sv - fv) * 256.0f + 0.5f);
            const uint32_t top = Lerp(texel(x, y), texel(x + 1, y), wx);
            const uint32_t bottom = Lerp(texel(x, y + 1), texel(x + 1, y + 1), wx);
            c = Lerp(top, bottom, wy);
        }
        out[i] = transformColors_ ? PremultipliedWord(cx_.apply(Unpremultiply(c))) : c;
    }
}

}  // namespace raster
