// MovieClip: the methods of clips that drive their timelines. A clip is the host's; these
// reach it by handle and do nothing for anything else.
#include <algorithm>
#include <cmath>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

uint32_t ClipOf(Machine& m, const Value& self) {
    return self.type() == Type::kClip && m.host().exists(self.clip()) ? self.clip() : 0;
}

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
        Activation on(m, c);
        on.gotoFrameValue(Argument(args, 0), AndPlay, 0);
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

constexpr NativeMember kMethods[] = {
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

void InstallMovieClip(Machine& m, Builtins& b) { DefineClass(m, "MovieClip", Construct, b.movieClip, kMethods); }

}  // namespace avm1
