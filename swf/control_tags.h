#pragma once
// The small tags that shape a timeline rather than define a drawing: DefineSprite's header
// (its own tags follow), DoInitAction, SetBackgroundColor, FrameLabel, DefineButtonCxform
// and the font id DefineFontInfo names. DoAction and JPEGTables are their bodies whole.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "swf/records.h"
#include "swf/tags.h"

namespace swf {

// A view of bytes inside the tag.
struct Bytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

struct DefineSpriteHeader {
    uint16_t id = 0;
    uint16_t frameCount = 0;  // as the tag says: its tags decide
    Bytes tags;               // the sprite's own tag stream
};
struct DoInitAction {
    uint16_t spriteId = 0;
    Bytes code;
};
struct FrameLabel {
    std::string name;
    bool anchor = false;  // a named anchor (version 6 and later)
};
struct DefineButtonCxform {
    uint16_t buttonId = 0;
    ColorTransform colorTransform;
};

// ExportAssets: the names other movies and attachMovie know characters by.
struct ExportedAsset {
    uint16_t id = 0;
    std::string name;
};

// ScriptLimits: how deep scripts may call, and how long a frame's scripts may run.
struct ScriptLimits {
    uint16_t maxRecursionDepth = 0;
    uint16_t timeoutSeconds = 0;
};

// Each false when the tag is cut short.
bool ReadDefineSpriteHeader(const Tag& tag, DefineSpriteHeader& out);
bool ReadDoInitAction(const Tag& tag, DoInitAction& out);
bool ReadSetBackgroundColor(const Tag& tag, Color& out);
bool ReadFrameLabel(const Tag& tag, FrameLabel& out);
bool ReadScriptLimits(const Tag& tag, ScriptLimits& out);
bool ReadDefineButtonCxform(const Tag& tag, DefineButtonCxform& out);
// The font DefineFontInfo or DefineFontInfo2 gives its names and codes to.
bool ReadFontInfoFontId(const Tag& tag, uint16_t& fontId);
// The assets an ExportAssets tag names, as many as it holds whole.
std::vector<ExportedAsset> ReadExportAssets(const Tag& tag);

}  // namespace swf
