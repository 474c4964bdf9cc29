#include "avm1/machine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "avm1/activation.h"
#include "avm1/actions/handlers.h"
#include "avm1/globals/globals.h"
#include "avm1/strings.h"
#include "base/names.h"
#include "swf/actions.h"

namespace avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool IsPrimitive(const Value& v) { return v.type() != Type::kObject && v.type() != Type::kClip; }

// "0", "17": an array index as scripts write it, without leading zeros or signs.
bool ArrayIndex(std::string_view name, size_t& out) {
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) return false;
    uint64_t n = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    if (n >= 0xFFFFFFFFull) return false;
    out = static_cast<size_t>(n);
    return true;
}

}  // namespace

Machine::Machine(Host& host, int version)
    : host_(host), version_(version), heap_(version >= 7, attribute::HiddenFrom(version)) {
    makeBuiltins();
}

Machine::~Machine() = default;

void Machine::makeBuiltins() { InstallGlobals(*this, builtins_); }

void Machine::report(const std::string& key, const std::string& line) {
    if (std::find(reported_.begin(), reported_.end(), key) != reported_.end()) return;
    reported_.push_back(key);
    host_.log(line);
}

void Machine::unsupported(const char* what) {
    const bool first = std::find(reported_.begin(), reported_.end(), what) == reported_.end();
    report(what, std::string("ActionScript: ") + what + " is not supported yet: it gives undefined");
    if (first) host_.leftOut(std::string("ActionScript's ") + what);
}

// --- conversions ---

std::string Machine::toString(const Value& v) {
    switch (v.type()) {
        case Type::kUndefined: return version_ >= 7 ? "undefined" : "";
        case Type::kNull: return "null";
        case Type::kBool: return version_ <= 4 ? (v.boolean() ? "1" : "0") : (v.boolean() ? "true" : "false");
        case Type::kNumber: return NumberToString(v.number());
        case Type::kString: return v.string();
        case Type::kClip: return host_.exists(v.clip()) ? host_.path(v.clip()) : "";
        case Type::kObject: {
            const Object* o = heap_.get(v.object());
            if (o == nullptr) return version_ >= 7 ? "undefined" : "";
            if (o->wraps == Object::Wraps::kSuper) return "[type Object]";  // super prints as no method makes it
            // Without a toString to call, the reference players print the object's type.
            if (!isFunction(getMember(v, "toString"))) return isFunction(v) ? "[type Function]" : "[type Object]";
            const Value r = callMethod(v, "toString", {});
            return IsPrimitive(r) ? toString(r) : (isFunction(v) ? "[type Function]" : "[type Object]");
        }
    }
    return {};
}

double Machine::toNumber(const Value& v) {
    switch (v.type()) {
        case Type::kUndefined:
        case Type::kNull: return version_ >= 7 ? kNaN : 0.0;
        case Type::kBool: return v.boolean() ? 1 : 0;
        case Type::kNumber: return v.number();
        case Type::kString: return StringToNumber(v.string(), version_);
        case Type::kClip: return version_ <= 4 ? 0.0 : kNaN;
        case Type::kObject: {
            const Value r = toPrimitive(v);
            return IsPrimitive(r) ? toNumber(r) : kNaN;
        }
    }
    return 0;
}

bool Machine::toBoolean(const Value& v) const {
    switch (v.type()) {
        case Type::kUndefined:
        case Type::kNull: return false;
        case Type::kBool: return v.boolean();
        case Type::kNumber: return !std::isnan(v.number()) && v.number() != 0;
        case Type::kString:
            if (version_ >= 7) return !v.string().empty();
            {
                const double n = StringToNumber(v.string(), version_);
                return !std::isnan(n) && n != 0;
            }
        case Type::kClip:
        case Type::kObject: return true;
    }
    return false;
}

Value Machine::toPrimitive(const Value& v) {
    // A clip's valueOf is the clip: comparisons take it as a number (NaN), Add2 as its path.
    if (v.type() == Type::kClip) return v;
    if (v.type() != Type::kObject) return v;
    const Object* o = heap_.get(v.object());
    if (o == nullptr) return Value();
    // Dates become their text; other objects their valueOf, when it is a primitive, else their
    // toString; an object with neither (the global object) is undefined.
    const bool hasValueOf = isFunction(getMember(v, "valueOf"));
    if (o->wraps != Object::Wraps::kDate && hasValueOf) {
        const Value r = callMethod(v, "valueOf", {});
        if (IsPrimitive(r)) return r;
    }
    if (!isFunction(getMember(v, "toString"))) return hasValueOf ? Value::String(toString(v)) : Value();
    return Value::String(toString(v));
}

// --- budgets and the heap ---

bool Machine::charge(int64_t units) {
    work_ -= units;
    if (work_ > 0) return true;
    report("work", "ActionScript: a frame's scripts did more than " + std::to_string(kMaxScriptWorkPerFrame) +
                       " units of work (kMaxScriptWorkPerFrame): its scripts are stopped");
    aborted_ = true;
    return false;
}

bool Machine::admitString(size_t bytes) {
    if (bytes > kMaxStringBytes) {
        report("string", "ActionScript: a string grew past " + std::to_string(kMaxStringBytes) +
                             " bytes (kMaxStringBytes): the script is stopped");
        return false;
    }
    if (!charge(static_cast<int64_t>(bytes))) return false;
    bytesSinceCollection_ += bytes;
    size_t stackBytes = 0;
    if (heap_.liveBytes() + bytesSinceCollection_ > kMaxScriptMemory) {
        collectGarbage();
        for (const Value& v : stack_) stackBytes += v.string().size();
        if (heap_.liveBytes() + stackBytes + bytes > kMaxScriptMemory) {
            report("memory", "ActionScript: scripts hold more than " + std::to_string(kMaxScriptMemory >> 20) +
                                 " MiB (kMaxScriptMemory): the frame's scripts are stopped");
            aborted_ = true;
            return false;
        }
    }
    return true;
}

bool Machine::admitObject() {
    bytesSinceCollection_ += sizeof(Object) + 64;
    if (heap_.liveObjects() >= kMaxHeapObjects || heap_.liveBytes() + bytesSinceCollection_ > kMaxScriptMemory) {
        collectGarbage();
        if (heap_.liveObjects() >= kMaxHeapObjects || heap_.liveBytes() > kMaxScriptMemory) {
            report("objects", "ActionScript: scripts hold " + std::to_string(heap_.liveObjects()) +
                                  " objects, past kMaxHeapObjects or kMaxScriptMemory: the frame's scripts are stopped");
            aborted_ = true;
            return false;
        }
    }
    return charge(kWorkPerElement);
}

void Machine::startFrame() {
    instructions_ = kMaxInstructionsPerFrame;
    work_ = kMaxScriptWorkPerFrame;
    aborted_ = false;
    stack_.clear();
    if (heap_.liveObjects() >= collectAt_ || bytesSinceCollection_ > kMaxScriptMemory / 8) {
        collectGarbage();
        collectAt_ = std::max(kFirstCollection, heap_.liveObjects() * 2);
    }
}

void Machine::traceRoots(Tracer& tracer) {
    const Builtins& b = builtins_;
    for (ObjectHandle h : {b.global, b.object, b.function, b.array, b.string, b.number, b.boolean, b.date, b.movieClip,
                           b.error, b.broadcaster, b.xmlNode, b.xml, b.textField, b.textFormat, b.button, b.video,
                           b.point, b.matrix, b.rectangle, b.colorTransform, b.transform, b.flashPackage}) {
        tracer.object(h);
    }
    for (const Value& v : stack_) tracer.value(v);
    for (const Value& v : globalRegisters_) tracer.value(v);
    for (const Activation* a : activations_) {
        for (const ScopeEntry& e : a->scope) tracer.value(e.value);
        for (const Value& r : a->registers) tracer.value(r);
        tracer.value(a->self);
        tracer.value(a->callee);
        tracer.value(a->returned);
        tracer.object(a->locals);
        tracer.object(a->home);
    }
    for (const std::vector<Value>* args : nativeArgs_) {
        for (const Value& v : *args) tracer.value(v);
    }
    if (thrown_) tracer.value(*thrown_);
    for (const auto& [name, ctor] : classes_) tracer.value(ctor);
    for (const Timer& t : timers_) {
        tracer.value(t.function);
        for (const Value& v : t.args) tracer.value(v);
    }
    for (const LoadRequest& r : loads_) tracer.value(r.loader);
    for (const auto& [clip, own] : clipObjects_) tracer.object(own);
    host_.traceValues(tracer);
}

size_t Machine::collectGarbage() {
    bytesSinceCollection_ = 0;
    // The own objects of clips that have gone go with them.
    std::erase_if(clipObjects_, [&](const auto& entry) { return !host_.exists(entry.first); });
    return heap_.collect([&](Tracer& tracer) { traceRoots(tracer); });
}

bool Machine::admitBitmap(size_t bytes) {
    if (*bitmapBytes_ + bytes <= kMaxBitmapDataBytes) return true;
    if (!bitmapsReported_) {
        bitmapsReported_ = true;
        host_.log("BitmapData pixels past " + std::to_string(kMaxBitmapDataBytes) + " bytes (kMaxBitmapDataBytes): no more are made");
    }
    return false;
}

ObjectHandle Machine::clipObject(uint32_t clip) {
    if (auto it = clipObjects_.find(clip); it != clipObjects_.end() && heap_.get(it->second) != nullptr) return it->second;
    const ObjectHandle o = newObject(ObjectHandle{});
    if (o) clipObjects_[clip] = o;
    return o;
}

uint32_t Machine::nextRandom() {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return random_;
}

void Machine::throwValue(Value v) { thrown_ = std::move(v); }

void Machine::reportUncaught() {
    if (!thrown_) return;
    const Value v = std::move(*thrown_);
    thrown_.reset();
    // The reference players print it where trace() prints, and go on with the next script.
    host_.trace("Warning: Uncaught exception, " + toString(v));
}

std::optional<Value> Machine::takeThrown() {
    std::optional<Value> v = std::move(thrown_);
    thrown_.reset();
    return v;
}

// --- running code ---

void Machine::run(const std::vector<uint8_t>& code, uint32_t clip) {
    execute(code, clip, 0);
    reportUncaught();  // what no catch took ends its block and goes no further
    if (depthExceeded_) {
        // Calls too deep end the block they started in; the step's other scripts run.
        depthExceeded_ = false;
        aborted_ = instructions_ <= 0 || work_ <= 0;
    }
}

void Machine::execute(const std::vector<uint8_t>& code, uint32_t clip, int depth) {
    if (!host_.exists(clip) || aborted_) return;
    Activation a(*this, clip);
    a.code = &code;
    a.depth = depth;
    a.pool = std::make_shared<const std::vector<std::string>>();
    a.stackBase = 0;  // every block of a step shares the stack, values left by others included
    runRange(a, 0, code.size());
}

Machine::Flow Machine::runRange(Activation& a, size_t from, size_t to) {
    const ActionHandlers& handlers = Handlers();
    const std::vector<uint8_t>& code = *a.code;
    to = std::min(to, code.size());
    a.ip = from;
    swf::Action action;
    while (a.ip >= from && a.ip < to) {
        if (instructions_ <= 0 && !aborted_) {
            report("instructions", "ActionScript: a frame ran past " + std::to_string(kMaxInstructionsPerFrame) +
                                       " instructions (kMaxInstructionsPerFrame): its scripts are stopped");
            aborted_ = true;
        }
        if (aborted_ || !charge(kWorkPerInstruction)) return Flow::kAbort;
        --instructions_;
        if (swf::DecodeAction(code.data(), to, a.ip, action) != swf::ActionRead::kAction) return Flow::kReturn;
        a.next = action.next;
        // Unknown actions are skipped by their length, as the reference players do.
        const ActionHandler handler = handlers.of(action.code);
        const bool goOn = handler == nullptr || handler(a, action);
        if (thrown_) return Flow::kThrow;
        if (a.stopped || aborted_) return Flow::kAbort;
        if (!goOn) return Flow::kReturn;
        a.ip = a.next;
    }
    return Flow::kNormal;
}

bool Machine::isFunction(const Value& v) const {
    const Object* o = heap_.get(v.object());
    return v.type() == Type::kObject && o != nullptr && o->isFunction();
}

Value Machine::call(const Value& function, const Value& self, std::vector<Value> args, ObjectHandle home) {
    return invoke(function, self, args, home, false);
}

Value Machine::invoke(const Value& function, const Value& self, std::vector<Value>& args, ObjectHandle home,
                      bool constructing) {
    Object* f = function.type() == Type::kObject ? heap_.get(function.object()) : nullptr;
    if (f == nullptr || !f->isFunction() || aborted_) return Value();
    if (callDepth_ + 1 >= maxCallDepth_) {  // the block that calls is the first level
        report("depth", "ActionScript: calls nested past " + std::to_string(maxCallDepth_) +
                            " (kMaxCallDepth or the movie's ScriptLimits): the script is stopped");
        aborted_ = true;
        depthExceeded_ = true;
        return Value();
    }
    ++callDepth_;
    Value result = callFunction(*f, function.object(), self, args, home, constructing);
    --callDepth_;
    return result;
}

Value Machine::callFunction(Object& f, ObjectHandle handle, const Value& self, std::vector<Value>& args,
                            ObjectHandle home, bool constructing) {
    if (f.native != nullptr) {
        nativeArgs_.push_back(&args);
        const bool wasConstructing = constructing_;
        constructing_ = constructing;
        const Value result = f.native(*this, self, args);
        constructing_ = wasConstructing;
        nativeArgs_.pop_back();
        return result;
    }
    // The body is copied: the call may redefine the function that runs.
    const FunctionBody body = *f.function;
    // Version 5 functions run on the clip they are called on; later ones on their own.
    // A function whose timeline has gone runs on one placed again at the same path, else on
    // the clip it is called on, else on the root.
    const bool selfClip = self.type() == Type::kClip && host_.exists(self.clip());
    uint32_t base = body.clip;
    if (!host_.exists(base)) base = body.clipPath.empty() ? 0 : resolvePath(host_.root(), body.clipPath);
    if (base == 0) base = selfClip ? self.clip() : host_.root();
    if (version_ < 6 && self.type() == Type::kClip && host_.exists(self.clip())) base = self.clip();
    Activation a(*this, base);
    a.code = body.code;
    a.depth = callDepth_;
    a.pool = body.pool;
    a.scope = body.scope;
    for (ScopeEntry& e : a.scope) {
        // Version 5 functions look names up on the clip they run on; later ones on the
        // timeline they were defined on, or on the one that stands in for it when it has gone.
        if (e.kind == ScopeEntry::Kind::kTarget && (version_ < 6 || !host_.exists(e.value.clip()))) {
            e.value = Value::Clip(base);
        }
    }
    a.self = self.isUndefined() ? Value::Clip(base) : self;
    a.callee = Value::Object(handle);
    // Registers a function does not have are the running block's; called with no block
    // running (an event the player raises between steps), the machine's own four.
    for (Activation* outer : activations_) {
        if (outer != &a && !outer->callee.isUndefined()) continue;
        if (outer != &a) a.outerRegisters = &outer->registers;
        break;
    }
    if (a.outerRegisters == nullptr) a.outerRegisters = &globalRegisters_;
    a.home = home;
    if (!admitObject()) return Value();
    a.locals = heap_.make();
    a.scope.push_back({Value::Object(a.locals), ScopeEntry::Kind::kLocal});
    Object* locals = heap_.get(a.locals);

    using namespace swf::function_flag;
    const uint16_t flags = body.version2 ? body.flags : 0;
    const bool wantArguments = !body.version2 || (flags & (kPreloadArguments | kSuppressArguments)) != kSuppressArguments;
    Value arguments;
    if (wantArguments) {
        arguments = Value::Object(newArray(args));
        if (Object* o = heap_.get(arguments.object())) {
            o->set("callee", a.callee, attribute::kDontEnum);
            Value caller;
            for (size_t i = activations_.size() - 1; i-- > 0;) {
                if (activations_[i]->callee.type() == Type::kObject) {
                    caller = activations_[i]->callee;
                    break;
                }
            }
            o->set("caller", caller.isUndefined() ? Value::Null() : caller, attribute::kDontEnum);
        }
        locals = heap_.get(a.locals);
    }
    if (body.version2) {
        a.registers.assign(std::max<size_t>(body.registerCount, 1), Value());
        size_t r = 1;
        // Registers are taken in the flags' order; a _parent there is none of takes none.
        auto preload = [&](uint16_t flag, const Value& v) {
            if ((flags & flag) != 0 && r < a.registers.size() && !(flag == kPreloadParent && v.isUndefined())) {
                a.registers[r++] = v;
            }
        };
        preload(kPreloadThis, a.self);
        preload(kPreloadArguments, arguments);
        if ((flags & kPreloadSuper) != 0) preload(kPreloadSuper, a.getVariable("super"));
        preload(kPreloadRoot, Value::Clip(host_.rootOf(base)));
        const uint32_t parent = host_.parent(base);
        preload(kPreloadParent, parent != 0 ? Value::Clip(parent) : Value());
        preload(kPreloadGlobal, Value::Object(builtins_.global));
        if (locals != nullptr && wantArguments && (flags & kPreloadArguments) == 0) locals->set("arguments", arguments);
    } else {
        a.registers.clear();  // a DefineFunction function works in the block's registers
        if (locals != nullptr) locals->set("arguments", arguments);
    }
    // From version 7 `this` is a local of the call (one it sets stays its own), unless
    // suppressed; before, names are looked up without case and "THIS" finds the timeline.
    if (Object* o = heap_.get(a.locals); o != nullptr && version_ >= 7 && (flags & kSuppressThis) == 0) o->set("this", a.self);
    for (size_t i = 0; i < body.parameters.size(); ++i) {
        const Value v = i < args.size() ? args[i] : Value();
        const uint8_t reg = i < body.parameterRegisters.size() ? body.parameterRegisters[i] : 0;
        if (body.version2 && reg != 0 && reg < a.registers.size()) {
            a.registers[reg] = v;
        } else if (Object* o = heap_.get(a.locals)) {
            o->set(body.parameters[i], v);
        }
    }
    // Functions came with version 5: in a version 4 movie their code runs by version 5's
    // rules (true is no longer 1, and a division by zero is infinite).
    const int movieVersion = version_;
    version_ = std::max(version_, 5);
    const Flow flow = runRange(a, body.begin, body.end);
    version_ = movieVersion;
    Value result = flow == Flow::kReturn ? a.returned : Value();
    stack_.resize(std::min(stack_.size(), a.stackBase));
    return result;
}

Value Machine::callMethod(const Value& self, std::string_view name, std::vector<Value> args) {
    Value thisValue = self;
    ObjectHandle start = prototypeOf(self);
    if (self.type() == Type::kObject) {
        const Object* o = heap_.get(self.object());
        if (o == nullptr) return Value();
        if (o->wraps == Object::Wraps::kSuper) {
            thisValue = o->superThis;
            // super(...) runs the superclass's constructor on this object, built-in ones too.
            if (name.empty()) return invoke(o->superConstructor, thisValue, args, o->prototype, true);
        } else {
            start = self.object();
        }
    }
    if (name.empty()) return call(self, Value(), std::move(args));
    // The method, and the object of the chain it was found on (its prototype is super's).
    ObjectHandle home;
    Value method;
    if (self.type() == Type::kClip || self.type() == Type::kString) {
        method = getMember(self, name);
        home = start;
    }
    if (method.isUndefined()) {
        ObjectHandle h = start;
        for (int depth = 0; h && depth < Heap::kMaxPrototypeDepth; ++depth) {
            const Object* o = heap_.get(h);
            if (o == nullptr) break;
            if (const Property* p = o->find(name)) {
                method = p->accessor ? readAccessor(h, name, thisValue) : p->value;
                home = h;
                break;
            }
            h = o->prototype;
        }
    }
    if (!isFunction(method)) {
        // Array and wrapper members that live outside the property map.
        if (method.isUndefined() && self.type() == Type::kObject) method = getMember(self, name);
        if (!isFunction(method)) return Value();
    }
    return call(method, thisValue, std::move(args), home);
}

Value Machine::construct(const Value& constructor, std::vector<Value> args) {
    const Object* f = constructor.type() == Type::kObject ? heap_.get(constructor.object()) : nullptr;
    if (f == nullptr || !f->isFunction()) return Value();
    const bool native = f->native != nullptr;
    const Value proto = getMember(constructor, "prototype");
    const ObjectHandle protoHandle = proto.type() == Type::kObject ? proto.object() : builtins_.object;
    const ObjectHandle made = newObject(protoHandle);
    if (!made) return Value();
    if (Object* o = heap_.get(made)) {
        o->set("__constructor__", constructor, attribute::kDontEnum);
        if (version_ < 7) o->set("constructor", constructor, attribute::kDontEnum);
    }
    constructionFailed_ = false;
    const Value result = invoke(constructor, Value::Object(made), args, protoHandle, true);
    if (native && constructionFailed_) {
        constructionFailed_ = false;
        return Value();
    }
    // A built-in may give an object of its own (Array(...) in place of the one made).
    if (native && (result.type() == Type::kObject || result.type() == Type::kClip)) return result;
    return Value::Object(made);
}

Value Machine::makeSuper(const Value& self, ObjectHandle home) {
    const Object* h = heap_.get(home);
    if (h == nullptr) return Value();
    const ObjectHandle parent = h->prototype;
    const Property* ctor = heap_.lookup(home, "__constructor__");
    if (ctor == nullptr) ctor = heap_.lookup(parent, "constructor");
    const Value constructor = ctor != nullptr ? ctor->value : Value();
    const ObjectHandle s = newObject(parent);
    Object* o = heap_.get(s);
    if (o == nullptr) return Value();
    o->wraps = Object::Wraps::kSuper;
    o->superThis = self;
    o->superConstructor = constructor;
    return Value::Object(s);
}

// --- objects ---

ObjectHandle Machine::newObject(ObjectHandle prototype) {
    if (!admitObject()) return {};
    return heap_.make(prototype);
}

ObjectHandle Machine::newArray(std::vector<Value> elements) {
    const ObjectHandle h = newObject(builtins_.array);
    if (Object* o = heap_.get(h)) {
        charge(static_cast<int64_t>(elements.size()) * kWorkPerElement);
        o->elements = std::move(elements);
    }
    return h;
}

ObjectHandle Machine::newNative(NativeFunction f, bool constructor) {
    const ObjectHandle h = heap_.make(builtins_.function);
    heap_.get(h)->native = f;
    if (constructor) {
        const ObjectHandle proto = heap_.make(builtins_.object);
        heap_.get(proto)->set("constructor", Value::Object(h), attribute::kDontEnum);
        heap_.get(h)->set("prototype", Value::Object(proto), attribute::kDontEnum);
    }
    return h;
}

ObjectHandle Machine::prototypeOf(const Value& v) const {
    switch (v.type()) {
        case Type::kString: return builtins_.string;
        case Type::kNumber: return builtins_.number;
        case Type::kBool: return builtins_.boolean;
        case Type::kClip: return clipPrototype(v.clip());
        case Type::kObject: {
            const Object* o = heap_.get(v.object());
            return o != nullptr ? o->prototype : ObjectHandle{};
        }
        default: return {};
    }
}

Value Machine::getOnObject(const Value& self, ObjectHandle start, std::string_view name, bool& found) {
    ObjectHandle h = start;
    size_t index = 0;
    const bool isIndex = ArrayIndex(name, index);
    for (int depth = 0; h && depth < Heap::kMaxPrototypeDepth; ++depth) {
        const Object* o = heap_.get(h);
        if (o == nullptr) break;
        // An element a prototype array holds is inherited like a property.
        if (isIndex && depth > 0 && o->elements && index < o->elements->size() && !IsHole((*o->elements)[index])) {
            found = true;
            return (*o->elements)[index];
        }
        if (const Property* p = o->find(name)) {
            found = true;
            if (!p->accessor) return p->value;
            return readAccessor(h, name, self);
        }
        h = o->prototype;
    }
    if (h && heap_.get(h) != nullptr) {
        // A chain that goes on past the limit (one that loops) ends the block that asked.
        report("prototypes", "ActionScript: a prototype chain is longer than " + std::to_string(Heap::kMaxPrototypeDepth) +
                                 " (kMaxPrototypeDepth): the script is stopped");
        aborted_ = true;
        depthExceeded_ = true;
    }
    found = false;
    return Value();
}

std::vector<Value>* Machine::elementsOf(const Value& v) {
    Object* o = v.type() == Type::kObject ? heap_.get(v.object()) : nullptr;
    return o != nullptr && o->elements ? &*o->elements : nullptr;
}

Value Machine::getMember(const Value& object, std::string_view name) {
    bool found = false;
    switch (object.type()) {
        case Type::kObject: {
            const Object* o = heap_.get(object.object());
            if (o == nullptr) return Value();
            if (name == "__proto__") return o->prototype && heap_.get(o->prototype) ? Value::Object(o->prototype) : Value();
            if (o->elements) {
                size_t index = 0;
                // A getter made with addProperty on an array's length or an index stands in for it.
                if (const Property* p = o->properties().empty() ? nullptr : o->find(name); p != nullptr && p->accessor) {
                    return readAccessor(object.object(), name, object);
                }
                if (name == "length") {
                    if (o->elements->empty() && o->primitive.type() == Type::kNumber) return o->primitive;  // Array(-1)
                    return Value::Number(static_cast<double>(o->elements->size()));
                }
                if (ArrayIndex(name, index) && index < o->elements->size()) {
                    const Value& v = (*o->elements)[index];
                    if (!IsHole(v)) return v;
                }
            }
            if (o->wraps == Object::Wraps::kSuper) {
                if (name == "__proto__") return Value();
                const Value self = o->superThis;
                return getOnObject(self, o->prototype, name, found);
            }
            return getOnObject(object, object.object(), name, found);
        }
        case Type::kClip: {
            const uint32_t clip = object.clip();
            if (!host_.exists(clip)) return Value();
            Value out;
            // Properties addProperty (or its class) gave the clip come first.
            if (auto own = clipObjects_.find(clip); own != clipObjects_.end()) {
                const Object* o = heap_.get(own->second);
                if (const Property* p = o != nullptr ? o->find(name) : nullptr) {
                    return p->accessor ? readAccessor(own->second, name, object) : p->value;
                }
            }
            if (host_.getVariable(clip, name, out)) return out;
            if (const uint32_t c = host_.child(clip, name)) return Value::Clip(c);
            if (!name.empty() && name[0] == '_') {
                if (const int property = PropertyIndex(name); property >= 0) return host_.getProperty(clip, property);
                if (base::SameNoCase(name, "_parent")) {
                    const uint32_t p = host_.parent(clip);
                    return p != 0 ? Value::Clip(p) : Value();
                }
                if (base::SameNoCase(name, "_root")) return Value::Clip(host_.rootOf(clip));
                if (const int level = LevelNumber(name); level >= 0) {
                    const uint32_t c = level == 0 ? host_.root() : host_.level(level);
                    return c != 0 ? Value::Clip(c) : Value();
                }
                // A clip's _lockroot is false until set.
                if (base::SameNoCase(name, "_lockroot") && version_ >= 7) return Value::Bool(false);
                if (base::SameNoCase(name, "_global") && version_ >= 6) return Value::Object(builtins_.global);
            }
            if (name == "opaqueBackground") return host_.getProperty(clip, kPropOpaqueBackground);
            const ObjectHandle proto = clipPrototype(clip);
            if (name == "__proto__") return proto ? Value::Object(proto) : Value();
            return getOnObject(object, proto, name, found);
        }
        case Type::kString:
            if (name == "length") return Value::Number(static_cast<double>(CharacterCount(object.string(), version_)));
            [[fallthrough]];
        case Type::kNumber:
        case Type::kBool:
            if (name == "__proto__") return Value::Object(prototypeOf(object));
            return getOnObject(object, prototypeOf(object), name, found);
        default: return Value();
    }
}

namespace {

// Where a write to `name` goes when a prototype has a setter for it: the setter, else none.
// The accessor `name` is up the chain from `start`, and the object holding it.
const Property* FindAccessor(const Heap& heap, ObjectHandle start, std::string_view name, ObjectHandle& holder) {
    ObjectHandle h = start;
    for (int depth = 0; h && depth < Heap::kMaxPrototypeDepth; ++depth) {
        const Object* o = heap.get(h);
        if (o == nullptr) return nullptr;
        if (const Property* p = o->find(name)) {
            holder = h;
            return p->accessor ? p : nullptr;
        }
        h = o->prototype;
    }
    return nullptr;
}

}  // namespace

// Accessors guard against themselves. Before version 7 a getter or setter that reaches its
// own property meets the value last stored there instead of running again; from version 7
// they recurse, but the accessors of one property nest at most kMaxAccessorNesting deep
// (getters and setters together), past which the stored value is read and written. A
// property deleted and made again is another one. A write through a setter stores the value
// under the accessor once the setter returns.
bool Machine::accessorBlocked(ObjectHandle holder, const Property& p) const {
    const auto running = std::count(busyAccessors_.begin(), busyAccessors_.end(), std::make_pair(holder, p.serial));
    return running >= (version_ >= 7 ? kMaxAccessorNesting : 1);
}

// Watchers guard against themselves the same way: before version 7 a write a watcher makes
// to its own property is stored without asking it again; from version 7 one property's
// watchers nest at most kMaxAccessorNesting deep, past which writes are stored as given.
bool Machine::watcherBlocked(ObjectHandle object, std::string_view name) const {
    const auto running = std::count(busyWatchers_.begin(), busyWatchers_.end(), std::make_pair(object, base::LowerCase(name)));
    return running >= (version_ >= 7 ? kMaxAccessorNesting : 1);
}

Value Machine::readAccessor(ObjectHandle holder, std::string_view name, const Value& self) {
    Object* o = heap_.get(holder);
    const Property* p = o != nullptr ? o->find(name) : nullptr;
    if (p == nullptr) return Value();
    if (!p->accessor || accessorBlocked(holder, *p)) return p->value;
    const Value getter = p->getter;
    busyAccessors_.emplace_back(holder, p->serial);
    Value out = call(getter, self, {});
    busyAccessors_.pop_back();
    return out;
}

void Machine::writeAccessor(ObjectHandle holder, std::string_view name, const Value& self, const Value& value) {
    Object* o = heap_.get(holder);
    const Property* p = o != nullptr ? o->find(name) : nullptr;
    if (p == nullptr) return;
    if (accessorBlocked(holder, *p)) {
        if (Property* q = o->find(name)) q->value = value;
        return;
    }
    const Value setter = p->setter;
    busyAccessors_.emplace_back(holder, p->serial);
    call(setter, self, {value});
    busyAccessors_.pop_back();
    if (Object* after = heap_.get(holder)) {
        if (Property* q = after->find(name); q != nullptr && q->accessor) q->value = value;
    }
}

void Machine::setMember(const Value& object, std::string_view name, const Value& value) {
    if (object.type() == Type::kClip) {
        const uint32_t clip = object.clip();
        if (!host_.exists(clip)) return;
        if (!name.empty() && name[0] == '_') {
            if (const int property = PropertyIndex(name); property >= 0) {
                host_.setProperty(clip, property, value);
                return;
            }
        }
        if (name == "opaqueBackground") {
            host_.setProperty(clip, kPropOpaqueBackground, value);
            return;
        }
        if (name == "__proto__") {
            host_.setClipPrototype(clip, value.type() == Type::kObject ? value.object() : ObjectHandle{});
            return;
        }
        Value existing;
        const bool has = host_.getVariable(clip, name, existing);
        Value stored = value;
        // The clip's own accessors and watchers, as an object's.
        if (auto own = clipObjects_.find(clip); own != clipObjects_.end()) {
            if (const Object* o = heap_.get(own->second)) {
                if (const Property* p = o->find(name); p != nullptr && p->accessor) {
                    writeAccessor(own->second, name, object, value);
                    return;
                }
                for (const Watcher& w : o->watchers) {
                    if (!(caseSensitive() ? w.name == name : base::SameNoCase(w.name, name))) continue;
                    if (watcherBlocked(own->second, name)) break;
                    const Watcher watcher = w;
                    busyWatchers_.emplace_back(own->second, base::LowerCase(name));
                    stored = call(watcher.callback, object, {Value::String(std::string(name)), has ? existing : Value(), value, watcher.data});
                    busyWatchers_.pop_back();
                    break;
                }
            }
        }
        if (!has) {
            ObjectHandle holder;
            if (FindAccessor(heap_, clipPrototype(clip), name, holder) != nullptr) {
                writeAccessor(holder, name, object, stored);
                return;
            }
        }
        if (host_.exists(clip)) host_.setVariable(clip, name, stored);
        return;
    }
    if (object.type() != Type::kObject) return;
    Object* o = heap_.get(object.object());
    if (o == nullptr) return;
    if (o->wraps == Object::Wraps::kSuper) return;
    if (name == "__proto__") {
        o->prototype = value.type() == Type::kObject ? value.object() : ObjectHandle{};
        return;
    }
    Value stored = value;
    if (!o->watchers.empty()) {
        for (size_t i = 0; i < o->watchers.size(); ++i) {
            const bool same = caseSensitive() ? o->watchers[i].name == name : base::SameNoCase(o->watchers[i].name, name);
            if (!same) continue;
            if (watcherBlocked(object.object(), name)) break;
            const Watcher w = o->watchers[i];
            // The old value is the one stored where the name is found, up the prototypes too;
            // a getter is not asked (an accessor keeps what was stored before it).
            const Property* found = heap_.lookup(object.object(), name);
            const Value old = found != nullptr ? found->value : Value();
            busyWatchers_.emplace_back(object.object(), base::LowerCase(name));
            // While its watcher runs, the property's own accessor is busy too.
            const Property* own = o->find(name);
            const bool guarded = own != nullptr && own->accessor;
            if (guarded) busyAccessors_.emplace_back(object.object(), own->serial);
            stored = call(w.callback, object, {Value::String(std::string(name)), old, value, w.data});
            if (guarded) busyAccessors_.pop_back();
            busyWatchers_.pop_back();
            o = heap_.get(object.object());
            if (o == nullptr) return;
            break;
        }
    }
    if (o->elements) {
        size_t index = 0;
        o->primitive = Value();  // a written array forgets the negative length it was made with
        if (name == "length") {
            const double n = toNumber(stored);
            if (std::isnan(n) || n < 0) return;
            const size_t length = static_cast<size_t>(std::min(n, static_cast<double>(kMaxArrayLength)));
            if (length > o->elements->size() && !charge(static_cast<int64_t>(length - o->elements->size()) * kWorkPerElement)) return;
            o = heap_.get(object.object());
            if (o != nullptr && o->elements) o->elements->resize(length, Hole());
            return;
        }
        if (ArrayIndex(name, index) && index < kMaxArrayLength) {
            // When a write fills a hole is kept unless the order of the indexes says it: an
            // element written at the end of an array with no named properties.
            const bool appended = index >= o->elements->size();
            if (appended) {
                if (!charge(static_cast<int64_t>(index + 1 - o->elements->size()) * kWorkPerElement)) return;
                o->elements->resize(index + 1, Hole());
            }
            if (IsHole((*o->elements)[index]) && (!appended || !o->properties().empty() || !o->elementSerials.empty()) &&
                o->elementSerials.size() < kMaxArrayLength && charge(kWorkPerElement)) {
                o->elementSerials[index] = o->takeSerial();
            }
            (*o->elements)[index] = stored;
            return;
        }
    }
    if (o->find(name) == nullptr) {
        ObjectHandle holder;
        if (FindAccessor(heap_, o->prototype, name, holder) != nullptr) {
            writeAccessor(holder, name, object, stored);
            return;
        }
        if (!charge(kWorkPerElement)) return;
    } else if (Property* p = o->find(name); p->accessor) {
        writeAccessor(object.object(), name, object, stored);
        return;
    }
    o->set(name, stored);
}

bool Machine::deleteMember(const Value& object, std::string_view name) {
    if (object.type() == Type::kClip) return host_.exists(object.clip()) && host_.deleteVariable(object.clip(), name);
    Object* o = object.type() == Type::kObject ? heap_.get(object.object()) : nullptr;
    if (o == nullptr) return false;
    size_t index = 0;
    if (o->elements && ArrayIndex(name, index) && index < o->elements->size()) {
        (*o->elements)[index] = Hole();
        return true;
    }
    return o->remove(name);
}

bool Machine::hasMember(const Value& object, std::string_view name) {
    switch (object.type()) {
        case Type::kObject: {
            const Object* o = heap_.get(object.object());
            if (o == nullptr) return false;
            size_t index = 0;
            if (o->elements && (name == "length" || (ArrayIndex(name, index) && index < o->elements->size() &&
                                                     !IsHole((*o->elements)[index])))) {
                return true;
            }
            if (o->wraps == Object::Wraps::kSuper) return heap_.lookup(o->prototype, name) != nullptr;
            return heap_.lookup(object.object(), name) != nullptr;
        }
        case Type::kClip: {
            const uint32_t clip = object.clip();
            if (!host_.exists(clip)) return false;
            Value out;
            if (host_.getVariable(clip, name, out) || host_.child(clip, name) != 0) return true;
            if (!name.empty() && name[0] == '_' && (PropertyIndex(name) >= 0 || base::SameNoCase(name, "_parent"))) return true;
            // Properties addProperty gave the clip.
            if (auto own = clipObjects_.find(clip); own != clipObjects_.end()) {
                if (const Object* o = heap_.get(own->second); o != nullptr && o->find(name) != nullptr) return true;
            }
            return heap_.lookup(clipPrototype(clip), name) != nullptr;
        }
        case Type::kString:
            if (name == "length") return true;
            [[fallthrough]];
        case Type::kNumber:
        case Type::kBool: return heap_.lookup(prototypeOf(object), name) != nullptr;
        default: return false;
    }
}

std::vector<std::string> Machine::enumerate(const Value& object) {
    std::vector<std::string> names;
    auto seen = [&](const std::string& n) {
        for (const std::string& s : names) {
            if (caseSensitive() ? s == n : base::SameNoCase(s, n)) return true;
        }
        return false;
    };
    ObjectHandle h;
    if (object.type() == Type::kClip) {
        if (!host_.exists(object.clip())) return names;
        for (std::string& n : host_.variableNames(object.clip())) names.push_back(std::move(n));
        h = clipPrototype(object.clip());
    } else if (object.type() == Type::kObject) {
        h = object.object();
    } else {
        return names;
    }
    bool own = true;
    for (int depth = 0; h && depth < Heap::kMaxPrototypeDepth; ++depth) {
        const Object* o = heap_.get(h);
        if (o == nullptr) break;
        const std::vector<Property>& props = o->properties();
        // Newest first: properties by when they were made; an array's elements by when a write
        // filled them, those it was made with before everything else.
        std::vector<std::pair<uint32_t, std::string>> lateElements;
        if (own && o->elements) {
            for (const auto& [index, serial] : o->elementSerials) {
                if (index < o->elements->size() && !IsHole((*o->elements)[index])) {
                    lateElements.emplace_back(serial, std::to_string(index));
                }
            }
            std::sort(lateElements.begin(), lateElements.end());
        }
        size_t nextLate = lateElements.size();
        for (size_t i = props.size(); i-- > 0;) {
            for (; nextLate > 0 && lateElements[nextLate - 1].first > props[i].serial; --nextLate) {
                names.push_back(lateElements[nextLate - 1].second);
            }
            // Properties hidden from the movie's version are listed, though they read as undefined.
            if ((props[i].attributes & attribute::kDontEnum) != 0 || (!own && seen(props[i].name))) {
                continue;
            }
            names.push_back(props[i].name);
        }
        for (; nextLate > 0; --nextLate) names.push_back(lateElements[nextLate - 1].second);
        if (own && o->elements) {
            for (size_t i = o->elements->size(); i-- > 0;) {
                if (!IsHole((*o->elements)[i]) && o->elementSerials.count(i) == 0) names.push_back(std::to_string(i));
            }
        }
        charge(static_cast<int64_t>(props.size()) * kWorkPerElement);
        own = false;
        h = o->prototype;
    }
    return names;
}

bool Machine::instanceOf(const Value& v, const Value& constructor) {
    const Value proto = getMember(constructor, "prototype");
    if (proto.type() != Type::kObject) return false;
    ObjectHandle h = prototypeOf(v);
    if (v.type() != Type::kObject && v.type() != Type::kClip) return false;
    for (int depth = 0; h && depth < Heap::kMaxPrototypeDepth; ++depth) {
        if (h == proto.object()) return true;
        const Object* o = heap_.get(h);
        if (o == nullptr) return false;
        // Classes that implement interfaces list them, and interfaces list those they extend.
        if (implements(h, constructor, 0)) return true;
        h = o->prototype;
    }
    return false;
}

bool Machine::implements(ObjectHandle proto, const Value& constructor, int depth) {
    const Object* o = heap_.get(proto);
    if (o == nullptr || depth > Heap::kMaxPrototypeDepth) return false;
    const Property* p = o->find("__implements__");
    if (p == nullptr || p->value.type() != Type::kObject) return false;
    const Object* list = heap_.get(p->value.object());
    if (list == nullptr || !list->elements) return false;
    const std::vector<Value> interfaces = *list->elements;
    for (const Value& i : interfaces) {
        if (i.type() != Type::kObject) continue;
        if (i.object() == constructor.object()) return true;
        const Value next = getMember(i, "prototype");
        if (next.type() == Type::kObject && implements(next.object(), constructor, depth + 1)) return true;
    }
    return false;
}

ObjectHandle Machine::clipPrototype(uint32_t clip) const {
    const ObjectHandle own = host_.clipPrototype(clip);
    if (own && heap_.get(own) != nullptr) return own;
    switch (host_.kindOf(clip)) {
        case ClipKind::kTextField: return builtins_.textField;
        case ClipKind::kButton: return builtins_.button;
        case ClipKind::kVideo: return builtins_.video;
        default: return builtins_.movieClip;
    }
}

void Machine::registerClass(const std::string& linkage, const Value& constructor) {
    const std::string key = caseSensitive() ? linkage : base::LowerCase(linkage);
    if (constructor.isUndefined()) {
        classes_.erase(key);
    } else if (classes_.size() < Object::kMaxProperties || classes_.count(key) != 0) {
        classes_[key] = constructor;
    }
}

Value Machine::registeredClass(std::string_view linkage) const {
    auto it = classes_.find(caseSensitive() ? std::string(linkage) : base::LowerCase(linkage));
    return it != classes_.end() ? it->second : Value();
}

void Machine::runMethod(uint32_t clip, std::string_view name) {
    if (!host_.exists(clip) || aborted_) return;
    const Value self = Value::Clip(clip);
    if (!isFunction(getMember(self, name))) return;
    callMethod(self, name, {});
    reportUncaught();
    if (depthExceeded_) {
        depthExceeded_ = false;
        aborted_ = instructions_ <= 0 || work_ <= 0;
    }
}

void Machine::adoptClass(uint32_t clip, const Value& constructor) {
    if (!host_.exists(clip) || !isFunction(constructor)) return;
    const Value proto = getMember(constructor, "prototype");
    host_.setClipPrototype(clip, proto.type() == Type::kObject ? proto.object() : ObjectHandle{});
}

void Machine::constructClip(uint32_t clip, const Value& constructor, const Value& initObject) {
    if (!host_.exists(clip)) return;
    const Value self = Value::Clip(clip);
    adoptClass(clip, constructor);
    if (initObject.type() == Type::kObject) {
        if (const Object* o = heap_.get(initObject.object())) {
            const std::vector<Property> props = o->properties();
            for (const Property& p : props) {
                if ((p.attributes & attribute::kDontEnum) == 0) setMember(self, p.name, p.accessor ? Value() : p.value);
            }
        }
    }
    if (isFunction(constructor) && !aborted_) {
        // The clip knows the class that made it, as an object does.
        if (Object* own = heap_.get(clipObject(clip))) own->set("__constructor__", constructor, attribute::kDontEnum);
        std::vector<Value> none;
        invoke(constructor, self, none, clipPrototype(clip), true);
        reportUncaught();
    }
}

// --- timers ---

uint32_t Machine::addTimer(Timer t) {
    if (timers_.size() >= kMaxTimers) {
        report("timers", "ActionScript: more than " + std::to_string(kMaxTimers) +
                             " intervals at once (kMaxTimers): setInterval gives nothing");
        return 0;
    }
    t.id = nextTimer_++;
    t.due = host_.timer() + t.interval;
    timers_.push_back(std::move(t));
    return timers_.back().id;
}

bool Machine::removeTimer(uint32_t id) {
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.id == id; });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

void Machine::runTimers() {
    const double now = host_.timer();
    // Each timer fires at most once a step, as the reference players' frame-bound clock does;
    // one whose callback clears or adds timers sees the list as it is then.
    std::vector<uint32_t> due;
    for (const Timer& t : timers_) {
        if (t.due <= now) due.push_back(t.id);
    }
    for (uint32_t id : due) {
        auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.id == id; });
        if (it == timers_.end() || aborted_) continue;
        Timer t = *it;
        if (t.repeat) {
            it->due = std::max(it->due + std::max(t.interval, 1.0), now);
        } else {
            timers_.erase(it);
        }
        if (t.method.empty()) {
            call(t.function, Value(), t.args);
        } else {
            callMethod(t.function, t.method, t.args);
        }
        reportUncaught();
        stack_.clear();
    }
}

// --- paths ---

uint32_t Machine::currentTarget() { return activations_.empty() ? host_.root() : activations_.back()->target; }

uint32_t Machine::resolvePath(uint32_t from, std::string_view path) {
    // An empty name between two slashes names nothing.
    if (path.find("//") != std::string_view::npos) return 0;
    uint32_t clip = from;
    size_t i = 0;
    // A clip taken off the display is the top of its own tree: paths from it find it as root.
    const auto rootFrom = [&](uint32_t c) { return c != 0 && host_.removed(c) ? c : host_.rootOf(c); };
    if (!path.empty() && path[0] == '/') {
        clip = rootFrom(from);
        i = 1;
    }
    while (i < path.size() && clip != 0) {
        size_t j = i;
        // ".." is a parent step in slash paths; a single dot separates names.
        if (path.compare(i, 2, "..") == 0) {
            clip = host_.parent(clip);
            i += 2;
            if (i < path.size() && (path[i] == '/' || path[i] == '.')) ++i;
            continue;
        }
        // Slashes and colons separate names, and dots do until a slash: after one a dot is
        // part of a name.
        const bool slashed = path.substr(0, i).find('/') != std::string_view::npos;
        while (j < path.size() && path[j] != '/' && path[j] != ':' && (slashed || path[j] != '.')) ++j;
        const std::string_view token = path.substr(i, j - i);
        i = j < path.size() ? j + 1 : j;
        if (token.empty()) continue;
        if (base::SameNoCase(token, "_root")) {
            clip = rootFrom(clip);
        } else if (const int level = LevelNumber(token); level >= 0) {
            clip = level == 0 ? host_.root() : host_.level(level);
        } else if (base::SameNoCase(token, "_parent")) {
            clip = host_.parent(clip);
        } else if (token == "this") {
            // stays
        } else if (uint32_t c = host_.child(clip, token)) {
            clip = c;
        } else {
            Value v;
            clip = host_.getVariable(clip, token, v) && v.type() == Type::kClip && host_.exists(v.clip()) ? v.clip() : 0;
        }
    }
    return clip;
}

bool Machine::readVariable(uint32_t clip, std::string_view name, Value& out) {
    if (!host_.exists(clip) || name.empty()) return false;
    Activation a(*this, clip);
    out = a.getVariable(name);
    return out.type() != Type::kUndefined;
}

void Machine::writeVariable(uint32_t clip, std::string_view name, const Value& value) {
    if (!host_.exists(clip) || name.empty()) return;
    Activation a(*this, clip);
    a.setVariable(name, value);
}

}  // namespace avm1
