#include "avm1/strings.h"

#include <cmath>
#include <vector>

#include "avm1/value.h"
#include "base/utf8.h"

namespace avm1 {

namespace {

// Byte offsets of characters: of UTF-16 units from version 6, of bytes before. The second
// unit of a character past 16 bits starts where the character ends: a cut between its two
// units keeps the whole character with the first.
std::vector<size_t> CharacterStarts(const std::string& s, int version) {
    std::vector<size_t> starts;
    char32_t code = 0;
    for (size_t i = 0; i < s.size();) {
        starts.push_back(i);
        if (version < 6) {
            ++i;
            continue;
        }
        i += base::NextUtf8(s, i, code);
        if (code >= 0x10000) starts.push_back(i);
    }
    return starts;
}

}  // namespace

// From version 6 the count is of UTF-16 units, as the reference players count: a character
// past the Basic Multilingual Plane (four UTF-8 bytes) is two.
size_t CharacterCount(const std::string& s, int version) {
    if (version < 6) return s.size();
    size_t count = 0;
    char32_t code = 0;
    for (size_t i = 0; i < s.size();) {
        i += base::NextUtf8(s, i, code);
        count += code >= 0x10000 ? 2 : 1;
    }
    return count;
}

// Characters [index, index + count) of s, by the 1-based index the string actions take.
std::string Substring(const std::string& s, double index, double count, int version) {
    const std::vector<size_t> starts = CharacterStarts(s, version);
    const double n = static_cast<double>(starts.size());
    // Both are 32-bit integers, as the reference players take them (4294967303 is 7).
    double first = static_cast<double>(ToInt32(index)) - 1;
    if (first < 0) first = 0;
    if (first >= n) return {};
    double length = static_cast<double>(ToInt32(count));
    if (length < 0 || first + length > n) length = n - first;
    const size_t from = starts[static_cast<size_t>(first)];
    const size_t lastChar = static_cast<size_t>(first + length);
    const size_t to = lastChar >= starts.size() ? s.size() : starts[lastChar];
    return s.substr(from, to - from);
}

// Case mapping for the scripts' alphabets: ASCII, Latin-1, Greek and Cyrillic.
char32_t UpperCase(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    if (c >= 0x100 && c <= 0x17F && (c & 1) == 1 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        return (c >= 0x139 && c <= 0x148) || c >= 0x179 ? c : c - 1;
    }
    return c;
}

char32_t LowerCase(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x100 && c <= 0x137 && (c & 1) == 0 && c != 0x130) return c + 1;
    return c;
}

std::string LowerText(const std::string& s, int version) {
    if (version < 6) {
        std::string out = s;
        for (char& c : out) c = static_cast<char>(LowerCase(static_cast<unsigned char>(c)) & 0xFF);
        return out;
    }
    std::string out;
    char32_t code = 0;
    for (size_t i = 0; i < s.size();) {
        i += base::NextUtf8(s, i, code);
        base::AppendUtf8(out, LowerCase(code));
    }
    return out;
}

uint32_t FirstCodePoint(const std::string& s, int version) {
    if (s.empty()) return 0;
    if (version < 6) return static_cast<unsigned char>(s[0]);
    char32_t code = 0;
    base::NextUtf8(s, 0, code);
    return code;
}

}  // namespace avm1
