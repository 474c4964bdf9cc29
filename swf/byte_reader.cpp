#include "swf/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace swf {

void ByteReader::leaveBits() {
    if (bits_) {
        pos_ = bitReader_.cursor();
        if (bitReader_.overrun()) failed_ = true;
        bits_ = false;
    }
}

void ByteReader::align() { leaveBits(); }

uint8_t ByteReader::u8() {
    leaveBits();
    if (pos_ >= size_) {
        failed_ = true;
        return 0;
    }
    return data_[pos_++];
}

uint16_t ByteReader::u16() {
    const uint16_t lo = u8();
    return static_cast<uint16_t>(lo | u8() << 8);
}

uint32_t ByteReader::u32() {
    const uint32_t lo = u16();
    return lo | static_cast<uint32_t>(u16()) << 16;
}

std::string_view ByteReader::stringView() {
    leaveBits();
    const char* start = reinterpret_cast<const char*>(data_) + std::min(pos_, size_);
    const size_t left = size_ - std::min(pos_, size_);
    const void* nul = std::memchr(start, 0, left);
    if (nul == nullptr) {
        failed_ = true;
        pos_ = size_;
        return std::string_view(start, left);
    }
    const size_t length = static_cast<size_t>(static_cast<const char*>(nul) - start);
    pos_ += length + 1;
    return std::string_view(start, length);
}

std::string ByteReader::string() { return std::string(stringView()); }

bool ByteReader::skip(size_t n) {
    leaveBits();
    if (n > size_ - std::min(pos_, size_)) {
        failed_ = true;
        pos_ = size_;
        return false;
    }
    pos_ += n;
    return true;
}

BitReader& ByteReader::enterBits() {
    if (!bits_) {
        bitReader_ = BitReader(data_, size_, pos_);
        bits_ = true;
    }
    return bitReader_;
}

uint32_t ByteReader::ubits(unsigned n) {
    const uint32_t v = enterBits().readBits(n);
    failed_ = failed_ || bitReader_.overrun();
    return v;
}

int32_t ByteReader::sbits(unsigned n) {
    const int32_t v = enterBits().readSignedBits(n);
    failed_ = failed_ || bitReader_.overrun();
    return v;
}

ByteReader ByteReader::sub(size_t n) {
    leaveBits();
    const size_t start = std::min(pos_, size_);
    const size_t take = std::min(n, size_ - start);
    if (take < n) failed_ = true;
    pos_ = start + take;
    ByteReader r(data_ + start, take);
    if (take < n) r.failed_ = true;
    return r;
}

}  // namespace swf
