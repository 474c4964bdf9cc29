// AsBroadcaster: objects that keep listeners and send them messages.
#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

std::vector<Value>* Listeners(Machine& m, const Value& self) { return m.elementsOf(m.getMember(self, "_listeners")); }

// Listeners are told apart by strict equality: objects and clips by identity, the rest
// (null and numbers too) by value.
bool Same(const Value& a, const Value& b) {
    if (a.type() != b.type()) return false;
    switch (a.type()) {
        case Type::kObject: return a.object() == b.object();
        case Type::kClip: return a.clip() == b.clip();
        case Type::kNumber: return a.number() == b.number();
        case Type::kString: return a.string() == b.string();
        case Type::kBool: return a.boolean() == b.boolean();
        default: return true;  // undefined, null
    }
}

// Takes the listener out of the list; false when it was not there.
bool Erase(std::vector<Value>& list, const Value& listener) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (Same(*it, listener)) {
            list.erase(it);
            return true;
        }
    }
    return false;
}

// addListener: a listener already there moves to the end.
Value AddListener(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value>* list = Listeners(m, self);
    if (list == nullptr) return Value::Bool(false);
    Erase(*list, Argument(args, 0));
    list->push_back(Argument(args, 0));
    return Value::Bool(true);
}

Value RemoveListener(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value>* list = Listeners(m, self);
    return Value::Bool(list != nullptr && Erase(*list, Argument(args, 0)));
}

Value BroadcastMessage(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value>* list = Listeners(m, self);
    if (list == nullptr || args.empty()) return Value();
    const std::string name = m.toString(args[0]);
    const std::vector<Value> rest(args.begin() + 1, args.end());
    const std::vector<Value> listeners = *list;  // a listener may add or remove listeners
    for (const Value& l : listeners) m.callMethod(l, name, rest);
    return Value::Bool(!listeners.empty());
}

constexpr NativeMember kMethods[] = {
    {"addListener", AddListener}, {"removeListener", RemoveListener}, {"broadcastMessage", BroadcastMessage}};

Value Initialize(Machine& m, const Value&, std::vector<Value>& args) {
    Object* o = SelfObject(m, Argument(args, 0));
    if (o == nullptr) return Value();
    const ObjectHandle list = m.newArray();
    const Object* broadcaster = m.heap().get(m.builtins().broadcaster);
    o = SelfObject(m, Argument(args, 0));
    if (o == nullptr || broadcaster == nullptr) return Value();
    for (const NativeMember& member : kMethods) {
        if (const Property* p = broadcaster->find(member.name)) o->set(member.name, p->value, attribute::kDontEnum);
    }
    o->set("_listeners", Value::Object(list), attribute::kDontEnum);
    return Value();
}

Value Construct(Machine&, const Value& self, std::vector<Value>&) { return self; }

constexpr NativeMember kStatics[] = {{"initialize", Initialize}};

}  // namespace

void InstallBroadcaster(Machine& m, Builtins& b) {
    ObjectHandle proto;
    b.broadcaster = DefineClass(m, "AsBroadcaster", Construct, proto, {}, kStatics);
    DefineMethods(m, b.broadcaster, kMethods);
}

}  // namespace avm1
