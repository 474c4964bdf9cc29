// LZMA through liblzma, on the builds that have it.
#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "base/lzma.h"

namespace base {

namespace {

constexpr size_t kChunkBytes = size_t{1} << 20;

bool Decode(const uint8_t* properties, const uint8_t* source, size_t sourceLength, size_t expectedLength,
            std::vector<uint8_t>& out) {
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, properties, kLzmaPropertiesBytes) != LZMA_OK) return false;
    lzma_stream stream = LZMA_STREAM_INIT;
    const lzma_ret started = lzma_raw_decoder(&stream, filters);
    std::free(filters[0].options);
    if (started != LZMA_OK) return false;
    stream.next_in = source;
    stream.avail_in = sourceLength;
    bool ok = true;
    // The output grows a chunk at a time with what the stream really produces.
    while (out.size() < expectedLength) {
        const size_t had = out.size(), unread = stream.avail_in;
        const size_t room = std::min(kChunkBytes, expectedLength - had);
        out.resize(had + room);
        stream.next_out = out.data() + had;
        stream.avail_out = room;
        const lzma_ret r = lzma_code(&stream, LZMA_RUN);
        out.resize(had + (room - stream.avail_out));
        if (r != LZMA_OK && r != LZMA_STREAM_END) {
            ok = false;  // damaged
            break;
        }
        if (out.size() == expectedLength) break;
        if (r == LZMA_STREAM_END || (out.size() == had && stream.avail_in == unread)) {
            ok = false;  // the end marker, or the end of the data, before the length was reached
            break;
        }
    }
    lzma_end(&stream);
    return ok;
}

}  // namespace

bool InflateLzma(const uint8_t* properties, const uint8_t* source, size_t sourceLength, size_t expectedLength,
                 std::vector<uint8_t>& out) {
    out.clear();
    try {
        if (Decode(properties, source, sourceLength, expectedLength, out)) return true;
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    out.shrink_to_fit();
    return false;
}

}  // namespace base
