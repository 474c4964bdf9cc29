#pragma once
// The pictures that DefineBitsJPEG2 and DefineBitsJPEG3 may hold instead of a JPEG: PNG and
// GIF (its first frame). The platform's decoders do the work: libjpeg-turbo, libpng and
// giflib on Linux, the Windows Imaging Component on Windows.

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/lossless.h"

namespace image {

enum class PictureFormat : uint8_t { kJpeg, kPng, kGif, kUnknown };

// Told apart by their signatures; anything else is taken for JPEG.
PictureFormat DetectPictureFormat(const uint8_t* data, size_t size);

// Decodes a JPEG, PNG or GIF picture to premultiplied BGRA. False with a reason for damaged
// data or a picture outside the limits of lossless.h (checked before its pixels are
// allocated).
bool DecodePicture(const uint8_t* data, size_t size, Picture& out, std::string& error);

}  // namespace image
