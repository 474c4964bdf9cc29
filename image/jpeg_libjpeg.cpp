// JPEG decoding through libjpeg-turbo.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "image/jpeg.h"

namespace image {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* e = reinterpret_cast<ErrorManager*>(info->err);
    e->base.format_message(info, e->message);
    std::longjmp(e->jump, 1);
}

void OnMessage(j_common_ptr, int) {}  // warnings are not reported

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, Picture& out, std::string& error) {
    out = Picture{};
    if (size < 4) {
        error = "the JPEG data is cut short";
        return false;
    }
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = OnMessage;
    // Locals that must survive a longjmp live outside the jump's scope.
    std::vector<uint8_t> row;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        out = Picture{};
        error = std::string("the JPEG data is damaged: ") + errors.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    const int64_t w = info.image_width, h = info.image_height;
    if (!PictureSizeAllowed(w, h, "JPEG", error)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(w);
    out.height = static_cast<int>(h);
    out.pixels.assign(static_cast<size_t>(w * h), 0);
    row.resize(static_cast<size_t>(w) * 3);
    while (info.output_scanline < info.output_height) {
        const size_t y = info.output_scanline;
        JSAMPROW rows[1] = {row.data()};
        if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
        uint32_t* to = out.pixels.data() + y * static_cast<size_t>(w);
        for (size_t x = 0; x < static_cast<size_t>(w); ++x) {
            to[x] = 0xFF000000u | uint32_t(row[3 * x]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x + 2];
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace image
