// flash.geom: Point, Rectangle, Matrix, ColorTransform and Transform. The first four are
// plain objects whose fields scripts read and write directly (so a field may hold anything,
// and the methods work on whatever it holds, as the reference players' do); Transform reads
// and writes a clip's matrix and colour transform through the host.
#include <cmath>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

double Num(Machine& m, const Value& o, std::string_view name) { return m.toNumber(m.getMember(o, name)); }
void Put(Machine& m, const Value& o, std::string_view name, double v) { m.setMember(o, name, Value::Number(v)); }
void Put(Machine& m, const Value& o, std::string_view name, const Value& v) { m.setMember(o, name, v); }

Value Make(Machine& m, ObjectHandle proto) { return Value::Object(m.newObject(proto)); }

// "(x=1, y=2)" and the like: each field as the script would print it.
Value Describe(Machine& m, const Value& self, std::initializer_list<std::pair<const char*, const char*>> fields) {
    std::string out = "(";
    bool first = true;
    for (const auto& [label, name] : fields) {
        if (!first) out += ", ";
        first = false;
        out += label;
        out += '=';
        out += m.toString(m.getMember(self, name));
    }
    return Value::String(out + ")");
}

// --- Point ---

Value NewPoint(Machine& m, const Value& x, const Value& y) {
    const Value p = Make(m, m.builtins().point);
    Put(m, p, "x", x);
    Put(m, p, "y", y);
    return p;
}
Value NewPoint(Machine& m, double x, double y) { return NewPoint(m, Value::Number(x), Value::Number(y)); }

Value ConstructPoint(Machine& m, const Value& self, std::vector<Value>& args) {
    if (args.empty()) {
        Put(m, self, "x", 0);
        Put(m, self, "y", 0);
    } else {
        Put(m, self, "x", args[0]);
        Put(m, self, "y", Argument(args, 1));
    }
    return self;
}

Value PointToString(Machine& m, const Value& self, std::vector<Value>&) { return Describe(m, self, {{"x", "x"}, {"y", "y"}}); }

template <int Sign>
Value PointAdd(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value other = Argument(args, 0);
    return NewPoint(m, Num(m, self, "x") + Sign * Num(m, other, "x"), Num(m, self, "y") + Sign * Num(m, other, "y"));
}

Value PointLength(Machine& m, const Value& self, std::vector<Value>&) {
    return Value::Number(std::hypot(Num(m, self, "x"), Num(m, self, "y")));
}

Value PointEquals(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value other = Argument(args, 0);
    if (other.type() != Type::kObject || !m.instanceOf(other, m.getMember(Value::Object(m.builtins().point), "constructor"))) {
        return Value::Bool(false);
    }
    return Value::Bool(Num(m, self, "x") == Num(m, other, "x") && Num(m, self, "y") == Num(m, other, "y"));
}

Value PointClone(Machine& m, const Value& self, std::vector<Value>&) {
    return NewPoint(m, m.getMember(self, "x"), m.getMember(self, "y"));
}

// normalize(length): only a point whose coordinates are both numbers changes.
Value PointNormalize(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value vx = m.getMember(self, "x"), vy = m.getMember(self, "y");
    if (vx.type() != Type::kNumber || vy.type() != Type::kNumber) return Value();
    const double length = std::hypot(vx.number(), vy.number());
    if (!(length > 0)) return Value();
    const double scale = m.toNumber(Argument(args, 0)) / length;
    Put(m, self, "x", vx.number() * scale);
    Put(m, self, "y", vy.number() * scale);
    return Value();
}

Value PointOffset(Machine& m, const Value& self, std::vector<Value>& args) {
    Put(m, self, "x", Num(m, self, "x") + m.toNumber(Argument(args, 0)));
    Put(m, self, "y", Num(m, self, "y") + m.toNumber(Argument(args, 1)));
    return Value();
}

// Point.distance(a, b): a.subtract(b).length, so that what is no point gives undefined.
Value PointDistance(Machine& m, const Value&, std::vector<Value>& args) {
    const Value a = Argument(args, 0);
    if (a.type() != Type::kObject) return Value();
    const Value difference = m.callMethod(a, "subtract", {Argument(args, 1)});
    return m.getMember(difference, "length");
}

Value PointInterpolate(Machine& m, const Value&, std::vector<Value>& args) {
    const Value a = Argument(args, 0), b = Argument(args, 1);
    const double f = m.toNumber(Argument(args, 2));
    const double bx = Num(m, b, "x"), by = Num(m, b, "y");
    return NewPoint(m, bx + f * (Num(m, a, "x") - bx), by + f * (Num(m, a, "y") - by));
}

Value PointPolar(Machine& m, const Value&, std::vector<Value>& args) {
    const double length = m.toNumber(Argument(args, 0)), angle = m.toNumber(Argument(args, 1));
    return NewPoint(m, length * std::cos(angle), length * std::sin(angle));
}

constexpr NativeMember kPointMethods[] = {
    {"toString", PointToString}, {"add", PointAdd<1>},     {"subtract", PointAdd<-1>}, {"equals", PointEquals},
    {"clone", PointClone},       {"normalize", PointNormalize}, {"offset", PointOffset},
};
constexpr NativeMember kPointStatics[] = {
    {"distance", PointDistance}, {"interpolate", PointInterpolate}, {"polar", PointPolar}};

// --- Rectangle ---

Value NewRectangle(Machine& m, double x, double y, double w, double h) {
    const Value r = Make(m, m.builtins().rectangle);
    Put(m, r, "x", x);
    Put(m, r, "y", y);
    Put(m, r, "width", w);
    Put(m, r, "height", h);
    return r;
}

Value ConstructRectangle(Machine& m, const Value& self, std::vector<Value>& args) {
    static const char* const kFields[] = {"x", "y", "width", "height"};
    for (size_t i = 0; i < 4; ++i) Put(m, self, kFields[i], args.empty() ? Value::Number(0) : Argument(args, i));
    return self;
}

Value RectangleToString(Machine& m, const Value& self, std::vector<Value>&) {
    return Describe(m, self, {{"x", "x"}, {"y", "y"}, {"w", "width"}, {"h", "height"}});
}

struct Box {
    double x, y, w, h;
};
Box BoxOf(Machine& m, const Value& r) { return {Num(m, r, "x"), Num(m, r, "y"), Num(m, r, "width"), Num(m, r, "height")}; }

Value RectangleClone(Machine& m, const Value& self, std::vector<Value>&) {
    const Value r = Make(m, m.builtins().rectangle);
    for (const char* f : {"x", "y", "width", "height"}) Put(m, r, f, m.getMember(self, f));
    return r;
}

Value RectangleIsEmpty(Machine& m, const Value& self, std::vector<Value>&) {
    const Box b = BoxOf(m, self);
    return Value::Bool(!(b.w > 0) || !(b.h > 0));
}

Value RectangleSetEmpty(Machine& m, const Value& self, std::vector<Value>&) {
    for (const char* f : {"x", "y", "width", "height"}) Put(m, self, f, 0);
    return Value();
}

bool Contains(const Box& b, double x, double y) { return x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h; }

Value RectangleContains(Machine& m, const Value& self, std::vector<Value>& args) {
    return Value::Bool(Contains(BoxOf(m, self), m.toNumber(Argument(args, 0)), m.toNumber(Argument(args, 1))));
}

Value RectangleContainsPoint(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value p = Argument(args, 0);
    return Value::Bool(Contains(BoxOf(m, self), Num(m, p, "x"), Num(m, p, "y")));
}

Value RectangleContainsRectangle(Machine& m, const Value& self, std::vector<Value>& args) {
    const Box a = BoxOf(m, self), b = BoxOf(m, Argument(args, 0));
    return Value::Bool(b.x >= a.x && b.y >= a.y && b.x + b.w <= a.x + a.w && b.y + b.h <= a.y + a.h);
}

Value RectangleIntersects(Machine& m, const Value& self, std::vector<Value>& args) {
    const Box a = BoxOf(m, self), b = BoxOf(m, Argument(args, 0));
    return Value::Bool(std::max(a.x, b.x) < std::min(a.x + a.w, b.x + b.w) &&
                       std::max(a.y, b.y) < std::min(a.y + a.h, b.y + b.h));
}

Value RectangleIntersection(Machine& m, const Value& self, std::vector<Value>& args) {
    const Box a = BoxOf(m, self), b = BoxOf(m, Argument(args, 0));
    const double x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const double x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    if (!(x1 > x0) || !(y1 > y0)) return NewRectangle(m, 0, 0, 0, 0);
    return NewRectangle(m, x0, y0, x1 - x0, y1 - y0);
}

Value RectangleUnion(Machine& m, const Value& self, std::vector<Value>& args) {
    const Box a = BoxOf(m, self), b = BoxOf(m, Argument(args, 0));
    if (!(a.w > 0) || !(a.h > 0)) return NewRectangle(m, b.x, b.y, b.w, b.h);
    if (!(b.w > 0) || !(b.h > 0)) return NewRectangle(m, a.x, a.y, a.w, a.h);
    const double x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    return NewRectangle(m, x0, y0, std::max(a.x + a.w, b.x + b.w) - x0, std::max(a.y + a.h, b.y + b.h) - y0);
}

void Grow(Machine& m, const Value& self, double dx, double dy) {
    const Box b = BoxOf(m, self);
    Put(m, self, "x", b.x - dx);
    Put(m, self, "y", b.y - dy);
    Put(m, self, "width", b.w + 2 * dx);
    Put(m, self, "height", b.h + 2 * dy);
}

Value RectangleInflate(Machine& m, const Value& self, std::vector<Value>& args) {
    Grow(m, self, m.toNumber(Argument(args, 0)), m.toNumber(Argument(args, 1)));
    return Value();
}

Value RectangleInflatePoint(Machine& m, const Value& self, std::vector<Value>& args) {
    Grow(m, self, Num(m, Argument(args, 0), "x"), Num(m, Argument(args, 0), "y"));
    return Value();
}

Value RectangleOffset(Machine& m, const Value& self, std::vector<Value>& args) {
    Put(m, self, "x", Num(m, self, "x") + m.toNumber(Argument(args, 0)));
    Put(m, self, "y", Num(m, self, "y") + m.toNumber(Argument(args, 1)));
    return Value();
}

Value RectangleOffsetPoint(Machine& m, const Value& self, std::vector<Value>& args) {
    Put(m, self, "x", Num(m, self, "x") + Num(m, Argument(args, 0), "x"));
    Put(m, self, "y", Num(m, self, "y") + Num(m, Argument(args, 0), "y"));
    return Value();
}

Value RectangleEquals(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value other = Argument(args, 0);
    if (other.type() != Type::kObject) return Value::Bool(false);
    const Box a = BoxOf(m, self), b = BoxOf(m, other);
    return Value::Bool(a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h);
}

// The derived edges: reading adds, writing moves one edge and keeps the opposite one.
Value GetLeft(Machine& m, const Value& self, std::vector<Value>&) { return m.getMember(self, "x"); }
Value GetTop(Machine& m, const Value& self, std::vector<Value>&) { return m.getMember(self, "y"); }
Value GetRight(Machine& m, const Value& self, std::vector<Value>&) {
    return Value::Number(Num(m, self, "x") + Num(m, self, "width"));
}
Value GetBottom(Machine& m, const Value& self, std::vector<Value>&) {
    return Value::Number(Num(m, self, "y") + Num(m, self, "height"));
}
Value SetLeft(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value v = Argument(args, 0);
    Put(m, self, "width", Num(m, self, "x") + Num(m, self, "width") - m.toNumber(v));
    Put(m, self, "x", v);
    return Value();
}
Value SetTop(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value v = Argument(args, 0);
    Put(m, self, "height", Num(m, self, "y") + Num(m, self, "height") - m.toNumber(v));
    Put(m, self, "y", v);
    return Value();
}
Value SetRight(Machine& m, const Value& self, std::vector<Value>& args) {
    Put(m, self, "width", m.toNumber(Argument(args, 0)) - Num(m, self, "x"));
    return Value();
}
Value SetBottom(Machine& m, const Value& self, std::vector<Value>& args) {
    Put(m, self, "height", m.toNumber(Argument(args, 0)) - Num(m, self, "y"));
    return Value();
}
Value GetTopLeft(Machine& m, const Value& self, std::vector<Value>&) {
    return NewPoint(m, m.getMember(self, "x"), m.getMember(self, "y"));
}
Value SetTopLeft(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value p = Argument(args, 0);
    std::vector<Value> x{m.getMember(p, "x")}, y{m.getMember(p, "y")};
    SetLeft(m, self, x);
    SetTop(m, self, y);
    return Value();
}
Value GetBottomRight(Machine& m, const Value& self, std::vector<Value>& none) {
    return NewPoint(m, GetRight(m, self, none), GetBottom(m, self, none));
}
Value SetBottomRight(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value p = Argument(args, 0);
    std::vector<Value> x{m.getMember(p, "x")}, y{m.getMember(p, "y")};
    SetRight(m, self, x);
    SetBottom(m, self, y);
    return Value();
}
Value GetSize(Machine& m, const Value& self, std::vector<Value>&) {
    return NewPoint(m, m.getMember(self, "width"), m.getMember(self, "height"));
}
Value SetSize(Machine& m, const Value& self, std::vector<Value>& args) {
    Put(m, self, "width", m.getMember(Argument(args, 0), "x"));
    Put(m, self, "height", m.getMember(Argument(args, 0), "y"));
    return Value();
}

constexpr NativeMember kRectangleMethods[] = {
    {"toString", RectangleToString},
    {"clone", RectangleClone},
    {"isEmpty", RectangleIsEmpty},
    {"setEmpty", RectangleSetEmpty},
    {"contains", RectangleContains},
    {"containsPoint", RectangleContainsPoint},
    {"containsRectangle", RectangleContainsRectangle},
    {"intersects", RectangleIntersects},
    {"intersection", RectangleIntersection},
    {"union", RectangleUnion},
    {"inflate", RectangleInflate},
    {"inflatePoint", RectangleInflatePoint},
    {"offset", RectangleOffset},
    {"offsetPoint", RectangleOffsetPoint},
    {"equals", RectangleEquals},
};

struct NativeAccessor {
    const char* name;
    NativeFunction get, set;
};
constexpr NativeAccessor kRectangleAccessors[] = {
    {"left", GetLeft, SetLeft},          {"top", GetTop, SetTop},
    {"right", GetRight, SetRight},       {"bottom", GetBottom, SetBottom},
    {"topLeft", GetTopLeft, SetTopLeft}, {"bottomRight", GetBottomRight, SetBottomRight},
    {"size", GetSize, SetSize},
};

void DefineAccessors(Machine& m, ObjectHandle proto, std::span<const NativeAccessor> accessors) {
    Object* o = m.heap().get(proto);
    for (const NativeAccessor& a : accessors) {
        o->setAccessor(a.name, Value::Object(m.newNative(a.get)), a.set ? Value::Object(m.newNative(a.set)) : Value());
        o->setAttributes(a.name, attribute::kDontEnum | attribute::kDontDelete);
    }
}

// --- Matrix ---

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

Affine AffineOf(Machine& m, const Value& o) {
    return {Num(m, o, "a"), Num(m, o, "b"), Num(m, o, "c"), Num(m, o, "d"), Num(m, o, "tx"), Num(m, o, "ty")};
}

void Store(Machine& m, const Value& o, const Affine& t) {
    Put(m, o, "a", t.a);
    Put(m, o, "b", t.b);
    Put(m, o, "c", t.c);
    Put(m, o, "d", t.d);
    Put(m, o, "tx", t.tx);
    Put(m, o, "ty", t.ty);
}

Value NewMatrix(Machine& m, const Affine& t) {
    const Value o = Make(m, m.builtins().matrix);
    Store(m, o, t);
    return o;
}

// `first` then `second`.
Affine Then(const Affine& first, const Affine& second) {
    return {first.a * second.a + first.b * second.c,   first.a * second.b + first.b * second.d,
            first.c * second.a + first.d * second.c,   first.c * second.b + first.d * second.d,
            first.tx * second.a + first.ty * second.c + second.tx, first.tx * second.b + first.ty * second.d + second.ty};
}

Value ConstructMatrix(Machine& m, const Value& self, std::vector<Value>& args) {
    if (args.empty()) {
        Store(m, self, Affine());
        return self;
    }
    static const char* const kFields[] = {"a", "b", "c", "d", "tx", "ty"};
    for (size_t i = 0; i < 6; ++i) Put(m, self, kFields[i], Argument(args, i));
    return self;
}

Value MatrixToString(Machine& m, const Value& self, std::vector<Value>&) {
    return Describe(m, self, {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d", "d"}, {"tx", "tx"}, {"ty", "ty"}});
}

Value MatrixClone(Machine& m, const Value& self, std::vector<Value>&) {
    const Value o = Make(m, m.builtins().matrix);
    for (const char* f : {"a", "b", "c", "d", "tx", "ty"}) Put(m, o, f, m.getMember(self, f));
    return o;
}

Value MatrixIdentity(Machine& m, const Value& self, std::vector<Value>&) {
    Store(m, self, Affine());
    return Value();
}

Value MatrixConcat(Machine& m, const Value& self, std::vector<Value>& args) {
    Store(m, self, Then(AffineOf(m, self), AffineOf(m, Argument(args, 0))));
    return Value();
}

Value MatrixScale(Machine& m, const Value& self, std::vector<Value>& args) {
    const double sx = m.toNumber(Argument(args, 0)), sy = m.toNumber(Argument(args, 1));
    Store(m, self, Then(AffineOf(m, self), {sx, 0, 0, sy, 0, 0}));
    return Value();
}

Value MatrixRotate(Machine& m, const Value& self, std::vector<Value>& args) {
    const double q = m.toNumber(Argument(args, 0));
    Store(m, self, Then(AffineOf(m, self), {std::cos(q), std::sin(q), -std::sin(q), std::cos(q), 0, 0}));
    return Value();
}

Value MatrixTranslate(Machine& m, const Value& self, std::vector<Value>& args) {
    Put(m, self, "tx", Num(m, self, "tx") + m.toNumber(Argument(args, 0)));
    Put(m, self, "ty", Num(m, self, "ty") + m.toNumber(Argument(args, 1)));
    return Value();
}

Value MatrixInvert(Machine& m, const Value& self, std::vector<Value>&) {
    const Affine t = AffineOf(m, self);
    const double det = t.a * t.d - t.b * t.c;
    if (det == 0) {
        Store(m, self, Affine());
        return Value();
    }
    Store(m, self, {t.d / det, -t.b / det, -t.c / det, t.a / det, (t.c * t.ty - t.d * t.tx) / det,
                    (t.b * t.tx - t.a * t.ty) / det});
    return Value();
}

// createBox(scaleX, scaleY, rotation, tx, ty) and createGradientBox(width, height, rotation,
// tx, ty), the gradient's square being 1638.4 pixels wide and centred in the box.
template <bool Gradient>
Value MatrixCreateBox(Machine& m, const Value& self, std::vector<Value>& args) {
    double sx = m.toNumber(Argument(args, 0)), sy = m.toNumber(Argument(args, 1));
    const double q = Gradient && args.size() < 3 ? 0 : m.toNumber(Argument(args, 2));
    double tx = args.size() > 3 ? m.toNumber(args[3]) : 0, ty = args.size() > 4 ? m.toNumber(args[4]) : 0;
    if (Gradient) {
        tx += sx / 2;
        ty += sy / 2;
        sx /= 1638.4;
        sy /= 1638.4;
    }
    Store(m, self, {sx * std::cos(q), sx * std::sin(q), -sy * std::sin(q), sy * std::cos(q), tx, ty});
    return Value();
}

template <bool Delta>
Value MatrixTransformPoint(Machine& m, const Value& self, std::vector<Value>& args) {
    const Affine t = AffineOf(m, self);
    const Value p = Argument(args, 0);
    const double x = Num(m, p, "x"), y = Num(m, p, "y");
    return NewPoint(m, t.a * x + t.c * y + (Delta ? 0 : t.tx), t.b * x + t.d * y + (Delta ? 0 : t.ty));
}

constexpr NativeMember kMatrixMethods[] = {
    {"toString", MatrixToString},
    {"clone", MatrixClone},
    {"identity", MatrixIdentity},
    {"concat", MatrixConcat},
    {"scale", MatrixScale},
    {"rotate", MatrixRotate},
    {"translate", MatrixTranslate},
    {"invert", MatrixInvert},
    {"createBox", MatrixCreateBox<false>},
    {"createGradientBox", MatrixCreateBox<true>},
    {"transformPoint", MatrixTransformPoint<false>},
    {"deltaTransformPoint", MatrixTransformPoint<true>},
};

// --- ColorTransform ---

constexpr const char* kColorFields[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                        "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};

Value ConstructColorTransform(Machine& m, const Value& self, std::vector<Value>& args) {
    for (size_t i = 0; i < 8; ++i) {
        const double otherwise = i < 4 ? 1 : 0;
        Put(m, self, kColorFields[i], i < args.size() ? m.toNumber(args[i]) : otherwise);
    }
    return self;
}

Value ColorTransformToString(Machine& m, const Value& self, std::vector<Value>&) {
    std::string out = "(";
    for (size_t i = 0; i < 8; ++i) {
        out += std::string(i ? ", " : "") + kColorFields[i] + "=" + m.toString(m.getMember(self, kColorFields[i]));
    }
    return Value::String(out + ")");
}

Value GetRgb(Machine& m, const Value& self, std::vector<Value>&) {
    const auto term = [&](const char* f) { return ToInt32(Num(m, self, f)) & 0xFF; };
    return Value::Number((term("redOffset") << 16) | (term("greenOffset") << 8) | term("blueOffset"));
}

Value SetRgb(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t rgb = static_cast<uint32_t>(ToInt32(m.toNumber(Argument(args, 0))));
    Put(m, self, "redMultiplier", 0);
    Put(m, self, "greenMultiplier", 0);
    Put(m, self, "blueMultiplier", 0);
    Put(m, self, "redOffset", (rgb >> 16) & 0xFF);
    Put(m, self, "greenOffset", (rgb >> 8) & 0xFF);
    Put(m, self, "blueOffset", rgb & 0xFF);
    return Value();
}

// concat(second): `second` applies first, then this one.
Value ColorTransformConcat(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value second = Argument(args, 0);
    if (second.type() != Type::kObject) return Value();
    for (size_t i = 0; i < 4; ++i) {
        const double mul = Num(m, self, kColorFields[i]);
        Put(m, self, kColorFields[i + 4], Num(m, second, kColorFields[i + 4]) * mul + Num(m, self, kColorFields[i + 4]));
        Put(m, self, kColorFields[i], mul * Num(m, second, kColorFields[i]));
    }
    return Value();
}

constexpr NativeMember kColorTransformMethods[] = {
    {"toString", ColorTransformToString},
    {"concat", ColorTransformConcat},
};
constexpr NativeAccessor kColorTransformAccessors[] = {{"rgb", GetRgb, SetRgb}};

Value NewColorTransform(Machine& m, const swf::ColorTransform& cx) {
    const Value o = Make(m, m.builtins().colorTransform);
    const int16_t terms[] = {cx.mulR, cx.mulG, cx.mulB, cx.mulA, cx.addR, cx.addG, cx.addB, cx.addA};
    for (size_t i = 0; i < 8; ++i) Put(m, o, kColorFields[i], i < 4 ? terms[i] / 256.0 : terms[i]);
    return o;
}

int16_t Term(double v) { return static_cast<int16_t>(std::isfinite(v) ? std::clamp(v, -32768.0, 32767.0) : 0); }

swf::ColorTransform ColorTransformOf(Machine& m, const Value& o) {
    swf::ColorTransform cx;
    int16_t* terms[] = {&cx.mulR, &cx.mulG, &cx.mulB, &cx.mulA, &cx.addR, &cx.addG, &cx.addB, &cx.addA};
    for (size_t i = 0; i < 8; ++i) *terms[i] = Term(Num(m, o, kColorFields[i]) * (i < 4 ? 256 : 1));
    return cx;
}

// --- Transform ---

// The clip a Transform belongs to, kept in a hidden field.
constexpr const char* kClipField = "__transformClip";

uint32_t TransformClip(Machine& m, const Value& self) {
    const Value c = m.getMember(self, kClipField);
    return ClipOf(m, c);
}

// new Transform(clip); without a clip there is no Transform: `new` gives undefined.
Value ConstructTransform(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value clip = Argument(args, 0);
    if (clip.type() != Type::kClip) {
        m.failConstruction();
        return Value();
    }
    if (self.type() != Type::kObject) return Value();
    if (Object* o = SelfObject(m, self)) o->set(kClipField, clip, attribute::kDontEnum);
    return self;
}

template <bool Concatenated>
Value GetMatrix(Machine& m, const Value& self, std::vector<Value>&) {
    double t[6];
    const uint32_t c = TransformClip(m, self);
    if (c == 0 || !m.host().matrixOf(c, Concatenated, t)) return Value();
    return NewMatrix(m, {t[0], t[1], t[2], t[3], t[4], t[5]});
}

Value SetMatrix(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = TransformClip(m, self);
    const Value v = Argument(args, 0);
    if (c == 0 || v.type() != Type::kObject ||
        !m.instanceOf(v, m.getMember(Value::Object(m.builtins().matrix), "constructor"))) {
        return Value();
    }
    const Affine a = AffineOf(m, v);
    const double t[6] = {a.a, a.b, a.c, a.d, a.tx, a.ty};
    m.host().setMatrix(c, t);
    return Value();
}

template <bool Concatenated>
Value GetColorTransform(Machine& m, const Value& self, std::vector<Value>&) {
    swf::ColorTransform cx;
    const uint32_t c = TransformClip(m, self);
    if (c == 0) return Value();
    if (Concatenated ? !m.host().concatenatedColorTransform(c, cx) : !m.host().colorTransform(c, cx)) return Value();
    return NewColorTransform(m, cx);
}

Value SetColorTransform(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = TransformClip(m, self);
    const Value v = Argument(args, 0);
    if (c == 0 || v.type() != Type::kObject ||
        !m.instanceOf(v, m.getMember(Value::Object(m.builtins().colorTransform), "constructor"))) {
        return Value();
    }
    m.host().setColorTransform(c, ColorTransformOf(m, v));
    return Value();
}

Value GetPixelBounds(Machine& m, const Value& self, std::vector<Value>&) {
    const uint32_t c = TransformClip(m, self);
    double box[4];
    if (c == 0) return Value();
    if (!m.host().boundsIn(c, 0, true, box)) return NewRectangle(m, 0, 0, 0, 0);
    return NewRectangle(m, std::round(box[0]), std::round(box[2]), std::round(box[1] - box[0]), std::round(box[3] - box[2]));
}

constexpr NativeAccessor kTransformAccessors[] = {
    {"matrix", GetMatrix<false>, SetMatrix},
    {"concatenatedMatrix", GetMatrix<true>, nullptr},
    {"colorTransform", GetColorTransform<false>, SetColorTransform},
    {"concatenatedColorTransform", GetColorTransform<true>, nullptr},
    {"pixelBounds", GetPixelBounds, nullptr},
};

// MovieClip.transform: a new Transform of the clip at each read; a write copies another
// Transform's matrix and colour transform onto the clip.
Value ClipTransform(Machine& m, const Value& self, std::vector<Value>&) {
    if (ClipOf(m, self) == 0) return Value();
    const Value t = Make(m, m.builtins().transform);
    if (Object* o = SelfObject(m, t)) o->set(kClipField, self, attribute::kDontEnum);
    return t;
}

Value SetClipTransform(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value from = Argument(args, 0);
    if (ClipOf(m, self) == 0) return Value();
    const uint32_t source = from.type() == Type::kObject ? TransformClip(m, from) : 0;
    if (source == 0) return Value();
    double t[6];
    swf::ColorTransform cx;
    if (m.host().matrixOf(source, false, t)) m.host().setMatrix(self.clip(), t);
    if (m.host().colorTransform(source, cx)) m.host().setColorTransform(self.clip(), cx);
    return Value();
}

// MovieClip.scrollRect: a new Rectangle at each read, undefined when none; anything but an
// object removes it.
Value ClipScrollRect(Machine& m, const Value& self, std::vector<Value>&) {
    double r[4];
    if (ClipOf(m, self) == 0 || !m.host().scrollRect(self.clip(), r)) return Value();
    return NewRectangle(m, r[0], r[1], r[2], r[3]);
}

Value SetClipScrollRect(Machine& m, const Value& self, std::vector<Value>& args) {
    if (ClipOf(m, self) == 0) return Value();
    const Value v = Argument(args, 0);
    if (v.type() != Type::kObject) {
        m.host().setScrollRect(self.clip(), nullptr);
        return Value();
    }
    const Box b = BoxOf(m, v);
    const double r[4] = {b.x, b.y, b.w, b.h};
    m.host().setScrollRect(self.clip(), r);
    return Value();
}

template <const char* Name>
Value GetDisplay(Machine& m, const Value& self, std::vector<Value>&) {
    Value out;
    const uint32_t c = ClipOf(m, self);
    return c != 0 && m.host().getDisplayProperty(c, Name, out) ? out : Value();
}

template <const char* Name>
Value SetDisplay(Machine& m, const Value& self, std::vector<Value>& args) {
    if (const uint32_t c = ClipOf(m, self)) m.host().setDisplayProperty(c, Name, Argument(args, 0));
    return Value();
}

constexpr char kBlendMode[] = "blendMode";
constexpr char kCacheAsBitmap[] = "cacheAsBitmap";

constexpr NativeAccessor kClipAccessors[] = {{"transform", ClipTransform, SetClipTransform},
                                             {"blendMode", GetDisplay<kBlendMode>, SetDisplay<kBlendMode>},
                                             {"cacheAsBitmap", GetDisplay<kCacheAsBitmap>, SetDisplay<kCacheAsBitmap>},
                                             {"scrollRect", ClipScrollRect, SetClipScrollRect}};

}  // namespace

swf::ColorTransform ColorTransformFields(Machine& m, const Value& o) { return ColorTransformOf(m, o); }

void InstallGeom(Machine& m, Builtins& b) {
    Heap& heap = m.heap();
    b.flashPackage = heap.make(b.object);
    heap.get(b.global)->set("flash", Value::Object(b.flashPackage), attribute::kDontEnum);
    const ObjectHandle geom = heap.make(b.object);
    heap.get(b.flashPackage)->set("geom", Value::Object(geom));
    DefineClass(m, "Point", ConstructPoint, b.point, kPointMethods, kPointStatics, geom);
    DefineAccessors(m, b.point, std::initializer_list<NativeAccessor>{{"length", PointLength, nullptr}});
    DefineClass(m, "Rectangle", ConstructRectangle, b.rectangle, kRectangleMethods, {}, geom);
    DefineAccessors(m, b.rectangle, kRectangleAccessors);
    DefineClass(m, "Matrix", ConstructMatrix, b.matrix, kMatrixMethods, {}, geom);
    DefineClass(m, "ColorTransform", ConstructColorTransform, b.colorTransform, kColorTransformMethods, {}, geom);
    DefineAccessors(m, b.colorTransform, kColorTransformAccessors);
    DefineClass(m, "Transform", ConstructTransform, b.transform, {}, {}, geom);
    DefineAccessors(m, b.transform, kTransformAccessors);
    DefineAccessors(m, b.movieClip, kClipAccessors);
}

}  // namespace avm1
