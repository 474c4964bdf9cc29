#pragma once
// Reads bit fields most significant bit first, the way SWF packs RECT, MATRIX and
// shape records. Every load is checked against the end of the data: a read past it
// yields zero bits and sets overrun(), so a caller checks once after a record.

#include <cstddef>
#include <cstdint>

namespace swf {

class BitReader {
public:
    BitReader() = default;
    BitReader(const uint8_t* data, size_t size, size_t cursor = 0)
        : data_(data), size_(size), cursor_(cursor) {}

    // Reads n bits (0 to 32) as an unsigned value. n = 0 returns 0 and loads nothing.
    uint32_t readBits(unsigned n);
    // Reads n bits as a two's complement value, sign-extended to 32 bits.
    int32_t readSignedBits(unsigned n);
    // Drops the unread bits of the byte loaded last, so the next read starts at cursor().
    void alignToByte() {
        bitCount_ = 0;
        bitBuffer_ = 0;
    }

    size_t cursor() const { return cursor_; }
    void setCursor(size_t cursor) {
        cursor_ = cursor;
        alignToByte();
    }
    unsigned bitCount() const { return bitCount_; }
    uint32_t bitBuffer() const { return bitBuffer_; }
    // True once any read wanted a byte at or past the end of the data.
    bool overrun() const { return overrun_; }

private:
    void loadByte();

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t cursor_ = 0;
    unsigned bitCount_ = 0;   // unread bits in bitBuffer_, 0 to 8
    uint32_t bitBuffer_ = 0;  // the unread low bits of the byte loaded last
    bool overrun_ = false;
};

}  // namespace swf
