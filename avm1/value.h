#pragma once
// ActionScript 1 and 2 values and the conversions that need no machine: numbers as the
// reference players print and read them, and ECMA's ToInt32.

#include <cstdint>
#include <string>
#include <string_view>

namespace avm1 {

enum class Type : uint8_t { kUndefined, kNull, kBool, kNumber, kString, kClip };

struct Value {
    Type type = Type::kUndefined;
    bool boolean = false;
    double number = 0;
    std::string string;
    uint32_t clip = 0;  // a handle the host gave out; 0 is no clip

    static Value Undefined() { return {}; }
    static Value Null() {
        Value v;
        v.type = Type::kNull;
        return v;
    }
    static Value Bool(bool b) {
        Value v;
        v.type = Type::kBool;
        v.boolean = b;
        return v;
    }
    static Value Number(double n) {
        Value v;
        v.type = Type::kNumber;
        v.number = n;
        return v;
    }
    static Value String(std::string s) {
        Value v;
        v.type = Type::kString;
        v.string = std::move(s);
        return v;
    }
    static Value Clip(uint32_t handle) {
        Value v;
        v.type = Type::kClip;
        v.clip = handle;
        return v;
    }
};

// Numbers as the reference players print them: 15 significant digits, exponents from
// 1e15 up and below 1e-5, "NaN", "Infinity" and "-Infinity".
std::string NumberToString(double n);
// A string as a number: decimal or 0x hexadecimal, surrounding blanks allowed. Anything
// else is NaN (0 for movies of version 4 and below).
double StringToNumber(std::string_view s, int version);
// ECMA's ToInt32.
int32_t ToInt32(double n);

}  // namespace avm1
