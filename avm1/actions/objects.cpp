// The object model's actions: literals, for-in, classes and their tests.
#include "avm1/actions/handlers.h"

namespace avm1 {

namespace {

using swf::ActionCode;

bool InitArray(Activation& a, const swf::Action&) {
    std::vector<Value> elements = a.popArgs(a.popCount());
    const ObjectHandle h = a.machine.newArray(std::move(elements));
    a.push(h ? Value::Object(h) : Value());
    return true;
}

// InitObject: a value, then its name, for each member, the last written first.
bool InitObject(Activation& a, const swf::Action&) {
    const size_t count = a.popCount();
    const ObjectHandle h = a.machine.newObject();
    for (size_t i = 0; i < count; ++i) {
        const Value value = a.pop();
        const std::string name = a.string(a.pop());
        if (Object* o = a.machine.heap().get(h)) {
            a.machine.charge(kWorkPerElement);
            o->set(name, value);
        }
    }
    a.push(h ? Value::Object(h) : Value());
    return true;
}

// Enumerate and Enumerate2: an end mark, then the names, so that popping gives them in the
// reference order.
void PushNames(Activation& a, const Value& object) {
    a.push(Value::Null());
    std::vector<std::string> names = a.machine.enumerate(object);
    for (size_t i = names.size(); i-- > 0 && !a.stopped;) a.push(Value::String(std::move(names[i])));
}

bool Enumerate(Activation& a, const swf::Action&) {
    const std::string name = a.string(a.pop());
    PushNames(a, a.getVariable(name));
    return true;
}

bool Enumerate2(Activation& a, const swf::Action&) {
    PushNames(a, a.pop());
    return true;
}

bool InstanceOf(Activation& a, const swf::Action&) {
    const Value constructor = a.pop();
    const Value object = a.pop();
    a.push(Value::Bool(a.machine.instanceOf(object, constructor)));
    return true;
}

bool CastOp(Activation& a, const swf::Action&) {
    const Value object = a.pop();
    const Value constructor = a.pop();
    a.push(a.machine.instanceOf(object, constructor) ? object : Value::Null());
    return true;
}

// Extends: the subclass's prototype becomes an object of the superclass's, which remembers
// the superclass for super().
bool Extends(Activation& a, const swf::Action&) {
    const Value superclass = a.pop();
    const Value subclass = a.pop();
    if (subclass.type() != Type::kObject || superclass.type() != Type::kObject) return true;
    const Value superPrototype = a.machine.getMember(superclass, "prototype");
    const ObjectHandle proto =
        a.machine.newObject(superPrototype.type() == Type::kObject ? superPrototype.object() : ObjectHandle{});
    if (Object* o = a.machine.heap().get(proto)) o->set("__constructor__", superclass, attribute::kDontEnum);
    if (Object* s = a.machine.heap().get(subclass.object()); s != nullptr && proto) {
        s->set("prototype", Value::Object(proto), attribute::kDontEnum);
    }
    return true;
}

bool ImplementsOp(Activation& a, const swf::Action&) {
    const Value constructor = a.pop();
    std::vector<Value> interfaces = a.popArgs(a.popCount());
    const Value proto = a.machine.getMember(constructor, "prototype");
    Object* o = proto.type() == Type::kObject ? a.machine.heap().get(proto.object()) : nullptr;
    if (o == nullptr) return true;
    const ObjectHandle list = a.machine.newArray(std::move(interfaces));
    if (Object* p = a.machine.heap().get(proto.object()); p != nullptr && list) {
        p->set("__implements__", Value::Object(list), attribute::kDontEnum);
    }
    return true;
}

template <size_t Operands>
bool Consume(Activation& a, const swf::Action& action) {
    for (size_t i = 0; i < Operands; ++i) a.pop();
    a.machine.unsupported(swf::ActionName(action.code));
    return true;
}

}  // namespace

void AddObjectActions(ActionHandlers& h) {
    h.set(ActionCode::kInitArray, InitArray);
    h.set(ActionCode::kInitObject, InitObject);
    h.set(ActionCode::kEnumerate, Enumerate);
    h.set(ActionCode::kEnumerate2, Enumerate2);
    h.set(ActionCode::kInstanceOf, InstanceOf);
    h.set(ActionCode::kCastOp, CastOp);
    h.set(ActionCode::kExtends, Extends);
    h.set(ActionCode::kImplementsOp, ImplementsOp);
    h.set(ActionCode::kCloneSprite, Consume<3>);  // target, source, depth
    h.set(ActionCode::kRemoveSprite, Consume<1>);
}

}  // namespace avm1
