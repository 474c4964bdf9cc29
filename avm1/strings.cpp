#include "avm1/strings.h"

#include <cmath>
#include <vector>

#include "base/utf8.h"

namespace avm1 {

namespace {

// Byte offsets of characters: UTF-8 sequences from version 6, single bytes before.
std::vector<size_t> CharacterStarts(const std::string& s, int version) {
    std::vector<size_t> starts;
    char32_t code = 0;
    for (size_t i = 0; i < s.size(); i += version < 6 ? 1 : base::NextUtf8(s, i, code)) starts.push_back(i);
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

uint32_t FirstCodePoint(const std::string& s, int version) {
    if (s.empty()) return 0;
    if (version < 6) return static_cast<unsigned char>(s[0]);
    char32_t code = 0;
    base::NextUtf8(s, 0, code);
    return code;
}

}  // namespace avm1
