// The global functions: conversions, escape and unescape, timers, ASSetPropFlags, and the
// global constants.
#include <cmath>
#include <cstdlib>
#include <limits>

#include "avm1/globals/globals.h"
#include "base/names.h"

namespace avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

Value IsNaN(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.empty()) return Value::Bool(true);  // nothing is not a number, in every version
    return Value::Bool(std::isnan(m.toNumber(Argument(args, 0))));
}

Value IsFinite(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.empty()) return Value::Bool(false);  // nothing is no finite number, in every version
    return Value::Bool(std::isfinite(m.toNumber(Argument(args, 0))));
}

// parseFloat: the longest decimal number the string starts with, after blanks.
// parseFloat as the reference players read: digits accumulated one by one (a fraction's each
// scaled by a tenth more), dots after the first skipped (and then an exponent ends the number
// instead of scaling it), and an exponent whose digits wrap at 32 bits.
Value ParseFloat(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.empty()) return Value();
    const std::string s = m.toString(Argument(args, 0));
    const auto digit = [&](size_t at) { return at < s.size() && std::isdigit(static_cast<unsigned char>(s[at])); };
    size_t i = 0;
    while (i < s.size() && Blank(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    double value = 0;
    size_t digits = 0;
    for (; digit(i); ++i, ++digits) value = value * 10 + (s[i] - '0');
    bool dots = false;
    if (i < s.size() && s[i] == '.') {
        ++i;
        double scale = 1;
        for (; i < s.size(); ++i) {
            if (digit(i)) {
                scale /= 10;
                value += (s[i] - '0') * scale;
                ++digits;
            } else if (s[i] == '.') {
                dots = true;
            } else {
                break;
            }
        }
    }
    if (digits == 0) return Value::Number(kNaN);
    if (!dots && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        bool down = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) down = s[j++] == '-';
        if (digit(j)) {
            uint32_t exponent = 0;
            for (; digit(j); ++j) exponent = exponent * 10u + static_cast<uint32_t>(s[j] - '0');
            const auto e = static_cast<int32_t>(exponent);
            value *= std::pow(10.0, down ? -static_cast<double>(e) : static_cast<double>(e));
        }
    }
    return Value::Number(negative ? -value : value);
}

// parseInt: digits of the radix after blanks and a sign; 0x means 16 and a leading 0 means 8
// when no radix is given.
// parseInt as the reference players read: a "0x" at the very start goes and makes the number
// hexadecimal (unless a radix is given); a sign before it goes with the "0" and is ignored;
// without a radix a leading "0" followed by octal digits only is octal; blanks may come
// after the prefix, then a sign, then the digits.
Value ParseInt(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.empty()) return Value();
    const std::string s = m.toString(Argument(args, 0));
    const bool given = args.size() > 1;
    int radix = given ? ToInt32(m.toNumber(args[1])) : 0;
    if (given && (radix < 2 || radix > 36)) return Value::Number(kNaN);
    auto isX = [](char c) { return c == 'x' || c == 'X'; };
    auto isSign = [](char c) { return c == '+' || c == '-'; };
    size_t i = 0;
    bool signGone = false;
    if (s.size() >= 2 && s[0] == '0' && isX(s[1])) {
        i = 2;
        if (!given) radix = 16;
    } else if (s.size() >= 3 && isSign(s[0]) && s[1] == '0' && isX(s[2])) {
        i = 2;  // the sign and the 0 go; the x is read as a digit, if the radix has it
        signGone = true;
        if (!given) radix = 16;
    } else if (!given) {
        const size_t zero = !s.empty() && isSign(s[0]) ? 1 : 0;
        const bool octal = s.size() > zero + 1 && s[zero] == '0' &&
                           s.find_first_not_of("01234567", zero) == std::string::npos;
        radix = octal ? 8 : 10;
    }
    while (i < s.size() && Blank(s[i])) ++i;
    bool negative = false;
    if (!signGone && i < s.size() && isSign(s[i])) negative = s[i++] == '-';
    double n = 0;
    size_t digits = 0;
    for (; i < s.size(); ++i, ++digits) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : 99;
        if (d >= radix) break;
        n = n * radix + d;
    }
    if (digits == 0) return Value::Number(kNaN);
    return Value::Number(negative ? -n : n);
}

// escape: every byte but letters and digits as %XX, of the UTF-8 bytes from version 6; the
// string ends at a NUL.
Value Escape(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.empty()) return Value();
    std::string out = EscapeText(m.toString(args[0]));
    return m.admitString(out.size()) ? Value::String(std::move(out)) : Value();
}

Value Unescape(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.empty()) return Value();
    return Value::String(UnescapeText(m.toString(args[0])));
}

Value GetTimer(Machine& m, const Value&, std::vector<Value>&) { return Value::Number(std::floor(m.host().timer())); }

// setInterval(function, ms, args...) or setInterval(object, "method", ms, args...); setTimeout
// the same, once.
template <bool Repeat>
Value SetTimer(Machine& m, const Value&, std::vector<Value>& args) {
    Machine::Timer t;
    t.repeat = Repeat;
    size_t next = 0;
    if (m.isFunction(Argument(args, 0))) {
        t.function = args[0];
        next = 1;
    } else if (args.size() >= 2 && (args[0].type() == Type::kObject || args[0].type() == Type::kClip)) {
        t.function = args[0];
        t.method = m.toString(args[1]);
        next = 2;
    } else {
        return Value();
    }
    if (next >= args.size() || args[next].isUndefined()) return Value();
    const double ms = m.toNumber(args[next]);
    t.interval = std::isnan(ms) || ms < 0 ? 0 : ms;
    t.args.assign(args.begin() + static_cast<std::ptrdiff_t>(next + 1), args.end());
    const uint32_t id = m.addTimer(std::move(t));
    return id != 0 ? Value::Number(id) : Value();
}

Value ClearTimer(Machine& m, const Value&, std::vector<Value>& args) {
    const double id = m.toNumber(Argument(args, 0));
    if (!std::isnan(id) && id > 0 && id < 4294967296.0) m.removeTimer(static_cast<uint32_t>(id));
    return Value();
}

// ASSetPropFlags(object, names, set, clear): names are a list, a comma-separated string, or
// null for every property.
Value AsSetPropFlags(Machine& m, const Value&, std::vector<Value>& args) {
    Object* o = SelfObject(m, Argument(args, 0));
    if (o == nullptr) return Value();
    const Value names = Argument(args, 1);
    const int set = ToInt32(m.toNumber(Argument(args, 2)));
    const int clear = args.size() > 3 ? ToInt32(m.toNumber(args[3])) : 0;
    std::vector<std::string> list;
    if (names.isNull()) {
        for (const Property& p : o->properties()) list.push_back(p.name);
    } else if (const std::vector<Value>* elements = m.elementsOf(names)) {
        for (const Value& v : std::vector<Value>(*elements)) list.push_back(m.toString(v));
    } else {
        const std::string s = m.toString(names);
        size_t from = 0;
        for (;;) {
            const size_t comma = s.find(',', from);
            list.push_back(s.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
    }
    o = SelfObject(m, Argument(args, 0));
    if (o == nullptr) return Value();
    for (const std::string& name : list) {
        if (const Property* p = o->findAny(name)) {
            o->setAttributes(name, static_cast<uint16_t>((p->attributes & ~clear) | set));
        }
    }
    return Value();
}

Value Nothing(Machine&, const Value&, std::vector<Value>&) { return Value(); }

constexpr NativeMember kFunctions[] = {
    {"isNaN", IsNaN},           {"isFinite", IsFinite},          {"parseFloat", ParseFloat},
    {"parseInt", ParseInt},     {"escape", Escape},              {"unescape", Unescape},
    {"getTimer", GetTimer},     {"setInterval", SetTimer<true>}, {"setTimeout", SetTimer<false>},
    {"clearInterval", ClearTimer}, {"clearTimeout", ClearTimer}, {"ASSetPropFlags", AsSetPropFlags},
    {"updateAfterEvent", Nothing},
};

}  // namespace

std::string EscapeText(std::string_view s) {
    std::string out;
    for (const char c : s) {
        if (c == '\0') break;
        if (std::isalnum(static_cast<unsigned char>(c))) {
            out += c;
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[static_cast<unsigned char>(c) >> 4];
            out += kHex[static_cast<unsigned char>(c) & 15];
        }
    }
    return out;
}

std::string UnescapeText(std::string_view s) {
    std::string out;
    auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%') {
            // A % takes up to two hexadecimal digits; a character that is none ends the escape
            // and goes with it, as the reference players drop it.
            if (i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
                const char c = static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
                if (c == '\0') break;
                out += c;
                i += 2;
            } else {
                i += i + 1 < s.size() && hex(s[i + 1]) >= 0 ? 2 : 1;
            }
        } else if (s[i] == '+') {
            out += ' ';
        } else {
            out += s[i];
        }
    }
    return out;
}

void InstallGlobalFunctions(Machine& m, Builtins& b) {
    DefineMethods(m, b.global, kFunctions);
    Object* g = m.heap().get(b.global);
    g->set("NaN", Value::Number(kNaN), attribute::kDontEnum);
    g->set("Infinity", Value::Number(std::numeric_limits<double>::infinity()), attribute::kDontEnum);
}

}  // namespace avm1
