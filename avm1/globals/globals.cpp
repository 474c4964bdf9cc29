#include "avm1/globals/globals.h"

#include <cmath>

namespace avm1 {

void DefineMethods(Machine& m, ObjectHandle on, std::span<const NativeMember> members) {
    for (const NativeMember& member : members) {
        const ObjectHandle f = m.newNative(member.function);
        if (Object* o = m.heap().get(on)) o->set(member.name, Value::Object(f), attribute::kDontEnum);
    }
}

ObjectHandle DefineClass(Machine& m, std::string_view name, NativeFunction constructor, ObjectHandle& proto,
                         std::span<const NativeMember> methods, std::span<const NativeMember> statics,
                         ObjectHandle into) {
    Heap& heap = m.heap();
    const ObjectHandle ctor = heap.make(m.builtins().function);
    heap.get(ctor)->native = constructor;
    if (!proto) proto = heap.make(m.builtins().object);
    heap.get(proto)->set("constructor", Value::Object(ctor), attribute::kDontEnum);
    heap.get(ctor)->set("prototype", Value::Object(proto), attribute::kDontEnum | attribute::kDontDelete);
    DefineMethods(m, proto, methods);
    DefineMethods(m, ctor, statics);
    heap.get(into ? into : m.builtins().global)->set(name, Value::Object(ctor), attribute::kDontEnum);
    return ctor;
}

uint32_t ClipOf(Machine& m, const Value& v) {
    return v.type() == Type::kClip && m.host().exists(v.clip()) ? v.clip() : 0;
}

ObjectHandle MakePackage(Machine& m, const Builtins& b, const char* name) {
    const ObjectHandle package = m.heap().make(b.object);
    m.heap().get(b.flashPackage)->set(name, Value::Object(package));
    return package;
}

Value ReportLoad(Machine& m, const Value& self, const Value& data, void (*read)(Machine&, const Value&, const std::string&)) {
    const bool arrived = !data.isUndefined();
    if (arrived) read(m, self, m.toString(data));
    m.setMember(self, "loaded", Value::Bool(arrived));
    m.callMethod(self, "onLoad", {Value::Bool(arrived)});
    return Value();
}

Value MakeFunction(Machine& m, FunctionBody body) {
    const ObjectHandle f = m.newObject(m.builtins().function);
    const ObjectHandle proto = m.newObject();
    Object* fo = m.heap().get(f);
    Object* po = m.heap().get(proto);
    if (fo == nullptr || po == nullptr) return Value();
    fo->function = std::move(body);
    po->set("constructor", Value::Object(f), attribute::kDontEnum);
    fo->set("prototype", Value::Object(proto), attribute::kDontEnum | attribute::kDontDelete);
    return Value::Object(f);
}

Object* SelfObject(Machine& m, const Value& self) {
    return self.type() == Type::kObject ? m.heap().get(self.object()) : nullptr;
}

double IntegerArgument(Machine& m, const std::vector<Value>& args, size_t i, double otherwise) {
    if (i >= args.size() || args[i].isUndefined()) return otherwise;
    const double n = m.toNumber(args[i]);
    return std::isnan(n) ? 0 : std::trunc(n);
}

void InstallGlobals(Machine& m, Builtins& b) {
    Heap& heap = m.heap();
    b.object = heap.make();
    b.function = heap.make(b.object);
    b.global = heap.make();  // the global object is bare: no prototype, no toString, no valueOf
    InstallObject(m, b);
    InstallFunction(m, b);
    InstallArray(m, b);
    InstallString(m, b);
    InstallNumberAndBoolean(m, b);
    InstallMath(m, b);
    InstallDate(m, b);
    InstallError(m, b);
    InstallGlobalFunctions(m, b);
    InstallBroadcaster(m, b);
    InstallSystem(m, b);
    InstallMovieClip(m, b);
    InstallDrawing(m, b);
    InstallColor(m, b);
    InstallTextField(m, b);
    InstallGeom(m, b);
    InstallStage(m, b);
    InstallFilters(m, b);
    InstallXml(m, b);
    InstallLoading(m, b);
    InstallBitmapData(m, b);
    InstallTextSnapshot(m, b);
    InstallSound(m, b);
    InstallNetStream(m, b);
}

}  // namespace avm1
