#pragma once
// The built-in classes and functions, one file per class, each a table of its members that
// goes onto the class's prototype or constructor when the machine starts.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "avm1/activation.h"

namespace avm1 {

struct NativeMember {
    const char* name;
    NativeFunction function;
};

// Makes the global object and every class on it.
void InstallGlobals(Machine& m, Builtins& b);
// Puts built-in functions on an object, not enumerated, as the reference players have them.
void DefineMethods(Machine& m, ObjectHandle on, std::span<const NativeMember> members);
// A constructor: its function object on _global (or the package object `into`) under `name`,
// its prototype `proto` (made here when none), the methods on the prototype and the statics
// on the constructor.
ObjectHandle DefineClass(Machine& m, std::string_view name, NativeFunction constructor, ObjectHandle& proto,
                         std::span<const NativeMember> methods, std::span<const NativeMember> statics = {},
                         ObjectHandle into = {});
// A package object under _global.flash (flash.geom, flash.filters ...), made here.
ObjectHandle MakePackage(Machine& m, const Builtins& b, const char* name);
// What arrived for a loader's default onData: `read` puts the text into the object, which is
// then loaded and hears onLoad(true); undefined (nothing came) is onLoad(false).
Value ReportLoad(Machine& m, const Value& self, const Value& data, void (*read)(Machine&, const Value&, const std::string&));
// A function object for bytecode, with a fresh prototype whose constructor is the function.
Value MakeFunction(Machine& m, FunctionBody body);

// Each file of avm1/globals/ installs its class.
void InstallObject(Machine& m, Builtins& b);
void InstallFunction(Machine& m, Builtins& b);
void InstallArray(Machine& m, Builtins& b);
void InstallString(Machine& m, Builtins& b);
void InstallNumberAndBoolean(Machine& m, Builtins& b);
void InstallMath(Machine& m, Builtins& b);
void InstallDate(Machine& m, Builtins& b);
void InstallError(Machine& m, Builtins& b);
void InstallGlobalFunctions(Machine& m, Builtins& b);
void InstallBroadcaster(Machine& m, Builtins& b);
void InstallSystem(Machine& m, Builtins& b);
void InstallMovieClip(Machine& m, Builtins& b);
void InstallDrawing(Machine& m, Builtins& b);
void InstallColor(Machine& m, Builtins& b);
void InstallTextField(Machine& m, Builtins& b);
void InstallGeom(Machine& m, Builtins& b);
void InstallStage(Machine& m, Builtins& b);
void InstallFilters(Machine& m, Builtins& b);
void InstallXml(Machine& m, Builtins& b);
void InstallLoading(Machine& m, Builtins& b);
void InstallBitmapData(Machine& m, Builtins& b);
void InstallTextSnapshot(Machine& m, Builtins& b);
void InstallSound(Machine& m, Builtins& b);
void InstallNetStream(Machine& m, Builtins& b);

// A ColorTransform's eight fields as the file's terms (multipliers in 8.8).
swf::ColorTransform ColorTransformFields(Machine& m, const Value& o);
// escape(): every byte but letters and digits as %XX; the text ends at a NUL.
std::string EscapeText(std::string_view s);
// unescape(): %XX escapes and + as a space; the text ends at an escaped NUL.
std::string UnescapeText(std::string_view s);

// The argument at `i`, undefined past the last.
inline Value Argument(const std::vector<Value>& args, size_t i) { return i < args.size() ? args[i] : Value(); }
// The clip `v` is while it exists, or 0.
uint32_t ClipOf(Machine& m, const Value& v);
// The object `self` is, or null.
Object* SelfObject(Machine& m, const Value& self);
// A number argument as an integer for indexes and counts (NaN is 0).
double IntegerArgument(Machine& m, const std::vector<Value>& args, size_t i, double otherwise);

}  // namespace avm1
