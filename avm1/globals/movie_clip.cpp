// MovieClip: the methods of clips that drive their timelines. A clip is the host's; these
// reach it by handle and do nothing for anything else.
#include <algorithm>
#include <cmath>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

Value Stop(Machine& m, const Value& self, std::vector<Value>&) {
    if (const uint32_t c = ClipOf(m, self)) m.host().stop(c);
    return Value();
}

Value Play(Machine& m, const Value& self, std::vector<Value>&) {
    if (const uint32_t c = ClipOf(m, self)) m.host().play(c);
    return Value();
}

template <int Step>
Value StepFrame(Machine& m, const Value& self, std::vector<Value>&) {
    if (const uint32_t c = ClipOf(m, self)) m.host().gotoFrame(c, m.host().currentFrame(c) + Step, false);
    return Value();
}

template <bool AndPlay>
Value GotoAnd(Machine& m, const Value& self, std::vector<Value>& args) {
    if (const uint32_t c = ClipOf(m, self)) {
        // An object names its frame by its string: a label, or a number.
        Value frame = Argument(args, 0);
        if (frame.type() == Type::kObject) frame = Value::String(m.toString(frame));
        Activation on(m, c);
        on.gotoFrameValue(frame, AndPlay, 0);
    }
    return Value();
}

// A depth argument as the reference players take it: a 32-bit integer (4294967297 is 1,
// -1.5 is -1, what is no number 0); undefined gives none.
bool DepthArgument(Machine& m, const std::vector<Value>& args, size_t i, int& depth) {
    if (i >= args.size() || args[i].isUndefined()) return false;
    depth = ToInt32(m.toNumber(args[i]));
    return true;
}

Value ClipValue(uint32_t clip) { return clip != 0 ? Value::Clip(clip) : Value(); }

Value CreateEmptyMovieClip(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    int depth = 0;
    if (c == 0 || args.size() < 2) return Value();
    const std::string name = m.toString(args[0]);  // arguments convert in their order
    if (!DepthArgument(m, args, 1, depth)) return Value();
    return ClipValue(m.host().createClip(c, name, depth, {}, Value()));
}

Value AttachMovie(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    int depth = 0;
    if (c == 0 || args.size() < 3) return Value();
    const std::string linkage = m.toString(args[0]), name = m.toString(args[1]);
    if (!DepthArgument(m, args, 2, depth) || linkage.empty()) return Value();
    return ClipValue(m.host().createClip(c, name, depth, linkage, Argument(args, 3)));
}

Value DuplicateMovieClip(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    int depth = 0;
    if (c == 0 || args.size() < 2) return Value();
    const std::string name = m.toString(args[0]);  // the name converts before the depth
    if (!DepthArgument(m, args, 1, depth)) return Value();
    return ClipValue(m.host().duplicateClip(c, name, depth, Argument(args, 2)));
}

Value RemoveMovieClip(Machine& m, const Value& self, std::vector<Value>&) {
    if (const uint32_t c = ClipOf(m, self)) m.host().removeClip(c);
    return Value();
}

Value GetDepth(Machine& m, const Value& self, std::vector<Value>&) {
    int depth = 0;
    const uint32_t c = ClipOf(m, self);
    return c != 0 && m.host().depthOf(c, depth) ? Value::Number(depth) : Value();
}

// swapDepths(depth) or swapDepths(clip): a clip must share the parent.
Value SwapDepths(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0 || args.empty()) return Value();
    int depth = 0;
    Value target = args[0];
    // A string names a clip by its path from this one.
    if (target.type() == Type::kString) {
        if (const uint32_t named = m.resolvePath(c, target.string())) target = Value::Clip(named);
    }
    if (target.type() == Type::kClip) {
        const uint32_t other = ClipOf(m, target);
        if (other == 0 || m.host().parent(other) != m.host().parent(c) || !m.host().depthOf(other, depth)) return Value();
    } else if (!DepthArgument(m, args, 0, depth)) {
        return Value();
    }
    m.host().swapDepths(c, depth);
    return Value();
}

Value GetInstanceAtDepth(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    int depth = 0;
    if (c == 0 || !DepthArgument(m, args, 0, depth)) return Value();
    return ClipValue(m.host().clipAtDepth(c, depth));
}

Value GetNextHighestDepth(Machine& m, const Value& self, std::vector<Value>&) {
    const uint32_t c = ClipOf(m, self);
    return c != 0 ? Value::Number(m.host().nextHighestDepth(c)) : Value();
}

// A clip argument: a clip, or a path from `from`; 0 for anything else (the empty path too).
uint32_t ClipArgument(Machine& m, uint32_t from, const Value& v) {
    if (v.type() == Type::kClip) return ClipOf(m, v);
    if (v.type() == Type::kString && !v.string().empty()) return m.resolvePath(from, v.string());
    return 0;
}

// Bounds past any a clip can have, which a clip that draws nothing reports on every side.
constexpr double kNoBounds = 6710886.35;

// getBounds(space) and getRect(space): {xMin, xMax, yMin, yMax} in the space of the clip
// given (itself when none).
template <bool Strokes>
Value GetBounds(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0) return Value();
    uint32_t space = c;
    if (!args.empty() && !args[0].isUndefined()) {
        space = ClipArgument(m, c, args[0]);
        if (space == 0) return Value();
    }
    double box[4];
    if (!m.host().boundsIn(c, space, Strokes, box)) std::fill(std::begin(box), std::end(box), kNoBounds);
    const Value result = Value::Object(m.newObject());
    m.setMember(result, "xMin", Value::Number(box[0]));
    m.setMember(result, "xMax", Value::Number(box[1]));
    m.setMember(result, "yMin", Value::Number(box[2]));
    m.setMember(result, "yMax", Value::Number(box[3]));
    return result;
}

// localToGlobal(point) and globalToLocal(point): the object's x and y, converted in place.
template <bool Inverse>
Value ConvertPoint(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0 || args.empty() || args[0].type() != Type::kObject) return Value();
    const Value point = args[0];
    // Both coordinates must be numbers: anything else leaves the object as it is.
    const Value vx = m.getMember(point, "x"), vy = m.getMember(point, "y");
    if (vx.type() != Type::kNumber || vy.type() != Type::kNumber) return Value();
    double x = vx.number(), y = vy.number();
    if (!m.host().toGlobal(c, x, y, Inverse)) return Value();
    m.setMember(point, "x", Value::Number(x));
    m.setMember(point, "y", Value::Number(y));
    return Value();
}

// hitTest(x, y, shapeFlag) with a stage point, or hitTest(target): whether the two clips'
// bounds on the stage meet.
Value HitTest(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0 || args.empty()) return Value::Bool(false);
    if (args.size() >= 2) {
        const double x = m.toNumber(args[0]), y = m.toNumber(args[1]);
        if (std::isnan(x) || std::isnan(y)) return Value::Bool(false);
        return Value::Bool(m.host().hitTest(c, x, y, m.toBoolean(Argument(args, 2))));
    }
    const uint32_t other = ClipArgument(m, c, args[0]);
    double a[4], b[4];
    if (other == 0 || !m.host().boundsIn(c, 0, true, a) || !m.host().boundsIn(other, 0, true, b)) return Value::Bool(false);
    return Value::Bool(a[0] <= b[1] && b[0] <= a[1] && a[2] <= b[3] && b[2] <= a[3]);
}

// setMask(mask): a clip or a path; null or anything else removes the mask.
Value SetMask(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0 || args.empty()) return Value();
    m.host().setMask(c, ClipArgument(m, c, args[0]));
    return Value::Bool(true);
}

constexpr NativeMember kMethods[] = {
    {"setMask", SetMask},
    {"getBounds", GetBounds<true>},
    {"getRect", GetBounds<false>},
    {"localToGlobal", ConvertPoint<false>},
    {"globalToLocal", ConvertPoint<true>},
    {"hitTest", HitTest},
    {"createEmptyMovieClip", CreateEmptyMovieClip},
    {"attachMovie", AttachMovie},
    {"duplicateMovieClip", DuplicateMovieClip},
    {"removeMovieClip", RemoveMovieClip},
    {"getDepth", GetDepth},
    {"swapDepths", SwapDepths},
    {"getInstanceAtDepth", GetInstanceAtDepth},
    {"getNextHighestDepth", GetNextHighestDepth},
    {"stop", Stop},
    {"play", Play},
    {"nextFrame", StepFrame<1>},
    {"prevFrame", StepFrame<-1>},
    {"gotoAndStop", GotoAnd<false>},
    {"gotoAndPlay", GotoAnd<true>},
};

Value Construct(Machine&, const Value& self, std::vector<Value>&) { return self; }

}  // namespace

void InstallMovieClip(Machine& m, Builtins& b) {
    DefineClass(m, "MovieClip", Construct, b.movieClip, kMethods);
    // Defaults every clip inherits until it sets its own.
    Object* proto = m.heap().get(b.movieClip);
    proto->set("useHandCursor", Value::Bool(true), attribute::kDontEnum);
    proto->set("enabled", Value::Bool(true), attribute::kDontEnum);
}

}  // namespace avm1
