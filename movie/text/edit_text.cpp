#include "movie/text/edit_text.h"

#include "base/names.h"
#include "base/utf8.h"
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace movie {

namespace {

std::u32string Decode(const std::string& s, bool utf8) { return base::DecodeText(s, utf8, kMaxEditTextCharacters); }

void Append(Paragraph& p, const std::u32string& text, const TextStyle& style) {
    if (text.empty()) return;
    if (!p.runs.empty()) {
        const TextStyle& last = p.runs.back().style;
        if (last.face == style.face && last.size == style.size && last.bold == style.bold && last.italic == style.italic &&
            last.underline == style.underline && last.color.r == style.color.r && last.color.g == style.color.g &&
            last.color.b == style.color.b && last.color.a == style.color.a) {
            p.runs.back().text += text;
            return;
        }
    }
    p.runs.push_back({text, style});
}

// The attributes of a tag: name="value", name='value' or name=value.
std::string Attribute(const std::string& tag, const char* name) {
    const std::string lower = base::LowerCase(tag);
    const std::string key = name;
    size_t at = 0;
    while ((at = lower.find(key, at)) != std::string::npos) {
        const bool starts = at > 0 && std::isspace(static_cast<unsigned char>(lower[at - 1]));
        size_t i = at + key.size();
        while (i < lower.size() && std::isspace(static_cast<unsigned char>(lower[i]))) ++i;
        if (!starts || i >= lower.size() || lower[i] != '=') {
            at += key.size();
            continue;
        }
        ++i;
        while (i < lower.size() && std::isspace(static_cast<unsigned char>(lower[i]))) ++i;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            const char quote = tag[i];
            const size_t end = tag.find(quote, i + 1);
            return tag.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
        }
        size_t end = i;
        while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) && tag[end] != '/') ++end;
        return tag.substr(i, end - i);
    }
    return {};
}

uint8_t AlignOf(const std::string& value, uint8_t fallback) {
    const std::string v = base::LowerCase(value);
    if (v == "left") return 0;
    if (v == "right") return 1;
    if (v == "center") return 2;
    if (v == "justify") return 3;
    return fallback;
}

// "&amp;" and its kind at `at`; false when it is no entity we know.
bool Entity(const std::string& s, size_t at, char32_t& out, size_t& length) {
    const size_t end = s.find(';', at);
    if (end == std::string::npos || end - at > 10) return false;
    const std::string name = s.substr(at + 1, end - at - 1);
    length = end - at + 1;
    if (name == "amp") out = '&';
    else if (name == "lt") out = '<';
    else if (name == "gt") out = '>';
    else if (name == "quot") out = '"';
    else if (name == "apos") out = '\'';
    else if (name == "nbsp") out = 0xA0;
    else if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        char* stop = nullptr;
        const long v = std::strtol(name.c_str() + (hex ? 2 : 1), &stop, hex ? 16 : 10);
        if (*stop != '\0' || v <= 0 || v > 0x10FFFF) return false;
        out = static_cast<char32_t>(v);
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::vector<Paragraph> ParsePlainText(const std::string& text, const TextStyle& base, uint8_t align, bool utf8) {
    std::vector<Paragraph> out(1);
    out.back().align = align;
    const std::u32string chars = Decode(text, utf8);
    std::u32string pending;
    for (size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        if (c == '\r' || c == '\n') {
            Append(out.back(), pending, base);
            pending.clear();
            if (c == '\r' && i + 1 < chars.size() && chars[i + 1] == '\n') ++i;
            out.emplace_back();
            out.back().align = align;
            continue;
        }
        pending += c;
    }
    Append(out.back(), pending, base);
    return out;
}

std::vector<Paragraph> ParseHtmlText(const std::string& html, const TextStyle& base, uint8_t align, bool utf8) {
    std::vector<Paragraph> out(1);
    out.back().align = align;
    struct Open {
        std::string tag;
        TextStyle style;
    };
    std::vector<Open> stack;
    constexpr size_t kMaxOpenTags = 256;
    auto style = [&]() -> const TextStyle& { return stack.empty() ? base : stack.back().style; };
    bool inParagraph = false;
    auto breakParagraph = [&](uint8_t nextAlign) {
        out.emplace_back();
        out.back().align = nextAlign;
    };
    std::string text;  // raw bytes of the text between tags
    auto flush = [&]() {
        if (text.empty()) return;
        std::u32string decoded;
        const std::u32string raw = Decode(text, utf8);
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\r' || raw[i] == '\n') {
                Append(out.back(), decoded, style());
                decoded.clear();
                if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
                breakParagraph(out.back().align);
                continue;
            }
            decoded += raw[i];
        }
        Append(out.back(), decoded, style());
        text.clear();
    };
    for (size_t i = 0; i < html.size() && i < kMaxEditTextCharacters;) {
        const char c = html[i];
        if (c == '&') {
            char32_t e = 0;
            size_t length = 0;
            if (Entity(html, i, e, length)) {
                flush();
                Append(out.back(), std::u32string(1, e), style());
                i += length;
                continue;
            }
        }
        if (c != '<') {
            text += c;
            ++i;
            continue;
        }
        const size_t end = html.find('>', i);
        if (end == std::string::npos) {
            text += html.substr(i);
            break;
        }
        flush();
        std::string tag = html.substr(i + 1, end - i - 1);
        i = end + 1;
        const bool closing = !tag.empty() && tag[0] == '/';
        if (closing) tag.erase(0, 1);
        size_t nameEnd = 0;
        while (nameEnd < tag.size() && !std::isspace(static_cast<unsigned char>(tag[nameEnd])) && tag[nameEnd] != '/') {
            ++nameEnd;
        }
        const std::string name = base::LowerCase(tag.substr(0, nameEnd));
        if (name == "br") {
            breakParagraph(out.back().align);
            continue;
        }
        if (name == "p" || name == "li") {
            if (closing) {
                breakParagraph(align);
                inParagraph = false;
            } else {
                // A paragraph opened after text (not after a closing one) starts a new line.
                const bool empty = out.back().runs.empty();
                if (!empty || inParagraph) breakParagraph(align);
                out.back().align = AlignOf(Attribute(tag, "align"), align);
                inParagraph = true;
            }
            continue;
        }
        if (name != "font" && name != "b" && name != "i" && name != "u") continue;  // others change nothing drawn
        if (closing) {
            for (size_t k = stack.size(); k-- > 0;) {
                if (stack[k].tag == name) {
                    stack.resize(k);
                    break;
                }
            }
            continue;
        }
        if (stack.size() >= kMaxOpenTags) continue;
        TextStyle s = style();
        if (name == "b") s.bold = true;
        if (name == "i") s.italic = true;
        if (name == "u") s.underline = true;
        if (name == "font") {
            const std::string face = Attribute(tag, "face"), size = Attribute(tag, "size"), color = Attribute(tag, "color");
            if (!face.empty()) s.face = face;
            if (!size.empty()) {
                const double v = std::atof(size.c_str());
                const bool relative = size[0] == '+' || size[0] == '-';
                const double px = relative ? s.size / 20.0 + v : v;
                if (px > 0 && px < 10000) s.size = static_cast<float>(px * 20);
            }
            if (color.size() == 7 && color[0] == '#') {
                const unsigned long rgb = std::strtoul(color.c_str() + 1, nullptr, 16);
                s.color = {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb),
                           s.color.a};
            }
        }
        stack.push_back({name, s});
    }
    flush();
    // "<p>a</p>" is one paragraph: the break after the last closing tag opens nothing.
    if (out.size() > 1 && out.back().runs.empty()) out.pop_back();
    return out;
}

namespace {

struct Item {
    char32_t code;
    const StyledRun* run;
    const GlyphFont* font;
    float width;    // twips, exact
    float advance;  // twips, how far the next glyph is placed
};

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000; }

}  // namespace

TextLayout LayOutText(const EditTextDefinition& field, const std::vector<Paragraph>& paragraphs, FontResolver& fonts) {
    TextLayout out;
    constexpr float kPadding = kFieldPadding;
    const float left = static_cast<float>(field.bounds.xMin) + kPadding + field.leftMargin;
    const float right = static_cast<float>(field.bounds.xMax) - kPadding - field.rightMargin;
    float top = static_cast<float>(field.bounds.yMin) + kPadding;
    TextStyle baseStyle;
    baseStyle.size = field.height;
    if (!field.fontId) baseStyle.face = field.fontName;
    baseStyle.bold = field.bold;
    baseStyle.italic = field.italic;
    const float firstTop = top;
    const GlyphFont* baseFont = fonts.resolve(baseStyle);
    size_t placed = 0;
    for (const Paragraph& p : paragraphs) {
        std::vector<Item> items;
        for (const StyledRun& run : p.runs) {
            const GlyphFont* font = fonts.resolve(run.style);
            for (char32_t c : run.text) {
                if (++placed > kMaxEditTextCharacters) break;
                const char32_t shown = field.password ? U'*' : c;
                // Lines measure and wrap by the exact advances; glyphs of a font the movie
                // embeds are placed by whole twips, cut down, as the reference players place
                // them (their textWidth is the exact sum all the same).
                const float w = font != nullptr ? font->advance(shown) * run.style.size / font->emUnits() : 0;
                items.push_back({shown, &run, font, w, field.useOutlines ? std::floor(w) : w});
            }
        }
        // Lines: [begin, end) ranges of items.
        std::vector<std::pair<size_t, size_t>> lines;
        size_t begin = 0;
        while (begin < items.size() || lines.empty()) {
            const float limit = right - left - (lines.empty() ? field.indent : 0);
            size_t end = begin;
            float width = 0;
            size_t lastBreak = begin;  // after the last space run
            while (end < items.size()) {
                const float w = items[end].width;
                if (field.wordWrap && width + w > limit && !IsSpace(items[end].code) && end > begin) {
                    if (lastBreak > begin) end = lastBreak;  // wrap at the last space
                    break;
                }
                width += w;
                ++end;
                if (IsSpace(items[end - 1].code) && (end >= items.size() || !IsSpace(items[end].code))) lastBreak = end;
            }
            lines.emplace_back(begin, end);
            if (end == begin) break;  // an empty paragraph, or nothing fits
            begin = end;
        }
        for (size_t li = 0; li < lines.size(); ++li) {
            const auto [b, e] = lines[li];
            float ascent = 0, descent = 0, width = 0, widthToInk = 0;
            for (size_t k = b; k < e; ++k) {
                const Item& it = items[k];
                if (it.font != nullptr) {
                    const float scale = it.run->style.size / it.font->emUnits();
                    ascent = std::max(ascent, std::floor(it.font->ascent() * scale));
                    descent = std::max(descent, std::floor(it.font->descent() * scale));
                }
                width += it.width;
                if (!IsSpace(it.code)) widthToInk = width;  // trailing spaces take no room when aligning
            }
            if (b == e && baseFont != nullptr) {
                const float scale = baseStyle.size / baseFont->emUnits();
                ascent = std::floor(baseFont->ascent() * scale);
                descent = std::floor(baseFont->descent() * scale);
            }
            const float start = left + (li == 0 ? field.indent : 0);
            const float room = right - start;
            float x = start;
            if (p.align == 1) x = start + room - widthToInk;
            if (p.align == 2) x = start + (room - widthToInk) / 2;
            const float baseline = top + ascent;
            for (size_t k = b; k < e; ++k) {
                const Item& it = items[k];
                if (it.font != nullptr) {
                    const float scale = it.run->style.size / it.font->emUnits();
                    if (GlyphShape g = it.font->glyph(it.code); g != nullptr && !IsSpace(it.code)) {
                        out.glyphs.push_back({g, x, baseline, scale, it.run->style.color});
                    }
                    if (it.run->style.underline) {
                        const float thickness = std::max(20.0f, it.run->style.size / 16);
                        Underline u{x, x + it.advance, baseline + thickness * 1.5f, thickness, it.run->style.color};
                        if (!out.underlines.empty() && out.underlines.back().x1 == u.x0 && out.underlines.back().y == u.y) {
                            out.underlines.back().x1 = u.x1;
                        } else {
                            out.underlines.push_back(u);
                        }
                    }
                }
                x += it.advance;
            }
            out.width = std::max(out.width, widthToInk);
            out.height = baseline + descent - firstTop;
            ++out.lines;
            top = baseline + descent + field.leading;
        }
    }
    return out;
}

}  // namespace movie
