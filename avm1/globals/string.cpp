// String: its methods count characters from version 6 and bytes before, as the string
// actions do.
#include <algorithm>
#include <cmath>

#include "avm1/globals/globals.h"
#include "avm1/strings.h"
#include "base/utf8.h"

namespace avm1 {

namespace {

// A string as characters: UTF-16 code units from version 6 (a character past the Basic
// Multilingual Plane counts as its two surrogates, as the reference players count it),
// bytes before.
std::u32string Characters(const std::string& s, int version) {
    std::u32string out;
    out.reserve(s.size());
    if (version < 6) {
        for (char c : s) out.push_back(static_cast<unsigned char>(c));
        return out;
    }
    char32_t code = 0;
    for (size_t i = 0; i < s.size();) {
        i += base::NextUtf8(s, i, code);
        if (code >= 0x10000) {
            out.push_back(0xD800 + ((code - 0x10000) >> 10));
            out.push_back(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out.push_back(code);
        }
    }
    return out;
}

std::string Text(const std::u32string& chars, size_t from, size_t to, int version) {
    std::string out;
    to = std::min(to, chars.size());
    for (size_t i = from; i < to; ++i) {
        if (version < 6) {
            out += static_cast<char>(chars[i]);
        } else if (chars[i] >= 0xD800 && chars[i] < 0xDC00 && i + 1 < to && chars[i + 1] >= 0xDC00 && chars[i + 1] < 0xE000) {
            base::AppendUtf8(out, 0x10000 + ((chars[i] - 0xD800) << 10) + (chars[i + 1] - 0xDC00));
            ++i;
        } else {
            base::AppendUtf8(out, chars[i]);
        }
    }
    return out;
}

std::string SelfString(Machine& m, const Value& self) {
    if (const Object* o = SelfObject(m, self); o != nullptr && o->wraps == Object::Wraps::kString) {
        return o->primitive.string();
    }
    return m.toString(self);
}

// The string and its characters, with the scan charged as work.
struct Chars {
    std::u32string chars;
    int version;
    Chars(Machine& m, const Value& self) : chars(Characters(SelfString(m, self), m.version())), version(m.version()) {
        m.charge(static_cast<int64_t>(chars.size()));
    }
    double size() const { return static_cast<double>(chars.size()); }
    Value text(Machine& m, size_t from, size_t to) const {
        std::string s = from < to ? Text(chars, from, to, version) : std::string();
        return m.admitString(s.size()) ? Value::String(std::move(s)) : Value();
    }
};

size_t Clamp(double n, double size) { return static_cast<size_t>(std::clamp(n, 0.0, size)); }

Value Construct(Machine& m, const Value& self, std::vector<Value>& args) {
    const std::string s = args.empty() ? std::string() : m.toString(args[0]);
    if (Object* o = m.constructing() ? SelfObject(m, self) : nullptr) {
        o->wraps = Object::Wraps::kString;
        o->primitive = Value::String(s);
        // A String object's length is a property of its own: hidden from for-in, kept from
        // delete, and writable.
        o->set("length", Value::Number(static_cast<double>(Characters(s, m.version()).size())),
               attribute::kDontEnum | attribute::kDontDelete);
        return self;
    }
    return Value::String(s);
}

Value ToString(Machine& m, const Value& self, std::vector<Value>&) { return Value::String(SelfString(m, self)); }

Value CharAt(Machine& m, const Value& self, std::vector<Value>& args) {
    const Chars c(m, self);
    const double i = IntegerArgument(m, args, 0, 0);
    if (i < 0 || i >= c.size()) return Value::String("");
    return c.text(m, static_cast<size_t>(i), static_cast<size_t>(i) + 1);
}

Value CharCodeAt(Machine& m, const Value& self, std::vector<Value>& args) {
    const Chars c(m, self);
    const double i = IntegerArgument(m, args, 0, 0);
    if (i < 0 || i >= c.size()) return Value::Number(std::nan(""));
    return Value::Number(static_cast<double>(c.chars[static_cast<size_t>(i)]));
}

Value Concat(Machine& m, const Value& self, std::vector<Value>& args) {
    std::string s = SelfString(m, self);
    for (const Value& a : args) {
        const std::string more = m.toString(a);
        if (!m.admitString(s.size() + more.size())) return Value();
        s += more;
    }
    return Value::String(std::move(s));
}

// indexOf and lastIndexOf: by characters.
template <bool Last>
Value IndexOf(Machine& m, const Value& self, std::vector<Value>& args) {
    const Chars c(m, self);
    const std::u32string needle = Characters(m.toString(Argument(args, 0)), m.version());
    const double n = c.size(), k = static_cast<double>(needle.size());
    if (!m.charge(static_cast<int64_t>(c.chars.size() * std::max<size_t>(needle.size(), 1)))) return Value::Number(-1);
    if (Last) {
        double from = args.size() > 1 ? IntegerArgument(m, args, 1, n) : n;
        from = std::min(from, n - k);
        for (double i = from; i >= 0; --i) {
            if (c.chars.compare(static_cast<size_t>(i), needle.size(), needle) == 0) return Value::Number(i);
        }
        return Value::Number(-1);
    }
    const double from = std::max(0.0, IntegerArgument(m, args, 1, 0));
    if (from > n) return Value::Number(-1);
    const size_t at = c.chars.find(needle, static_cast<size_t>(from));
    return Value::Number(at == std::u32string::npos ? -1 : static_cast<double>(at));
}

Value Slice(Machine& m, const Value& self, std::vector<Value>& args) {
    const Chars c(m, self);
    const double n = c.size();
    auto position = [&](double p) { return p < 0 ? std::max(0.0, n + p) : std::min(p, n); };
    const double from = position(IntegerArgument(m, args, 0, 0));
    const double to = position(IntegerArgument(m, args, 1, n));
    return c.text(m, Clamp(from, n), Clamp(to, n));
}

Value Substring(Machine& m, const Value& self, std::vector<Value>& args) {
    const Chars c(m, self);
    const double n = c.size();
    double from = std::clamp(IntegerArgument(m, args, 0, 0), 0.0, n);
    double to = std::clamp(IntegerArgument(m, args, 1, n), 0.0, n);
    if (from > to) std::swap(from, to);
    return c.text(m, Clamp(from, n), Clamp(to, n));
}

Value Substr(Machine& m, const Value& self, std::vector<Value>& args) {
    const Chars c(m, self);
    const double n = c.size();
    double from = IntegerArgument(m, args, 0, 0);
    if (from < 0) from = std::max(0.0, n + from);
    from = std::min(from, n);
    double length = IntegerArgument(m, args, 1, n - from);
    // A negative length is the string's length less that much, taken from `from`, as the
    // reference players take it: when that would reach the end, nothing is taken.
    if (length < 0) {
        length = std::max(0.0, n + length);
        if (from + length >= n) length = 0;
    }
    return c.text(m, Clamp(from, n), Clamp(from + length, n));
}

Value Split(Machine& m, const Value& self, std::vector<Value>& args) {
    const Chars c(m, self);
    std::vector<Value> parts;
    const double limit = args.size() > 1 && !args[1].isUndefined() ? IntegerArgument(m, args, 1, 0) : 4294967295.0;
    auto add = [&](size_t from, size_t to) {
        if (static_cast<double>(parts.size()) >= limit) return false;
        const Value v = c.text(m, from, to);
        if (v.isUndefined() && from < to) return false;
        parts.push_back(v.isUndefined() ? Value::String("") : v);
        return m.charge(kWorkPerElement);
    };
    if (args.empty() || args[0].isUndefined()) {
        add(0, c.chars.size());
    } else {
        const std::u32string separator = Characters(m.toString(args[0]), m.version());
        if (separator.empty()) {
            for (size_t i = 0; i < c.chars.size() && add(i, i + 1); ++i) {
            }
        } else if (!c.chars.empty()) {
            size_t from = 0;
            for (;;) {
                const size_t at = c.chars.find(separator, from);
                if (at == std::u32string::npos) {
                    add(from, c.chars.size());
                    break;
                }
                if (!add(from, at)) break;
                from = at + separator.size();
            }
        } else {
            add(0, 0);
        }
    }
    const ObjectHandle h = m.newArray(std::move(parts));
    return h ? Value::Object(h) : Value();
}

template <char32_t (*Map)(char32_t)>
Value ChangeCase(Machine& m, const Value& self, std::vector<Value>&) {
    Chars c(m, self);
    for (char32_t& ch : c.chars) {
        // Before version 6 bytes above ASCII are left as they are.
        if (c.version >= 6 || ch < 0x80) ch = Map(ch);
    }
    return c.text(m, 0, c.chars.size());
}

Value FromCharCode(Machine& m, const Value&, std::vector<Value>& args) {
    std::string s;
    for (const Value& a : args) {
        const uint32_t code = static_cast<uint32_t>(ToInt32(m.toNumber(a))) & 0xFFFF;
        if (code == 0) break;  // the reference players end the string at a NUL
        if (m.version() >= 6) {
            base::AppendUtf8(s, code);
        } else {
            s += static_cast<char>(code & 0xFF);
        }
    }
    return m.admitString(s.size()) ? Value::String(std::move(s)) : Value();
}

constexpr NativeMember kMethods[] = {
    {"toString", ToString},   {"valueOf", ToString},         {"charAt", CharAt},
    {"charCodeAt", CharCodeAt}, {"concat", Concat},          {"indexOf", IndexOf<false>},
    {"lastIndexOf", IndexOf<true>}, {"slice", Slice},        {"substring", Substring},
    {"substr", Substr},       {"split", Split},              {"toUpperCase", ChangeCase<UpperCase>},
    {"toLowerCase", ChangeCase<LowerCase>},
};
constexpr NativeMember kStatics[] = {{"fromCharCode", FromCharCode}};

}  // namespace

void InstallString(Machine& m, Builtins& b) {
    b.stringCtor = DefineClass(m, "String", Construct, b.string, kMethods, kStatics);
}

}  // namespace avm1
