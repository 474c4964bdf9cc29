// Function: call and apply, and the constructor no movie can use to compile code.
#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

// Function(x) gives x back, whatever it is, and Function() a bare object, as the reference
// players do.
Value Construct(Machine& m, const Value&, std::vector<Value>& args) {
    if (!args.empty()) return args[0];
    const ObjectHandle h = m.newObject(ObjectHandle{});  // a bare object, without a prototype
    return h ? Value::Object(h) : Value();
}

// f.call(thisObject, a, b ...): without an object, `this` is undefined, as a plain call has it.
Value Call(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value thisValue = args.empty() || Argument(args, 0).isNullish() ? Value() : args[0];
    std::vector<Value> rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
    return m.call(self, thisValue, std::move(rest));
}

// f.apply(thisObject, array).
Value Apply(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value thisValue = Argument(args, 0).isNullish() ? Value() : args[0];
    std::vector<Value> list;
    if (const std::vector<Value>* elements = m.elementsOf(Argument(args, 1))) list = *elements;
    FillHoles(list);
    return m.call(self, thisValue, std::move(list));
}

constexpr NativeMember kMethods[] = {{"call", Call}, {"apply", Apply}};

}  // namespace

void InstallFunction(Machine& m, Builtins& b) {
    b.functionCtor = DefineClass(m, "Function", Construct, b.function, kMethods);
}

}  // namespace avm1
