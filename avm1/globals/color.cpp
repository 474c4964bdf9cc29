// Color: a clip's colour transform seen as percentages and offsets. The clip is found again
// at each call from the object's `target` (a clip or a path), so a Color outlives its clip
// harmlessly.
#include <cmath>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

uint32_t TargetOf(Machine& m, const Value& self) {
    if (self.type() != Type::kObject) return 0;
    const Value target = m.getMember(self, "target");
    if (target.type() == Type::kClip) return m.host().exists(target.clip()) ? target.clip() : 0;
    if (target.type() == Type::kString && !target.string().empty()) return m.resolvePath(m.host().root(), target.string());
    return 0;
}

// A term as the file keeps it, in 16 bits: what is no finite number is 0, and the rest wraps.
int16_t Term(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(ToInt32(std::trunc(v)))));
}

Value Construct(Machine& m, const Value& self, std::vector<Value>& args) {
    if (self.type() == Type::kObject) m.setMember(self, "target", Argument(args, 0));
    return self;
}

Value SetRgb(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = TargetOf(m, self);
    swf::ColorTransform cx;
    if (c == 0 || args.empty() || !m.host().colorTransform(c, cx)) return Value();
    const uint32_t rgb = static_cast<uint32_t>(ToInt32(m.toNumber(args[0])));
    cx.mulR = cx.mulG = cx.mulB = 0;
    cx.addR = static_cast<int16_t>((rgb >> 16) & 0xFF);
    cx.addG = static_cast<int16_t>((rgb >> 8) & 0xFF);
    cx.addB = static_cast<int16_t>(rgb & 0xFF);
    m.host().setColorTransform(c, cx);
    return Value();
}

Value GetRgb(Machine& m, const Value& self, std::vector<Value>&) {
    const uint32_t c = TargetOf(m, self);
    swf::ColorTransform cx;
    if (c == 0 || !m.host().colorTransform(c, cx)) return Value();
    return Value::Number((cx.addR << 16) | (cx.addG << 8) | cx.addB);
}

struct Field {
    const char* name;
    int16_t swf::ColorTransform::*term;
    bool multiplier;
};
constexpr Field kFields[] = {
    {"ra", &swf::ColorTransform::mulR, true},  {"rb", &swf::ColorTransform::addR, false},
    {"ga", &swf::ColorTransform::mulG, true},  {"gb", &swf::ColorTransform::addG, false},
    {"ba", &swf::ColorTransform::mulB, true},  {"bb", &swf::ColorTransform::addB, false},
    {"aa", &swf::ColorTransform::mulA, true},  {"ab", &swf::ColorTransform::addA, false},
};

// setTransform({ra, rb, ga, gb, ba, bb, aa, ab}): the object's own fields change the terms,
// percentages for the multipliers; what it lacks stays.
Value SetTransform(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = TargetOf(m, self);
    swf::ColorTransform cx;
    if (c == 0 || args.empty() || args[0].type() != Type::kObject || !m.host().colorTransform(c, cx)) return Value();
    Object* from = SelfObject(m, args[0]);
    for (const Field& f : kFields) {
        if (from == nullptr || from->find(f.name) == nullptr) continue;
        const double v = m.toNumber(m.getMember(args[0], f.name));
        cx.*f.term = Term(f.multiplier ? v * 256 / 100 : v);
    }
    m.host().setColorTransform(c, cx);
    return Value();
}

Value GetTransform(Machine& m, const Value& self, std::vector<Value>&) {
    const uint32_t c = TargetOf(m, self);
    swf::ColorTransform cx;
    if (c == 0 || !m.host().colorTransform(c, cx)) return Value();
    const Value result = Value::Object(m.newObject());
    for (const Field& f : kFields) {
        const int16_t term = cx.*f.term;
        m.setMember(result, f.name, Value::Number(f.multiplier ? term * 100.0 / 256 : term));
    }
    return result;
}

constexpr NativeMember kMethods[] = {
    {"setRGB", SetRgb},
    {"getRGB", GetRgb},
    {"setTransform", SetTransform},
    {"getTransform", GetTransform},
};

}  // namespace

void InstallColor(Machine& m, Builtins& b) {
    ObjectHandle proto;
    DefineClass(m, "Color", Construct, proto, kMethods);
}

}  // namespace avm1
