// The methods of clips that drive their timelines.
#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

Value Stop(Activation& a, uint32_t self, const std::vector<Value>&) {
    a.host.stop(self);
    return Value();
}

Value Play(Activation& a, uint32_t self, const std::vector<Value>&) {
    a.host.play(self);
    return Value();
}

template <int Step>
Value StepFrame(Activation& a, uint32_t self, const std::vector<Value>&) {
    a.host.gotoFrame(self, a.host.currentFrame(self) + Step, false);
    return Value();
}

template <bool AndPlay>
Value GotoAnd(Activation& a, uint32_t self, const std::vector<Value>& args) {
    Activation on(a.machine, self);
    on.gotoFrameValue(Argument(args, 0), AndPlay, 0);
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

}  // namespace

std::span<const NativeMember> MovieClipMethods() { return kMethods; }

}  // namespace avm1
