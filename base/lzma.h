#pragma once
// LZMA decompression of raw streams (the LZMA1 format of ".lzma" files without their header),
// as LZMA-compressed SWF files (ZWS) carry their bodies: five bytes of properties (lc, lp and
// pb in one byte, the dictionary size in four), then the range-coded data.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace base {

inline constexpr size_t kLzmaPropertiesBytes = 5;

// Decodes `expectedLength` bytes of the stream after `properties` into `out`. Returns false
// (and leaves `out` empty) for damaged properties or data, a stream cut or ended (by its end
// marker) before expectedLength bytes, and when memory runs out. The output grows with what
// the stream really produces, so a tiny file claiming a huge length allocates little before
// it fails. Linux builds use liblzma; Windows builds, our own decoder below.
bool InflateLzma(const uint8_t* properties, const uint8_t* source, size_t sourceLength, size_t expectedLength,
                 std::vector<uint8_t>& out);

// Our own decoder, on every build (and checked against liblzma where both are there).
bool DecodeLzma(const uint8_t* properties, const uint8_t* source, size_t sourceLength, size_t expectedLength,
                std::vector<uint8_t>& out);

}  // namespace base
