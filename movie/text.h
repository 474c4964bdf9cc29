#pragma once
// Static text: the glyph outlines of embedded fonts (DefineFont, DefineFont2, DefineFont3)
// and the text records that place them (DefineText, DefineText2).

#include <cstdint>
#include <vector>

#include "movie/shape.h"
#include "swf/records.h"
#include "swf/tags.h"

namespace movie {

struct Font {
    std::vector<ShapeGeometry> glyphs;  // each filled with opaque white: the text's colour tints it
    float emUnits = 1024;               // glyph units per text height: 20480 for DefineFont3
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

inline constexpr uint32_t kMaxGlyphs = 65535;

// The font's id and its glyph outlines. False when the tag is damaged.
bool ReadDefineFont(const swf::Tag& tag, uint16_t& id, Font& font);
// The text's id, bounds, matrix and runs. False when the tag is damaged.
bool ReadDefineText(const swf::Tag& tag, uint16_t& id, StaticText& text);

}  // namespace movie
