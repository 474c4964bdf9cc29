// Calls of functions and methods: the built-ins of avm1/globals.
#include "avm1/actions/handlers.h"
#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

using swf::ActionCode;

template <bool Method>
bool CallNative(Activation& a, const swf::Action&) {
    const std::string name = a.string(a.pop());
    uint32_t self = a.target;
    if (Method) {
        const Value object = a.pop();
        self = object.type() == Type::kClip && a.host.exists(object.clip()) ? object.clip() : 0;
    }
    const size_t count = a.popCount();
    std::vector<Value> args;
    for (size_t i = 0; i < count && !a.stack.empty(); ++i) args.push_back(a.pop());
    const NativeFunction function = FindNative(self != 0, name);
    if (function == nullptr && Method && self == 0) a.machine.unsupported("calling methods of objects");
    a.push(function != nullptr ? function(a, self, args) : Value());
    return true;
}

}  // namespace

void AddCallActions(ActionHandlers& h) {
    h.set(ActionCode::kCallFunction, CallNative<false>);
    h.set(ActionCode::kCallMethod, CallNative<true>);
}

}  // namespace avm1
