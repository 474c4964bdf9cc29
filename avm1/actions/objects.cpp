// The object model's actions: literals, for-in, classes and their tests.
#include <algorithm>
#include <cmath>

#include "avm1/actions/handlers.h"

namespace avm1 {

namespace {

using swf::ActionCode;

// A count of more values than the stack holds makes nothing and takes nothing, as the
// reference players do: undefined goes on top of what is there.
bool CountFits(Activation& a, double count, size_t perEntry) {
    const size_t there = a.machine.stack().size() - std::min(a.machine.stack().size(), a.stackBase);
    return !(count > static_cast<double>(there) / static_cast<double>(perEntry));
}

double CountOperand(Activation& a) {
    const double n = a.number(a.pop());
    return std::isnan(n) || n < 0 ? 0 : std::trunc(n);
}

bool InitArray(Activation& a, const swf::Action&) {
    const double count = CountOperand(a);
    if (!CountFits(a, count, 1)) return a.push(Value()), true;
    std::vector<Value> elements = a.popArgs(static_cast<size_t>(count));
    const ObjectHandle h = a.machine.newArray(std::move(elements));
    a.push(h ? Value::Object(h) : Value());
    return true;
}

// InitObject: a value, then its name, for each member, the last written first. Members are
// set as scripts set them: __proto__ sets the prototype, inherited setters run.
bool InitObject(Activation& a, const swf::Action&) {
    const double n = CountOperand(a);
    if (!CountFits(a, n, 2)) return a.push(Value()), true;
    const size_t count = static_cast<size_t>(n);
    const ObjectHandle h = a.machine.newObject();
    for (size_t i = 0; i < count; ++i) {
        const Value value = a.pop();
        const std::string name = a.string(a.pop());
        if (h) a.machine.setMember(Value::Object(h), name, value);
    }
    a.push(h ? Value::Object(h) : Value());
    return true;
}

// Enumerate and Enumerate2: an end mark, then the names, so that popping gives them in the
// reference order.
void PushNames(Activation& a, const Value& object) {
    // The end mark is undefined (loops test it against null); what is no object has no names.
    a.push(Value());
    if (object.type() != Type::kObject && object.type() != Type::kClip) return;
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

// duplicateMovieClip(source, name, depth): the depth comes as the display list numbers it,
// scripts' depth 0 being 16384.
bool CloneSprite(Activation& a, const swf::Action&) {
    const Value depth = a.pop(), name = a.pop(), source = a.pop();
    const uint32_t clip = a.targetOf(source);
    // The new name converts before the depth, a 32-bit integer as every depth is.
    const std::string newName = a.string(name);
    const int64_t d = int64_t{ToInt32(a.number(depth))} + kTimelineDepthBase;
    if (clip != 0 && d >= kTimelineDepthBase && d <= kMaxScriptDepth) {
        a.host.duplicateClip(clip, newName, static_cast<int>(d), Value());
    }
    return true;
}

bool RemoveSprite(Activation& a, const swf::Action&) {
    if (const uint32_t clip = a.targetOf(a.pop())) a.host.removeClip(clip);
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
    h.set(ActionCode::kCloneSprite, CloneSprite);
    h.set(ActionCode::kRemoveSprite, RemoveSprite);
}

}  // namespace avm1
