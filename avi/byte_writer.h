#pragma once
// Little-endian building of RIFF headers and index chunks in memory.

#include <cstdint>
#include <vector>

namespace avi {

class ByteWriter {
public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void u64(uint64_t v) {
        u32(static_cast<uint32_t>(v));
        u32(static_cast<uint32_t>(v >> 32));
    }
    void zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void raw(const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + n);
    }
    // Starts a chunk or list: writes the fourcc and a size to patch; returns its offset.
    size_t beginChunk(uint32_t fourcc) {
        u32(fourcc);
        const size_t at = bytes_.size();
        u32(0);
        return at;
    }
    size_t beginList(uint32_t listType, uint32_t fourcc) {
        const size_t at = beginChunk(listType);
        u32(fourcc);
        return at;
    }
    // Ends the chunk whose size field is at `sizeAt`: the size counts what follows it.
    void endChunk(size_t sizeAt) { patch32(sizeAt, static_cast<uint32_t>(bytes_.size() - sizeAt - 4)); }
    void patch32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace avi
