#include "movie/text/static_text.h"

namespace movie {

bool ReadDefineFont(const swf::Tag& tag, uint16_t& id, Font& font) {
    swf::DefineFont f;
    if (!swf::ReadDefineFont(tag, f)) return false;
    id = f.id;
    font = Font();
    font.glyphs.reserve(f.glyphs.size());
    for (swf::Shape& outline : f.glyphs) font.glyphs.push_back(BuildGlyphGeometry(std::move(outline)));
    font.emUnits = f.emUnits;
    font.name = std::move(f.name);
    font.bold = f.bold;
    font.italic = f.italic;
    font.codes = std::move(f.codes);
    font.hasLayout = f.hasLayout;
    font.ascent = f.ascent;
    font.descent = f.descent;
    font.leading = f.leading;
    font.advances = std::move(f.advances);
    return true;
}

bool ReadDefineFontInfo(const swf::Tag& tag, uint16_t& id, Font& font) {
    swf::DefineFontInfo info;
    if (!swf::ReadDefineFontInfo(tag, font.glyphs.size(), info)) return false;
    id = info.fontId;
    font.name = std::move(info.name);
    font.bold = info.bold;
    font.italic = info.italic;
    font.codes = std::move(info.codes);
    return true;
}

}  // namespace movie
