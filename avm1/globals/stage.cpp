// Stage, Mouse, Key and Selection: the objects of the player's stage and its input. Without
// input (a conversion has none) nothing is pressed, focused or moved, but each takes
// listeners as a broadcaster and answers what scripts ask of it, so that movies written for
// input play on.
#include <cmath>

#include "avm1/globals/globals.h"
#include "base/names.h"

namespace avm1 {

namespace {

// Makes `o` a broadcaster: _listeners, addListener, removeListener, broadcastMessage.
void MakeBroadcaster(Machine& m, ObjectHandle o) {
    const Value initialize = m.getMember(Value::Object(m.builtins().broadcaster), "initialize");
    m.call(initialize, Value::Object(m.builtins().broadcaster), {Value::Object(o)});
    // The reference players hide the broadcaster's members on these objects.
    if (Object* object = m.heap().get(o)) {
        for (const char* name : {"_listeners", "addListener", "removeListener", "broadcastMessage"}) {
            object->setAttributes(name, attribute::kDontEnum);
        }
    }
}

ObjectHandle MakeObject(Machine& m, std::string_view name) {
    const ObjectHandle o = m.heap().make(m.builtins().object);
    m.heap().get(m.builtins().global)->set(name, Value::Object(o), attribute::kDontEnum);
    return o;
}

Value Nothing(Machine&, const Value&, std::vector<Value>&) { return Value(); }
Value False(Machine&, const Value&, std::vector<Value>&) { return Value::Bool(false); }
Value Zero(Machine&, const Value&, std::vector<Value>&) { return Value::Number(0); }
Value MinusOne(Machine&, const Value&, std::vector<Value>&) { return Value::Number(-1); }
Value Null(Machine&, const Value&, std::vector<Value>&) { return Value::Null(); }

// --- Stage ---

template <bool Width>
Value StageSize(Machine& m, const Value&, std::vector<Value>&) {
    double w = 0, h = 0;
    m.host().stageSize(w, h);
    return Value::Number(Width ? w : h);
}

Value ReadOnly(Machine&, const Value&, std::vector<Value>&) { return Value(); }

// scaleMode takes its values without regard to case; anything else is showAll.
Value GetScaleMode(Machine& m, const Value& self, std::vector<Value>&) {
    const Value v = m.getMember(self, "__scaleMode");
    return v.isUndefined() ? Value::String("showAll") : v;
}

Value SetScaleMode(Machine& m, const Value& self, std::vector<Value>& args) {
    const std::string mode = m.toString(Argument(args, 0));
    const char* chosen = "showAll";
    for (const char* known : {"showAll", "noBorder", "exactFit", "noScale"}) {
        if (base::SameNoCase(mode, known)) chosen = known;
    }
    if (Object* o = SelfObject(m, self)) o->set("__scaleMode", Value::String(chosen), attribute::kDontEnum);
    return Value();
}

Value GetAlign(Machine& m, const Value& self, std::vector<Value>&) {
    const Value v = m.getMember(self, "__align");
    return v.isUndefined() ? Value::String("") : v;
}

// align: the letters T, B, L and R it holds, in the order the reference players print them.
Value SetAlign(Machine& m, const Value& self, std::vector<Value>& args) {
    const std::string given = base::LowerCase(m.toString(Argument(args, 0)));
    std::string align;
    for (const char c : {'l', 't', 'r', 'b'}) {
        if (given.find(c) != std::string::npos) align += static_cast<char>(c - 'a' + 'A');
    }
    if (Object* o = SelfObject(m, self)) o->set("__align", Value::String(align), attribute::kDontEnum);
    return Value();
}

struct Accessor {
    const char* name;
    NativeFunction get, set;
};

void DefineAccessors(Machine& m, ObjectHandle on, std::initializer_list<Accessor> accessors) {
    Object* o = m.heap().get(on);
    for (const Accessor& a : accessors) {
        o->setAccessor(a.name, Value::Object(m.newNative(a.get)), Value::Object(m.newNative(a.set)));
        o->setAttributes(a.name, attribute::kDontEnum | attribute::kDontDelete);
    }
}

// --- Mouse ---

// show() and hide() answer whether the pointer was shown before: it always is.
Value WasShown(Machine&, const Value&, std::vector<Value>&) { return Value::Number(1); }

constexpr NativeMember kMouseMethods[] = {{"show", WasShown}, {"hide", WasShown}};

// --- Key ---

constexpr NativeMember kKeyMethods[] = {
    {"isDown", False}, {"isToggled", False}, {"getCode", Zero}, {"getAscii", Zero}, {"isAccessible", False},
};

constexpr std::pair<const char*, int> kKeyCodes[] = {
    {"BACKSPACE", 8}, {"TAB", 9},     {"ENTER", 13},  {"SHIFT", 16}, {"CONTROL", 17}, {"ALT", 18},
    {"CAPSLOCK", 20}, {"ESCAPE", 27}, {"SPACE", 32},  {"PGUP", 33},  {"PGDN", 34},    {"END", 35},
    {"HOME", 36},     {"LEFT", 37},   {"UP", 38},     {"RIGHT", 39}, {"DOWN", 40},    {"INSERT", 45},
    {"DELETEKEY", 46},
};

// --- Selection ---

// setFocus(null) takes the focus from whatever has it, which succeeds; nothing can take it.
Value SetFocus(Machine&, const Value&, std::vector<Value>& args) {
    return Value::Bool(!args.empty() && args[0].type() == Type::kNull);
}

constexpr NativeMember kSelectionMethods[] = {
    {"getFocus", Null},           {"setFocus", SetFocus},          {"getBeginIndex", MinusOne},
    {"getEndIndex", MinusOne},    {"getCaretIndex", MinusOne},  {"setSelection", Nothing},
};

}  // namespace

void InstallStage(Machine& m, Builtins& b) {
    const ObjectHandle stage = MakeObject(m, "Stage");
    MakeBroadcaster(m, stage);
    DefineAccessors(m, stage,
                    {{"width", StageSize<true>, ReadOnly},
                     {"height", StageSize<false>, ReadOnly},
                     {"scaleMode", GetScaleMode, SetScaleMode},
                     {"align", GetAlign, SetAlign}});
    Object* s = m.heap().get(stage);
    s->set("showMenu", Value::Bool(true), attribute::kDontEnum);
    s->set("displayState", Value::String("normal"), attribute::kDontEnum);

    const ObjectHandle mouse = MakeObject(m, "Mouse");
    MakeBroadcaster(m, mouse);
    DefineMethods(m, mouse, kMouseMethods);

    const ObjectHandle key = MakeObject(m, "Key");
    MakeBroadcaster(m, key);
    DefineMethods(m, key, kKeyMethods);
    Object* k = m.heap().get(key);
    for (const auto& [name, code] : kKeyCodes) {
        k->set(name, Value::Number(code), attribute::kDontEnum | attribute::kDontDelete | attribute::kReadOnly);
    }

    const ObjectHandle selection = MakeObject(m, "Selection");
    MakeBroadcaster(m, selection);
    DefineMethods(m, selection, kSelectionMethods);

    // System.IME: a broadcaster too, of composition events that never come without input.
    const Value system = m.getMember(Value::Object(b.global), "System");
    if (system.type() == Type::kObject) {
        const ObjectHandle ime = m.heap().make(b.object);
        MakeBroadcaster(m, ime);
        m.setMember(system, "IME", Value::Object(ime));
    }
}

}  // namespace avm1
