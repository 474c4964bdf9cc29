// The drawing API of MovieClip: lineStyle, beginFill, beginGradientFill, moveTo, lineTo,
// curveTo, endFill and clear, their arguments read as the reference players read them and
// handed to the host.
#include <algorithm>
#include <cmath>
#include <limits>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

void Draw(Machine& m, const Value& self, const DrawingCall& call) {
    if (const uint32_t c = ClipOf(m, self)) m.host().draw(c, call);
}

// Pixels to twips, cut toward zero; NaN is 0 and what is out of range the nearest end.
int32_t Twips(Machine& m, const Value& v) {
    const double t = m.toNumber(v) * 20;
    if (std::isnan(t)) return 0;
    return static_cast<int32_t>(std::clamp(std::trunc(t), -2147483648.0, 2147483647.0));
}

// A colour number's low 24 bits.
swf::Color Rgb(Machine& m, const Value& v) {
    const uint32_t rgb = static_cast<uint32_t>(ToInt32(m.toNumber(v)));
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 255};
}

// An alpha of 0 to 100 as 0 to 255; undefined is opaque, NaN transparent.
uint8_t Alpha(Machine& m, const Value& v) {
    if (v.isUndefined()) return 255;
    const double a = m.toNumber(v);
    if (std::isnan(a)) return 0;
    return static_cast<uint8_t>(std::clamp(a, 0.0, 100.0) * 255 / 100);
}

double Number(Machine& m, const Value& object, std::string_view name) {
    const double v = m.toNumber(m.getMember(object, name));
    return std::isnan(v) ? 0 : v;
}

// A gradient's matrix: {matrixType: "box", x, y, w, h, r}, or {a, b, c, d, tx, ty} as a
// flash.geom.Matrix has it, mapping the gradient's square of 1638.4 pixels into the clip.
swf::Matrix GradientMatrix(Machine& m, const Value& v) {
    swf::Matrix out;
    if (v.type() != Type::kObject) return out;
    if (m.toString(m.getMember(v, "matrixType")) == "box") {
        const double x = Number(m, v, "x"), y = Number(m, v, "y"), w = Number(m, v, "w"), h = Number(m, v, "h"),
                     r = Number(m, v, "r");
        out.scaleX = static_cast<float>(w / 1638.4 * std::cos(r));
        out.rotateSkew0 = static_cast<float>(w / 1638.4 * std::sin(r));
        out.rotateSkew1 = static_cast<float>(-h / 1638.4 * std::sin(r));
        out.scaleY = static_cast<float>(h / 1638.4 * std::cos(r));
        out.translateX = static_cast<int32_t>(std::clamp((x + w / 2) * 20, -2e9, 2e9));
        out.translateY = static_cast<int32_t>(std::clamp((y + h / 2) * 20, -2e9, 2e9));
        return out;
    }
    out.scaleX = static_cast<float>(Number(m, v, "a"));
    out.rotateSkew0 = static_cast<float>(Number(m, v, "b"));
    out.rotateSkew1 = static_cast<float>(Number(m, v, "c"));
    out.scaleY = static_cast<float>(Number(m, v, "d"));
    out.translateX = static_cast<int32_t>(std::clamp(Number(m, v, "tx") * 20, -2e9, 2e9));
    out.translateY = static_cast<int32_t>(std::clamp(Number(m, v, "ty") * 20, -2e9, 2e9));
    return out;
}

// The gradient fill of beginGradientFill's arguments (type, colors, alphas, ratios, matrix,
// spreadMethod, interpolationMethod, focalPointRatio), or none when they do not make one.
std::optional<swf::FillStyle> GradientFill(Machine& m, const std::vector<Value>& args) {
    if (args.size() < 5) return std::nullopt;
    const std::string type = m.toString(args[0]);
    if (type != "linear" && type != "radial") return std::nullopt;
    const std::vector<Value>* colors = m.elementsOf(args[1]);
    const std::vector<Value>* alphas = m.elementsOf(args[2]);
    const std::vector<Value>* ratios = m.elementsOf(args[3]);
    if (colors == nullptr || alphas == nullptr || ratios == nullptr) return std::nullopt;
    if (colors->size() != alphas->size() || colors->size() != ratios->size() || colors->empty()) return std::nullopt;
    swf::FillStyle fill;
    fill.type = type == "linear" ? swf::FillType::kLinearGradient : swf::FillType::kRadialGradient;
    fill.matrix = GradientMatrix(m, args[4]);
    // A gradient has at most 15 stops; the rest are dropped.
    const size_t count = std::min<size_t>(colors->size(), 15);
    for (size_t i = 0; i < count; ++i) {
        swf::GradientRecord r;
        r.color = Rgb(m, (*colors)[i]);
        r.color.a = Alpha(m, (*alphas)[i]);
        const double ratio = m.toNumber((*ratios)[i]);
        r.ratio = static_cast<uint8_t>(std::isnan(ratio) ? 0 : std::clamp(ratio, 0.0, 255.0));
        fill.gradient.records.push_back(r);
    }
    const std::string spread = m.toString(Argument(args, 5));
    fill.gradient.spread = spread == "reflect"  ? swf::SpreadMode::kReflect
                           : spread == "repeat" ? swf::SpreadMode::kRepeat
                                                : swf::SpreadMode::kPad;
    if (m.toString(Argument(args, 6)) == "linearRGB") fill.gradient.interpolation = swf::InterpolationMode::kLinear;
    const double focal = args.size() > 7 ? m.toNumber(args[7]) : 0;
    if (fill.type == swf::FillType::kRadialGradient && !std::isnan(focal) && focal != 0) {
        fill.type = swf::FillType::kFocalGradient;
        // As the file keeps it: 8.8 fixed point, the fraction cut.
        fill.gradient.focalPoint = static_cast<float>(std::trunc(std::clamp(focal, -1.0, 1.0) * 256) / 256);
    }
    return fill;
}

Value Clear(Machine& m, const Value& self, std::vector<Value>&) {
    Draw(m, self, {});
    return Value();
}

// lineStyle(thickness, rgb, alpha, pixelHinting, noScale, capsStyle, jointStyle, miterLimit):
// without a thickness, no lines.
Value LineStyle(Machine& m, const Value& self, std::vector<Value>& args) {
    DrawingCall call;
    call.op = DrawingCall::Op::kLineStyle;
    if (!args.empty() && !args[0].isUndefined()) {
        swf::LineStyle line;
        const double thickness = m.toNumber(args[0]);
        line.width = static_cast<uint16_t>(std::isnan(thickness) ? 0 : std::clamp(thickness, 0.0, 255.0) * 20);
        line.color = args.size() > 1 ? Rgb(m, args[1]) : swf::Color{0, 0, 0, 255};
        line.color.a = Alpha(m, Argument(args, 2));
        line.pixelHinting = m.toBoolean(Argument(args, 3));
        const std::string scale = m.toString(Argument(args, 4));
        line.noHScale = scale == "none" || scale == "vertical";
        line.noVScale = scale == "none" || scale == "horizontal";
        const std::string caps = m.toString(Argument(args, 5));
        line.startCap = line.endCap = caps == "none"     ? swf::CapStyle::kNone
                                      : caps == "square" ? swf::CapStyle::kSquare
                                                         : swf::CapStyle::kRound;
        const std::string joint = m.toString(Argument(args, 6));
        line.join = joint == "miter" ? swf::JoinStyle::kMiter : joint == "bevel" ? swf::JoinStyle::kBevel : swf::JoinStyle::kRound;
        const double limit = args.size() > 7 ? m.toNumber(args[7]) : 3;
        line.miterLimit = static_cast<float>(std::isnan(limit) ? 3 : std::clamp(limit, 1.0, 255.0));
        call.line = line;
    }
    Draw(m, self, call);
    return Value();
}

// beginFill(rgb, alpha): without a colour, no fill.
Value BeginFill(Machine& m, const Value& self, std::vector<Value>& args) {
    DrawingCall call;
    call.op = DrawingCall::Op::kBeginFill;
    if (!args.empty() && !args[0].isUndefined()) {
        swf::FillStyle fill;
        fill.color = Rgb(m, args[0]);
        fill.color.a = Alpha(m, Argument(args, 1));
        call.fill = fill;
    }
    Draw(m, self, call);
    return Value();
}

Value BeginGradientFill(Machine& m, const Value& self, std::vector<Value>& args) {
    DrawingCall call;
    call.op = DrawingCall::Op::kBeginFill;
    call.fill = GradientFill(m, args);
    Draw(m, self, call);
    return Value();
}

Value EndFill(Machine& m, const Value& self, std::vector<Value>&) {
    DrawingCall call;
    call.op = DrawingCall::Op::kEndFill;
    Draw(m, self, call);
    return Value();
}

// moveTo(x, y) and lineTo(x, y): both coordinates or nothing happens.
template <DrawingCall::Op Op>
Value PenTo(Machine& m, const Value& self, std::vector<Value>& args) {
    if (args.size() < 2) return Value();
    DrawingCall call;
    call.op = Op;
    call.x = Twips(m, args[0]);
    call.y = Twips(m, args[1]);
    Draw(m, self, call);
    return Value();
}

Value CurveTo(Machine& m, const Value& self, std::vector<Value>& args) {
    if (args.size() < 4) return Value();
    DrawingCall call;
    call.op = DrawingCall::Op::kCurveTo;
    call.controlX = Twips(m, args[0]);
    call.controlY = Twips(m, args[1]);
    call.x = Twips(m, args[2]);
    call.y = Twips(m, args[3]);
    Draw(m, self, call);
    return Value();
}

constexpr NativeMember kMethods[] = {
    {"clear", Clear},
    {"lineStyle", LineStyle},
    {"beginFill", BeginFill},
    {"beginGradientFill", BeginGradientFill},
    {"endFill", EndFill},
    {"moveTo", PenTo<DrawingCall::Op::kMoveTo>},
    {"lineTo", PenTo<DrawingCall::Op::kLineTo>},
    {"curveTo", CurveTo},
};

}  // namespace

void InstallDrawing(Machine& m, Builtins& b) { DefineMethods(m, b.movieClip, kMethods); }

}  // namespace avm1
