#include "swf/bit_reader.h"

namespace swf {

void BitReader::loadByte() {
    if (cursor_ < size_) {
        bitBuffer_ = data_[cursor_];
        ++cursor_;
    } else {
        // Past the end: behave as if zero bytes followed, and remember it.
        bitBuffer_ = 0;
        overrun_ = true;
    }
    bitCount_ = 8;
}

uint32_t BitReader::readBits(unsigned n) {
    if (n > 32) {
        overrun_ = true;
        return 0;
    }
    uint64_t result = 0;
    unsigned need = n;
    while (need > bitCount_) {
        result |= static_cast<uint64_t>(bitBuffer_) << (need - bitCount_);
        need -= bitCount_;
        loadByte();
    }
    result |= bitBuffer_ >> (bitCount_ - need);
    bitCount_ -= need;
    bitBuffer_ &= 0xFFu >> (8 - bitCount_);
    return static_cast<uint32_t>(result);
}

int32_t BitReader::readSignedBits(unsigned n) {
    uint32_t v = readBits(n);
    if (n > 0 && n < 32 && (v & (1u << (n - 1))) != 0) {
        v |= ~0u << n;
    }
    return static_cast<int32_t>(v);
}

}  // namespace swf
