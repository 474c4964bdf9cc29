#pragma once
// The Windows program's artwork, drawn with Tevlin's own rasterizer: the drop picture
// (bitmap 106) and the program icon (icon group 105). `make art` writes them into res/; a
// test checks that the files there are what this code draws.

#include <cstdint>
#include <string>
#include <vector>

namespace art {

inline constexpr int kDropHintWidth = 266, kDropHintHeight = 122;
inline constexpr int kIconSizes[] = {128, 48, 32, 24, 16};

// The drop picture as a 24-bit BMP file: light grey, "Drag swf files here" in dark grey bold
// letters above the logo, an arrow pointing right and a film reel.
std::string DropHintBmp();

// The icon file: the logo at every size of kIconSizes, 32 bits with alpha.
std::string IconFile();

// The logo alone, premultiplied BGRA, top row first.
std::vector<uint32_t> Logo(int size);

}  // namespace art
