#pragma once
// JPEG pictures as movies embed them. The platform's decoder does the work: libjpeg-turbo on
// Linux, the Windows Imaging Component on Windows; both give premultiplied BGRA (opaque).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/lossless.h"

namespace image {

// Decodes one JPEG stream (SOI to EOI). False with a reason for damaged data or a picture
// outside the limits of lossless.h; the size is checked before the pixels are allocated.
bool DecodeJpeg(const uint8_t* data, size_t size, Picture& out, std::string& error);

// The JPEG data of a DefineBits tag joined with the movie's JPEGTables: the tables' end
// marker and the data's start marker between them go, as the format intends.
std::vector<uint8_t> JoinJpegTables(const uint8_t* tables, size_t tablesSize, const uint8_t* data, size_t size);

// Strips what older writers put before a JPEG stream (an end marker, then a start marker:
// FF D9 FF D8) and returns the stream as it must be decoded.
std::vector<uint8_t> CleanJpegStream(const uint8_t* data, size_t size);

// Lays a zlib-compressed alpha plane (one byte a pixel, rows of the picture's width) over an
// opaque picture, premultiplying its colours. False when the plane does not inflate whole.
bool ApplyAlphaPlane(const uint8_t* data, size_t size, Picture& picture, std::string& error);

}  // namespace image
