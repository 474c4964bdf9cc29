#pragma once
// Bounds-checked little-endian reading of SWF records, with bit fields through BitReader.
// A read past the end yields zeros and marks the reader failed; callers check ok() once
// after a record rather than after every field.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "swf/bit_reader.h"

namespace swf {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    int16_t s16() { return static_cast<int16_t>(u16()); }
    int32_t s32() { return static_cast<int32_t>(u32()); }
    float fixed8() { return static_cast<float>(s16()) / 256.0f; }      // 8.8
    float fixed16() { return static_cast<float>(s32()) / 65536.0f; }   // 16.16
    // A NUL-terminated string (the NUL is consumed, not returned). Without a NUL it is the
    // rest of the bytes, and the reader fails.
    std::string string();
    // The same, as a view of the reader's bytes.
    std::string_view stringView();
    // Skips n bytes; false (and failed) when fewer remain.
    bool skip(size_t n);

    // Bit fields from the current byte on; align() returns to whole bytes after them.
    uint32_t ubits(unsigned n);
    int32_t sbits(unsigned n);
    // A signed fixed-point bit field with 16 fraction bits.
    float fbits(unsigned n) { return static_cast<float>(sbits(n)) / 65536.0f; }
    bool flag() { return ubits(1) != 0; }
    void align();

    size_t position() const { return bits_ ? bitReader_.cursor() : pos_; }
    size_t remaining() const { return size_ - std::min(position(), size_); }
    const uint8_t* current() const { return data_ + std::min(position(), size_); }
    bool ok() const { return !failed_; }
    void fail() { failed_ = true; }
    // Fails because a limit refuses what follows; `what` (a message naming the limit, with
    // static storage) says which.
    void failAtLimit(const char* what) {
        failed_ = true;
        limit_ = what;
    }
    // The limit that stopped the reader, or null.
    const char* limit() const { return limit_; }
    // A reader over the next n bytes, which this one skips.
    ByteReader sub(size_t n);

private:
    void leaveBits();
    BitReader& enterBits();  // starts bit fields at the current byte if not inside them

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    bool failed_ = false;
    const char* limit_ = nullptr;
    bool bits_ = false;  // inside bit fields: bitReader_ holds the position
    BitReader bitReader_;
};

// What a reader of a record or a tag says: read whole or not, and, when a limit stopped it,
// which (the message of ByteReader::failAtLimit).
struct ReadStatus {
    ReadStatus(bool whole) : ok(whole) {}  // NOLINT: a plain bool is a status without a limit
    static ReadStatus Of(const ByteReader& r) {
        ReadStatus s(r.ok());
        s.limit = r.limit();
        return s;
    }
    explicit operator bool() const { return ok; }

    bool ok = false;
    const char* limit = nullptr;
};

}  // namespace swf
