#include "raster/straight_alpha.h"

#include <array>

namespace raster {

namespace {

// kStraight[a][c]: channel c of a pixel with alpha a, unpremultiplied. A 64 KiB table keeps
// the division out of the loop and the rounding exactly that of the formula.
struct StraightTable {
    std::array<std::array<uint8_t, 256>, 256> value{};
    StraightTable() {
        for (uint32_t a = 1; a < 256; ++a) {
            for (uint32_t c = 0; c < 256; ++c) {
                const uint32_t v = (c * 255 + a / 2) / a;
                value[a][c] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
        }
    }
};

const StraightTable& Table() {
    static const StraightTable table;
    return table;
}

}  // namespace

void UnpremultiplyPixels(const uint32_t* in, uint32_t* out, size_t count) {
    const StraightTable& t = Table();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = in[i], a = p >> 24;
        if (a == 255) {
            out[i] = p;
        } else if (a == 0) {
            out[i] = 0;
        } else {
            const auto& row = t.value[a];
            out[i] = row[p & 0xFF] | uint32_t{row[(p >> 8) & 0xFF]} << 8 | uint32_t{row[(p >> 16) & 0xFF]} << 16 | a << 24;
        }
    }
}

void OverOpaqueColor(const uint32_t* in, uint32_t* out, size_t count, uint32_t color) {
    const uint32_t b = color & 0xFF, g = (color >> 8) & 0xFF, r = (color >> 16) & 0xFF;
    // back x (255 - a) / 255 rounded, for each alpha: three tables of 256.
    std::array<uint8_t, 256> addB{}, addG{}, addR{};
    for (uint32_t a = 0; a < 256; ++a) {
        addB[a] = static_cast<uint8_t>((b * (255 - a) + 127) / 255);
        addG[a] = static_cast<uint8_t>((g * (255 - a) + 127) / 255);
        addR[a] = static_cast<uint8_t>((r * (255 - a) + 127) / 255);
    }
    auto clamp = [](uint32_t v) { return v > 255 ? 255u : v; };
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = in[i], a = p >> 24;
        out[i] = clamp((p & 0xFF) + addB[a]) | clamp(((p >> 8) & 0xFF) + addG[a]) << 8 |
                 clamp(((p >> 16) & 0xFF) + addR[a]) << 16 | 0xFF000000u;
    }
}

}  // namespace raster
