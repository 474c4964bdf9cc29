// The object model's actions. It is not built yet: each takes its operands from the stack,
// reports itself once, and gives undefined (or what the reference players give for nothing).
#include "avm1/actions/handlers.h"

namespace avm1 {

namespace {

using swf::ActionCode;

void PopN(Activation& a, size_t n) {
    for (size_t i = 0; i < n && !a.stack.empty(); ++i) a.pop();
}

// NewObject and NewMethod: name (and object), then the arguments.
template <bool Method>
bool New(Activation& a, const swf::Action& action) {
    a.pop();
    if (Method) a.pop();
    PopN(a, a.popCount());
    a.machine.unsupported(swf::ActionName(action.code));
    a.push(Value());
    return true;
}

// InitArray takes its elements, InitObject a name and a value for each member.
template <size_t PerEntry>
bool Init(Activation& a, const swf::Action& action) {
    PopN(a, a.popCount() * PerEntry);
    a.machine.unsupported(swf::ActionName(action.code));
    a.push(Value());
    return true;
}

// Enumerate and Enumerate2: nothing to enumerate, so only the end mark.
bool Enumerate(Activation& a, const swf::Action&) {
    a.pop();
    a.push(Value::Null());
    return true;
}

bool InstanceOf(Activation& a, const swf::Action& action) {
    a.pop();
    a.pop();
    a.machine.unsupported(swf::ActionName(action.code));
    a.push(Value::Bool(false));
    return true;
}

bool CastOp(Activation& a, const swf::Action& action) {
    a.pop();
    a.pop();
    a.machine.unsupported(swf::ActionName(action.code));
    a.push(Value::Null());
    return true;
}

template <size_t Operands>
bool Consume(Activation& a, const swf::Action& action) {
    PopN(a, Operands);
    a.machine.unsupported(swf::ActionName(action.code));
    return true;
}

bool ImplementsOp(Activation& a, const swf::Action& action) {
    a.pop();
    PopN(a, a.popCount());
    a.machine.unsupported(swf::ActionName(action.code));
    return true;
}

}  // namespace

void AddObjectActions(ActionHandlers& h) {
    h.set(ActionCode::kNewObject, New<false>);
    h.set(ActionCode::kNewMethod, New<true>);
    h.set(ActionCode::kInitArray, Init<1>);
    h.set(ActionCode::kInitObject, Init<2>);
    h.set(ActionCode::kEnumerate, Enumerate);
    h.set(ActionCode::kEnumerate2, Enumerate);
    h.set(ActionCode::kInstanceOf, InstanceOf);
    h.set(ActionCode::kCastOp, CastOp);
    h.set(ActionCode::kExtends, Consume<2>);
    h.set(ActionCode::kImplementsOp, ImplementsOp);
    h.set(ActionCode::kCloneSprite, Consume<3>);  // target, source, depth
    h.set(ActionCode::kRemoveSprite, Consume<1>);
}

}  // namespace avm1
