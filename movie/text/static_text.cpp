#include "movie/text/static_text.h"

#include <algorithm>
#include <climits>

namespace movie {

namespace {

// A font name as stored: a counted string that may carry its own terminating zero.
std::string NameOf(const uint8_t* data, size_t size) {
    std::string name(reinterpret_cast<const char*>(data), size);
    const size_t zero = name.find('\0');
    if (zero != std::string::npos) name.resize(zero);
    return name;
}

// A glyph's outline read from its SHAPE, filled with one opaque white style.
bool ReadGlyph(const uint8_t* data, size_t size, ShapeGeometry& out) {
    swf::ByteReader r(data, size);
    swf::Shape shape;
    if (!swf::ReadShape(r, 1, false, shape)) return false;
    out = BuildGlyphGeometry(std::move(shape));
    return true;
}

}  // namespace

bool ReadDefineFont(const swf::Tag& tag, uint16_t& id, Font& font) {
    swf::ByteReader r = tag.reader();
    id = r.u16();
    font = Font();
    if (!r.ok()) return false;
    if (tag.code == swf::tag::kDefineFont) {
        // An offset table whose first entry tells its own length, then the shapes.
        const uint8_t* table = r.current();
        const size_t size = r.remaining();
        if (size == 0) return true;  // a font without glyphs
        const uint16_t first = r.u16();
        const size_t count = first / 2;
        if (!r.ok() || count == 0 || first > size) return false;
        std::vector<uint32_t> offsets = {first};
        for (size_t i = 1; i < count; ++i) offsets.push_back(r.u16());
        if (!r.ok()) return false;
        font.glyphs.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const size_t end = i + 1 < count ? offsets[i + 1] : size;
            if (offsets[i] > end || end > size) return false;
            if (!ReadGlyph(table + offsets[i], end - offsets[i], font.glyphs[i])) return false;
        }
        return true;
    }
    // DefineFont2 and DefineFont3.
    const uint8_t flags = r.u8();
    r.u8();  // language
    const uint8_t nameLength = r.u8();
    font.name = NameOf(r.current(), std::min<size_t>(nameLength, r.remaining()));
    r.skip(nameLength);
    const uint16_t count = r.u16();
    if (!r.ok()) return false;
    font.bold = (flags & 0x01) != 0;
    font.italic = (flags & 0x02) != 0;
    font.emUnits = tag.code == swf::tag::kDefineFont3 ? 20480.0f : 1024.0f;
    const bool wide = (flags & 0x08) != 0, wideCodes = (flags & 0x04) != 0;
    if (count == 0) {
        // A font without outlines names a font of the system: its layout may still follow.
        if (flags & 0x80) {
            font.hasLayout = true;
            font.ascent = r.u16();
            font.descent = r.u16();
            font.leading = r.s16();
        }
        return true;
    }
    const uint8_t* table = r.current();
    const size_t size = r.remaining();
    std::vector<uint32_t> offsets(count + 1u);
    for (uint32_t& o : offsets) o = wide ? r.u32() : r.u16();  // the last is the code table's
    if (!r.ok()) return false;
    font.glyphs.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t begin = offsets[i], end = offsets[i + 1];
        if (begin > end || end > size) return false;
        if (!ReadGlyph(table + begin, end - begin, font.glyphs[i])) return false;
    }
    // The code table, then the layout.
    swf::ByteReader rest(table + std::min<size_t>(offsets[count], size), size - std::min<size_t>(offsets[count], size));
    font.codes.resize(count);
    for (uint16_t& c : font.codes) c = wideCodes ? rest.u16() : rest.u8();
    if (!rest.ok()) {
        font.codes.clear();  // glyphs without characters still serve static text
        return true;
    }
    if (flags & 0x80) {
        const float ascent = rest.u16(), descent = rest.u16(), leading = rest.s16();
        std::vector<float> advances(count);
        for (float& a : advances) a = rest.s16();
        if (rest.ok()) {
            font.hasLayout = true;
            font.ascent = ascent;
            font.descent = descent;
            font.leading = leading;
            font.advances = std::move(advances);
        }
    }
    return true;
}

bool ReadDefineFontInfo(const swf::Tag& tag, uint16_t& id, Font& font) {
    swf::ByteReader r = tag.reader();
    id = r.u16();
    const uint8_t nameLength = r.u8();
    if (!r.ok() || nameLength > r.remaining()) return false;
    const std::string name = NameOf(r.current(), nameLength);
    r.skip(nameLength);
    const uint8_t flags = r.u8();
    if (tag.code == swf::tag::kDefineFontInfo2) r.u8();  // language
    if (!r.ok()) return false;
    std::vector<uint16_t> codes(font.glyphs.size());
    for (uint16_t& c : codes) c = (flags & 0x01) ? r.u16() : r.u8();
    if (!r.ok()) return false;
    font.name = name;
    font.bold = (flags & 0x02) != 0;
    font.italic = (flags & 0x04) != 0;
    font.codes = std::move(codes);
    return true;
}

bool ReadDefineText(const swf::Tag& tag, uint16_t& id, StaticText& text) {
    const bool alpha = tag.code == swf::tag::kDefineText2;
    swf::ByteReader r = tag.reader();
    id = r.u16();
    text = StaticText();
    text.bounds = swf::ReadRect(r);
    text.matrix = swf::ReadMatrix(r);
    const unsigned glyphBits = r.u8(), advanceBits = r.u8();
    if (!r.ok() || glyphBits > 32 || advanceBits > 32) return false;
    TextRun state;
    int32_t x = 0;
    for (;;) {
        const uint8_t flags = r.u8();
        if (!r.ok()) return false;
        if (flags == 0) break;  // the end of the records
        TextRun run = state;
        run.glyphs.clear();
        if (flags & 0x08) run.fontId = r.u16();
        if (flags & 0x04) run.color = alpha ? swf::ReadRgba(r) : swf::ReadRgb(r);
        if (flags & 0x01) x = r.s16();
        if (flags & 0x02) run.y = r.s16();
        if (flags & 0x08) run.height = r.u16();
        const uint8_t count = r.u8();
        for (uint8_t i = 0; i < count; ++i) {
            TextRun::Glyph g;
            g.index = static_cast<uint16_t>(r.ubits(glyphBits));
            g.x = x;
            // Advances add up in 64 bits and stop at the ends of the 32-bit range.
            const int64_t next = int64_t{x} + r.sbits(advanceBits);
            x = static_cast<int32_t>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX));
            run.glyphs.push_back(g);
        }
        r.align();
        if (!r.ok()) return false;
        state = run;
        text.runs.push_back(std::move(run));
    }
    return true;
}

}  // namespace movie
