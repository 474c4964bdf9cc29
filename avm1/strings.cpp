#include "avm1/strings.h"

#include <cmath>
#include <vector>

namespace avm1 {

namespace {

// Byte offsets of characters: UTF-8 sequences from version 6, single bytes before.
std::vector<size_t> CharacterStarts(const std::string& s, int version) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); ++i) {
        if (version < 6 || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
    }
    return starts;
}

}  // namespace

size_t CharacterCount(const std::string& s, int version) { return CharacterStarts(s, version).size(); }

// Characters [index, index + count) of s, by the 1-based index the string actions take.
std::string Substring(const std::string& s, double index, double count, int version) {
    const std::vector<size_t> starts = CharacterStarts(s, version);
    const double n = static_cast<double>(starts.size());
    double first = std::isnan(index) ? 0 : std::trunc(index) - 1;
    if (first < 0) first = 0;
    if (first >= n) return {};
    double length = std::isnan(count) ? 0 : std::trunc(count);
    if (length < 0 || first + length > n) length = n - first;
    const size_t from = starts[static_cast<size_t>(first)];
    const size_t lastChar = static_cast<size_t>(first + length);
    const size_t to = lastChar >= starts.size() ? s.size() : starts[lastChar];
    return s.substr(from, to - from);
}

void AppendUtf8(std::string& out, uint32_t c) {
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

uint32_t FirstCodePoint(const std::string& s, int version) {
    if (s.empty()) return 0;
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    if (version < 6 || b[0] < 0xC0) return b[0];
    const int extra = b[0] >= 0xF0 ? 3 : b[0] >= 0xE0 ? 2 : 1;
    if (s.size() <= static_cast<size_t>(extra)) return b[0];
    uint32_t c = b[0] & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) c = (c << 6) | (b[i] & 0x3F);
    return c;
}

}  // namespace avm1
