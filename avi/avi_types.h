#pragma once
// Types shared by both AVI writer backends. They carry the layouts of the Video for Windows
// structures they stand for, so the Windows backend passes them through unchanged.

#include <cstdint>

namespace avi {

// HRESULT-style status: 0 for success, the published AVIERR values for failures.
using AviResult = int32_t;

namespace avierr {
inline constexpr AviResult kOk = 0;
inline constexpr AviResult kBadFormat = static_cast<AviResult>(0x80044066);
inline constexpr AviResult kMemory = static_cast<AviResult>(0x80044067);
inline constexpr AviResult kBadSize = static_cast<AviResult>(0x8004406B);
inline constexpr AviResult kBadParam = static_cast<AviResult>(0x8004406A);
inline constexpr AviResult kBadHandle = static_cast<AviResult>(0x8004406C);
inline constexpr AviResult kFileWrite = static_cast<AviResult>(0x8004406E);
inline constexpr AviResult kFileOpen = static_cast<AviResult>(0x8004406F);
inline constexpr AviResult kCompressor = static_cast<AviResult>(0x80044070);
inline constexpr AviResult kNoCompressor = static_cast<AviResult>(0x80044071);
inline constexpr AviResult kUserAbort = static_cast<AviResult>(0x800440C6);
inline constexpr AviResult kError = static_cast<AviResult>(0x800440C7);
// Not a published value: the file was closed whole with every frame, but without its index
// (the disk filled, or memory ran out, where the index goes). Readers find the frames by
// walking the file.
inline constexpr AviResult kIndexLost = static_cast<AviResult>(0x800440D0);
// Not a published value: the file holds as many segments as its header has room for
// (kSuperIndexEntries); it stays whole with the frames written so far.
inline constexpr AviResult kFileFull = static_cast<AviResult>(0x800440D1);
}  // namespace avierr

constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

inline constexpr uint32_t kStreamTypeVideo = FourCC('v', 'i', 'd', 's');
inline constexpr uint32_t kHandlerUncompressed = FourCC('D', 'I', 'B', ' ');
inline constexpr uint32_t kCompressorType = FourCC('v', 'i', 'd', 'c');
inline constexpr uint32_t kIndexFlagKeyFrame = 0x10;  // AVIIF_KEYFRAME
inline constexpr uint32_t kBiRgb = 0;                 // BI_RGB

// BITMAPINFOHEADER, field for field.
struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;  // positive: rows bottom-up; negative: top-down
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = kBiRgb;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

// What the writer reads of a DIB section: its header and its pixels. The writer owns
// neither; `bits` must hold header.biSizeImage bytes.
struct DibFrame {
    BitmapInfoHeader header;
    const void* bits = nullptr;
};

// A 32-bit BI_RGB frame of width x height over `bits`, rows in the order the sign of
// `height` gives (positive: bottom-up, as a DIB section).
DibFrame MakeDibFrame(int32_t width, int32_t height, const void* bits);

// AVICOMPRESSOPTIONS, field for field: the compressor choice of a stream.
struct AviCompressOptions {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t dwKeyFrameEvery = 0;
    uint32_t dwQuality = 0;
    uint32_t dwBytesPerSecond = 0;
    uint32_t dwFlags = 0;
    void* lpFormat = nullptr;
    uint32_t cbFormat = 0;
    void* lpParms = nullptr;
    uint32_t cbParms = 0;
    uint32_t dwInterleaveEvery = 0;
};

// WAVEFORMATEX, packed as the file format has it (18 bytes).
#pragma pack(push, 1)
struct WaveFormatEx {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatEx) == 18, "WAVEFORMATEX is 18 bytes");

// The fields of a video stream header that the writer sets; everything else is zero.
struct VideoStreamInfo {
    uint32_t fccType = kStreamTypeVideo;
    uint32_t fccHandler = 0;
    uint32_t dwScale = 0;  // the frame period in ms
    uint32_t dwRate = 1000;
    uint32_t dwSuggestedBufferSize = 0;
    int32_t frameRight = 0;   // rcFrame.right: biWidth
    int32_t frameBottom = 0;  // rcFrame.bottom: biHeight
};

}  // namespace avi
