#include "video/deblock.h"

#include <algorithm>
#include <cstdlib>

namespace video {

namespace {

// Bits from the front of a buffer, most significant first; reads past the end fail.
class BitCursor {
public:
    BitCursor(const uint8_t* data, size_t size) : data_(data), bits_(size * 8) {}

    bool read(int count, uint32_t& out) {
        if (bits_ - position_ < static_cast<size_t>(count)) return false;
        out = 0;
        for (int i = 0; i < count; ++i, ++position_) {
            out = out << 1 | ((data_[position_ / 8] >> (7 - position_ % 8)) & 1u);
        }
        return true;
    }

private:
    const uint8_t* data_;
    size_t bits_;
    size_t position_ = 0;
};

// The strength of the filter for quantizers 1 to 31.
constexpr uint8_t kStrength[32] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 4, 5, 5, 6, 6, 7, 7,
                                   7, 8, 8, 8, 9, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12, 12};

// The correction as a function of the step across the edge: whole for small steps, falling
// to nothing for steps of twice the strength and more (real edges in the picture).
int UpDownRamp(int d, int strength) {
    const int magnitude = std::abs(d);
    const int kept = std::max(0, magnitude - std::max(0, 2 * (magnitude - strength)));
    return d < 0 ? -kept : kept;
}

uint8_t Clip(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// A, B on one side of the edge and C, D on the other, A and D the outer ones.
void FilterAcross(uint8_t& a, uint8_t& b, uint8_t& c, uint8_t& d, int strength) {
    const int step = (a - 4 * b + 4 * c - d) / 8;
    const int d1 = UpDownRamp(step, strength);
    const int limit = std::abs(d1 / 2);
    const int d2 = std::clamp((a - d) / 4, -limit, limit);
    const int a1 = a - d2, b1 = b + d1, c1 = c - d1, d3 = d + d2;
    a = Clip(a1);
    b = Clip(b1);
    c = Clip(c1);
    d = Clip(d3);
}

}  // namespace

bool ReadSorensonPicture(const uint8_t* data, size_t size, SorensonPictureInfo& out) {
    BitCursor bits(data, size);
    uint32_t start = 0, version = 0, temporal = 0, format = 0, dimension = 0, type = 0, flag = 0, quant = 0;
    if (!bits.read(17, start) || start != 1) return false;
    if (!bits.read(5, version) || version > 1) return false;
    if (!bits.read(8, temporal) || !bits.read(3, format)) return false;
    const int dimensionBits = format == 0 ? 8 : format == 1 ? 16 : 0;
    for (int i = 0; i < 2 && dimensionBits > 0; ++i) {
        if (!bits.read(dimensionBits, dimension)) return false;
    }
    if (!bits.read(2, type) || !bits.read(1, flag) || !bits.read(5, quant)) return false;
    out.deblocking = flag != 0;
    out.quantizer = static_cast<int>(quant);
    return true;
}

bool SorensonDeblocks(uint8_t streamSetting, const SorensonPictureInfo& picture) {
    if (streamSetting == 1) return false;
    return streamSetting >= 2 || picture.deblocking;
}

int DeblockStrength(int quantizer) { return quantizer >= 1 && quantizer <= 31 ? kStrength[quantizer] : 0; }

void DeblockPlane(uint8_t* plane, int width, int height, ptrdiff_t stride, int strength) {
    if (plane == nullptr || strength <= 0 || width < 4 || height < 4) return;
    // Edges between rows of blocks: the two rows above and the two below each edge.
    for (int y = 8; y + 2 <= height; y += 8) {
        uint8_t* rowA = plane + (y - 2) * stride;
        for (int x = 0; x < width; ++x) {
            FilterAcross(rowA[x], rowA[x + stride], rowA[x + 2 * stride], rowA[x + 3 * stride], strength);
        }
    }
    // Edges between columns of blocks.
    for (int y = 0; y < height; ++y) {
        uint8_t* row = plane + y * stride;
        for (int x = 8; x + 2 <= width; x += 8) {
            FilterAcross(row[x - 2], row[x - 1], row[x], row[x + 1], strength);
        }
    }
}

}  // namespace video
