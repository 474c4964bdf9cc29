#pragma once
// The deblocking that players apply to Sorenson H.263 pictures after decoding: the
// filter of H.263's deblocking mode run over the 8x8 block edges of the finished picture,
// as a post-process (the decoder's reference pictures stay unfiltered), with a strength
// that follows the picture's quantizer.

#include <cstddef>
#include <cstdint>

namespace video {

// What a Sorenson H.263 picture header says about filtering.
struct SorensonPictureInfo {
    bool deblocking = false;  // the encoder asks for the filter
    int quantizer = 0;        // 1 to 31
};

// Reads the picture header at the start of a Sorenson H.263 frame; false when the data does
// not start with one.
bool ReadSorensonPicture(const uint8_t* data, size_t size, SorensonPictureInfo& out);

// Whether a picture is filtered: the stream's setting (0: as each picture says, 1: never,
// 2 and more: always) with the picture's own flag.
bool SorensonDeblocks(uint8_t streamSetting, const SorensonPictureInfo& picture);

// The filter's strength for a quantizer (0 for quantizers outside 1 to 31).
int DeblockStrength(int quantizer);

// Filters every edge between 8x8 blocks of one plane in place: the horizontal edges, then
// the vertical ones. `stride` is the distance between rows in bytes.
void DeblockPlane(uint8_t* plane, int width, int height, ptrdiff_t stride, int strength);

}  // namespace video
