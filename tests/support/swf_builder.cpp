#include "support/swf_builder.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace testing_support {

void BitWriter::bits(uint32_t value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
        if (used_ == 0) bytes_.push_back(0);
        if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> used_);
        used_ = (used_ + 1) % 8;
    }
}

void BitWriter::align() { used_ = 0; }

std::vector<uint8_t> BitWriter::take() {
    used_ = 0;
    return std::move(bytes_);
}

unsigned SignedBitsNeeded(std::initializer_list<int32_t> values) {
    unsigned needed = 1;
    for (int32_t v : values) {
        unsigned n = 1;
        while (n < 32 && (v < -(1 << (n - 1)) || v > (1 << (n - 1)) - 1)) ++n;
        needed = std::max(needed, n);
    }
    return needed;
}

std::vector<uint8_t> BuildSwfImage(const SwfFields& fields) {
    BitWriter rect;
    const unsigned nbits =
        fields.rectBits.value_or(SignedBitsNeeded({fields.xMin, fields.xMax, fields.yMin, fields.yMax}));
    rect.bits(nbits, 5);
    for (int32_t v : {fields.xMin, fields.xMax, fields.yMin, fields.yMax}) rect.signedBits(v, nbits);
    std::vector<uint8_t> image = {static_cast<uint8_t>(fields.signature), 'W', 'S', fields.version, 0, 0, 0, 0};
    const std::vector<uint8_t> rectBytes = rect.take();
    image.insert(image.end(), rectBytes.begin(), rectBytes.end());
    image.push_back(static_cast<uint8_t>(fields.rate88));
    image.push_back(static_cast<uint8_t>(fields.rate88 >> 8));
    image.push_back(static_cast<uint8_t>(fields.frameCount));
    image.push_back(static_cast<uint8_t>(fields.frameCount >> 8));
    image.insert(image.end(), fields.tags.begin(), fields.tags.end());
    const uint32_t length = fields.declaredLength.value_or(static_cast<uint32_t>(image.size()));
    for (int i = 0; i < 4; ++i) image[4 + i] = static_cast<uint8_t>(length >> (8 * i));
    return image;
}

std::string ZlibCompress(const std::vector<uint8_t>& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, bytes.data(),
                  static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION) != Z_OK) {
        throw std::runtime_error("compress2 failed");
    }
    out.resize(size);
    return out;
}

std::string BuildSwfFile(const SwfFields& fields) {
    const std::vector<uint8_t> image = BuildSwfImage(fields);
    std::string file(image.begin(), image.begin() + 8);
    if (fields.signature == 'C') {
        file += ZlibCompress(std::vector<uint8_t>(image.begin() + 8, image.end()));
    } else {
        file.append(image.begin() + 8, image.end());
    }
    return file;
}

}  // namespace testing_support
