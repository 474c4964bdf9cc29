#pragma once
// The description of a 32-bit device-independent bitmap with rows bottom-up (a positive
// height), no colour table, uncompressed: the kind of bitmap section the capture and the
// player control draw into.

#include <windows.h>

namespace player {

inline BITMAPINFO DibInfo32(LONG width, LONG height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace player
