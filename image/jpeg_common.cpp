#include "image/jpeg.h"

#include "base/pixels.h"
#include "base/inflate.h"

namespace image {

std::vector<uint8_t> CleanJpegStream(const uint8_t* data, size_t size) {
    size_t start = 0;
    // Leading FF D9 FF D8 pairs before the real start of the stream.
    while (size - start >= 4 && data[start] == 0xFF && data[start + 1] == 0xD9 && data[start + 2] == 0xFF &&
           data[start + 3] == 0xD8) {
        start += 4;
    }
    std::vector<uint8_t> out(data + start, data + size);
    // Some writers also leave an end and start marker pair between the tables and the
    // frame. Walking the marker segments up to the scan finds it where it can only be a
    // marker, never inside a segment's bytes.
    size_t i = 2;
    while (i + 4 <= out.size() && out[i] == 0xFF) {
        const uint8_t marker = out[i + 1];
        if (marker == 0xD9 && out[i + 2] == 0xFF && out[i + 3] == 0xD8) {
            out.erase(out.begin() + static_cast<ptrdiff_t>(i), out.begin() + static_cast<ptrdiff_t>(i + 4));
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;  // the scan, or the real end
        const size_t length = size_t(out[i + 2]) << 8 | out[i + 3];
        if (length < 2) break;
        i += 2 + length;
    }
    return out;
}

std::vector<uint8_t> JoinJpegTables(const uint8_t* tables, size_t tablesSize, const uint8_t* data, size_t size) {
    std::vector<uint8_t> joined;
    if (tablesSize >= 4) {
        // The tables without their end marker, then the data without its start marker.
        size_t end = tablesSize;
        if (tables[end - 2] == 0xFF && tables[end - 1] == 0xD9) end -= 2;
        joined.assign(tables, tables + end);
        size_t begin = 0;
        while (size - begin >= 2 && data[begin] == 0xFF && data[begin + 1] == 0xD8) begin += 2;
        joined.insert(joined.end(), data + begin, data + size);
        return CleanJpegStream(joined.data(), joined.size());
    }
    return CleanJpegStream(data, size);
}

bool ApplyAlphaPlane(const uint8_t* data, size_t size, Picture& picture, std::string& error) {
    const size_t count = picture.pixels.size();
    std::vector<uint8_t> alpha;
    if (!base::InflateZlib(data, size, count, alpha) || alpha.size() < count) {
        error = "the bitmap's alpha plane is damaged or cut short";
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        picture.pixels[i] = base::PremultipliedWithAlpha(picture.pixels[i], alpha[i]);
    }
    return true;
}

}  // namespace image
