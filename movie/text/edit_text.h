#pragma once
// Edit text fields (DefineEditText): the record, the text they show (plain or the HTML
// subset movies use), and its layout into glyphs placed in the field's twips.
//
// The layout follows the reference players: 2 px of padding inside the bounds, then the
// margins; the first line of a paragraph starts after the indent; a line's baseline lies
// its tallest font's ascent below its top, and the next line starts its descent plus the
// field's leading lower (ascent and descent at the text's size each cut to whole twips; the
// font's own leading is not used). Lines align left, right or centre (justified lines align left).
// Words wrap at spaces when the field wraps, and a word wider than the field breaks
// between characters.

#include <cstdint>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "movie/render/shape.h"
#include "swf/records.h"
#include "swf/tags.h"
#include "swf/text_tags.h"

namespace movie {

using EditTextDefinition = swf::DefineEditText;
using swf::ReadDefineEditText;

// The padding inside a field's bounds, in the field's twips (2 px): the text starts after it,
// and the text is cut at it on the left and right (not above or below).
constexpr int32_t kFieldPadding = 40;

struct TextStyle {
    std::string face;  // empty: the field's font
    float size = 240;  // twips
    swf::Color color{0, 0, 0, 255};
    bool bold = false, italic = false, underline = false;
};

struct StyledRun {
    std::u32string text;
    TextStyle style;
};

struct Paragraph {
    uint8_t align = 0;
    std::vector<StyledRun> runs;
};

// Text as paragraphs: plain text breaks at CR, LF and CR LF; HTML at <p>, </p> and <br>,
// with <p align>, <font face size color>, <b>, <i>, <u> and the common entities. Strings
// are UTF-8 from version 6 and Latin-1 before.
std::vector<Paragraph> ParsePlainText(const std::string& text, const TextStyle& base, uint8_t align, bool utf8);
std::vector<Paragraph> ParseHtmlText(const std::string& html, const TextStyle& base, uint8_t align, bool utf8);

// A font as the layout sees it: glyphs by character, their advances, and the font's
// ascent and descent, all in glyph units (emUnits to the text height).
// A glyph's outline. Layouts keep the outlines they place: a font may drop its copy (a system
// font's cache is bounded) while a layout still draws it.
using GlyphShape = std::shared_ptr<const ShapeGeometry>;

class GlyphFont {
public:
    virtual ~GlyphFont() = default;
    virtual GlyphShape glyph(uint32_t code) const = 0;  // null when it has none
    virtual float advance(uint32_t code) const = 0;
    virtual float emUnits() const = 0;
    virtual float ascent() const = 0;
    virtual float descent() const = 0;
};

class FontResolver {
public:
    virtual ~FontResolver() = default;
    // The font for a style, or null when there is none: its text takes no room.
    virtual const GlyphFont* resolve(const TextStyle& style) = 0;
};

struct PlacedGlyph {
    GlyphShape shape;
    float x = 0, y = 0;  // the pen on the baseline, twips in the field's space
    float scale = 1;     // twips per glyph unit
    swf::Color color;
};

struct Underline {
    float x0 = 0, x1 = 0, y = 0, thickness = 20;
    swf::Color color;
};

struct TextLayout {
    std::vector<PlacedGlyph> glyphs;
    std::vector<Underline> underlines;
    // The text's extent in twips: its widest line, and its lines from the first's top to the
    // last's bottom; and how many lines it has.
    float width = 0, height = 0;
    int lines = 0;
};

inline constexpr size_t kMaxEditTextCharacters = 1u << 20;  // longer text is cut here

TextLayout LayOutText(const EditTextDefinition& field, const std::vector<Paragraph>& paragraphs, FontResolver& fonts);

}  // namespace movie
