// Error: what scripts throw, with a message and a name.
#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

// new Error(message): the message is the instance's own when given.
Value Construct(Machine& m, const Value& self, std::vector<Value>& args) {
    Value target = self;
    if (!m.constructing()) {
        const ObjectHandle h = m.newObject(m.builtins().error);
        if (!h) return Value();
        target = Value::Object(h);
    }
    if (!args.empty() && !args[0].isUndefined()) m.setMember(target, "message", args[0]);
    return target;
}

Value ToString(Machine& m, const Value& self, std::vector<Value>&) {
    return Value::String(m.toString(m.getMember(self, "message")));
}

constexpr NativeMember kMethods[] = {{"toString", ToString}};

}  // namespace

void InstallError(Machine& m, Builtins& b) {
    b.errorCtor = DefineClass(m, "Error", Construct, b.error, kMethods);
    Object* proto = m.heap().get(b.error);
    proto->set("name", Value::String("Error"), attribute::kDontEnum);
    proto->set("message", Value::String("Error"), attribute::kDontEnum);
}

}  // namespace avm1
