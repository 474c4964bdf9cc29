// Fuzzes the bitmap decoders. The first byte picks the decoder and its parameters: the
// lossless formats (with sizes from the next bytes), JPEG with tables joined and markers
// cleaned, the alpha plane after a JPEG, and PNG or GIF.
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/jpeg.h"
#include "image/lossless.h"
#include "image/picture_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    const uint8_t pick = data[0];
    const int width = data[1] | ((data[2] & 0x3F) << 8), height = data[3] | ((data[4] & 0x3F) << 8);
    const uint8_t table = data[5];
    data += 6;
    size -= 6;
    image::Picture picture;
    std::string error;
    switch (pick % 5) {
        case 0: {
            static const image::LosslessFormat kFormats[] = {image::LosslessFormat::kColorMapped,
                                                             image::LosslessFormat::kRgb15,
                                                             image::LosslessFormat::kRgb32};
            image::DecodeLossless(data, size, kFormats[(pick / 5) % 3], width, height, table, (pick & 0x80) != 0, picture,
                                  error);
            break;
        }
        case 1: {
            const std::vector<uint8_t> clean = image::CleanJpegStream(data, size);
            image::DecodeJpeg(clean.data(), clean.size(), picture, error);
            break;
        }
        case 2: {
            // JPEGTables, then the image: split where the second byte says.
            const size_t split = size == 0 ? 0 : table % (size + 1);
            const std::vector<uint8_t> joined = image::JoinJpegTables(data, split, data + split, size - split);
            image::DecodeJpeg(joined.data(), joined.size(), picture, error);
            break;
        }
        case 3: {
            // A small opaque picture, then the bytes as its zlib alpha plane.
            picture.width = (width % 64) + 1;
            picture.height = (height % 64) + 1;
            picture.pixels.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height), 0xFF808080u);
            image::ApplyAlphaPlane(data, size, picture, error);
            break;
        }
        default:
            image::DecodePicture(data, size, picture, error);
            break;
    }
    return 0;
}
