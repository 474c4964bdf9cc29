#pragma once
// Static text: the glyph outlines of embedded fonts (DefineFont, DefineFont2, DefineFont3)
// and the text records that place them (DefineText, DefineText2).

#include <cstdint>
#include <string>
#include <vector>

#include "movie/render/shape.h"
#include "swf/records.h"
#include "swf/tags.h"
#include "swf/text_tags.h"

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

// Static text as its tag gives it: runs of glyphs sharing a font, colour, height and baseline.
using TextRun = swf::TextRun;
using StaticText = swf::DefineText;
using swf::ReadDefineText;

// The font's id and its glyphs made ready to draw. False when the tag is damaged.
bool ReadDefineFont(const swf::Tag& tag, uint16_t& id, Font& font);
// DefineFontInfo and DefineFontInfo2: the name, style and character codes of a DefineFont.
bool ReadDefineFontInfo(const swf::Tag& tag, uint16_t& id, Font& font);

}  // namespace movie
