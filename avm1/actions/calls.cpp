// Calls of functions and methods, and `new`.
#include "avm1/actions/handlers.h"

namespace avm1 {

namespace {

using swf::ActionCode;

// The method name CallMethod and NewMethod pop: undefined or empty means the object itself.
std::string MethodName(Activation& a, const Value& name) { return name.isUndefined() ? std::string() : a.string(name); }

// After a call, a block whose own clip has gone (the call removed it, or something before
// did) stops, as the reference players stop it. A method asked of no object calls nothing
// and goes on.
bool GoesOn(Activation& a) { return a.host.exists(a.clip); }

bool CallFunction(Activation& a, const swf::Action&) {
    const Value name = a.pop();
    std::vector<Value> args = a.popArgs(a.popCount());
    // A function found on a with() object is called as that object's method.
    Value self = Value::Clip(a.target);
    const Value function = name.type() == Type::kObject ? name : a.getVariable(a.string(name), &self);
    a.push(a.machine.call(function, self, std::move(args)));
    return GoesOn(a);
}

// CallMethod: an empty name calls the object itself.
bool CallMethod(Activation& a, const swf::Action&) {
    const Value name = a.pop();
    const Value object = a.pop();
    std::vector<Value> args = a.popArgs(a.popCount());
    a.push(a.machine.callMethod(object, MethodName(a, name), std::move(args)));
    return object.isNullish() || GoesOn(a);
}

bool NewObject(Activation& a, const swf::Action&) {
    const std::string name = a.string(a.pop());
    std::vector<Value> args = a.popArgs(a.popCount());
    a.push(a.machine.construct(a.getVariable(name), std::move(args)));
    return GoesOn(a);
}

bool NewMethod(Activation& a, const swf::Action&) {
    const Value name = a.pop();
    const Value object = a.pop();
    std::vector<Value> args = a.popArgs(a.popCount());
    const std::string method = MethodName(a, name);
    const Value constructor = method.empty() ? object : a.machine.getMember(object, method);
    a.push(a.machine.construct(constructor, std::move(args)));
    return object.isNullish() || GoesOn(a);
}

}  // namespace

void AddCallActions(ActionHandlers& h) {
    h.set(ActionCode::kCallFunction, CallFunction);
    h.set(ActionCode::kCallMethod, CallMethod);
    h.set(ActionCode::kNewObject, NewObject);
    h.set(ActionCode::kNewMethod, NewMethod);
}

}  // namespace avm1
