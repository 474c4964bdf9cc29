// MovieClip: the methods of clips that drive their timelines. A clip is the host's; these
// reach it by handle and do nothing for anything else.
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

constexpr NativeMember kMethods[] = {
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
