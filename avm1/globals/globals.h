#pragma once
// The built-in functions and methods, one file per class, each a table of its members.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "avm1/activation.h"

namespace avm1 {

// A built-in: `self` is the clip it is called on, 0 for a global function.
using NativeFunction = Value (*)(Activation& a, uint32_t self, const std::vector<Value>& args);

struct NativeMember {
    const char* name;
    NativeFunction function;
};

// The global functions: Number, String, Boolean, isNaN, isFinite, parseFloat, parseInt.
std::span<const NativeMember> GlobalFunctions();
// The methods of clips that drive their timelines.
std::span<const NativeMember> MovieClipMethods();

// A built-in by its name: a clip's method when called on a clip, else a global function.
// Null for every other name: such a call gives undefined, as a call of an undefined
// function does.
NativeFunction FindNative(bool onClip, std::string_view name);

// The argument at `i`, undefined past the last.
inline Value Argument(const std::vector<Value>& args, size_t i) { return i < args.size() ? args[i] : Value(); }

}  // namespace avm1
