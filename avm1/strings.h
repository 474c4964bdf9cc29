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
// Case mapping for the scripts' alphabets: ASCII, Latin-1 and Latin Extended-A, Greek and
// Cyrillic.
char32_t UpperCase(char32_t c);
char32_t LowerCase(char32_t c);
// The string in lower case (bytes above ASCII stay as they are before version 6).
std::string LowerText(const std::string& s, int version);
// The code of the first character (its first byte before version 6), 0 for "".
uint32_t FirstCodePoint(const std::string& s, int version);

}  // namespace avm1
