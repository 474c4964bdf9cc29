#pragma once
// UTF-8 as movies of version 6 and later hold their strings, with one rule for what is not
// UTF-8: a byte that does not start a whole, well-formed sequence stands for itself, as the
// Latin-1 character of that code. Text drawing and the string actions decode by this rule,
// so that a string has the same characters wherever it is counted or shown.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// The character at s[i], and the byte count it takes (1 to 4; 0 at the end).
inline size_t NextUtf8(std::string_view s, size_t i, char32_t& code) {
    if (i >= s.size()) return 0;
    const auto c = static_cast<unsigned char>(s[i]);
    code = c;
    if (c < 0xC0 || c >= 0xF8) return 1;
    const size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    if (i + extra >= s.size()) return 1;
    char32_t value = c & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 1;
        value = (value << 6) | (b & 0x3F);
    }
    code = value;
    return extra + 1;
}

// Up to `limit` characters of s: by UTF-8 when `utf8`, else a byte each.
inline std::u32string DecodeText(std::string_view s, bool utf8, size_t limit = std::u32string::npos) {
    std::u32string out;
    for (size_t i = 0; i < s.size() && out.size() < limit;) {
        char32_t c = static_cast<unsigned char>(s[i]);
        i += utf8 ? NextUtf8(s, i, c) : 1;
        out += c;
    }
    return out;
}

// Appends a code point (at most U+10FFFF) as UTF-8.
inline void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace base
