#pragma once
// ActionScript 1 and 2 values and the conversions that need no machine: numbers as the
// reference players print and read them, and ECMA's ToInt32.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace avm1 {

enum class Type : uint8_t { kUndefined, kNull, kBool, kNumber, kString, kClip, kObject };

// A handle to an object of the machine's heap; index 0 is no object. A handle whose object
// the collector freed resolves to nothing: its slot's generation has moved on.
struct ObjectHandle {
    uint32_t index = 0;
    uint32_t generation = 0;
    explicit operator bool() const { return index != 0; }
    bool operator==(const ObjectHandle&) const = default;
};

// One value of a script: exactly one of its kinds, each with only its own data.
class Value {
public:
    Value() = default;
    static Value Undefined() { return {}; }
    static Value Null() { return Value(Data(std::in_place_index<1>)); }
    static Value Bool(bool b) { return Value(Data(std::in_place_index<2>, b)); }
    static Value Number(double n) { return Value(Data(std::in_place_index<3>, n)); }
    static Value String(std::string s) { return Value(Data(std::in_place_index<4>, std::move(s))); }
    // A clip by the handle its host gave out; 0 is no clip.
    static Value Clip(uint32_t handle) { return Value(Data(std::in_place_index<5>, ClipHandle{handle})); }
    static Value Object(ObjectHandle handle) { return Value(Data(std::in_place_index<6>, handle)); }

    Type type() const { return static_cast<Type>(data_.index()); }
    bool isUndefined() const { return type() == Type::kUndefined; }
    bool isNull() const { return type() == Type::kNull; }
    bool isNullish() const { return type() == Type::kUndefined || type() == Type::kNull; }

    // The value's own data; each is that kind's default for a value of another kind.
    bool boolean() const { return type() == Type::kBool && std::get<2>(data_); }
    double number() const { return type() == Type::kNumber ? std::get<3>(data_) : 0; }
    const std::string& string() const;
    // The string, moved out of a string value (which is left empty).
    std::string takeString() && { return type() == Type::kString ? std::move(std::get<4>(data_)) : std::string(); }
    uint32_t clip() const { return type() == Type::kClip ? std::get<5>(data_).handle : 0; }
    ObjectHandle object() const { return type() == Type::kObject ? std::get<6>(data_) : ObjectHandle{}; }

private:
    struct NullValue {};
    struct ClipHandle {
        uint32_t handle = 0;
    };
    // In the order of Type.
    using Data = std::variant<std::monostate, NullValue, bool, double, std::string, ClipHandle, ObjectHandle>;
    explicit Value(Data d) : data_(std::move(d)) {}

    Data data_;
};

// Numbers as the reference players print them: 15 significant digits, exponents from
// 1e15 up and below 1e-5, "NaN", "Infinity" and "-Infinity".
std::string NumberToString(double n);
// The integer part of a number in a radix from 2 to 36, as Number.toString(radix) prints it.
std::string IntegerToString(double n, int radix);
// A string as a number: decimal or 0x hexadecimal, after leading blanks. Anything
// else is NaN (0 for movies of version 4 and below).
double StringToNumber(std::string_view s, int version);
// ECMA's ToInt32.
int32_t ToInt32(double n);

}  // namespace avm1
