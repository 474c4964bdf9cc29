#include "movie/avm1.h"

#include "movie/names.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "swf/byte_reader.h"

namespace movie::avm1 {

namespace {

// Byte offsets of characters: UTF-8 sequences from version 6, single bytes before.
std::vector<size_t> CharacterStarts(const std::string& s, int version) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); ++i) {
        if (version < 6 || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
    }
    return starts;
}

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

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

uint32_t FirstCodePoint(const std::string& s, int version) {
    if (s.empty()) return 0;
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    if (version < 6 || b[0] < 0xC0) return b[0];
    const int extra = b[0] >= 0xF0 ? 3 : b[0] >= 0xE0 ? 2 : 1;
    if (s.size() <= static_cast<size_t>(extra)) return b[0];
    uint32_t c = b[0] & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) c = (c << 6) | (b[i] & 0x3F);
    return c;
}

const char* const kPropertyNames[kPropertyCount] = {
    "_x",         "_y",        "_xscale",    "_yscale",    "_currentframe", "_totalframes", "_alpha", "_visible",
    "_width",     "_height",   "_rotation",  "_target",    "_framesloaded", "_name",        "_droptarget",
    "_url",       "_highquality", "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse"};

struct OpName {
    uint8_t code;
    const char* name;
};

const char* OperationName(uint8_t code) {
    static const OpName kNames[] = {
        {0x24, "CloneSprite"},   {0x25, "RemoveSprite"}, {0x2A, "Throw"},       {0x2B, "CastOp"},
        {0x2C, "ImplementsOp"},  {0x3A, "Delete"},       {0x3D, "CallFunction"}, {0x40, "NewObject"},
        {0x42, "InitArray"},     {0x43, "InitObject"},   {0x46, "Enumerate"},   {0x52, "CallMethod"},
        {0x53, "NewMethod"},     {0x54, "InstanceOf"},   {0x55, "Enumerate2"},  {0x69, "Extends"},
        {0x94, "With"},          {0x9B, "DefineFunction"}, {0x8E, "DefineFunction2"}, {0x8F, "Try"},
    };
    for (const OpName& n : kNames) {
        if (n.code == code) return n.name;
    }
    return "an unknown action";
}

}  // namespace

std::string NumberToString(double n) {
    if (std::isnan(n)) return "NaN";
    if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
    if (n == 0) return "0";
    // 15 significant digits, then placed by the exponent.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(n));
    std::string digits;
    const char* p = buffer;
    for (; *p != 'e' && *p != '\0'; ++p) {
        if (*p >= '0' && *p <= '9') digits += *p;
    }
    int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out = n < 0 ? "-" : "";
    if (exponent >= 15 || exponent < -5) {
        out += digits[0];
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += exponent >= 0 ? "e+" : "e-";
        out += std::to_string(std::abs(exponent));
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out += digits.substr(0, whole) + "." + digits.substr(whole);
        }
    }
    return out;
}

double StringToNumber(std::string_view s, int version) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
    size_t a = 0, b = s.size();
    while (a < b && blank(s[a])) ++a;
    while (b > a && blank(s[b - 1])) --b;
    std::string t(s.substr(a, b - a));
    if (version <= 4) {
        // Version 4 takes the number the string starts with, and 0 when there is none.
        char* end = nullptr;
        const double v = std::strtod(t.c_str(), &end);
        const bool plain = t.find_first_of("xXnNiI") == std::string::npos;  // no hex, inf or nan forms
        return end != t.c_str() && plain ? v : 0.0;
    }
    if (t.empty()) return nan;
    const bool negative = t[0] == '-';
    const size_t digits = (t[0] == '-' || t[0] == '+') ? 1 : 0;
    if (version >= 6 && t.size() > digits + 2 && t[digits] == '0' && (t[digits + 1] == 'x' || t[digits + 1] == 'X')) {
        // From version 6, 0x numbers are hexadecimal, as 32-bit integers.
        const std::string hex = t.substr(digits + 2);
        if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return nan;
        const uint32_t v = static_cast<uint32_t>(std::strtoull(hex.c_str(), nullptr, 16));
        const double n = static_cast<double>(static_cast<int32_t>(v));
        return negative ? -n : n;
    }
    if (version >= 6 && t.size() > digits + 1 && t[digits] == '0' &&
        t.find_first_not_of("01234567", digits) == std::string::npos) {
        // ... and a leading zero with octal digits only makes an octal number.
        const double n = static_cast<double>(std::strtoull(t.c_str() + digits, nullptr, 8));
        return negative ? -n : n;
    }
    // strtod would also take "inf", "nan" and hexadecimal floats: only decimals are numbers.
    for (char c : t) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) {
            return nan;
        }
    }
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    return *end == '\0' ? v : nan;
}

int32_t ToInt32(double n) {
    if (std::isnan(n) || std::isinf(n)) return 0;
    const double m = std::fmod(std::trunc(n), 4294967296.0);
    const double u = m < 0 ? m + 4294967296.0 : m;
    return static_cast<int32_t>(static_cast<uint32_t>(u));
}

int PropertyIndex(std::string_view name) {
    for (int i = 0; i < kPropertyCount; ++i) {
        if (SameNoCase(name, kPropertyNames[i])) return i;
    }
    return -1;
}

struct Machine::Run {
    const std::vector<uint8_t>* code = nullptr;
    size_t ip = 0;
    uint32_t clip = 0;    // the timeline the code belongs to
    uint32_t target = 0;  // the timeline SetTarget points the code at
    int depth = 0;
    std::vector<std::string> pool;
    std::vector<Value> stack;
    // Try blocks: on reaching `at`, execution goes on at `to` (past the catch block).
    std::vector<std::pair<size_t, size_t>> skips;
    bool stopped = false;
};

std::string Machine::toString(const Value& v) {
    switch (v.type) {
        case Type::kUndefined: return version_ >= 7 ? "undefined" : "";
        case Type::kNull: return "null";
        case Type::kBool: return v.boolean ? "true" : "false";
        case Type::kNumber: return NumberToString(v.number);
        case Type::kString: return v.string;
        case Type::kClip: return host_.exists(v.clip) ? host_.path(v.clip) : "";
    }
    return {};
}

double Machine::toNumber(const Value& v) const {
    switch (v.type) {
        case Type::kUndefined:
        case Type::kNull: return version_ >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0;
        case Type::kBool: return v.boolean ? 1 : 0;
        case Type::kNumber: return v.number;
        case Type::kString: return StringToNumber(v.string, version_);
        case Type::kClip: return std::numeric_limits<double>::quiet_NaN();
    }
    return 0;
}

bool Machine::toBoolean(const Value& v) const {
    switch (v.type) {
        case Type::kUndefined:
        case Type::kNull: return false;
        case Type::kBool: return v.boolean;
        case Type::kNumber: return !std::isnan(v.number) && v.number != 0;
        case Type::kString:
            if (version_ >= 7) return !v.string.empty();
            {
                const double n = StringToNumber(v.string, version_);
                return !std::isnan(n) && n != 0;
            }
        case Type::kClip: return true;
    }
    return false;
}

Value Machine::boolResult(bool b) const {
    // Movies of version 4 and below know no booleans: comparisons give 1 and 0.
    return version_ <= 4 ? Value::Number(b ? 1 : 0) : Value::Bool(b);
}

void Machine::unsupported(const char* what) {
    if (std::find(reported_.begin(), reported_.end(), what) != reported_.end()) return;
    reported_.emplace_back(what);
    host_.log(std::string("ActionScript: ") + what + " is not supported yet: it gives undefined");
}

bool Machine::checkString(Run& r, const std::string& s) {
    if (s.size() <= kMaxStringBytes) return true;
    host_.log("ActionScript: a string grew past " + std::to_string(kMaxStringBytes) +
              " bytes (kMaxStringBytes): the script is stopped");
    r.stopped = true;
    return false;
}

Value Machine::pop(Run& r) {
    if (r.stack.empty()) return Value();
    Value v = std::move(r.stack.back());
    r.stack.pop_back();
    return v;
}

bool Machine::push(Run& r, Value v) {
    if (r.stack.size() >= kMaxStackValues) {
        host_.log("ActionScript: the stack grew past " + std::to_string(kMaxStackValues) +
                  " values (kMaxStackValues): the script is stopped");
        r.stopped = true;
        return false;
    }
    r.stack.push_back(std::move(v));
    return true;
}

uint32_t Machine::resolvePath(uint32_t from, std::string_view path) {
    uint32_t clip = from;
    size_t i = 0;
    if (!path.empty() && path[0] == '/') {
        clip = host_.root();
        i = 1;
    }
    while (i < path.size() && clip != 0) {
        size_t j = i;
        // ".." is a parent step in slash paths; a single dot separates names.
        if (path.compare(i, 2, "..") == 0) {
            clip = host_.parent(clip);
            i += 2;
            if (i < path.size() && (path[i] == '/' || path[i] == '.')) ++i;
            continue;
        }
        while (j < path.size() && path[j] != '/' && path[j] != '.') ++j;
        const std::string_view token = path.substr(i, j - i);
        i = j < path.size() ? j + 1 : j;
        if (token.empty()) continue;
        if (SameNoCase(token, "_root") || SameNoCase(token, "_level0")) {
            clip = host_.root();
        } else if (SameNoCase(token, "_parent")) {
            clip = host_.parent(clip);
        } else if (token == "this") {
            // stays
        } else if (uint32_t c = host_.child(clip, token)) {
            clip = c;
        } else {
            Value v;
            clip = host_.getVariable(clip, token, v) && v.type == Type::kClip && host_.exists(v.clip) ? v.clip : 0;
        }
    }
    return clip;
}

uint32_t Machine::targetOf(Run& r, const Value& v) {
    if (v.type == Type::kClip) return host_.exists(v.clip) ? v.clip : 0;
    const std::string path = toString(v);
    return path.empty() ? r.clip : resolvePath(r.target, path);
}

// Splits "a/b:v" or "_root.a.v" into the clip the path names and the variable's name.
// False when the name has no path.
bool Machine::splitPath(Run& r, std::string_view name, uint32_t& clip, std::string_view& var) {
    const size_t colon = name.rfind(':');
    const size_t dot = name.rfind('.');
    size_t at = std::string_view::npos;
    if (colon != std::string_view::npos) {
        at = colon;
    } else if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
        at = dot;
    }
    if (at == std::string_view::npos) return false;
    clip = resolvePath(r.target, name.substr(0, at));
    var = name.substr(at + 1);
    return true;
}

// A variable by its name, which may carry a path: "a/b:v", "/:v", "_root.a.v".
Value Machine::getVariable(Run& r, std::string_view name) {
    uint32_t clip = r.target;
    std::string_view var = name;
    if (!splitPath(r, name, clip, var) && name.find('/') != std::string_view::npos) {
        const uint32_t c = resolvePath(r.target, name);
        return c != 0 ? Value::Clip(c) : Value();
    }
    if (clip == 0) return Value();
    if (var == "this") return Value::Clip(clip);
    if (SameNoCase(var, "_root") || SameNoCase(var, "_level0")) return Value::Clip(host_.root());
    if (SameNoCase(var, "_parent")) {
        const uint32_t p = host_.parent(clip);
        return p != 0 ? Value::Clip(p) : Value();
    }
    Value out;
    if (host_.getVariable(clip, var, out)) return out;
    if (const uint32_t c = host_.child(clip, var)) return Value::Clip(c);
    if (const int property = PropertyIndex(var); property >= 0) return host_.getProperty(clip, property);
    return Value();
}

void Machine::setVariable(Run& r, std::string_view name, const Value& value) {
    uint32_t clip = r.target;
    std::string_view var = name;
    splitPath(r, name, clip, var);
    if (clip == 0 || var.empty()) return;
    if (const int property = PropertyIndex(var); property >= 0) {
        host_.setProperty(clip, property, value);
        return;
    }
    host_.setVariable(clip, var, value);
}

Value Machine::getMember(const Value& object, const std::string& name) {
    if (object.type == Type::kClip && host_.exists(object.clip)) {
        Value out;
        if (host_.getVariable(object.clip, name, out)) return out;
        if (const uint32_t c = host_.child(object.clip, name)) return Value::Clip(c);
        if (const int property = PropertyIndex(name); property >= 0) return host_.getProperty(object.clip, property);
        if (name == "opaqueBackground") return host_.getProperty(object.clip, kPropOpaqueBackground);
        if (SameNoCase(name, "_parent")) {
            const uint32_t p = host_.parent(object.clip);
            return p != 0 ? Value::Clip(p) : Value();
        }
        return Value();
    }
    if (object.type == Type::kString && name == "length") {
        return Value::Number(static_cast<double>(CharacterCount(object.string, version_)));
    }
    return Value();
}

void Machine::setMember(const Value& object, const std::string& name, const Value& value) {
    if (object.type != Type::kClip || !host_.exists(object.clip)) return;
    if (const int property = PropertyIndex(name); property >= 0) {
        host_.setProperty(object.clip, property, value);
    } else if (name == "opaqueBackground") {
        host_.setProperty(object.clip, kPropOpaqueBackground, value);
    } else {
        host_.setVariable(object.clip, name, value);
    }
}

// Global functions and clip methods that drive timelines or convert values. `known` is
// false for every other name: the call gives undefined, as a call of an undefined
// function does.
Value Machine::callBuiltin(uint32_t clip, const std::string& name, const std::vector<Value>& args, bool& known) {
    known = true;
    auto arg = [&](size_t i) { return i < args.size() ? args[i] : Value(); };
    if (clip != 0) {
        if (name == "stop") {
            host_.stop(clip);
            return Value();
        }
        if (name == "play") {
            host_.play(clip);
            return Value();
        }
        if (name == "nextFrame" || name == "prevFrame") {
            host_.gotoFrame(clip, host_.currentFrame(clip) + (name == "nextFrame" ? 1 : -1), false);
            return Value();
        }
        if (name == "gotoAndStop" || name == "gotoAndPlay") {
            Run inner;
            inner.clip = inner.target = clip;
            gotoFrameValue(inner, arg(0), name == "gotoAndPlay", 0);
            return Value();
        }
    }
    if (name == "Number") return Value::Number(toNumber(arg(0)));
    if (name == "String") return Value::String(toString(arg(0)));
    if (name == "Boolean") return Value::Bool(toBoolean(arg(0)));
    if (name == "isNaN") return Value::Bool(std::isnan(toNumber(arg(0))));
    if (name == "isFinite") return Value::Bool(std::isfinite(toNumber(arg(0))));
    if (name == "parseFloat") {
        const std::string s = toString(arg(0));
        char* end = nullptr;
        const double v = std::strtod(s.c_str(), &end);
        return Value::Number(end == s.c_str() ? std::numeric_limits<double>::quiet_NaN() : v);
    }
    if (name == "parseInt") {
        const std::string s = toString(arg(0));
        const int radix = args.size() > 1 ? ToInt32(toNumber(arg(1))) : 0;
        if (radix != 0 && (radix < 2 || radix > 36)) return Value::Number(std::numeric_limits<double>::quiet_NaN());
        char* end = nullptr;
        const long long v = std::strtoll(s.c_str(), &end, radix);
        return Value::Number(end == s.c_str() ? std::numeric_limits<double>::quiet_NaN() : static_cast<double>(v));
    }
    known = false;
    return Value();
}

namespace {

// A frame number from 1 as a frame index: the number as a 32-bit integer, less one, in
// 32-bit arithmetic as the reference players do it; negative indexes go nowhere.
int FrameIndex(double n, int bias) {
    const uint32_t wrapped = static_cast<uint32_t>(ToInt32(n)) + static_cast<uint32_t>(bias) - 1u;
    return static_cast<int32_t>(wrapped);
}

}  // namespace

// GotoFrame2 and gotoAndPlay/Stop: a number is a frame from 1; a string a label, a frame
// number, or either after a "path:".
void Machine::gotoFrameValue(Run& r, const Value& frame, bool play, int bias) {
    uint32_t clip = r.target;
    if (frame.type == Type::kString) {
        std::string_view s = frame.string;
        const size_t colon = s.rfind(':');
        if (colon != std::string_view::npos) {
            clip = resolvePath(r.target, s.substr(0, colon));
            s = s.substr(colon + 1);
        }
        if (clip == 0) return;
        const double n = StringToNumber(s, 5);
        if (!std::isnan(n)) {
            if (const int f = FrameIndex(n, bias); f >= 0) host_.gotoFrame(clip, f, play);
        } else if (const int f = host_.frameOfLabel(clip, s); f >= 0) {
            host_.gotoFrame(clip, f, play);
        }
        return;
    }
    const double n = toNumber(frame);
    if (clip == 0) return;
    if (const int f = FrameIndex(n, bias); f >= 0) host_.gotoFrame(clip, f, play);
}

void Machine::run(const std::vector<uint8_t>& code, uint32_t clip) { execute(code, clip, 0); }

bool Machine::readVariable(uint32_t clip, std::string_view name, Value& out) {
    if (!host_.exists(clip) || name.empty()) return false;
    Run r;
    r.clip = r.target = clip;
    out = getVariable(r, name);
    return out.type != Type::kUndefined;
}

void Machine::writeVariable(uint32_t clip, std::string_view name, const Value& value) {
    if (!host_.exists(clip) || name.empty()) return;
    Run r;
    r.clip = r.target = clip;
    setVariable(r, name, value);
}

void Machine::execute(const std::vector<uint8_t>& code, uint32_t clip, int depth) {
    if (!host_.exists(clip)) return;
    Run r;
    r.code = &code;
    r.clip = r.target = clip;
    r.depth = depth;
    while (!r.stopped && r.ip < code.size()) {
        if (budget_ <= 0) {
            if (!budgetReported_) {
                budgetReported_ = true;
                host_.log("ActionScript: a frame ran past " + std::to_string(kMaxInstructionsPerFrame) +
                          " instructions (kMaxInstructionsPerFrame): its scripts are stopped");
            }
            return;
        }
        --budget_;
        if (!step(r)) break;
        for (const auto& [at, to] : r.skips) {
            if (r.ip == at) r.ip = to;
        }
    }
}

// Runs the instruction at r.ip. False at the end of the block or when it cannot go on.
bool Machine::step(Run& r) {
    const std::vector<uint8_t>& code = *r.code;
    const uint8_t op = code[r.ip];
    if (op == 0) return false;
    size_t length = 0;
    size_t bodyAt = r.ip + 1;
    if (op >= 0x80) {
        if (r.ip + 3 > code.size()) return false;
        length = code[r.ip + 1] | (static_cast<size_t>(code[r.ip + 2]) << 8);
        bodyAt = r.ip + 3;
        if (bodyAt + length > code.size()) return false;
    }
    swf::ByteReader body(code.data() + bodyAt, length);
    size_t next = bodyAt + length;
    // A branch: offsets count from the next instruction and must land inside the block.
    auto branch = [&](int16_t offset) {
        const long long to = static_cast<long long>(next) + offset;
        if (to < 0 || to > static_cast<long long>(code.size())) return false;
        next = static_cast<size_t>(to);
        return true;
    };
    auto num = [&](const Value& v) { return toNumber(v); };
    switch (op) {
        // --- timeline ---
        case 0x04: host_.gotoFrame(r.target, host_.currentFrame(r.target) + 1, false); break;  // NextFrame
        case 0x05: host_.gotoFrame(r.target, host_.currentFrame(r.target) - 1, false); break;  // PreviousFrame
        case 0x06: host_.play(r.target); break;
        case 0x07: host_.stop(r.target); break;
        case 0x08:  // ToggleQuality
        case 0x09:  // StopSounds
        case 0x28:  // EndDrag
            break;
        case 0x81: {  // GotoFrame
            const uint16_t frame = body.u16();
            if (body.ok()) host_.gotoFrame(r.target, frame, false);
            break;
        }
        case 0x8C: {  // GoToLabel
            const std::string label = body.string();
            if (const int f = host_.frameOfLabel(r.target, label); f >= 0) host_.gotoFrame(r.target, f, false);
            break;
        }
        case 0x8B: {  // SetTarget
            const std::string path = body.string();
            r.target = path.empty() ? r.clip : resolvePath(r.target, path);
            if (r.target == 0) r.target = r.clip;
            break;
        }
        case 0x20: {  // SetTarget2
            const Value v = pop(r);
            r.target = targetOf(r, v);
            if (r.target == 0) r.target = r.clip;
            break;
        }
        case 0x9F: {  // GotoFrame2
            const uint8_t flags = body.u8();
            const int bias = (flags & 0x02) ? body.u16() : 0;
            gotoFrameValue(r, pop(r), (flags & 0x01) != 0, bias);
            break;
        }
        case 0x8A:  // WaitForFrame: every frame is there
            break;
        case 0x8D:  // WaitForFrame2
            pop(r);
            break;
        case 0x83:  // GetURL
            break;
        case 0x9A:  // GetURL2
            pop(r);
            pop(r);
            break;
        case 0x9E: {  // Call: the scripts of a frame of the target
            const Value frame = pop(r);
            if (r.depth >= kMaxCallDepth) break;
            int f = -1;
            if (frame.type == Type::kString) {
                f = host_.frameOfLabel(r.target, frame.string);
                if (f < 0) {
                    const double n = StringToNumber(frame.string, version_);
                    if (!std::isnan(n)) f = static_cast<int>(n) - 1;
                }
            } else {
                const double n = num(frame);
                if (!std::isnan(n)) f = static_cast<int>(std::clamp(n, -1.0, 1e9)) - 1;
            }
            if (f >= 0) {
                for (const auto* s : host_.frameScripts(r.target, f)) execute(*s, r.target, r.depth + 1);
            }
            break;
        }
        case 0x27: {  // StartDrag: target, lock, constrain and maybe a rectangle
            pop(r);
            pop(r);
            if (toBoolean(pop(r))) {
                for (int i = 0; i < 4; ++i) pop(r);
            }
            break;
        }

        // --- the stack ---
        case 0x96: {  // Push
            while (body.remaining() > 0 && body.ok() && !r.stopped) {
                const uint8_t type = body.u8();
                switch (type) {
                    case 0: push(r, Value::String(body.string())); break;
                    case 1: {
                        const uint32_t bits = body.u32();
                        float f;
                        std::memcpy(&f, &bits, 4);
                        push(r, Value::Number(f));
                        break;
                    }
                    case 2: push(r, Value::Null()); break;
                    case 3: push(r, Value()); break;
                    case 4: {
                        const uint8_t reg = body.u8();
                        push(r, reg < 4 ? registers_[reg] : Value());
                        break;
                    }
                    case 5: push(r, Value::Bool(body.u8() != 0)); break;
                    case 6: {  // the two 32-bit halves come high first
                        const uint64_t high = body.u32();
                        const uint64_t low = body.u32();
                        const uint64_t bits = (high << 32) | low;
                        double d;
                        std::memcpy(&d, &bits, 8);
                        push(r, Value::Number(d));
                        break;
                    }
                    case 7: push(r, Value::Number(static_cast<double>(body.s32()))); break;
                    case 8:
                    case 9: {
                        const size_t index = type == 8 ? body.u8() : body.u16();
                        push(r, index < r.pool.size() ? Value::String(r.pool[index]) : Value());
                        break;
                    }
                    default: body.fail(); break;
                }
            }
            break;
        }
        case 0x17: pop(r); break;
        case 0x4C: {  // PushDuplicate
            const Value v = r.stack.empty() ? Value() : r.stack.back();
            push(r, v);
            break;
        }
        case 0x4D: {  // StackSwap
            Value a = pop(r), b = pop(r);
            push(r, std::move(a));
            push(r, std::move(b));
            break;
        }
        case 0x88: {  // ConstantPool
            const uint16_t count = body.u16();
            r.pool.clear();
            for (uint16_t i = 0; i < count && body.ok() && body.remaining() > 0; ++i) r.pool.push_back(body.string());
            break;
        }
        case 0x87: {  // StoreRegister
            const uint8_t reg = body.u8();
            if (body.ok() && reg < 4) registers_[reg] = r.stack.empty() ? Value() : r.stack.back();
            break;
        }

        // --- arithmetic ---
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D: {  // Add, Subtract, Multiply, Divide
            const double b = num(pop(r)), a = num(pop(r));
            double v = 0;
            if (op == 0x0A) v = a + b;
            if (op == 0x0B) v = a - b;
            if (op == 0x0C) v = a * b;
            if (op == 0x0D) {
                // Version 4 shows division by zero as the error string.
                if (b == 0 && version_ <= 4) {
                    push(r, Value::String("#ERROR#"));
                    break;
                }
                v = a / b;
            }
            push(r, Value::Number(v));
            break;
        }
        case 0x3F: {  // Modulo
            const double b = num(pop(r)), a = num(pop(r));
            push(r, Value::Number(std::fmod(a, b)));
            break;
        }
        case 0x50:
        case 0x51: {  // Increment, Decrement
            const double a = num(pop(r));
            push(r, Value::Number(op == 0x50 ? a + 1 : a - 1));
            break;
        }
        case 0x18: {  // ToInteger
            const double a = num(pop(r));
            push(r, Value::Number(ToInt32(a)));
            break;
        }
        case 0x4A: {  // ToNumber
            const Value v = pop(r);
            push(r, Value::Number(num(v)));
            break;
        }
        case 0x4B: {  // ToString
            const Value v = pop(r);
            push(r, Value::String(toString(v)));
            break;
        }
        case 0x60:
        case 0x61:
        case 0x62:
        case 0x63:
        case 0x64:
        case 0x65: {  // BitAnd, BitOr, BitXor, BitLShift, BitRShift, BitURShift
            const int32_t b = ToInt32(num(pop(r))), a = ToInt32(num(pop(r)));
            double v = 0;
            const unsigned shift = static_cast<unsigned>(b) & 31;
            if (op == 0x60) v = a & b;
            if (op == 0x61) v = a | b;
            if (op == 0x62) v = a ^ b;
            if (op == 0x63) v = static_cast<int32_t>(static_cast<uint32_t>(a) << shift);
            if (op == 0x64) v = a >> shift;
            if (op == 0x65) v = static_cast<uint32_t>(a) >> shift;
            push(r, Value::Number(v));
            break;
        }
        case 0x47: {  // Add2: strings join, anything else adds as numbers
            const Value b = pop(r), a = pop(r);
            if (a.type == Type::kString || b.type == Type::kString) {
                std::string s = toString(a);
                s += toString(b);
                if (checkString(r, s)) push(r, Value::String(std::move(s)));
            } else {
                push(r, Value::Number(num(a) + num(b)));
            }
            break;
        }

        // --- comparison and logic ---
        case 0x0E: {  // Equals
            const double b = num(pop(r)), a = num(pop(r));
            push(r, boolResult(a == b));
            break;
        }
        case 0x0F: {  // Less
            const double b = num(pop(r)), a = num(pop(r));
            push(r, boolResult(a < b));
            break;
        }
        case 0x48:
        case 0x67: {  // Less2, Greater: strings compare as strings; NaN gives undefined
            Value b = pop(r), a = pop(r);
            if (op == 0x67) std::swap(a, b);
            if (a.type == Type::kString && b.type == Type::kString) {
                push(r, Value::Bool(a.string < b.string));
                break;
            }
            const double x = num(a), y = num(b);
            if (std::isnan(x) || std::isnan(y)) {
                push(r, version_ <= 6 && op == 0x48 ? Value::Bool(false) : Value());
            } else {
                push(r, Value::Bool(x < y));
            }
            break;
        }
        case 0x49: {  // Equals2
            const Value b = pop(r), a = pop(r);
            bool eq = false;
            const bool aNullish = a.type == Type::kUndefined || a.type == Type::kNull;
            const bool bNullish = b.type == Type::kUndefined || b.type == Type::kNull;
            if (aNullish || bNullish) {
                eq = aNullish && bNullish;
            } else if (a.type == b.type && a.type == Type::kString) {
                eq = a.string == b.string;
            } else if (a.type == b.type && a.type == Type::kClip) {
                eq = a.clip == b.clip;
            } else if (a.type == Type::kClip || b.type == Type::kClip) {
                eq = false;
            } else {
                eq = num(a) == num(b);
            }
            push(r, Value::Bool(eq));
            break;
        }
        case 0x66: {  // StrictEquals
            const Value b = pop(r), a = pop(r);
            bool eq = a.type == b.type;
            if (eq) {
                switch (a.type) {
                    case Type::kBool: eq = a.boolean == b.boolean; break;
                    case Type::kNumber: eq = a.number == b.number; break;
                    case Type::kString: eq = a.string == b.string; break;
                    case Type::kClip: eq = a.clip == b.clip; break;
                    default: break;
                }
            }
            push(r, Value::Bool(eq));
            break;
        }
        case 0x10:
        case 0x11: {  // And, Or
            const bool b = toBoolean(pop(r)), a = toBoolean(pop(r));
            push(r, boolResult(op == 0x10 ? a && b : a || b));
            break;
        }
        case 0x12: {  // Not
            const bool a = toBoolean(pop(r));
            push(r, boolResult(!a));
            break;
        }

        // --- strings ---
        case 0x13:
        case 0x29:
        case 0x68: {  // StringEquals, StringLess, StringGreater
            const std::string b = toString(pop(r)), a = toString(pop(r));
            push(r, boolResult(op == 0x13 ? a == b : op == 0x29 ? a < b : a > b));
            break;
        }
        case 0x14:
        case 0x31: {  // StringLength, MBStringLength
            const std::string s = toString(pop(r));
            push(r, Value::Number(static_cast<double>(CharacterCount(s, op == 0x31 ? 6 : version_))));
            break;
        }
        case 0x21: {  // StringAdd
            const std::string b = toString(pop(r));
            std::string a = toString(pop(r));
            a += b;
            if (checkString(r, a)) push(r, Value::String(std::move(a)));
            break;
        }
        case 0x15:
        case 0x35: {  // StringExtract, MBStringExtract
            const double count = num(pop(r)), index = num(pop(r));
            const std::string s = toString(pop(r));
            push(r, Value::String(Substring(s, index, count, op == 0x35 ? 6 : version_)));
            break;
        }
        case 0x32:
        case 0x36: {  // CharToAscii, MBCharToAscii
            const std::string s = toString(pop(r));
            push(r, Value::Number(s.empty() ? 0 : FirstCodePoint(s, op == 0x36 ? 6 : version_)));
            break;
        }
        case 0x33:
        case 0x37: {  // AsciiToChar, MBAsciiToChar
            const uint32_t c = static_cast<uint32_t>(ToInt32(num(pop(r))));
            std::string s;
            if (op == 0x37 || version_ >= 6) {
                AppendUtf8(s, std::min<uint32_t>(c & 0x1FFFFF, 0x10FFFF));
            } else {
                s += static_cast<char>(c & 0xFF);
            }
            push(r, Value::String(std::move(s)));
            break;
        }

        // --- control flow ---
        case 0x99: {  // Jump
            const int16_t offset = body.s16();
            if (!body.ok() || !branch(offset)) return false;
            break;
        }
        case 0x9D: {  // If
            const int16_t offset = body.s16();
            if (!body.ok()) return false;
            if (toBoolean(pop(r)) && !branch(offset)) return false;
            break;
        }
        case 0x3E:  // Return: at the top of a block it ends the block
            return false;

        // --- variables and members ---
        case 0x1C: {  // GetVariable
            const std::string name = toString(pop(r));
            push(r, getVariable(r, name));
            break;
        }
        case 0x1D:
        case 0x3C: {  // SetVariable, DefineLocal
            Value value = pop(r);
            const std::string name = toString(pop(r));
            setVariable(r, name, value);
            break;
        }
        case 0x41: {  // DefineLocal2: declares the variable when it is not there
            const std::string name = toString(pop(r));
            Value existing;
            if (!host_.getVariable(r.target, name, existing)) host_.setVariable(r.target, name, Value());
            break;
        }
        case 0x3B: {  // Delete2
            const std::string name = toString(pop(r));
            push(r, Value::Bool(host_.deleteVariable(r.target, name)));
            break;
        }
        case 0x3A: {  // Delete
            const std::string name = toString(pop(r));
            const Value object = pop(r);
            const bool done = object.type == Type::kClip && host_.exists(object.clip) && host_.deleteVariable(object.clip, name);
            push(r, Value::Bool(done));
            break;
        }
        case 0x22: {  // GetProperty
            const double index = num(pop(r));
            const uint32_t clip = targetOf(r, pop(r));
            const int p = std::isnan(index) ? -1 : static_cast<int>(index);
            push(r, clip != 0 && p >= 0 && p < kPropertyCount ? host_.getProperty(clip, p) : Value());
            break;
        }
        case 0x23: {  // SetProperty
            const Value value = pop(r);
            const double index = num(pop(r));
            const uint32_t clip = targetOf(r, pop(r));
            const int p = std::isnan(index) ? -1 : static_cast<int>(index);
            if (clip != 0 && p >= 0 && p < kPropertyCount) host_.setProperty(clip, p, value);
            break;
        }
        case 0x4E: {  // GetMember
            const std::string name = toString(pop(r));
            const Value object = pop(r);
            push(r, getMember(object, name));
            break;
        }
        case 0x4F: {  // SetMember
            const Value value = pop(r);
            const std::string name = toString(pop(r));
            const Value object = pop(r);
            setMember(object, name, value);
            break;
        }
        case 0x45: {  // TargetPath
            const Value v = pop(r);
            push(r, v.type == Type::kClip && host_.exists(v.clip) ? Value::String(host_.path(v.clip)) : Value());
            break;
        }
        case 0x44: {  // TypeOf
            const Value v = pop(r);
            const char* type = "undefined";
            if (v.type == Type::kNull) type = "null";
            if (v.type == Type::kBool) type = "boolean";
            if (v.type == Type::kNumber) type = "number";
            if (v.type == Type::kString) type = "string";
            if (v.type == Type::kClip) type = "movieclip";
            push(r, Value::String(type));
            break;
        }
        case 0x26: {  // Trace
            const Value v = pop(r);
            host_.trace(v.type == Type::kUndefined ? "undefined" : toString(v));
            break;
        }
        case 0x34: push(r, Value::Number(std::floor(host_.timer()))); break;  // GetTime
        case 0x30: {  // RandomNumber: the same sequence every run, so renders repeat
            const double range = num(pop(r));
            random_ ^= random_ << 13;
            random_ ^= random_ >> 17;
            random_ ^= random_ << 5;
            const int32_t n = ToInt32(range);
            push(r, Value::Number(n > 0 ? static_cast<double>(random_ % static_cast<uint32_t>(n)) : 0));
            break;
        }

        // --- calls: the timeline methods and a few global functions ---
        case 0x3D:
        case 0x52: {  // CallFunction, CallMethod
            const std::string name = toString(pop(r));
            uint32_t clip = r.target;
            if (op == 0x52) {
                const Value object = pop(r);
                clip = object.type == Type::kClip && host_.exists(object.clip) ? object.clip : 0;
            }
            const double n = num(pop(r));
            const size_t count = std::isnan(n) || n < 0 ? 0 : static_cast<size_t>(std::min(n, 65535.0));
            std::vector<Value> args;
            for (size_t i = 0; i < count && !r.stack.empty(); ++i) args.push_back(pop(r));
            bool known = false;
            Value result = callBuiltin(clip, name, args, known);
            if (!known && op == 0x52 && clip == 0) unsupported("calling methods of objects");
            push(r, std::move(result));
            break;
        }

        // --- the object model: not built, each gives undefined ---
        case 0x40:
        case 0x53: {  // NewObject, NewMethod
            pop(r);
            if (op == 0x53) pop(r);
            const double n = num(pop(r));
            const size_t count = std::isnan(n) || n < 0 ? 0 : static_cast<size_t>(std::min(n, 65535.0));
            for (size_t i = 0; i < count && !r.stack.empty(); ++i) pop(r);
            unsupported(OperationName(op));
            push(r, Value());
            break;
        }
        case 0x42:
        case 0x43: {  // InitArray, InitObject
            const double n = num(pop(r));
            const size_t count = std::isnan(n) || n < 0 ? 0 : static_cast<size_t>(std::min(n, 65535.0));
            for (size_t i = 0; i < count * (op == 0x43 ? 2 : 1) && !r.stack.empty(); ++i) pop(r);
            unsupported(OperationName(op));
            push(r, Value());
            break;
        }
        case 0x46:
        case 0x55:  // Enumerate, Enumerate2: nothing to enumerate
            pop(r);
            push(r, Value::Null());
            break;
        case 0x54:
        case 0x2B:  // InstanceOf, CastOp
            pop(r);
            pop(r);
            unsupported(OperationName(op));
            push(r, op == 0x54 ? Value::Bool(false) : Value::Null());
            break;
        case 0x69:  // Extends
            pop(r);
            pop(r);
            unsupported(OperationName(op));
            break;
        case 0x2C: {  // ImplementsOp
            pop(r);
            const double n = num(pop(r));
            const size_t count = std::isnan(n) || n < 0 ? 0 : static_cast<size_t>(std::min(n, 65535.0));
            for (size_t i = 0; i < count && !r.stack.empty(); ++i) pop(r);
            unsupported(OperationName(op));
            break;
        }
        case 0x24:  // CloneSprite: target, source, depth
            pop(r);
            pop(r);
            pop(r);
            unsupported(OperationName(op));
            break;
        case 0x25:  // RemoveSprite
            pop(r);
            unsupported(OperationName(op));
            break;
        case 0x2A:  // Throw: nothing catches it, the block ends
            pop(r);
            return false;
        case 0x94: {  // With: its body runs in the scope around it
            pop(r);
            unsupported(OperationName(op));
            break;
        }
        case 0x9B:
        case 0x8E: {  // DefineFunction, DefineFunction2: the body is skipped
            const std::string name = body.string();
            const uint16_t params = body.u16();
            if (op == 0x8E) {
                body.u8();
                body.u16();
            }
            for (uint16_t i = 0; i < params && body.ok(); ++i) {
                if (op == 0x8E) body.u8();
                body.string();
            }
            const uint16_t codeSize = body.u16();
            if (!body.ok() || next + codeSize > code.size()) return false;
            next += codeSize;
            unsupported(OperationName(op));
            if (name.empty()) push(r, Value());
            break;
        }
        case 0x8F: {  // Try: the try block runs, the catch block is skipped, finally runs
            const uint8_t flags = body.u8();
            const uint16_t trySize = body.u16(), catchSize = body.u16();
            body.u16();  // finally size
            if (!body.ok()) return false;
            (void)flags;
            if (catchSize > 0) r.skips.emplace_back(next + trySize, next + trySize + catchSize);
            break;
        }
        default: {
            // Unknown actions are skipped by their length, as the reference players do.
            break;
        }
    }
    r.ip = next;
    return !r.stopped;
}

}  // namespace movie::avm1
