// flash.filters: BlurFilter, DropShadowFilter, GlowFilter, BevelFilter and ColorMatrixFilter
// as plain objects of their fields, and MovieClip.filters, which turns them into the filters
// the renderer draws (and back into new objects when read). Angles are degrees here and
// radians in the renderer's records; alphas 0 to 1 here and bytes there.
#include <cmath>
#include <numbers>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

enum Kind : int { kBlur = 1, kDropShadow, kGlow, kBevel, kColorMatrix };
constexpr const char* kKindField = "__filterKind";

struct Field {
    const char* name;
    double otherwise;
};

// Each class's fields in its constructor's order, with their defaults (type: 1 inner, 2
// outer, 3 full; it reads back as its name).
constexpr Field kBlurFields[] = {{"blurX", 4}, {"blurY", 4}, {"quality", 1}};
constexpr Field kDropShadowFields[] = {{"distance", 4}, {"angle", 45},    {"color", 0},    {"alpha", 1},
                                       {"blurX", 4},    {"blurY", 4},     {"strength", 1}, {"quality", 1},
                                       {"inner", 0},    {"knockout", 0},  {"hideObject", 0}};
constexpr Field kGlowFields[] = {{"color", 0xFF0000}, {"alpha", 1},   {"blurX", 6},   {"blurY", 6},
                                 {"strength", 2},     {"quality", 1}, {"inner", 0},   {"knockout", 0}};
constexpr Field kBevelFields[] = {{"distance", 4},      {"angle", 45},      {"highlightColor", 0xFFFFFF},
                                  {"highlightAlpha", 1}, {"shadowColor", 0}, {"shadowAlpha", 1},
                                  {"blurX", 4},          {"blurY", 4},       {"strength", 1},
                                  {"quality", 1},        {"type", 1},        {"knockout", 0}};

bool IsFlag(std::string_view name) {
    return name == "inner" || name == "knockout" || name == "hideObject";
}

// The arguments are converted each time; an object made once keeps what it was made with.
void Construct(Machine& m, const Value& self, std::span<const Field> fields, const std::vector<Value>& args) {
    std::vector<Value> values;
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        const std::string_view name = f.name;
        Value v;
        if (i < args.size() && !args[i].isUndefined()) {
            v = name == "type" ? Value::String(m.toString(args[i]))
                : IsFlag(name) ? Value::Bool(m.toBoolean(args[i]))
                               : Value::Number(m.toNumber(args[i]));
        } else {
            v = name == "type" ? Value::String("inner") : IsFlag(name) ? Value::Bool(f.otherwise != 0) : Value::Number(f.otherwise);
        }
        values.push_back(std::move(v));
    }
    Object* o = SelfObject(m, self);
    if (o == nullptr || o->constructed) return;
    o->constructed = true;
    for (size_t i = 0; i < fields.size(); ++i) m.setMember(self, fields[i].name, values[i]);
}

Value ConstructBlur(Machine& m, const Value& self, std::vector<Value>& args) {
    Construct(m, self, kBlurFields, args);
    return self;
}
Value ConstructDropShadow(Machine& m, const Value& self, std::vector<Value>& args) {
    Construct(m, self, kDropShadowFields, args);
    return self;
}
Value ConstructGlow(Machine& m, const Value& self, std::vector<Value>& args) {
    Construct(m, self, kGlowFields, args);
    return self;
}
Value ConstructBevel(Machine& m, const Value& self, std::vector<Value>& args) {
    Construct(m, self, kBevelFields, args);
    return self;
}

// ColorMatrixFilter(matrix): twenty numbers, the identity when none are given.
Value ConstructColorMatrix(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value> entries;
    const std::vector<Value>* given = args.empty() ? nullptr : m.elementsOf(args[0]);
    for (size_t i = 0; i < 20; ++i) {
        const double identity = i % 6 == 0 && i < 19 ? 1 : 0;
        entries.push_back(Value::Number(given != nullptr && i < given->size() ? m.toNumber((*given)[i]) : identity));
    }
    m.setMember(self, "matrix", Value::Object(m.newArray(std::move(entries))));
    return self;
}

double Num(Machine& m, const Value& o, const char* name) {
    const double v = m.toNumber(m.getMember(o, name));
    return std::isfinite(v) ? v : 0;
}

swf::Color ColorOf(Machine& m, const Value& o, const char* color, const char* alpha) {
    const uint32_t rgb = static_cast<uint32_t>(ToInt32(Num(m, o, color)));
    const double a = std::clamp(Num(m, o, alpha), 0.0, 1.0);
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb),
            static_cast<uint8_t>(std::lround(a * 255))};
}

swf::FilterEffect EffectOf(Machine& m, const Value& o) {
    swf::FilterEffect e;
    e.blurX = static_cast<float>(std::clamp(Num(m, o, "blurX"), 0.0, 255.0));
    e.blurY = static_cast<float>(std::clamp(Num(m, o, "blurY"), 0.0, 255.0));
    e.angle = static_cast<float>(Num(m, o, "angle") * std::numbers::pi / 180);
    e.distance = static_cast<float>(Num(m, o, "distance"));
    e.strength = static_cast<float>(std::clamp(Num(m, o, "strength"), 0.0, 255.0));
    e.inner = m.toBoolean(m.getMember(o, "inner"));
    e.knockout = m.toBoolean(m.getMember(o, "knockout"));
    e.compositeSource = !m.toBoolean(m.getMember(o, "hideObject"));
    e.passes = static_cast<uint8_t>(std::clamp(Num(m, o, "quality"), 0.0, 15.0));
    return e;
}

// The renderer's filter for a filter object; false for anything else.
bool FilterOf(Machine& m, const Value& o, swf::Filter& out) {
    if (o.type() != Type::kObject) return false;
    // The kind as its prototype marks it: anything but a small whole number is none.
    const double kind = m.toNumber(m.getMember(o, kKindField));
    if (!(kind >= 0 && kind <= 64)) return false;
    switch (static_cast<int>(kind)) {
        case kBlur: {
            swf::BlurFilter f;
            const swf::FilterEffect e = EffectOf(m, o);
            f.blurX = e.blurX;
            f.blurY = e.blurY;
            f.passes = e.passes;
            out = f;
            return true;
        }
        case kDropShadow: out = swf::DropShadowFilter{ColorOf(m, o, "color", "alpha"), EffectOf(m, o)}; return true;
        case kGlow: {
            swf::GlowFilter f{ColorOf(m, o, "color", "alpha"), EffectOf(m, o)};
            f.effect.angle = 0;
            f.effect.distance = 0;
            out = f;
            return true;
        }
        case kBevel: {
            swf::BevelFilter f{ColorOf(m, o, "highlightColor", "highlightAlpha"), ColorOf(m, o, "shadowColor", "shadowAlpha"),
                               EffectOf(m, o)};
            const std::string type = m.toString(m.getMember(o, "type"));
            f.effect.inner = type == "inner";
            f.effect.onTop = type == "full";
            out = f;
            return true;
        }
        case kColorMatrix: {
            swf::ColorMatrixFilter f;
            const std::vector<Value>* entries = m.elementsOf(m.getMember(o, "matrix"));
            for (size_t i = 0; i < 20; ++i) {
                const double v = entries != nullptr && i < entries->size() ? m.toNumber((*entries)[i]) : 0;
                f.matrix[i] = static_cast<float>(std::isfinite(v) ? v : 0);
            }
            out = f;
            return true;
        }
        default: return false;
    }
}

Value Make(Machine& m, const char* cls, std::vector<Value> args) {
    const Value filters = m.getMember(Value::Object(m.builtins().flashPackage), "filters");
    return m.construct(m.getMember(filters, cls), std::move(args));
}

Value Number(double v) { return Value::Number(v); }
Value Rgb(const swf::Color& c) { return Value::Number((c.r << 16) | (c.g << 8) | c.b); }
Value Alpha(const swf::Color& c) { return Value::Number(c.a / 255.0); }
// The renderer keeps radians as floats: degrees come back to the float's precision, not past it.
double Degrees(float radians) { return std::round(radians * 180 / std::numbers::pi * 1e4) / 1e4; }

// A new filter object for one of the renderer's filters; undefined for kinds scripts cannot make.
Value ObjectOf(Machine& m, const swf::Filter& f) {
    if (const auto* b = std::get_if<swf::BlurFilter>(&f)) return Make(m, "BlurFilter", {Number(b->blurX), Number(b->blurY), Number(b->passes)});
    if (const auto* d = std::get_if<swf::DropShadowFilter>(&f)) {
        const swf::FilterEffect& e = d->effect;
        return Make(m, "DropShadowFilter",
                    {Number(e.distance), Number(Degrees(e.angle)), Rgb(d->color), Alpha(d->color), Number(e.blurX), Number(e.blurY),
                     Number(e.strength), Number(e.passes), Value::Bool(e.inner), Value::Bool(e.knockout),
                     Value::Bool(!e.compositeSource)});
    }
    if (const auto* g = std::get_if<swf::GlowFilter>(&f)) {
        const swf::FilterEffect& e = g->effect;
        return Make(m, "GlowFilter", {Rgb(g->color), Alpha(g->color), Number(e.blurX), Number(e.blurY), Number(e.strength),
                                      Number(e.passes), Value::Bool(e.inner), Value::Bool(e.knockout)});
    }
    if (const auto* v = std::get_if<swf::BevelFilter>(&f)) {
        const swf::FilterEffect& e = v->effect;
        return Make(m, "BevelFilter",
                    {Number(e.distance), Number(Degrees(e.angle)), Rgb(v->highlight), Alpha(v->highlight), Rgb(v->shadow),
                     Alpha(v->shadow), Number(e.blurX), Number(e.blurY), Number(e.strength), Number(e.passes),
                     Value::String(e.onTop ? "full" : e.inner ? "inner" : "outer"), Value::Bool(e.knockout)});
    }
    if (const auto* c = std::get_if<swf::ColorMatrixFilter>(&f)) {
        std::vector<Value> entries;
        for (float v : c->matrix) entries.push_back(Number(v));
        return Make(m, "ColorMatrixFilter", {Value::Object(m.newArray(std::move(entries)))});
    }
    return Value();
}

Value Clone(Machine& m, const Value& self, std::vector<Value>&) {
    swf::Filter f;
    return FilterOf(m, self, f) ? ObjectOf(m, f) : Value();
}

constexpr NativeMember kFilterMethods[] = {{"clone", Clone}};

Value ConstructBase(Machine&, const Value& self, std::vector<Value>&) { return self; }

// MovieClip.filters: a new array of new filter objects at each read; a write takes the
// array's filter objects and skips anything else.
Value GetFilters(Machine& m, const Value& self, std::vector<Value>&) {
    std::vector<Value> out;
    if (const uint32_t c = ClipOf(m, self)) {
        for (const swf::Filter& f : m.host().filtersOf(c)) {
            Value o = ObjectOf(m, f);
            if (!o.isUndefined()) out.push_back(std::move(o));
        }
    }
    return Value::Object(m.newArray(std::move(out)));
}

Value SetFilters(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0) return Value();
    std::vector<swf::Filter> filters;
    if (const std::vector<Value>* given = args.empty() ? nullptr : m.elementsOf(args[0])) {
        const std::vector<Value> copy = *given;  // reading fields may run scripts
        for (const Value& v : copy) {
            swf::Filter f;
            if (FilterOf(m, v, f)) filters.push_back(std::move(f));
        }
    }
    m.host().setFilters(c, std::move(filters));
    return Value();
}

}  // namespace

void InstallFilters(Machine& m, Builtins& b) {
    Heap& heap = m.heap();
    const ObjectHandle package = MakePackage(m, b, "filters");
    ObjectHandle base;
    DefineClass(m, "BitmapFilter", ConstructBase, base, kFilterMethods, {}, package);
    const struct {
        const char* name;
        NativeFunction constructor;
        Kind kind;
    } classes[] = {{"BlurFilter", ConstructBlur, kBlur},
                   {"DropShadowFilter", ConstructDropShadow, kDropShadow},
                   {"GlowFilter", ConstructGlow, kGlow},
                   {"BevelFilter", ConstructBevel, kBevel},
                   {"ColorMatrixFilter", ConstructColorMatrix, kColorMatrix}};
    for (const auto& c : classes) {
        ObjectHandle proto = heap.make(base);
        DefineClass(m, c.name, c.constructor, proto, {}, {}, package);
        heap.get(proto)->set(kKindField, Value::Number(c.kind), attribute::kDontEnum);
    }
    Object* clip = heap.get(b.movieClip);
    clip->setAccessor("filters", Value::Object(m.newNative(GetFilters)), Value::Object(m.newNative(SetFilters)));
    clip->setAttributes("filters", attribute::kDontEnum | attribute::kDontDelete);
}

}  // namespace avm1
