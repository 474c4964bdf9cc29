#pragma once
// Frames with a pattern that differs in every pixel, channel and frame, alpha included,
// and the bytes a top-down decoder must give back for them.

#include <cstdint>
#include <string>
#include <vector>

#include "avi/avi_types.h"

namespace avi_test {

// 16-bit stereo PCM at 44.1 kHz, as the converter writes its sound.
inline avi::WaveFormatEx StereoPcm() {
    avi::WaveFormatEx f;
    f.wFormatTag = 1;
    f.nChannels = 2;
    f.nSamplesPerSec = 44100;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 4;
    f.nAvgBytesPerSec = 44100 * 4;
    return f;
}

// Pixel (x, y) of frame k, with y counted from the top of the picture.
inline uint32_t PatternPixel(int k, int x, int y) {
    const uint32_t b = static_cast<uint32_t>(x * 7 + k * 13) & 0xFF;
    const uint32_t g = static_cast<uint32_t>(y * 11 + k * 3) & 0xFF;
    const uint32_t r = static_cast<uint32_t>(x * y + k) & 0xFF;
    const uint32_t a = static_cast<uint32_t>(x + y * 5 + k * 17) & 0xFF;
    return b | g << 8 | r << 16 | a << 24;
}

// Frame k in DIB memory order: bottom-up, so memory row 0 is the picture's last row.
inline std::vector<uint32_t> BottomUpFrame(int k, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;
        for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(row) * width + x] = PatternPixel(k, x, y);
    }
    return pixels;
}

// Frames first..first+count-1 as bgra bytes, top row first: what ffmpeg decodes.
inline std::string TopDownBytes(int first, int count, int width, int height) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(count) * width * height * 4);
    for (int k = first; k < first + count; ++k) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t p = PatternPixel(k, x, y);
                for (int i = 0; i < 4; ++i) bytes += static_cast<char>(p >> (8 * i));
            }
        }
    }
    return bytes;
}

}  // namespace avi_test
