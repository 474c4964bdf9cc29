#pragma once
// Strings as the string actions count them: by UTF-8 characters from version 6, by bytes
// before.

#include <cstddef>
#include <cstdint>
#include <string>

namespace avm1 {

size_t CharacterCount(const std::string& s, int version);
// Characters [index, index + count) of s, by the 1-based index the string actions take.
std::string Substring(const std::string& s, double index, double count, int version);
// The code of the first character (its first byte before version 6), 0 for "".
uint32_t FirstCodePoint(const std::string& s, int version);

}  // namespace avm1
