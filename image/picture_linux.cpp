// PNG through libpng and GIF through giflib; JPEG through jpeg_libjpeg.cpp.
#include <gif_lib.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "base/pixels.h"
#include "image/jpeg.h"
#include "image/picture_decoder.h"

namespace image {

namespace {

bool DecodePng(const uint8_t* data, size_t size, Picture& out, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        error = std::string("the PNG data is damaged: ") + image.message;
        return false;
    }
    if (!PictureSizeAllowed(image.width, image.height, "PNG", error)) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;  // bytes B, G, R, A: our words, straight alpha
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        error = std::string("the PNG data is damaged: ") + image.message;
        out = Picture{};
        return false;
    }
    for (uint32_t& p : out.pixels) p = base::Premultiplied(p);
    return true;
}

struct Memory {
    const uint8_t* data;
    size_t size, at;
};

int ReadGif(GifFileType* gif, GifByteType* to, int n) {
    auto* m = static_cast<Memory*>(gif->UserData);
    const size_t count = std::min(static_cast<size_t>(n < 0 ? 0 : n), m->size - m->at);
    std::memcpy(to, m->data + m->at, count);
    m->at += count;
    return static_cast<int>(count);
}

// The first frame of the GIF on its logical screen, transparent where it leaves the screen
// bare or shows its transparent colour.
bool DecodeGif(const uint8_t* data, size_t size, Picture& out, std::string& error) {
    Memory memory{data, size, 0};
    int code = 0;
    GifFileType* gif = DGifOpen(&memory, ReadGif, &code);
    if (gif == nullptr) {
        error = std::string("the GIF data is damaged: ") + GifErrorString(code);
        return false;
    }
    bool done = false, ok = false;
    int transparent = -1;
    if (!PictureSizeAllowed(gif->SWidth, gif->SHeight, "GIF", error)) done = true;
    while (!done) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int extension = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &extension, &block) != GIF_OK) break;
            if (extension == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4 && (block[1] & 1) != 0) {
                transparent = block[4];
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif, &block) != GIF_OK) {
                    block = nullptr;
                    done = true;
                }
            }
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) != GIF_OK) break;
            const GifImageDesc& d = gif->Image;
            const ColorMapObject* map = d.ColorMap != nullptr ? d.ColorMap : gif->SColorMap;
            if (map == nullptr || !PictureSizeAllowed(d.Width, d.Height, "GIF frame", error)) break;
            out.width = gif->SWidth;
            out.height = gif->SHeight;
            out.pixels.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
            std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
            // Interlaced frames come in four passes of rows.
            const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
            bool lines = true;
            for (int pass = 0; pass < (d.Interlace ? 4 : 1) && lines; ++pass) {
                const int first = d.Interlace ? starts[pass] : 0, step = d.Interlace ? steps[pass] : 1;
                for (int row = first; row < d.Height && lines; row += step) {
                    if (DGifGetLine(gif, line.data(), d.Width) != GIF_OK) {
                        lines = false;
                        break;
                    }
                    const int y = d.Top + row;
                    if (y < 0 || y >= out.height) continue;
                    for (int col = 0; col < d.Width; ++col) {
                        const int x = d.Left + col, index = line[static_cast<size_t>(col)];
                        if (x < 0 || x >= out.width || index == transparent || index >= map->ColorCount) continue;
                        const GifColorType& c = map->Colors[index];
                        out.pixels[static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)] =
                            0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
                    }
                }
            }
            ok = lines;
            done = true;
        } else if (type == TERMINATE_RECORD_TYPE) {
            break;
        }
    }
    DGifCloseFile(gif, &code);
    if (!ok) {
        if (error.empty()) error = "the GIF data is damaged or holds no frame";
        out = Picture{};
    }
    return ok;
}

}  // namespace

bool DecodePicture(const uint8_t* data, size_t size, Picture& out, std::string& error) {
    switch (DetectPictureFormat(data, size)) {
        case PictureFormat::kPng:
            return DecodePng(data, size, out, error);
        case PictureFormat::kGif:
            return DecodeGif(data, size, out, error);
        default:
            return DecodeJpeg(data, size, out, error);
    }
}

}  // namespace image
