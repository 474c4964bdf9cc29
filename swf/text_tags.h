#pragma once
// The text tags as typed records: embedded fonts (DefineFont, DefineFont2 and 3) with their
// glyph outlines, DefineFontInfo and DefineFontInfo2, static text (DefineText, DefineText2)
// and edit text fields (DefineEditText).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "swf/records.h"
#include "swf/tags.h"

namespace swf {

struct DefineFont {
    uint16_t id = 0;
    std::vector<Shape> glyphs;  // outlines only: no styles
    float emUnits = 1024;       // glyph units per text height: 20480 for DefineFont3
    std::string name;
    bool bold = false, italic = false;
    std::vector<uint16_t> codes;  // the character of each glyph (DefineFont2 and 3)
    // The layout of DefineFont2 and 3, in glyph units.
    bool hasLayout = false;
    float ascent = 0, descent = 0, leading = 0;
    std::vector<float> advances;
};

// The name, style and character codes DefineFontInfo gives a DefineFont.
struct DefineFontInfo {
    uint16_t fontId = 0;
    std::string name;
    bool bold = false, italic = false;
    std::vector<uint16_t> codes;
};

// Glyphs sharing a font, colour, height and baseline, at their pen positions in twips.
struct TextRun {
    uint16_t fontId = 0;
    Color color;
    int32_t height = 0;  // twips
    int32_t y = 0;       // the baseline
    struct Glyph {
        uint16_t index = 0;
        int32_t x = 0;
    };
    std::vector<Glyph> glyphs;
};

struct DefineText {
    Rect bounds;
    Matrix matrix;
    std::vector<TextRun> runs;
};

struct DefineEditText {
    Rect bounds;
    bool wordWrap = false, multiline = false, password = false, readOnly = false, autoSize = false, border = false,
         html = false, useOutlines = false;
    std::optional<uint16_t> fontId;
    std::string fontClass;
    uint16_t height = 240;  // twips: 12 px
    Color color{0, 0, 0, 255};
    std::optional<uint16_t> maxLength;
    uint8_t align = 0;  // 0 left, 1 right, 2 centre, 3 justify
    uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
    int16_t leading = 0;
    std::string variable;
    std::string initialText;
    bool selectable = true;
    // The file's border flag gives a black border around a white background; scripts set
    // each apart.
    bool background = false;
    Color borderColor{0, 0, 0, 255}, backgroundColor{255, 255, 255, 255};
    // What scripts' text formats give the whole field: a font by name (used when the field
    // has no font of its own) and styles.
    std::string fontName;
    bool bold = false, italic = false, underline = false;
    // autoSize as scripts set it: 0 none, 1 left, 2 centre, 3 right (the file's flag is left).
    uint8_t autoSizeMode = 0;
};

// False when the tag is damaged.
bool ReadDefineFont(const Tag& tag, DefineFont& font);
// `glyphCount`: the font's, whose codes the record holds.
bool ReadDefineFontInfo(const Tag& tag, size_t glyphCount, DefineFontInfo& info);
bool ReadDefineText(const Tag& tag, uint16_t& id, DefineText& text);
bool ReadDefineEditText(const Tag& tag, uint16_t& id, DefineEditText& out);

}  // namespace swf
