// Number and Boolean: the wrappers of the two primitives, and Number's constants.
#include <cmath>
#include <limits>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

double SelfNumber(Machine& m, const Value& self) {
    if (const Object* o = SelfObject(m, self); o != nullptr && o->wraps == Object::Wraps::kNumber) return o->primitive.number();
    return self.type() == Type::kNumber ? self.number() : m.toNumber(self);
}

Value ConstructNumber(Machine& m, const Value& self, std::vector<Value>& args) {
    const double n = args.empty() ? 0 : m.toNumber(args[0]);
    if (Object* o = m.constructing() ? SelfObject(m, self) : nullptr) {
        o->wraps = Object::Wraps::kNumber;
        o->primitive = Value::Number(n);
        return self;
    }
    return Value::Number(n);
}

// toString(radix): other radixes than 10 print the number's integer part.
Value NumberToStringMethod(Machine& m, const Value& self, std::vector<Value>& args) {
    const double n = SelfNumber(m, self);
    const int radix = args.empty() || args[0].isUndefined() ? 10 : ToInt32(m.toNumber(args[0]));
    if (radix < 2 || radix > 36 || radix == 10) return Value::String(NumberToString(n));
    return Value::String(IntegerToString(n, radix));
}

Value NumberValueOf(Machine& m, const Value& self, std::vector<Value>&) { return Value::Number(SelfNumber(m, self)); }

bool SelfBoolean(Machine& m, const Value& self) {
    if (const Object* o = SelfObject(m, self); o != nullptr && o->wraps == Object::Wraps::kBoolean) return o->primitive.boolean();
    return m.toBoolean(self);
}

Value ConstructBoolean(Machine& m, const Value& self, std::vector<Value>& args) {
    const bool b = !args.empty() && m.toBoolean(args[0]);
    if (Object* o = m.constructing() ? SelfObject(m, self) : nullptr) {
        o->wraps = Object::Wraps::kBoolean;
        o->primitive = Value::Bool(b);
        return self;
    }
    // Called as a function with nothing to convert, it gives nothing.
    if (args.empty()) return Value();
    return Value::Bool(b);
}

Value BooleanToString(Machine& m, const Value& self, std::vector<Value>&) {
    return Value::String(SelfBoolean(m, self) ? "true" : "false");
}

Value BooleanValueOf(Machine& m, const Value& self, std::vector<Value>&) { return Value::Bool(SelfBoolean(m, self)); }

constexpr NativeMember kNumberMethods[] = {{"toString", NumberToStringMethod}, {"valueOf", NumberValueOf}};
constexpr NativeMember kBooleanMethods[] = {{"toString", BooleanToString}, {"valueOf", BooleanValueOf}};

}  // namespace

void InstallNumberAndBoolean(Machine& m, Builtins& b) {
    b.numberCtor = DefineClass(m, "Number", ConstructNumber, b.number, kNumberMethods);
    b.booleanCtor = DefineClass(m, "Boolean", ConstructBoolean, b.boolean, kBooleanMethods);
    Object* n = m.heap().get(b.numberCtor);
    constexpr uint8_t kFixed = attribute::kDontEnum | attribute::kDontDelete | attribute::kReadOnly;
    n->set("MAX_VALUE", Value::Number(std::numeric_limits<double>::max()), kFixed);
    n->set("MIN_VALUE", Value::Number(std::numeric_limits<double>::denorm_min()), kFixed);
    n->set("NaN", Value::Number(std::numeric_limits<double>::quiet_NaN()), kFixed);
    n->set("NEGATIVE_INFINITY", Value::Number(-std::numeric_limits<double>::infinity()), kFixed);
    n->set("POSITIVE_INFINITY", Value::Number(std::numeric_limits<double>::infinity()), kFixed);
}

}  // namespace avm1
