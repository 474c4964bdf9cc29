// Arithmetic and bit operations, and the conversions between numbers and strings.
#include <cmath>

#include "avm1/actions/handlers.h"

namespace avm1 {

namespace {

using swf::ActionCode;

template <double (*Op)(double, double)>
bool Binary(Activation& a, const swf::Action&) {
    const Value right = a.pop(), left = a.pop();
    const double x = a.number(left), b = a.number(right);  // the left converts first
    a.push(Value::Number(Op(x, b)));
    return true;
}

double Plus(double x, double y) { return x + y; }
double Minus(double x, double y) { return x - y; }
double Times(double x, double y) { return x * y; }
double Remainder(double x, double y) { return std::fmod(x, y); }

bool Divide(Activation& a, const swf::Action&) {
    const Value right = a.pop(), left = a.pop();
    const double x = a.number(left), b = a.number(right);  // the left converts first
    // Version 4 shows division by zero as the error string.
    if (b == 0 && a.version() <= 4) {
        a.push(Value::String("#ERROR#"));
    } else {
        a.push(Value::Number(x / b));
    }
    return true;
}

template <int Step>
bool IncrementBy(Activation& a, const swf::Action&) {
    a.push(Value::Number(a.number(a.pop()) + Step));
    return true;
}

bool ToInteger(Activation& a, const swf::Action&) {
    a.push(Value::Number(ToInt32(a.number(a.pop()))));
    return true;
}

bool ToNumber(Activation& a, const swf::Action&) {
    const Value v = a.pop();
    a.push(Value::Number(a.number(v)));
    return true;
}

bool ToString(Activation& a, const swf::Action&) {
    const Value v = a.pop();
    a.push(Value::String(a.string(v)));
    return true;
}

template <double (*Op)(int32_t, int32_t)>
bool Bits(Activation& a, const swf::Action&) {
    const Value right = a.pop(), left = a.pop();
    const int32_t x = ToInt32(a.number(left)), b = ToInt32(a.number(right));
    a.push(Value::Number(Op(x, b)));
    return true;
}

unsigned Shift(int32_t b) { return static_cast<unsigned>(b) & 31; }
double BitAnd(int32_t x, int32_t y) { return x & y; }
double BitOr(int32_t x, int32_t y) { return x | y; }
double BitXor(int32_t x, int32_t y) { return x ^ y; }
double LeftShift(int32_t x, int32_t y) { return static_cast<int32_t>(static_cast<uint32_t>(x) << Shift(y)); }
double RightShift(int32_t x, int32_t y) { return x >> Shift(y); }

// In movies of version 8 the unsigned shift's result is kept as a 32-bit integer, as the
// reference players store it: 4294967295 >>> 0 is -1 there (and 4294967295 before and after).
bool UnsignedShift(Activation& a, const swf::Action&) {
    const Value right = a.pop(), left = a.pop();
    const int32_t x = ToInt32(a.number(left)), b = ToInt32(a.number(right));
    const uint32_t r = static_cast<uint32_t>(x) >> Shift(b);
    a.push(Value::Number(a.version() == 8 ? static_cast<double>(static_cast<int32_t>(r)) : static_cast<double>(r)));
    return true;
}

// Add2: strings join, anything else adds as numbers. The left operand becomes a primitive
// first, as the reference players convert them; a clip joins as its path.
bool Add2(Activation& a, const swf::Action&) {
    Value right = a.pop(), left = a.pop();
    auto primitive = [&](Value& v) {
        if (v.type() != Type::kObject && v.type() != Type::kClip) return;  // strings stay, unmoved
        Value p = a.machine.toPrimitive(v);
        v = p.type() == Type::kClip ? Value::String(a.string(p)) : std::move(p);
    };
    primitive(left);
    primitive(right);
    if (left.type() == Type::kString || right.type() == Type::kString) {
        std::string s = left.type() == Type::kString ? std::move(left).takeString() : a.string(left);
        std::string converted;
        const std::string* tail = &right.string();
        if (right.type() != Type::kString) {
            converted = a.string(right);
            tail = &converted;
        }
        if (!a.machine.admitString(s.size() + tail->size())) {
            a.stopped = true;
            return true;
        }
        s += *tail;
        a.push(Value::String(std::move(s)));
    } else {
        a.push(Value::Number(a.number(left) + a.number(right)));
    }
    return true;
}

}  // namespace

void AddArithmeticActions(ActionHandlers& h) {
    h.set(ActionCode::kAdd, Binary<Plus>);
    h.set(ActionCode::kSubtract, Binary<Minus>);
    h.set(ActionCode::kMultiply, Binary<Times>);
    h.set(ActionCode::kDivide, Divide);
    h.set(ActionCode::kModulo, Binary<Remainder>);
    h.set(ActionCode::kIncrement, IncrementBy<1>);
    h.set(ActionCode::kDecrement, IncrementBy<-1>);
    h.set(ActionCode::kToInteger, ToInteger);
    h.set(ActionCode::kToNumber, ToNumber);
    h.set(ActionCode::kToString, ToString);
    h.set(ActionCode::kBitAnd, Bits<BitAnd>);
    h.set(ActionCode::kBitOr, Bits<BitOr>);
    h.set(ActionCode::kBitXor, Bits<BitXor>);
    h.set(ActionCode::kBitLShift, Bits<LeftShift>);
    h.set(ActionCode::kBitRShift, Bits<RightShift>);
    h.set(ActionCode::kBitURShift, UnsignedShift);
    h.set(ActionCode::kAdd2, Add2);
}

}  // namespace avm1
