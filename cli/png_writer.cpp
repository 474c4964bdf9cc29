#include "cli/png_writer.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "raster/straight_alpha.h"

namespace cli {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// A chunk: length, type, data, and the CRC of type and data.
void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    Put32(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool WritePng(const std::string& path, const raster::Target& t, std::string& error) {
    // Rows with a filter byte (0: none) each, pixels unpremultiplied to RGBA.
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(t.height) * (1 + static_cast<size_t>(t.width) * 4));
    std::vector<uint32_t> straight(static_cast<size_t>(t.width));
    for (int y = 0; y < t.height; ++y) {
        raw.push_back(0);
        raster::UnpremultiplyPixels(t.row(y), straight.data(), straight.size());
        for (const uint32_t p : straight) {
            raw.push_back(static_cast<uint8_t>(raster::ChannelR(p)));
            raw.push_back(static_cast<uint8_t>(raster::ChannelG(p)));
            raw.push_back(static_cast<uint8_t>(raster::ChannelB(p)));
            raw.push_back(static_cast<uint8_t>(raster::ChannelA(p)));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK) {
        error = "cannot compress the picture";
        return false;
    }
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(header, static_cast<uint32_t>(t.width));
    Put32(header, static_cast<uint32_t>(t.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter choice, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", {});

    struct Closer {
        void operator()(FILE* f) const { std::fclose(f); }
    };
    errno = 0;
    std::unique_ptr<FILE, Closer> f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        error = "cannot create " + path + ": " + std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), f.get()) == png.size() && std::fflush(f.get()) == 0;
    const int e = errno;
    if (!written || std::fclose(f.release()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(!written && e != 0 ? e : errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

}  // namespace cli
