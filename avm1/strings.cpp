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

uint32_t FirstCodePoint(const std::string& s, int version) {
    if (s.empty()) return 0;
    if (version < 6) return static_cast<unsigned char>(s[0]);
    char32_t code = 0;
    base::NextUtf8(s, 0, code);
    return code;
}

}  // namespace avm1
