// Comparison and logic: the numeric ones of SWF 4 and the typed ones of SWF 5 and later.
#include <cmath>
#include <utility>

#include "avm1/actions/handlers.h"
#include "base/utf8.h"

namespace avm1 {

namespace {

using swf::ActionCode;

bool Equals(Activation& a, const swf::Action&) {
    // Equals converts its right operand first, unlike the other operators.
    const double b = a.number(a.pop()), x = a.number(a.pop());
    a.push(a.machine.boolResult(x == b));
    return true;
}

bool Less(Activation& a, const swf::Action&) {
    const Value right = a.pop(), left = a.pop();
    const double x = a.number(left), b = a.number(right);  // the left converts first
    a.push(a.machine.boolResult(x < b));
    return true;
}

// Strings of version 6 and later compare by their characters' code points; a surrogate pair
// written as two 3-byte sequences (as compilers write "\uD800\uDC02") is the one character
// it stands for.
char32_t NextCharacter(std::string_view s, size_t& i) {
    char32_t c = 0;
    i += base::NextUtf8(s, i, c);
    if (c >= 0xD800 && c < 0xDC00 && i < s.size()) {
        char32_t low = 0;
        const size_t n = base::NextUtf8(s, i, low);
        if (low >= 0xDC00 && low < 0xE000) {
            i += n;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return c;
}

bool CodePointsLess(std::string_view x, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < x.size() && j < b.size()) {
        const char32_t cx = NextCharacter(x, i), cb = NextCharacter(b, j);
        if (cx != cb) return cx < cb;
    }
    return i >= x.size() && j < b.size();
}

// Less2 and Greater: strings compare as strings; NaN gives undefined.
// An operand of Less2 and Greater: an object becomes what its valueOf gives; false when that
// is still an object (the comparison is then false, the other operand left alone).
// A clip stays itself (no number); an object without valueOf is undefined.
bool ComparedValue(Activation& a, Value& v) {
    if (v.type() != Type::kObject) return true;
    const Object* o = a.machine.heap().get(v.object());
    if (o != nullptr && o->wraps == Object::Wraps::kDate) {
        v = a.machine.toPrimitive(v);
        return true;
    }
    if (!a.machine.isFunction(a.machine.getMember(v, "valueOf"))) {
        v = Value();
        return true;
    }
    v = a.machine.callMethod(v, "valueOf", {});
    return v.type() != Type::kObject;
}

template <bool Greater>
bool TypedLess(Activation& a, const swf::Action&) {
    Value b = a.pop(), x = a.pop();
    // The left operand first, whichever way the comparison goes.
    if (!ComparedValue(a, x) || !ComparedValue(a, b)) {
        a.push(a.machine.boolResult(false));
        return true;
    }
    if (Greater) std::swap(x, b);
    if (x.type() == Type::kString && b.type() == Type::kString) {
        a.push(a.machine.boolResult(a.version() >= 6 ? CodePointsLess(x.string(), b.string()) : x.string() < b.string()));
        return true;
    }
    const double left = a.number(x), right = a.number(b);
    if (std::isnan(left) || std::isnan(right)) {
        a.push(Value());
    } else {
        a.push(a.machine.boolResult(left < right));
    }
    return true;
}

// A clip value names its clip by path, as the reference players keep it: two values whose
// clips lie at the same path are the same clip.
bool SameClip(Activation& a, uint32_t x, uint32_t y) {
    if (x == y) return true;
    return a.host.exists(x) && a.host.exists(y) && a.host.path(x) == a.host.path(y);
}

// ECMA's abstract equality: objects and clips are equal only to themselves, and become
// primitives to meet a number, a string or a boolean.
bool LooselyEqual(Activation& a, Value x, Value b) {
    for (int round = 0; round < 3; ++round) {
        const bool xRefFirst = x.type() == Type::kClip || x.type() == Type::kObject;
        const bool bRefFirst = b.type() == Type::kClip || b.type() == Type::kObject;
        // An object meets a primitive as its own primitive, undefined included.
        if (xRefFirst != bRefFirst) {
            if (xRefFirst) x = a.machine.toPrimitive(x);
            if (bRefFirst) b = a.machine.toPrimitive(b);
            continue;
        }
        // Version 5 compares two objects by what valueOf gives them when both give primitives:
        // new Number(1) == new Number(1), but two plain objects are still two objects.
        if (xRefFirst && bRefFirst && a.version() <= 5 && round == 0 && x.type() == Type::kObject &&
            b.type() == Type::kObject && x.object() != b.object()) {
            const Value vx = a.machine.callMethod(x, "valueOf", {}), vb = a.machine.callMethod(b, "valueOf", {});
            const auto primitive = [](const Value& v) { return v.type() != Type::kObject && v.type() != Type::kClip; };
            if (!primitive(vx) || !primitive(vb)) return false;
            x = vx;
            b = vb;
            continue;
        }
        const bool xNullish = x.isNullish(), bNullish = b.isNullish();
        if (xNullish || bNullish) return xNullish && bNullish;
        if (x.type() == b.type()) {
            switch (x.type()) {
                case Type::kString: return x.string() == b.string();
                case Type::kClip: return SameClip(a, x.clip(), b.clip());
                case Type::kObject: return x.object() == b.object();
                case Type::kBool: return x.boolean() == b.boolean();
                // The reference players' == holds the number NaN equal to itself (a string that is no
                // number is still unequal to NaN).
                default: return x.number() == b.number() || (std::isnan(x.number()) && std::isnan(b.number()));
            }
        }
        const bool xRef = x.type() == Type::kClip || x.type() == Type::kObject;
        const bool bRef = b.type() == Type::kClip || b.type() == Type::kObject;
        if (xRef && bRef) return false;
        if (xRef) {
            x = a.machine.toPrimitive(x);
            continue;
        }
        if (bRef) {
            b = a.machine.toPrimitive(b);
            continue;
        }
        return a.number(x) == a.number(b);
    }
    return false;
}

bool Equals2(Activation& a, const swf::Action&) {
    const Value b = a.pop(), x = a.pop();
    a.push(a.machine.boolResult(LooselyEqual(a, x, b)));
    return true;
}

bool StrictEquals(Activation& a, const swf::Action&) {
    const Value b = a.pop(), x = a.pop();
    bool eq = x.type() == b.type();
    if (eq) {
        switch (x.type()) {
            case Type::kBool: eq = x.boolean() == b.boolean(); break;
            // NaN is strictly equal to itself in the reference players.
            case Type::kNumber: eq = x.number() == b.number() || (std::isnan(x.number()) && std::isnan(b.number())); break;
            case Type::kString: eq = x.string() == b.string(); break;
            case Type::kClip: eq = SameClip(a, x.clip(), b.clip()); break;
            case Type::kObject: eq = x.object() == b.object(); break;
            default: break;
        }
    }
    a.push(a.machine.boolResult(eq));
    return true;
}

template <bool IsAnd>
bool Logic(Activation& a, const swf::Action&) {
    const Value right = a.pop(), left = a.pop();
    const bool x = a.boolean(left), b = a.boolean(right);
    a.push(a.machine.boolResult(IsAnd ? x && b : x || b));
    return true;
}

bool Not(Activation& a, const swf::Action&) {
    a.push(a.machine.boolResult(!a.boolean(a.pop())));
    return true;
}

}  // namespace

void AddComparisonActions(ActionHandlers& h) {
    h.set(ActionCode::kEquals, Equals);
    h.set(ActionCode::kLess, Less);
    h.set(ActionCode::kLess2, TypedLess<false>);
    h.set(ActionCode::kGreater, TypedLess<true>);
    h.set(ActionCode::kEquals2, Equals2);
    h.set(ActionCode::kStrictEquals, StrictEquals);
    h.set(ActionCode::kAnd, Logic<true>);
    h.set(ActionCode::kOr, Logic<false>);
    h.set(ActionCode::kNot, Not);
}

}  // namespace avm1
