#pragma once
// Writes 8-bit RGBA PNG files from premultiplied BGRA pixels (PNG stores straight alpha).

#include <string>

#include "raster/target.h"

namespace cli {

bool WritePng(const std::string& path, const raster::Target& pixels, std::string& error);

}  // namespace cli
