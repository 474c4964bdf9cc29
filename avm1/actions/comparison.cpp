// Comparison and logic: the numeric ones of SWF 4 and the typed ones of SWF 5 and later.
#include <cmath>
#include <utility>

#include "avm1/actions/handlers.h"

namespace avm1 {

namespace {

using swf::ActionCode;

bool Equals(Activation& a, const swf::Action&) {
    const double b = a.number(a.pop()), x = a.number(a.pop());
    a.push(a.machine.boolResult(x == b));
    return true;
}

bool Less(Activation& a, const swf::Action&) {
    const double b = a.number(a.pop()), x = a.number(a.pop());
    a.push(a.machine.boolResult(x < b));
    return true;
}

// Less2 and Greater: strings compare as strings; NaN gives undefined (false for Less2
// before version 7).
template <bool Greater>
bool TypedLess(Activation& a, const swf::Action&) {
    Value b = a.pop(), x = a.pop();
    if (Greater) std::swap(x, b);
    if (x.type() == Type::kString && b.type() == Type::kString) {
        a.push(Value::Bool(x.string() < b.string()));
        return true;
    }
    const double left = a.number(x), right = a.number(b);
    if (std::isnan(left) || std::isnan(right)) {
        a.push(a.version() <= 6 && !Greater ? Value::Bool(false) : Value());
    } else {
        a.push(Value::Bool(left < right));
    }
    return true;
}

bool Equals2(Activation& a, const swf::Action&) {
    const Value b = a.pop(), x = a.pop();
    bool eq = false;
    const bool xNullish = x.type() == Type::kUndefined || x.type() == Type::kNull;
    const bool bNullish = b.type() == Type::kUndefined || b.type() == Type::kNull;
    if (xNullish || bNullish) {
        eq = xNullish && bNullish;
    } else if (x.type() == b.type() && x.type() == Type::kString) {
        eq = x.string() == b.string();
    } else if (x.type() == b.type() && x.type() == Type::kClip) {
        eq = x.clip() == b.clip();
    } else if (x.type() == b.type() && x.type() == Type::kObject) {
        eq = x.object() == b.object();
    } else if (x.type() == Type::kClip || b.type() == Type::kClip || x.type() == Type::kObject ||
               b.type() == Type::kObject) {
        eq = false;
    } else {
        eq = a.number(x) == a.number(b);
    }
    a.push(Value::Bool(eq));
    return true;
}

bool StrictEquals(Activation& a, const swf::Action&) {
    const Value b = a.pop(), x = a.pop();
    bool eq = x.type() == b.type();
    if (eq) {
        switch (x.type()) {
            case Type::kBool: eq = x.boolean() == b.boolean(); break;
            case Type::kNumber: eq = x.number() == b.number(); break;
            case Type::kString: eq = x.string() == b.string(); break;
            case Type::kClip: eq = x.clip() == b.clip(); break;
            case Type::kObject: eq = x.object() == b.object(); break;
            default: break;
        }
    }
    a.push(Value::Bool(eq));
    return true;
}

template <bool IsAnd>
bool Logic(Activation& a, const swf::Action&) {
    const bool b = a.boolean(a.pop()), x = a.boolean(a.pop());
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
