#pragma once
// Static text: the glyph outlines of embedded fonts (DefineFont, DefineFont2, DefineFont3)
// and the text records that place them (DefineText, DefineText2).

#include <cstdint>
#include <string>
#include <vector>

#include "movie/render/shape.h"
#include "swf/records.h"
#include "swf/tags.h"

namespace movie {

struct Font {
    std::vector<ShapeGeometry> glyphs;  // each filled with opaque white: the text's colour tints it
    float emUnits = 1024;               // glyph units per text height: 20480 for DefineFont3
    std::string name;
    bool bold = false, italic = false;
    std::vector<uint16_t> codes;  // the character of each glyph (DefineFont2 and 3, or DefineFontInfo)
    // The layout of DefineFont2 and 3, in glyph units.
    bool hasLayout = false;
    float ascent = 0, descent = 0, leading = 0;
    std::vector<float> advances;

};

// Glyphs sharing a font, colour, height and baseline, at their pen positions in twips.
struct TextRun {
    uint16_t fontId = 0;
    swf::Color color;
    int32_t height = 0;  // twips
    int32_t y = 0;       // the baseline
    struct Glyph {
        uint16_t index = 0;
        int32_t x = 0;
    };
    std::vector<Glyph> glyphs;
};

struct StaticText {
    swf::Rect bounds;
    swf::Matrix matrix;
    std::vector<TextRun> runs;
};

// The font's id and its glyph outlines. False when the tag is damaged.
bool ReadDefineFont(const swf::Tag& tag, uint16_t& id, Font& font);
// DefineFontInfo and DefineFontInfo2: the name, style and character codes of a DefineFont.
bool ReadDefineFontInfo(const swf::Tag& tag, uint16_t& id, Font& font);
// The text's id, bounds, matrix and runs. False when the tag is damaged.
bool ReadDefineText(const swf::Tag& tag, uint16_t& id, StaticText& text);

}  // namespace movie
