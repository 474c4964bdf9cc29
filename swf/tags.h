#pragma once
// The tag stream of an SWF file: the file as a whole (header, optional zlib body, frame
// size, rate and count), and the tags after it, each bounds-checked against the data.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "swf/records.h"

namespace swf {

namespace tag {
inline constexpr uint16_t kEnd = 0, kShowFrame = 1, kDefineShape = 2, kPlaceObject = 4, kRemoveObject = 5,
                          kDefineBits = 6, kDefineButton = 7, kJpegTables = 8, kSetBackgroundColor = 9,
                          kDefineFont = 10, kDefineText = 11, kDoAction = 12, kDefineFontInfo = 13,
                          kDefineSound = 14, kStartSound = 15, kDefineButtonSound = 17, kSoundStreamHead = 18,
                          kSoundStreamBlock = 19, kDefineBitsLossless = 20, kDefineBitsJpeg2 = 21,
                          kDefineShape2 = 22, kDefineButtonCxform = 23, kProtect = 24, kPlaceObject2 = 26,
                          kRemoveObject2 = 28, kDefineShape3 = 32, kDefineText2 = 33, kDefineButton2 = 34,
                          kDefineBitsJpeg3 = 35, kDefineBitsLossless2 = 36, kDefineEditText = 37,
                          kDefineSprite = 39, kFrameLabel = 43, kSoundStreamHead2 = 45, kDefineMorphShape = 46,
                          kDefineFont2 = 48, kExportAssets = 56, kImportAssets = 57, kEnableDebugger = 58,
                          kDoInitAction = 59, kDefineVideoStream = 60, kVideoFrame = 61, kDefineFontInfo2 = 62,
                          kEnableDebugger2 = 64, kScriptLimits = 65, kSetTabIndex = 66, kFileAttributes = 69,
                          kPlaceObject3 = 70, kImportAssets2 = 71, kDefineFontAlignZones = 73,
                          kCsmTextSettings = 74, kDefineFont3 = 75, kSymbolClass = 76, kMetadata = 77,
                          kDefineScalingGrid = 78, kDoAbc = 82, kDefineShape4 = 83, kDefineMorphShape2 = 84,
                          kDefineSceneAndFrameLabelData = 86, kDefineBinaryData = 87, kDefineFontName = 88,
                          kStartSound2 = 89, kDefineBitsJpeg4 = 90, kDefineFont4 = 91, kEnableTelemetry = 93;
}  // namespace tag

// The tag's name, or "Unknown" for codes this reader does not know.
const char* TagName(uint16_t code);

struct Tag {
    uint16_t code = 0;
    size_t offset = 0;            // of the tag's record header in the uncompressed image
    const uint8_t* body = nullptr;
    uint32_t length = 0;
    ByteReader reader() const { return ByteReader(body, length); }
};

// Walks tags from `start` to the End tag or the end of the data.
class TagReader {
public:
    TagReader(const uint8_t* data, size_t size, size_t start) : data_(data), size_(size), pos_(start) {}
    // The next tag, End included. False at the end of the data, or on a damaged header,
    // when error() says what was wrong and where.
    // A tag whose length runs past the end of the data ends the stream there without an
    // error: truncated() says which, and the tags before it stand, as the reference players
    // play the frames before it.
    bool next(Tag& tag);
    const std::string& error() const { return error_; }
    const std::string& truncated() const { return truncated_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_;
    std::string error_, truncated_;
};

// A whole movie file in memory, uncompressed.
enum class Compression { kNone, kZlib, kLzma };

struct SwfFile {
    std::vector<uint8_t> image;  // the file with its body inflated
    uint8_t version = 0;
    bool compressed = false;
    Compression compression = Compression::kNone;
    size_t fileBytes = 0;  // the file as stored, compressed or not
    Rect frameSize;
    uint16_t frameRate88 = 0;
    uint16_t frameCount = 0;
    size_t tagsOffset = 0;
    TagReader tags() const { return TagReader(image.data(), image.size(), tagsOffset); }
};

// Reads a file from memory: signature FWS, CWS (zlib) or ZWS (LZMA), the
// declared length (capped at kMaxSwfImageBytes), the body. False with a message otherwise.
bool ParseSwf(const uint8_t* data, size_t size, SwfFile& out, std::string& error);
bool LoadSwfFile(const char* path, SwfFile& out, std::string& error);

}  // namespace swf
