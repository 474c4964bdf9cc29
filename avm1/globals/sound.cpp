// Sound: a clip's sounds from a script. A Sound has a target (the path of a clip, found
// again at each call so that a Sound outlives its clip harmlessly, or none: the whole movie),
// the sound it
// attached or loaded, and the voice it last started. Volume and pan belong to the target:
// every Sound of one clip shares them, and a new clip starts at full volume, centred.
#include <cmath>
#include <limits>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

// What a Sound keeps behind its methods.
enum Slot : size_t { kTarget, kSound, kVoice, kStarted, kSlotCount };

// Where a Sound keeps its state: the object itself, or for a clip whose class extends Sound
// (the constructor runs on the clip through super()), the clip's own script object.
Object* StateHolder(Machine& m, const Value& self) {
    if (self.type() == Type::kClip) {
        return m.host().exists(self.clip()) ? m.heap().get(m.clipObject(self.clip())) : nullptr;
    }
    return SelfObject(m, self);
}

Object* SoundOf(Machine& m, const Value& self) {
    Object* o = StateHolder(m, self);
    return o != nullptr && o->slots.size() == kSlotCount ? o : nullptr;
}

// The clip a Sound works on (0: the whole movie); false when no clip lies at its path now.
bool OwnerOf(Machine& m, const Object& sound, uint32_t& owner) {
    const Value& target = sound.slots[kTarget];
    owner = 0;
    if (target.type() != Type::kString) return true;
    owner = m.resolvePath(m.currentTarget(), target.string());  // relative: from the code that asks
    return owner != 0;
}

// An integer as the players convert volume and pan: truncated, and what is no number or lies
// outside 32 bits is the lowest 32-bit integer.
int32_t PlayerInt(Machine& m, const std::vector<Value>& args, size_t i) {
    if (i >= args.size()) return 0;
    const double v = std::trunc(m.toNumber(args[i]));
    if (!(v >= -2147483648.0 && v <= 2147483647.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

Value Construct(Machine& m, const Value& self, std::vector<Value>& args) {
    // The target is kept as a path: a clip's own at this time, or what another value says.
    Value target;
    const Value given = Argument(args, 0);
    if (given.type() == Type::kClip) {
        if (m.host().exists(given.clip())) target = Value::String(m.host().path(given.clip()));
    } else if (given.type() != Type::kUndefined && given.type() != Type::kNull) {
        target = Value::String(m.toString(given));
    }
    if (Object* o = StateHolder(m, self)) {
        o->slots.assign(kSlotCount, Value());
        o->slots[kTarget] = target;
        o->slots[kVoice] = Value::Number(0);
        o->slots[kStarted] = Value::Bool(false);
    }
    return self;
}

// Calls `change` on the target's transform and stores it; undefined when there is no target.
template <class Change>
Value Transform(Machine& m, const Value& self, Change change) {
    Object* o = SoundOf(m, self);
    uint32_t owner = 0;
    SoundTransformFields t;
    if (o == nullptr || !OwnerOf(m, *o, owner) || !m.host().soundTransform(owner, t)) return Value();
    change(t);
    m.host().setSoundTransform(owner, t);
    return Value();
}

// Reads the target's transform; undefined when there is no target.
template <class Read>
Value ReadTransform(Machine& m, const Value& self, Read read) {
    Object* o = SoundOf(m, self);
    uint32_t owner = 0;
    SoundTransformFields t;
    if (o == nullptr || !OwnerOf(m, *o, owner) || !m.host().soundTransform(owner, t)) return Value();
    return read(t);
}

Value SetVolume(Machine& m, const Value& self, std::vector<Value>& args) {
    const int32_t volume = PlayerInt(m, args, 0);
    return Transform(m, self, [&](SoundTransformFields& t) { t.volume = volume; });
}

Value GetVolume(Machine& m, const Value& self, std::vector<Value>&) {
    return ReadTransform(m, self, [](const SoundTransformFields& t) { return Value::Number(t.volume); });
}

// A pan to the right turns the left side down, and to the left the right side.
Value SetPan(Machine& m, const Value& self, std::vector<Value>& args) {
    const int32_t pan = PlayerInt(m, args, 0);
    return Transform(m, self, [&](SoundTransformFields& t) {
        t.ll = pan >= 0 ? Wrap(int64_t{100} - pan) : 100;
        t.rr = pan >= 0 ? 100 : Wrap(int64_t{100} + pan);
        t.lr = t.rl = 0;
    });
}

// The pan read back from the sides: a left side at full volume gives the right side's
// distance from full, and otherwise the left side's.
Value GetPan(Machine& m, const Value& self, std::vector<Value>&) {
    return ReadTransform(m, self, [](const SoundTransformFields& t) {
        const int64_t pan = t.ll == 100 ? std::abs(int64_t{t.rr}) - 100 : 100 - std::abs(int64_t{t.ll});
        return Value::Number(Wrap(pan));
    });
}

constexpr std::pair<const char*, int32_t SoundTransformFields::*> kSides[] = {
    {"ll", &SoundTransformFields::ll}, {"lr", &SoundTransformFields::lr},
    {"rr", &SoundTransformFields::rr}, {"rl", &SoundTransformFields::rl}};

// setTransform({ll, lr, rr, rl}): the object's own fields change the sides; what it lacks
// stays.
Value SetTransform(Machine& m, const Value& self, std::vector<Value>& args) {
    if (args.empty() || args[0].type() != Type::kObject) return Value();
    int32_t given[4];
    bool has[4];
    Object* from = SelfObject(m, args[0]);
    for (size_t i = 0; i < 4; ++i) {
        has[i] = from != nullptr && from->find(kSides[i].first) != nullptr;
        given[i] = has[i] ? ToInt32(m.toNumber(m.getMember(args[0], kSides[i].first))) : 0;
    }
    return Transform(m, self, [&](SoundTransformFields& t) {
        for (size_t i = 0; i < 4; ++i) {
            if (has[i]) t.*kSides[i].second = given[i];
        }
    });
}

Value GetTransform(Machine& m, const Value& self, std::vector<Value>&) {
    return ReadTransform(m, self, [&](const SoundTransformFields& t) {
        const Value result = Value::Object(m.newObject());
        for (const auto& [name, side] : kSides) m.setMember(result, name, Value::Number(t.*side));
        return result;
    });
}

Value AttachSound(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = SoundOf(m, self);
    uint32_t owner = 0;
    if (o == nullptr || args.empty() || !OwnerOf(m, *o, owner)) return Value();
    const std::string linkage = m.toString(args[0]);
    const uint32_t sound = m.host().exportedSound(owner != 0 ? owner : m.host().root(), linkage);
    if ((o = SoundOf(m, self)) == nullptr || sound == 0) return Value();
    o->slots[kSound] = Value::Number(sound);
    o->slots[kStarted] = Value::Bool(false);
    return Value();
}

uint32_t SoundNumber(const Object& o) {
    return o.slots[kSound].type() == Type::kNumber ? static_cast<uint32_t>(o.slots[kSound].number()) : 0;
}

// start(offset seconds, loops): a new voice of the attached sound, heard over what plays.
Value Start(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = SoundOf(m, self);
    uint32_t owner = 0;
    if (o == nullptr || !OwnerOf(m, *o, owner) || SoundNumber(*o) == 0) return Value();
    const double offset = args.empty() ? 0 : m.toNumber(args[0]);
    const double loops = args.size() < 2 ? 1 : m.toNumber(args[1]);
    const int count = std::isfinite(loops) ? static_cast<int>(std::clamp(loops, 1.0, 65535.0)) : 1;
    const uint32_t sound = SoundNumber(*o);
    const uint64_t voice = m.host().startSound(sound, owner, offset, count, self);
    if ((o = SoundOf(m, self)) == nullptr) return Value();
    o->slots[kVoice] = Value::Number(static_cast<double>(voice));
    o->slots[kStarted] = Value::Bool(true);
    return Value();
}

// stop(): every sound of the target; stop(linkage): that sound only.
Value Stop(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = SoundOf(m, self);
    uint32_t owner = 0;
    if (o == nullptr || !OwnerOf(m, *o, owner)) return Value();
    uint32_t sound = 0;
    if (!args.empty() && args[0].type() != Type::kUndefined) {
        sound = m.host().exportedSound(owner != 0 ? owner : m.host().root(), m.toString(args[0]));
        if (sound == 0) return Value();
    }
    m.host().stopSounds(sound, owner);
    return Value();
}

Value GetDuration(Machine& m, const Value& self, std::vector<Value>&) {
    Object* o = SoundOf(m, self);
    if (o == nullptr || SoundNumber(*o) == 0) return Value();
    const double ms = m.host().soundDurationMs(SoundNumber(*o));
    return ms >= 0 ? Value::Number(ms) : Value();
}

// Where the last voice is in its sound: 0 before it starts, its length once it has ended.
Value GetPosition(Machine& m, const Value& self, std::vector<Value>&) {
    Object* o = SoundOf(m, self);
    if (o == nullptr || SoundNumber(*o) == 0) return Value();
    const double at = m.host().voicePositionMs(static_cast<uint64_t>(o->slots[kVoice].number()));
    if (at >= 0) return Value::Number(std::floor(at));
    if (!o->slots[kStarted].boolean()) return Value::Number(0);
    const double ms = m.host().soundDurationMs(SoundNumber(*o));
    return Value::Number(ms >= 0 ? ms : 0);
}

// loadSound(url, streaming): an MP3 file beside the movie. onLoad(success) follows at the
// next frame; a streaming sound starts at once.
Value LoadSound(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = SoundOf(m, self);
    if (o == nullptr || args.empty()) return Value();
    std::string reason;
    const uint32_t sound = m.host().loadSound(m.toString(args[0]), reason);
    if ((o = SoundOf(m, self)) == nullptr) return Value();
    if (sound == 0) m.host().log("loadSound: " + reason);
    o->slots[kSound] = sound != 0 ? Value::Number(sound) : Value();
    o->slots[kStarted] = Value::Bool(false);
    m.host().queueEvent(self, "onLoad", {Value::Bool(sound != 0)});
    if (sound != 0 && args.size() >= 2 && m.toBoolean(args[1])) {
        std::vector<Value> none;
        Start(m, self, none);
    }
    return Value();
}

Value Nothing(Machine&, const Value&, std::vector<Value>&) { return Value(); }

constexpr NativeMember kMethods[] = {
    {"attachSound", AttachSound}, {"start", Start},         {"stop", Stop},
    {"setVolume", SetVolume},     {"getVolume", GetVolume}, {"setPan", SetPan},
    {"getPan", GetPan},           {"setTransform", SetTransform},
    {"getTransform", GetTransform}, {"getDuration", GetDuration},
    {"getPosition", GetPosition}, {"loadSound", LoadSound},
    // The players have these and they do nothing; what has loaded is not counted in bytes.
    {"setDuration", Nothing},     {"setPosition", Nothing},
    {"getBytesLoaded", Nothing},  {"getBytesTotal", Nothing},
};

// A write to duration or position leaves the sound alone and puts a plain property of that
// name on the Sound itself, which hides the accessor until it is deleted.
template <const char* kName>
Value Shadow(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value value = Argument(args, 0);
    if (self.type() == Type::kClip) {
        if (m.host().exists(self.clip())) m.host().setVariable(self.clip(), kName, value);
    } else if (Object* o = SelfObject(m, self)) {
        o->set(kName, value);
    }
    return Value();
}

constexpr char kDuration[] = "duration";
constexpr char kPosition[] = "position";

}  // namespace

void InstallSound(Machine& m, Builtins&) {
    ObjectHandle proto;
    DefineClass(m, "Sound", Construct, proto, kMethods);
    // duration and position read the same as their methods; a write shadows them.
    Object* p = m.heap().get(proto);
    p->setAccessor(kDuration, Value::Object(m.newNative(GetDuration)), Value::Object(m.newNative(Shadow<kDuration>)));
    p->setAccessor(kPosition, Value::Object(m.newNative(GetPosition)), Value::Object(m.newNative(Shadow<kPosition>)));
    p->setAttributes(kDuration, attribute::kDontEnum);
    p->setAttributes(kPosition, attribute::kDontEnum);
    // What came with version 6 movies, version 5 movies do not see.
    for (const char* name : {"getDuration", "setDuration", "getPosition", "setPosition", "loadSound", "getBytesLoaded",
                             "getBytesTotal"}) {
        if (Property* method = p->findAny(name)) method->attributes |= attribute::kHiddenIn5;
    }
}

}  // namespace avm1
