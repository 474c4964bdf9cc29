#include "swf/text_tags.h"

#include <algorithm>
#include <climits>

namespace swf {

namespace {

// A font name as stored: a counted string that may carry its own terminating zero.
std::string NameOf(const uint8_t* data, size_t size) {
    std::string name(reinterpret_cast<const char*>(data), size);
    const size_t zero = name.find('\0');
    if (zero != std::string::npos) name.resize(zero);
    return name;
}

// A glyph's outline: a SHAPE without styles.
bool ReadGlyph(const uint8_t* data, size_t size, Shape& out) {
    ByteReader r(data, size);
    return static_cast<bool>(ReadShape(r, 1, false, out));
}

}  // namespace

bool ReadDefineFont(const Tag& tag, DefineFont& font) {
    ByteReader r = tag.reader();
    font = DefineFont();
    font.id = r.u16();
    if (!r.ok()) return false;
    if (tag.code == tag::kDefineFont) {
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
    font.emUnits = tag.code == tag::kDefineFont3 ? 20480.0f : 1024.0f;
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
    ByteReader rest(table + std::min<size_t>(offsets[count], size), size - std::min<size_t>(offsets[count], size));
    font.codes.resize(count);
    for (uint16_t& c : font.codes) c = wideCodes ? rest.u16() : rest.u8();
    if (!rest.ok()) {
        font.codes.clear();  // glyphs without characters still serve static text
        return true;
    }
    if (flags & 0x80) {
        const float ascent = rest.u16(), descent = rest.u16(), leading = rest.s16();
        std::vector<float> advances(count);
        // Advances are read unsigned, as the reference players read them: a font whose advance
        // passes 32767 units places its glyphs that far apart, not backwards.
        for (float& a : advances) a = rest.u16();
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

bool ReadDefineFontInfo(const Tag& tag, size_t glyphCount, DefineFontInfo& info) {
    ByteReader r = tag.reader();
    info = DefineFontInfo();
    info.fontId = r.u16();
    const uint8_t nameLength = r.u8();
    if (!r.ok() || nameLength > r.remaining()) return false;
    const std::string name = NameOf(r.current(), nameLength);
    r.skip(nameLength);
    const uint8_t flags = r.u8();
    if (tag.code == tag::kDefineFontInfo2) r.u8();  // language
    if (!r.ok()) return false;
    std::vector<uint16_t> codes(glyphCount);
    for (uint16_t& c : codes) c = (flags & 0x01) ? r.u16() : r.u8();
    if (!r.ok()) return false;
    info.name = name;
    info.bold = (flags & 0x02) != 0;
    info.italic = (flags & 0x04) != 0;
    info.codes = std::move(codes);
    return true;
}

bool ReadDefineText(const Tag& tag, uint16_t& id, DefineText& text) {
    const bool alpha = tag.code == tag::kDefineText2;
    ByteReader r = tag.reader();
    id = r.u16();
    text = DefineText();
    text.bounds = ReadRect(r);
    text.matrix = ReadMatrix(r);
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
        if (flags & 0x04) run.color = alpha ? ReadRgba(r) : ReadRgb(r);
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

bool ReadDefineEditText(const Tag& tag, uint16_t& id, DefineEditText& out) {
    ByteReader r = tag.reader();
    out = DefineEditText();
    id = r.u16();
    out.bounds = ReadRect(r);
    const uint8_t a = r.u8(), b = r.u8();
    if (!r.ok()) return false;
    const bool hasText = a & 0x80;
    out.wordWrap = a & 0x40;
    out.multiline = a & 0x20;
    out.password = a & 0x10;
    out.readOnly = a & 0x08;
    const bool hasColor = a & 0x04, hasMaxLength = a & 0x02, hasFont = a & 0x01;
    const bool hasFontClass = b & 0x80;
    out.autoSize = b & 0x40;
    const bool hasLayout = b & 0x20;
    out.border = out.background = b & 0x08;
    out.selectable = !(b & 0x10);
    out.autoSizeMode = out.autoSize ? 1 : 0;
    out.html = b & 0x02;
    out.useOutlines = b & 0x01;
    if (hasFont) out.fontId = r.u16();
    if (hasFontClass) out.fontClass = r.string();
    if (hasFont || hasFontClass) out.height = r.u16();
    if (hasColor) out.color = ReadRgba(r);
    if (hasMaxLength) out.maxLength = r.u16();
    if (hasLayout) {
        out.align = r.u8();
        out.leftMargin = r.u16();
        out.rightMargin = r.u16();
        out.indent = r.u16();
        out.leading = r.s16();
    }
    out.variable = r.string();
    if (hasText) out.initialText = r.string();
    return r.ok();
}

}  // namespace swf
