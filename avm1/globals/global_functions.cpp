// The global conversion functions.
#include <cmath>
#include <cstdlib>
#include <limits>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Value NumberOf(Activation& a, uint32_t, const std::vector<Value>& args) {
    return Value::Number(a.number(Argument(args, 0)));
}

Value StringOf(Activation& a, uint32_t, const std::vector<Value>& args) {
    return Value::String(a.string(Argument(args, 0)));
}

Value BooleanOf(Activation& a, uint32_t, const std::vector<Value>& args) {
    return Value::Bool(a.boolean(Argument(args, 0)));
}

Value IsNaN(Activation& a, uint32_t, const std::vector<Value>& args) {
    return Value::Bool(std::isnan(a.number(Argument(args, 0))));
}

Value IsFinite(Activation& a, uint32_t, const std::vector<Value>& args) {
    return Value::Bool(std::isfinite(a.number(Argument(args, 0))));
}

Value ParseFloat(Activation& a, uint32_t, const std::vector<Value>& args) {
    const std::string s = a.string(Argument(args, 0));
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    return Value::Number(end == s.c_str() ? kNaN : v);
}

Value ParseInt(Activation& a, uint32_t, const std::vector<Value>& args) {
    const std::string s = a.string(Argument(args, 0));
    const int radix = args.size() > 1 ? ToInt32(a.number(args[1])) : 0;
    if (radix != 0 && (radix < 2 || radix > 36)) return Value::Number(kNaN);
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, radix);
    return Value::Number(end == s.c_str() ? kNaN : static_cast<double>(v));
}

constexpr NativeMember kGlobalFunctions[] = {
    {"Number", NumberOf}, {"String", StringOf},     {"Boolean", BooleanOf},   {"isNaN", IsNaN},
    {"isFinite", IsFinite}, {"parseFloat", ParseFloat}, {"parseInt", ParseInt},
};

NativeFunction Find(std::span<const NativeMember> members, std::string_view name) {
    for (const NativeMember& m : members) {
        if (name == m.name) return m.function;
    }
    return nullptr;
}

}  // namespace

std::span<const NativeMember> GlobalFunctions() { return kGlobalFunctions; }

NativeFunction FindNative(bool onClip, std::string_view name) {
    if (onClip) {
        if (const NativeFunction f = Find(MovieClipMethods(), name)) return f;
    }
    return Find(GlobalFunctions(), name);
}

}  // namespace avm1
