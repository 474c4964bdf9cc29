#pragma once
// One-shot zlib inflation into a buffer of known maximum size, shared by every SWF reader.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace base {

// A deflate stream cannot expand its input by more than about 1032 to 1. Readers use this
// to size buffers from what a stream can actually produce rather than from what a header
// claims, so a tiny hostile file cannot make them allocate gigabytes.
inline constexpr uint64_t kMaxDeflateRatio = 1032;
inline constexpr uint64_t kDeflateSlackBytes = 1024;

// The most bytes that sourceLength bytes of zlib data can inflate to.
inline uint64_t MaxInflatedLength(uint64_t sourceLength) {
    return sourceLength * kMaxDeflateRatio + kDeflateSlackBytes;
}

// Inflates a zlib stream into at most expectedLength bytes, after what `out` holds already (a
// header the caller keeps in front, in the one buffer). Returns false (and leaves `out`
// empty) for a damaged, cut or empty stream, for output that would exceed expectedLength,
// and when memory runs out. On success `out` holds its first bytes and the inflated ones.
bool InflateZlib(const uint8_t* source, size_t sourceLength, size_t expectedLength,
                 std::vector<uint8_t>& out);

}  // namespace base
