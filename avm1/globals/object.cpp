// Object: the root of every prototype chain, and the members every object has.
#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

// Object(x): an object is itself, a string, number or boolean its wrapper.
Value Construct(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value v = Argument(args, 0);
    if (v.type() == Type::kObject || v.type() == Type::kClip) return v;
    const Builtins& b = m.builtins();
    const ObjectHandle wrapper = v.type() == Type::kString   ? b.stringCtor
                                 : v.type() == Type::kNumber ? b.numberCtor
                                 : v.type() == Type::kBool   ? b.booleanCtor
                                                             : ObjectHandle{};
    if (wrapper) return m.construct(Value::Object(wrapper), {v});
    if (m.constructing()) return self;
    // Object() and Object(undefined) called as functions give a bare object.
    const ObjectHandle h = m.newObject(ObjectHandle{});
    return h ? Value::Object(h) : Value();
}

Value HasOwnProperty(Machine& m, const Value& self, std::vector<Value>& args) {
    if (args.empty()) return Value::Bool(false);
    const std::string name = m.toString(args[0]);
    if (name.empty()) return Value::Bool(false);
    if (self.type() == Type::kClip) {
        Value out;
        return Value::Bool(m.host().exists(self.clip()) && m.host().getVariable(self.clip(), name, out));
    }
    const Object* o = SelfObject(m, self);
    if (o == nullptr) return Value::Bool(false);
    if (name == "__proto__") return Value::Bool(static_cast<bool>(o->prototype));
    if (o->elements && m.hasMember(self, name) && o->find(name) == nullptr && name != "length") return Value::Bool(true);
    // A property hidden from the movie's version is still its own.
    return Value::Bool(o->findAny(name) != nullptr);
}

Value IsPropertyEnumerable(Machine& m, const Value& self, std::vector<Value>& args) {
    const Object* o = SelfObject(m, self);
    const Property* p = o != nullptr ? o->find(m.toString(Argument(args, 0))) : nullptr;
    return Value::Bool(p != nullptr && (p->attributes & attribute::kDontEnum) == 0);
}

Value IsPrototypeOf(Machine& m, const Value& self, std::vector<Value>& args) {
    if (self.type() != Type::kObject) return Value::Bool(false);
    ObjectHandle h = m.prototypeOf(Argument(args, 0));
    for (int depth = 0; h && depth < Heap::kMaxPrototypeDepth; ++depth) {
        if (h == self.object()) return Value::Bool(true);
        const Object* o = m.heap().get(h);
        if (o == nullptr) break;
        h = o->prototype;
    }
    return Value::Bool(false);
}

Value ToString(Machine& m, const Value& self, std::vector<Value>&) {
    if (self.type() == Type::kClip) return Value::String(m.toString(self));
    return Value::String(m.isFunction(self) ? "[type Function]" : "[object Object]");
}

Value ValueOf(Machine&, const Value& self, std::vector<Value>&) { return self; }

// addProperty(name, getter, setter): false unless the name is given, the getter is a
// function and the setter a function or null (which makes the property read-only).
// What addProperty and watch change: an object, or a clip's own script object.
Object* AccessorHolder(Machine& m, const Value& self) {
    if (self.type() == Type::kClip) return ClipOf(m, self) != 0 ? m.heap().get(m.clipObject(self.clip())) : nullptr;
    return SelfObject(m, self);
}

Value AddProperty(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = AccessorHolder(m, self);
    const std::string name = m.toString(Argument(args, 0));
    const Value getter = Argument(args, 1), setter = Argument(args, 2);
    if (o == nullptr || name.empty() || !m.isFunction(getter)) return Value::Bool(false);
    if (!setter.isNull() && !m.isFunction(setter)) return Value::Bool(false);
    return Value::Bool(o->setAccessor(name, getter, m.isFunction(setter) ? setter : Value()));
}

Value Watch(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = AccessorHolder(m, self);
    const std::string name = m.toString(Argument(args, 0));
    const Value callback = Argument(args, 1);
    if (o == nullptr || args.size() < 2 || !m.isFunction(callback)) return Value::Bool(false);
    for (Watcher& w : o->watchers) {
        if (w.name == name) {
            w.callback = callback;
            w.data = Argument(args, 2);
            return Value::Bool(true);
        }
    }
    o->watchers.push_back({name, callback, Argument(args, 2)});
    return Value::Bool(true);
}

Value Unwatch(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = AccessorHolder(m, self);
    const std::string name = m.toString(Argument(args, 0));
    if (o == nullptr) return Value::Bool(false);
    for (auto it = o->watchers.begin(); it != o->watchers.end(); ++it) {
        if (it->name == name) {
            o->watchers.erase(it);
            return Value::Bool(true);
        }
    }
    return Value::Bool(false);
}

// Object.registerClass(linkage, constructor): clips of the exported sprite are made as
// instances of the class; null unregisters. False for fewer arguments or another kind.
Value RegisterClass(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.size() < 2) return Value::Bool(false);
    const Value& ctor = args[1];
    if (!ctor.isNull() && !m.isFunction(ctor)) return Value::Bool(false);
    m.registerClass(m.toString(args[0]), ctor.isNull() ? Value() : ctor);
    return Value::Bool(true);
}

constexpr NativeMember kMethods[] = {
    {"hasOwnProperty", HasOwnProperty}, {"isPropertyEnumerable", IsPropertyEnumerable},
    {"isPrototypeOf", IsPrototypeOf},   {"toString", ToString},
    {"toLocaleString", ToString},       {"valueOf", ValueOf},
    {"addProperty", AddProperty},       {"watch", Watch},
    {"unwatch", Unwatch},
};
constexpr NativeMember kStatics[] = {{"registerClass", RegisterClass}};

}  // namespace

void InstallObject(Machine& m, Builtins& b) {
    b.objectCtor = DefineClass(m, "Object", Construct, b.object, kMethods, kStatics);
}

}  // namespace avm1
