#include "tests/corpus/corpus_scan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "movie/definition.h"
#include "base/names.h"

namespace corpus {

namespace {

// Names that reach the display's objects: a script naming one is not timeline-only.
const char* const kObjectNames[] = {
    // clip properties and methods
    "_x", "_y", "_xscale", "_yscale", "_rotation", "_alpha", "_visible", "_width", "_height", "_xmouse", "_ymouse",
    "createEmptyMovieClip", "attachMovie", "duplicateMovieClip", "removeMovieClip", "swapDepths", "getNextHighestDepth",
    "getDepth", "setMask", "hitTest", "getBounds", "getRect", "localToGlobal", "globalToLocal", "startDrag", "stopDrag",
    "loadMovie", "loadMovieNum", "unloadMovie", "getBytesLoaded", "getBytesTotal", "scrollRect", "cacheAsBitmap",
    "opaqueBackground", "blendMode", "transform", "scale9Grid", "onEnterFrame", "MovieClip", "_focusrect", "tabIndex",
    "tabEnabled",
    // drawing
    "beginFill", "beginGradientFill", "beginBitmapFill", "lineStyle", "lineGradientStyle", "lineTo", "moveTo",
    "curveTo", "endFill", "clear",
    // text fields
    "createTextField", "TextField", "TextFormat", "setTextFormat", "setNewTextFormat", "getTextFormat", "text",
    "htmlText", "border", "borderColor", "background", "backgroundColor", "textColor", "embedFonts", "autoSize",
    "multiline", "wordWrap", "textWidth", "textHeight", "Selection",
    // filters and geometry
    "filters", "BlurFilter", "DropShadowFilter", "GlowFilter", "BevelFilter", "GradientGlowFilter",
    "GradientBevelFilter", "ConvolutionFilter", "ColorMatrixFilter", "DisplacementMapFilter", "BitmapFilter",
    "BitmapData", "Color", "ColorTransform", "Matrix", "Rectangle", "Point", "geom", "Stage", "Key", "Mouse"};

bool IsObjectName(const std::string& s) {
    for (const char* n : kObjectNames) {
        if (base::SameNoCase(s, n)) return true;
    }
    return false;
}

// The names an action block pushes or pools.
void ScanActions(const uint8_t* code, size_t size, Features& f) {
    size_t ip = 0;
    auto note = [&](const std::string& s) {
        if (f.objectName.empty() && IsObjectName(s)) f.objectName = s;
    };
    while (ip < size) {
        const uint8_t op = code[ip++];
        if (op == 0) break;
        if (op < 0x80) continue;
        if (ip + 2 > size) break;
        const size_t length = code[ip] | (code[ip + 1] << 8);
        ip += 2;
        if (ip + length > size) break;
        swf::ByteReader r(code + ip, length);
        if (op == 0x88) {
            const uint16_t n = r.u16();
            for (uint16_t i = 0; i < n && r.ok() && r.remaining() > 0; ++i) note(r.string());
        } else if (op == 0x96) {
            while (r.ok() && r.remaining() > 0) {
                const uint8_t type = r.u8();
                static const int kSizes[] = {-1, 4, 0, 0, 1, 1, 8, 4, 1, 2};
                if (type == 0) {
                    note(r.string());
                } else if (type < 10) {
                    r.skip(static_cast<size_t>(kSizes[type]));
                } else {
                    break;
                }
            }
        } else if (op == 0x8B || op == 0x8C) {
            note(r.string());
        }
        // Function bodies follow their definitions inline: the walk goes through them.
        ip += length;
    }
}

void ScanTags(swf::TagReader tags, uint8_t version, Features& f, int depth) {
    swf::Tag t;
    while (tags.next(t)) {
        namespace tag = swf::tag;
        switch (t.code) {
            case tag::kDoAbc: f.as3 = true; break;
            case tag::kFileAttributes:
                if (t.length > 0 && (t.body[0] & 0x08)) f.as3 = true;
                break;
            case tag::kDoAction:
                f.scripts = true;
                ScanActions(t.body, t.length, f);
                break;
            case tag::kDoInitAction:
                f.scripts = true;
                if (t.length > 2) ScanActions(t.body + 2, t.length - 2, f);
                break;
            case tag::kPlaceObject2:
            case tag::kPlaceObject3: {
                if (t.code == tag::kPlaceObject3 && t.length > 1 && (t.body[1] & 0x07)) f.effects = true;
                movie::PlaceCommand c;
                if (t.length > 0 && (t.body[0] & 0x80)) {
                    f.scripts = true;
                    if (movie::ReadPlaceObject(t, c, version) && c.clipActions) {
                        for (const movie::ClipAction& a : *c.clipActions) ScanActions(a.code.data(), a.code.size(), f);
                    }
                }
                break;
            }
            case tag::kDefineBits:
            case tag::kDefineBitsJpeg2:
            case tag::kDefineBitsJpeg3:
            case tag::kDefineBitsJpeg4:
            case tag::kDefineBitsLossless:
            case tag::kDefineBitsLossless2:
            case tag::kJpegTables: f.bitmaps = true; break;
            case tag::kDefineText:
            case tag::kDefineText2:
            case tag::kDefineEditText:
            case tag::kDefineFont:
            case tag::kDefineFont2:
            case tag::kDefineFont3:
            case tag::kDefineFont4: f.text = true; break;
            case tag::kDefineButton:
            case tag::kDefineButton2: f.buttons = true; break;
            case tag::kDefineVideoStream:
            case tag::kVideoFrame: f.video = true; break;
            case tag::kDefineSprite:
                if (depth < 4 && t.length > 4) ScanTags(swf::TagReader(t.body, t.length, 4), version, f, depth + 1);
                break;
            default: break;
        }
    }
}

}  // namespace

std::string Features::describe() const {
    std::string s;
    auto add = [&](bool on, const char* name) {
        if (on) s += (s.empty() ? "" : ",") + std::string(name);
    };
    add(scripts, "scripts");
    add(effects, "effects");
    add(bitmaps, "bitmaps");
    add(text, "text");
    add(buttons, "buttons");
    add(video, "video");
    return s.empty() ? "shapes-only" : s;
}

Features Scan(const swf::SwfFile& file) {
    Features f;
    ScanTags(file.tags(), file.version, f, 0);
    return f;
}

int FramesToRun(const std::string& toml) {
    for (const char* key : {"num_frames", "num_ticks"}) {
        size_t at = 0;
        while ((at = toml.find(key, at)) != std::string::npos) {
            // Only a key at the start of a line counts.
            if (at == 0 || toml[at - 1] == '\n') {
                const size_t eq = toml.find('=', at);
                if (eq != std::string::npos) return std::max(1, std::atoi(toml.c_str() + eq + 1));
            }
            at += 1;
        }
    }
    return 1;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace corpus
