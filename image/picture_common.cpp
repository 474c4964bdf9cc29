#include "image/picture_decoder.h"

namespace image {

PictureFormat DetectPictureFormat(const uint8_t* data, size_t size) {
    if (size >= 8 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G') return PictureFormat::kPng;
    if (size >= 6 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F' && data[3] == '8') return PictureFormat::kGif;
    return PictureFormat::kJpeg;
}

}  // namespace image
