#pragma once
// The writer's calls on GDI bitmaps, as the Windows program makes them: each reads the DIB
// section's description and goes on as the portable call of avi/avi_writer.h. Windows only.

#include <windows.h>

#include "avi/avi_writer.h"

namespace avi {

// Reads the description of a DIB section, as the writer does at every call. False unless
// the handle is a DIB section (GetObjectA returns the whole DIBSECTION: 84 bytes in a
// 32-bit process, 104 in a 64-bit one).
bool DibFrameFromBitmap(HBITMAP bitmap, DibFrame* frame);

AviResult SetAviWriterCompression(AviWriter* writer, HBITMAP bitmap,
                                  AviCompressOptions* compressOptions, bool showDialog,
                                  HWND ownerWindow);
AviResult AppendAviFrame(AviWriter* writer, HBITMAP bitmap);

}  // namespace avi
