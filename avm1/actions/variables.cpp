// Variables, members and properties of clips, and what scripts ask of the world: trace, the
// clock and random numbers.
#include <algorithm>
#include <cmath>

#include "avm1/actions/handlers.h"
#include "base/utf8.h"

namespace avm1 {

namespace {

using swf::ActionCode;

bool GetVariable(Activation& a, const swf::Action&) {
    const std::string name = a.string(a.pop());
    a.push(a.getVariable(name));
    return true;
}

bool SetVariable(Activation& a, const swf::Action&) {
    Value value = a.pop();
    const std::string name = a.string(a.pop());
    a.setVariable(name, value);
    return true;
}

bool DefineLocal(Activation& a, const swf::Action&) {
    Value value = a.pop();
    const std::string name = a.string(a.pop());
    a.defineLocal(name, value, false);
    return true;
}

// DefineLocal2: declares the variable when it is not there.
bool DefineLocal2(Activation& a, const swf::Action&) {
    const std::string name = a.string(a.pop());
    a.defineLocal(name, Value(), true);
    return true;
}

bool Delete2(Activation& a, const swf::Action&) {
    const std::string name = a.string(a.pop());
    a.push(Value::Bool(a.deleteVariable(name)));
    return true;
}

bool Delete(Activation& a, const swf::Action&) {
    const std::string name = a.string(a.pop());
    const Value object = a.pop();
    a.push(Value::Bool(a.machine.deleteMember(object, name)));
    return true;
}

// A property index as GetProperty and SetProperty take it, truncated (-0.8 is 0); -1 for what
// names none (NaN, infinities and numbers out of range among them).
int PropertyOf(double index) {
    const double i = std::trunc(index);
    return i >= 0 && i < static_cast<double>(kPropertyCount) ? static_cast<int>(i) : -1;
}

bool GetProperty(Activation& a, const swf::Action&) {
    const int p = PropertyOf(a.number(a.pop()));
    const uint32_t clip = a.targetOf(a.pop());
    a.push(clip != 0 && p >= 0 && p < kPropertyCount ? a.host.getProperty(clip, p) : Value());
    return true;
}

bool SetProperty(Activation& a, const swf::Action&) {
    const Value value = a.pop();
    const int p = PropertyOf(a.number(a.pop()));
    const uint32_t clip = a.targetOf(a.pop());
    if (clip != 0 && p >= 0 && p < kPropertyCount) a.host.setProperty(clip, p, value);
    return true;
}

bool GetMember(Activation& a, const swf::Action&) {
    const std::string name = a.string(a.pop());
    const Value object = a.pop();
    a.push(a.machine.getMember(object, name));
    return true;
}

bool SetMember(Activation& a, const swf::Action&) {
    const Value value = a.pop();
    const std::string name = a.string(a.pop());
    const Value object = a.pop();
    a.machine.setMember(object, name, value);
    return true;
}

bool TargetPath(Activation& a, const swf::Action&) {
    const Value v = a.pop();
    a.push(v.type() == Type::kClip && a.host.exists(v.clip()) ? Value::String(a.host.path(v.clip())) : Value());
    return true;
}

bool TypeOf(Activation& a, const swf::Action&) {
    const Value v = a.pop();
    const char* type = "undefined";
    if (v.type() == Type::kNull) type = "null";
    if (v.type() == Type::kBool) type = "boolean";
    if (v.type() == Type::kNumber) type = "number";
    if (v.type() == Type::kString) type = "string";
    if (v.type() == Type::kClip) type = a.host.kindOf(v.clip()) == ClipKind::kMovieClip ? "movieclip" : "object";
    if (v.type() == Type::kObject) type = a.machine.isFunction(v) ? "function" : "object";
    a.push(Value::String(type));
    return true;
}

// A string of a movie before version 6 is in the system's code page (Windows-1252): trace
// writes it as UTF-8 like the later ones.
std::string CodePageToUtf8(const std::string& s) {
    static constexpr uint16_t kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                           0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::string out;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        base::AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
    }
    return out;
}

bool Trace(Activation& a, const swf::Action&) {
    const Value v = a.pop();
    // A carriage return starts a new line, as a line feed does.
    std::string line = v.type() == Type::kUndefined ? "undefined" : a.string(v);
    std::replace(line.begin(), line.end(), '\r', '\n');
    a.host.trace(a.version() >= 6 ? line : CodePageToUtf8(line));
    return true;
}

bool GetTime(Activation& a, const swf::Action&) {
    a.push(Value::Number(std::floor(a.host.timer())));
    return true;
}

// RandomNumber: the same sequence every run, so renders repeat.
bool RandomNumber(Activation& a, const swf::Action&) {
    const int32_t n = ToInt32(a.number(a.pop()));
    const uint32_t r = a.machine.nextRandom();
    a.push(Value::Number(n > 0 ? static_cast<double>(r % static_cast<uint32_t>(n)) : 0));
    return true;
}

}  // namespace

void AddVariableActions(ActionHandlers& h) {
    h.set(ActionCode::kGetVariable, GetVariable);
    h.set(ActionCode::kSetVariable, SetVariable);
    h.set(ActionCode::kDefineLocal, DefineLocal);
    h.set(ActionCode::kDefineLocal2, DefineLocal2);
    h.set(ActionCode::kDelete2, Delete2);
    h.set(ActionCode::kDelete, Delete);
    h.set(ActionCode::kGetProperty, GetProperty);
    h.set(ActionCode::kSetProperty, SetProperty);
    h.set(ActionCode::kGetMember, GetMember);
    h.set(ActionCode::kSetMember, SetMember);
    h.set(ActionCode::kTargetPath, TargetPath);
    h.set(ActionCode::kTypeOf, TypeOf);
    h.set(ActionCode::kTrace, Trace);
    h.set(ActionCode::kGetTime, GetTime);
    h.set(ActionCode::kRandomNumber, RandomNumber);
}

}  // namespace avm1
