#include "swf/tags.h"

#include "base/file.h"

#include <cstdio>
#include <memory>

#include "base/inflate.h"
#include "base/lzma.h"
#include "swf/swf_header.h"

namespace swf {

const char* TagName(uint16_t code) {
    switch (code) {
        case tag::kEnd: return "End";
        case tag::kShowFrame: return "ShowFrame";
        case tag::kDefineShape: return "DefineShape";
        case tag::kPlaceObject: return "PlaceObject";
        case tag::kRemoveObject: return "RemoveObject";
        case tag::kDefineBits: return "DefineBits";
        case tag::kDefineButton: return "DefineButton";
        case tag::kJpegTables: return "JPEGTables";
        case tag::kSetBackgroundColor: return "SetBackgroundColor";
        case tag::kDefineFont: return "DefineFont";
        case tag::kDefineText: return "DefineText";
        case tag::kDoAction: return "DoAction";
        case tag::kDefineFontInfo: return "DefineFontInfo";
        case tag::kDefineSound: return "DefineSound";
        case tag::kStartSound: return "StartSound";
        case tag::kDefineButtonSound: return "DefineButtonSound";
        case tag::kSoundStreamHead: return "SoundStreamHead";
        case tag::kSoundStreamBlock: return "SoundStreamBlock";
        case tag::kDefineBitsLossless: return "DefineBitsLossless";
        case tag::kDefineBitsJpeg2: return "DefineBitsJPEG2";
        case tag::kDefineShape2: return "DefineShape2";
        case tag::kDefineButtonCxform: return "DefineButtonCxform";
        case tag::kProtect: return "Protect";
        case tag::kPlaceObject2: return "PlaceObject2";
        case tag::kRemoveObject2: return "RemoveObject2";
        case tag::kDefineShape3: return "DefineShape3";
        case tag::kDefineText2: return "DefineText2";
        case tag::kDefineButton2: return "DefineButton2";
        case tag::kDefineBitsJpeg3: return "DefineBitsJPEG3";
        case tag::kDefineBitsLossless2: return "DefineBitsLossless2";
        case tag::kDefineEditText: return "DefineEditText";
        case tag::kDefineSprite: return "DefineSprite";
        case tag::kFrameLabel: return "FrameLabel";
        case tag::kSoundStreamHead2: return "SoundStreamHead2";
        case tag::kDefineMorphShape: return "DefineMorphShape";
        case tag::kDefineFont2: return "DefineFont2";
        case tag::kExportAssets: return "ExportAssets";
        case tag::kImportAssets: return "ImportAssets";
        case tag::kEnableDebugger: return "EnableDebugger";
        case tag::kDoInitAction: return "DoInitAction";
        case tag::kDefineVideoStream: return "DefineVideoStream";
        case tag::kVideoFrame: return "VideoFrame";
        case tag::kDefineFontInfo2: return "DefineFontInfo2";
        case tag::kEnableDebugger2: return "EnableDebugger2";
        case tag::kScriptLimits: return "ScriptLimits";
        case tag::kSetTabIndex: return "SetTabIndex";
        case tag::kFileAttributes: return "FileAttributes";
        case tag::kPlaceObject3: return "PlaceObject3";
        case tag::kImportAssets2: return "ImportAssets2";
        case tag::kDefineFontAlignZones: return "DefineFontAlignZones";
        case tag::kCsmTextSettings: return "CSMTextSettings";
        case tag::kDefineFont3: return "DefineFont3";
        case tag::kSymbolClass: return "SymbolClass";
        case tag::kMetadata: return "Metadata";
        case tag::kDefineScalingGrid: return "DefineScalingGrid";
        case tag::kDoAbc: return "DoABC";
        case tag::kDefineShape4: return "DefineShape4";
        case tag::kDefineMorphShape2: return "DefineMorphShape2";
        case tag::kDefineSceneAndFrameLabelData: return "DefineSceneAndFrameLabelData";
        case tag::kDefineBinaryData: return "DefineBinaryData";
        case tag::kDefineFontName: return "DefineFontName";
        case tag::kStartSound2: return "StartSound2";
        case tag::kDefineBitsJpeg4: return "DefineBitsJPEG4";
        case tag::kDefineFont4: return "DefineFont4";
        case tag::kEnableTelemetry: return "EnableTelemetry";
        default: return "Unknown";
    }
}

bool TagReader::next(Tag& t) {
    if (!error_.empty() || !truncated_.empty() || pos_ >= size_) return false;
    const size_t at = pos_;
    char message[160];
    if (size_ - pos_ < 2) {
        std::snprintf(message, sizeof message, "tag header at offset %zu is cut short", at);
        error_ = message;
        return false;
    }
    const uint16_t codeAndLength = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    t.code = static_cast<uint16_t>(codeAndLength >> 6);
    uint32_t length = codeAndLength & 0x3F;
    if (length == 0x3F) {
        if (size_ - pos_ < 4) {
            std::snprintf(message, sizeof message, "tag %u (%s) at offset %zu: long length is cut short", t.code,
                          TagName(t.code), at);
            error_ = message;
            return false;
        }
        length = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
                 static_cast<uint32_t>(data_[pos_ + 2]) << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
        pos_ += 4;
    }
    if (length > size_ - pos_) {
        std::snprintf(message, sizeof message,
                      "tag %u (%s) at offset %zu: length %u runs past the end of the data (%zu bytes left)", t.code,
                      TagName(t.code), at, length, size_ - pos_);
        truncated_ = message;
        pos_ = size_;
        return false;
    }
    t.offset = at;
    t.body = data_ + pos_;
    t.length = length;
    pos_ += length;
    if (t.code == tag::kEnd) pos_ = size_;  // nothing after End belongs to this stream
    return true;
}

namespace {

// `owned`, when given, holds the bytes at `data`: a plain file's image takes them over rather
// than a copy.
bool Parse(const uint8_t* data, size_t size, std::vector<uint8_t>* owned, SwfFile& out, std::string& error) {
    out = SwfFile();
    out.fileBytes = size;
    if (size < 8) {
        error = "not an SWF file: shorter than its 8-byte header";
        return false;
    }
    if ((data[0] != 'F' && data[0] != 'C' && data[0] != 'Z') || data[1] != 'W' || data[2] != 'S') {
        error = "not an SWF file: the signature is none of FWS, CWS and ZWS";
        return false;
    }
    out.compressed = data[0] != 'F';
    out.compression = data[0] == 'C' ? Compression::kZlib : data[0] == 'Z' ? Compression::kLzma : Compression::kNone;
    out.version = data[3];
    const uint32_t declared = static_cast<uint32_t>(data[4]) | static_cast<uint32_t>(data[5]) << 8 |
                              static_cast<uint32_t>(data[6]) << 16 | static_cast<uint32_t>(data[7]) << 24;
    if (declared > kMaxSwfImageBytes) {
        error = "the file declares " + std::to_string(declared) + " bytes, more than the limit of " +
                std::to_string(kMaxSwfImageBytes) + " (kMaxSwfImageBytes)";
        return false;
    }
    if (declared < 8) {
        error = "the file declares a length shorter than its header";
        return false;
    }
    // The header, then the body inflated after it in the same buffer: a file near the limit
    // is held once, not once more for a copy.
    out.image.assign(data, data + 8);
    if (out.compression == Compression::kLzma) {
        // After the header: the compressed data's length (4 bytes), the LZMA properties (5),
        // then the data.
        constexpr size_t kLzmaDataAt = 12 + base::kLzmaPropertiesBytes;
        if (size < kLzmaDataAt) {
            error = "the LZMA-compressed file is shorter than its headers";
            return false;
        }
        // The decoder grows its output with what the stream holds; the header goes in front
        // of it, in place when the output has the room.
        std::vector<uint8_t> body;
        if (!base::InflateLzma(data + 12, data + kLzmaDataAt, size - kLzmaDataAt, declared - 8, body)) {
            error = "the LZMA-compressed body is damaged or shorter than the declared length";
            return false;
        }
        body.insert(body.begin(), data, data + 8);
        out.image = std::move(body);
    } else if (out.compressed) {
        if (!base::InflateZlib(data + 8, size - 8, declared - 8, out.image)) {
            error = "the compressed body is damaged or longer than the declared length";
            return false;
        }
    } else {
        // A plain file shorter than declared is read as far as it goes.
        if (owned != nullptr) {
            owned->resize(std::min<size_t>(size, declared));
            out.image = std::move(*owned);
        } else {
            out.image.insert(out.image.end(), data + 8, data + std::min<size_t>(size, declared));
        }
    }
    ByteReader r(out.image.data(), out.image.size());
    r.skip(8);
    out.frameSize = ReadRect(r);
    out.frameRate88 = r.u16();
    out.frameCount = r.u16();
    if (!r.ok()) {
        error = "the header's frame size, rate and count lie past the end of the data";
        return false;
    }
    out.tagsOffset = r.position();
    return true;
}

}  // namespace

bool ParseSwf(const uint8_t* data, size_t size, SwfFile& out, std::string& error) {
    return Parse(data, size, nullptr, out, error);
}

bool LoadSwfFile(const char* path, SwfFile& out, std::string& error) {
    std::vector<uint8_t> data;
    switch (base::ReadWholeFile(path, kMaxSwfImageBytes, data)) {
        case base::FileRead::kOk: break;
        case base::FileRead::kCannotOpen:
            error = std::string("cannot open ") + (path ? path : "(no path)") + ": " + base::ReadProblem(path);
            return false;
        case base::FileRead::kTooLarge:
            error = "the file is larger than the limit of " + std::to_string(kMaxSwfImageBytes) + " bytes (kMaxSwfImageBytes)";
            return false;
        case base::FileRead::kFailed: error = std::string("cannot read ") + path + ": " + base::ReadProblem(path); return false;
    }
    return Parse(data.data(), data.size(), &data, out, error);
}

}  // namespace swf
