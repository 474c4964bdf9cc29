#include "avm1/activation.h"

#include <algorithm>
#include <cmath>

#include "base/names.h"

namespace avm1 {

Activation::Activation(Machine& m, uint32_t timeline)
    : machine(m), host(m.host()), clip(timeline), target(timeline), self(Value::Clip(timeline)),
      registers(kRegisterCount), stackBase(m.stack().size()) {
    // Movies of version 4 and below see no built-ins.
    if (m.version() >= 5) scope.push_back({Value::Object(m.builtins().global), ScopeEntry::Kind::kGlobal});
    scope.push_back({Value::Clip(timeline), ScopeEntry::Kind::kTarget});
    m.activations_.push_back(this);
}

Activation::~Activation() {
    auto& list = machine.activations_;
    if (auto it = std::find(list.rbegin(), list.rend(), this); it != list.rend()) list.erase(std::next(it).base());
}

Value Activation::pop() {
    std::vector<Value>& stack = machine.stack();
    if (stack.size() <= stackBase) return Value();
    Value v = std::move(stack.back());
    stack.pop_back();
    return v;
}

Value& Activation::peek() {
    std::vector<Value>& stack = machine.stack();
    static Value none;
    if (stack.size() <= stackBase) {
        none = Value();
        return none;
    }
    return stack.back();
}

bool Activation::push(Value v) {
    // A string pushed was copied or made to be pushed: its bytes are work.
    if (v.type() == Type::kString && v.string().size() > 64 && !machine.charge(static_cast<int64_t>(v.string().size()))) {
        stopped = true;
        return false;
    }
    std::vector<Value>& stack = machine.stack();
    if (stack.size() >= kMaxStackValues) {
        machine.report("stack", "ActionScript: the stack grew past " + std::to_string(kMaxStackValues) +
                                    " values (kMaxStackValues): the script is stopped");
        stopped = true;
        return false;
    }
    stack.push_back(std::move(v));
    return true;
}

size_t Activation::popCount() {
    const double n = number(pop());
    const size_t there = machine.stack().size() - std::min(machine.stack().size(), stackBase);
    return std::isnan(n) || n < 0 ? 0 : std::min(static_cast<size_t>(std::min(n, 65535.0)), there);
}

std::vector<Value> Activation::popArgs(size_t count) {
    std::vector<Value> args;
    args.reserve(count);
    for (size_t i = 0; i < count; ++i) args.push_back(pop());
    return args;
}

bool Activation::branch(int16_t offset) {
    const long long to = static_cast<long long>(next) + offset;
    if (to < 0 || to > static_cast<long long>(code->size())) return false;
    next = static_cast<size_t>(to);
    return true;
}

uint32_t Activation::targetOf(const Value& v) {
    if (v.type() == Type::kClip) return host.exists(v.clip()) ? v.clip() : 0;
    if (v.type() == Type::kObject) return 0;
    const std::string path = string(v);
    if (path.empty()) return targetLost ? 0 : target;
    return machine.resolvePath(target, path);
}

void Activation::retarget(uint32_t to) {
    targetLost = to == 0;
    if (to == 0) to = host.root();
    target = to;
    for (ScopeEntry& e : scope) {
        if (e.kind == ScopeEntry::Kind::kTarget) e.value = Value::Clip(to);
    }
    if (locals) return;  // a function's `this` stays
    self = Value::Clip(to);
}

// Splits "a/b:v" or "_root.a.v" into the clip the path names and the variable's name.
// False when the name has no path.
bool Activation::splitPath(std::string_view name, uint32_t& owner, std::string_view& var) {
    const size_t colon = name.rfind(':');
    const size_t dot = name.rfind('.');
    size_t at = std::string_view::npos;
    if (colon != std::string_view::npos) {
        at = colon;
    } else if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
        at = dot;
    }
    if (at == std::string_view::npos) return false;
    owner = machine.resolvePath(target, name.substr(0, at));
    var = name.substr(at + 1);
    return true;
}

bool Activation::special(std::string_view name, Value& out) {
    // Before version 7 these names, like all others, match without case ("_ROOT" is _root),
    // but in version 6 `this` is itself only when spelt so: "THIS" is looked up through the
    // scope chain, where a timeline answers with itself.
    auto is = [&](std::string_view n) { return version() >= 7 ? name == n : base::SameNoCase(name, n); };
    // Version 4 has none of them: `this` and `_root` are variables like any other.
    if (version() <= 4) return false;
    if (version() == 6 ? name == "this" : is("this")) {
        out = self;
        return true;
    }
    if (name == "super" && home) {
        out = machine.makeSuper(self, home);
        return true;
    }
    if (name.empty() || name[0] != '_') return false;
    if (is("_global") && version() >= 6) {
        out = Value::Object(machine.builtins().global);
        return true;
    }
    if (is("_root")) {
        out = Value::Clip(host.rootOf(target));
        return true;
    }
    if (const int level = Machine::LevelNumber(name); level >= 0 && (version() < 7 || name.substr(0, 6) == "_level")) {
        const uint32_t c = level == 0 ? host.root() : host.level(level);
        if (c == 0) return false;
        out = Value::Clip(c);
        return true;
    }
    return false;
}

// "a.b.c" without slashes or colons: tried from each link of the scope chain, innermost
// first, until one has `a` and every step but the last reaches an object or a clip. False
// when the name is no such path or no link resolves it.
bool Activation::dottedPath(std::string_view name, Value& owner, std::string_view& last, bool reading) {
    if (name.find_first_of("/:") != std::string_view::npos) return false;
    const size_t lastDot = name.rfind('.');
    if (lastDot == std::string_view::npos || lastDot == 0 || lastDot + 1 == name.size()) return false;
    last = name.substr(lastDot + 1);
    const size_t firstDot = name.find('.');
    const std::string_view first = name.substr(0, firstDot);
    auto walk = [&](Value v) {
        for (size_t from = firstDot + 1; from <= lastDot;) {
            if (v.type() != Type::kObject && v.type() != Type::kClip) return false;
            const size_t dot = name.find('.', from);
            if (dot == from) return false;
            v = machine.getMember(v, name.substr(from, dot - from));
            from = dot + 1;
        }
        if (v.type() != Type::kObject && v.type() != Type::kClip) return false;
        // A read goes on to the next scope link when the last name is missing here.
        if (reading && last != "this" && !machine.hasMember(v, last)) return false;
        owner = v;
        return true;
    };
    Value start;
    if (special(first, start)) return walk(start);
    for (size_t i = scope.size(); i-- > 0;) {
        const ScopeEntry& e = scope[i];
        if (machine.hasMember(e.value, first) && walk(machine.getMember(e.value, first))) return true;
    }
    owner = Value();
    return true;  // a path no link resolves reads as undefined
}

Value Activation::lookup(std::string_view name, Value* with) {
    Value out;
    // _root, _global and _level0 are what they name unless a variable of that name was made:
    // the variable hides them (define_function2_preload). So is `this`: a function's is a
    // local of its call, and a script may set a variable of that name (mutable_this).
    const bool hideable = !name.empty() && (name[0] == '_' || (version() >= 7 && name == "this"));
    if (!hideable && special(name, out)) return out;
    const bool otherThis = version() == 6 && name != "this" && base::SameNoCase(name, "this");
    for (size_t i = scope.size(); i-- > 0;) {
        const ScopeEntry& e = scope[i];
        // A timeline that has gone looks its names up on the root instead.
        const Value link = e.kind == ScopeEntry::Kind::kTarget && !host.exists(e.value.clip()) ? Value::Clip(host.root()) : e.value;
        if (otherThis && link.type() == Type::kClip) return link;
        if (machine.hasMember(link, name)) {
            if (with != nullptr && e.kind == ScopeEntry::Kind::kWith) *with = link;
            return machine.getMember(link, name);
        }
    }
    if (hideable && special(name, out)) return out;
    return Value();
}

Value Activation::getVariable(std::string_view name, Value* with) {
    uint32_t owner = target;
    std::string_view var = name;
    Value object;
    // A function a path names is called as a method of what holds it.
    if (dottedPath(name, object, var, true)) {
        if (var == "this") return object;
        if (with != nullptr) *with = object;
        return machine.getMember(object, var);
    }
    if (splitPath(name, owner, var)) {
        if (owner == 0) return Value();
        if (with != nullptr) *with = Value::Clip(owner);
        Value out;
        if (special(var, out) && var != "this") return out;
        return var == "this" ? Value::Clip(owner) : machine.getMember(Value::Clip(owner), var);
    }
    if (name.find('/') != std::string_view::npos) {
        const uint32_t c = machine.resolvePath(target, name);
        return c != 0 ? Value::Clip(c) : Value();
    }
    return lookup(name, with);
}

void Activation::setVariable(std::string_view name, const Value& value) {
    uint32_t owner = target;
    std::string_view var = name;
    Value object;
    if (dottedPath(name, object, var, false)) {
        machine.setMember(object, var, value);
        return;
    }
    if (splitPath(name, owner, var)) {
        if (owner != 0 && !var.empty()) machine.setMember(Value::Clip(owner), var, value);
        return;
    }
    if (name.empty()) return;
    for (size_t i = scope.size(); i-- > 0;) {
        const ScopeEntry& e = scope[i];
        if (e.kind == ScopeEntry::Kind::kGlobal) continue;
        if (e.kind == ScopeEntry::Kind::kTarget || machine.hasMember(e.value, name)) {
            machine.setMember(e.value, name, value);
            return;
        }
    }
}

void Activation::defineLocal(std::string_view name, const Value& value, bool onlyIfMissing) {
    // `var` with a path ("/:a", "/clip/:b", "_root.c") sets the variable the path names; in a
    // function it makes a local of that whole name, as the reference players do.
    if (!locals && name.find_first_of("/:.") != std::string_view::npos) {
        uint32_t owner = 0;
        std::string_view var;
        if (!onlyIfMissing) {
            setVariable(name, value);
        } else if (splitPath(name, owner, var) && owner != 0 && !var.empty() && !machine.hasMember(Value::Clip(owner), var)) {
            machine.setMember(Value::Clip(owner), var, Value());  // `var /:a;` declares it there
        }
        return;
    }
    for (size_t i = scope.size(); i-- > 0;) {
        const ScopeEntry& e = scope[i];
        // A with() object that has the name as its own takes the value, as the reference
        // players do; one that inherits it does not.
        if (e.kind == ScopeEntry::Kind::kWith) {
            const Object* o = e.value.type() == Type::kObject ? machine.heap().get(e.value.object()) : nullptr;
            const bool own = o != nullptr ? o->find(name) != nullptr : machine.hasMember(e.value, name);
            if (!onlyIfMissing && own) {
                machine.setMember(e.value, name, value);
                return;
            }
            continue;
        }
        if (e.kind != ScopeEntry::Kind::kLocal && e.kind != ScopeEntry::Kind::kTarget) continue;
        if (e.value.type() == Type::kObject) {
            Object* o = machine.heap().get(e.value.object());
            if (o != nullptr && (!onlyIfMissing || o->find(name) == nullptr)) o->set(name, value);
        } else if (!onlyIfMissing || !machine.hasMember(e.value, name)) {
            machine.setMember(e.value, name, value);
        }
        return;
    }
}

bool Activation::deleteVariable(std::string_view name) {
    Value owner;
    std::string_view last;
    if (dottedPath(name, owner, last, false)) return machine.deleteMember(owner, last);
    uint32_t clipOwner = 0;
    if (splitPath(name, clipOwner, last)) return clipOwner != 0 && machine.deleteMember(Value::Clip(clipOwner), last);
    for (size_t i = scope.size(); i-- > 0;) {
        const ScopeEntry& e = scope[i];
        if (machine.hasMember(e.value, name)) return machine.deleteMember(e.value, name);
    }
    return false;
}

namespace {

// A frame number from 1 as a frame index: the number as a 32-bit integer, less one, in
// 32-bit arithmetic as the reference players do it; negative indexes go nowhere.
int FrameIndex(double n, int bias) {
    const uint32_t wrapped = static_cast<uint32_t>(ToInt32(n)) + static_cast<uint32_t>(bias) - 1u;
    return static_cast<int32_t>(wrapped);
}

}  // namespace

void Activation::gotoFrameValue(const Value& frame, bool play, int bias) {
    uint32_t owner = target;
    if (frame.type() == Type::kString) {
        std::string_view s = frame.string();
        const size_t colon = s.rfind(':');
        if (colon != std::string_view::npos) {
            owner = machine.resolvePath(target, s.substr(0, colon));
            s = s.substr(colon + 1);
        }
        if (owner == 0) return;
        const double n = StringToNumber(s, 5);
        if (!std::isnan(n)) {
            if (const int f = FrameIndex(n, bias); f >= 0) host.gotoFrame(owner, f, play);
        } else if (const int f = host.frameOfLabel(owner, s); f >= 0) {
            host.gotoFrame(owner, f, play);
        }
        return;
    }
    const double n = number(frame);
    if (owner == 0) return;
    if (const int f = FrameIndex(n, bias); f >= 0) host.gotoFrame(owner, f, play);
}

}  // namespace avm1
