#pragma once
// Builds SWF files byte by byte for tests: a header with any frame RECT, rate and count,
// then a body of tags, stored plain or zlib-compressed. Every field can be forced to a
// wrong value, so tests can make the damaged files the readers must refuse.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// MSB-first bit packing, the inverse of the readers' bit reader.
class BitWriter {
public:
    void bits(uint32_t value, unsigned count);
    void signedBits(int32_t value, unsigned count) { bits(static_cast<uint32_t>(value), count); }
    void align();  // pads with zero bits to the next byte
    std::vector<uint8_t> take();

private:
    std::vector<uint8_t> bytes_;
    unsigned used_ = 0;  // bits used in the last byte
};

// The fewest bits that hold every value as a signed field.
unsigned SignedBitsNeeded(std::initializer_list<int32_t> values);

struct SwfFields {
    char signature = 'F';            // 'F' plain, 'C' zlib
    uint8_t version = 10;
    int32_t xMin = 0, xMax = 11000;  // twips
    int32_t yMin = 0, yMax = 8000;
    std::optional<unsigned> rectBits;  // forced Nbits; by default the fewest that fit
    uint16_t rate88 = 24 << 8;         // 8.8 frames per second
    uint16_t frameCount = 1;
    std::vector<uint8_t> tags = {0, 0};  // the body after the header fields: End by default
    std::optional<uint32_t> declaredLength;  // forced file-length field
};

// The uncompressed image: header, RECT, rate, count, tags.
std::vector<uint8_t> BuildSwfImage(const SwfFields& fields);
// The file as stored: the image, its body zlib-compressed for 'C'.
std::string BuildSwfFile(const SwfFields& fields);
std::string ZlibCompress(const std::vector<uint8_t>& bytes);

}  // namespace testing_support
