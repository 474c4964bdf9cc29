// The string actions: by bytes before version 6, by UTF-8 characters from then on and in
// their multibyte forms.
#include <algorithm>

#include "avm1/actions/handlers.h"
#include "avm1/strings.h"
#include "base/utf8.h"

namespace avm1 {

namespace {

using swf::ActionCode;

template <int Which>  // 0 equals, 1 less, 2 greater
bool CompareStrings(Activation& a, const swf::Action&) {
    const std::string b = a.string(a.pop()), x = a.string(a.pop());
    a.push(a.machine.boolResult(Which == 0 ? x == b : Which == 1 ? x < b : x > b));
    return true;
}

// The multibyte forms count characters whatever the version.
int CountingVersion(const Activation& a, bool multibyte) { return multibyte ? 6 : a.version(); }

template <bool Multibyte>
bool StringLength(Activation& a, const swf::Action&) {
    const std::string s = a.string(a.pop());
    a.push(Value::Number(static_cast<double>(CharacterCount(s, CountingVersion(a, Multibyte)))));
    return true;
}

bool StringAdd(Activation& a, const swf::Action&) {
    const std::string b = a.string(a.pop());
    std::string x = a.string(a.pop());
    if (!a.machine.admitString(x.size() + b.size())) {
        a.stopped = true;
        return true;
    }
    x += b;
    a.push(Value::String(std::move(x)));
    return true;
}

template <bool Multibyte>
bool StringExtract(Activation& a, const swf::Action&) {
    const double count = a.number(a.pop()), index = a.number(a.pop());
    const std::string s = a.string(a.pop());
    a.push(Value::String(Substring(s, index, count, CountingVersion(a, Multibyte))));
    return true;
}

template <bool Multibyte>
bool CharToAscii(Activation& a, const swf::Action&) {
    const std::string s = a.string(a.pop());
    uint32_t code = s.empty() ? 0 : FirstCodePoint(s, CountingVersion(a, Multibyte));
    // A character past 16 bits reads as its first UTF-16 unit would, a surrogate alone: the
    // replacement character.
    if (code > 0xFFFF) code = 0xFFFD;
    a.push(Value::Number(code));
    return true;
}

template <bool Multibyte>
bool AsciiToChar(Activation& a, const swf::Action&) {
    const uint32_t c = static_cast<uint32_t>(ToInt32(a.number(a.pop())));
    std::string s;
    if (Multibyte || a.version() >= 6) {
        // A UTF-16 unit: the low 16 bits; a surrogate alone is the replacement character.
        uint32_t unit = c & 0xFFFF;
        if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
        if (unit != 0) base::AppendUtf8(s, unit);
    } else {
        s += static_cast<char>(c & 0xFF);
    }
    a.push(Value::String(std::move(s)));
    return true;
}

}  // namespace

void AddStringActions(ActionHandlers& h) {
    h.set(ActionCode::kStringEquals, CompareStrings<0>);
    h.set(ActionCode::kStringLess, CompareStrings<1>);
    h.set(ActionCode::kStringGreater, CompareStrings<2>);
    h.set(ActionCode::kStringLength, StringLength<false>);
    h.set(ActionCode::kMBStringLength, StringLength<true>);
    h.set(ActionCode::kStringAdd, StringAdd);
    h.set(ActionCode::kStringExtract, StringExtract<false>);
    h.set(ActionCode::kMBStringExtract, StringExtract<true>);
    h.set(ActionCode::kCharToAscii, CharToAscii<false>);
    h.set(ActionCode::kMBCharToAscii, CharToAscii<true>);
    h.set(ActionCode::kAsciiToChar, AsciiToChar<false>);
    h.set(ActionCode::kMBAsciiToChar, AsciiToChar<true>);
}

}  // namespace avm1
