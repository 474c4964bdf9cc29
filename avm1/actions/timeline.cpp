// The timeline actions of SWF 3 and 4: frames, targets, waiting for frames, calls of frames.
#include <algorithm>
#include <cmath>

#include "avm1/actions/handlers.h"

namespace avm1 {

namespace {

using swf::ActionCode;

bool NextFrame(Activation& a, const swf::Action&) {
    a.host.gotoFrame(a.target, a.host.currentFrame(a.target) + 1, false);
    return true;
}

bool PreviousFrame(Activation& a, const swf::Action&) {
    a.host.gotoFrame(a.target, a.host.currentFrame(a.target) - 1, false);
    return true;
}

bool Play(Activation& a, const swf::Action&) {
    a.host.play(a.target);
    return true;
}

bool Stop(Activation& a, const swf::Action&) {
    a.host.stop(a.target);
    return true;
}

// ToggleQuality, StopSounds, EndDrag, WaitForFrame (every frame is there), GetURL (nothing
// is opened): nothing to do.
bool Nothing(Activation&, const swf::Action&) { return true; }

bool GotoFrame(Activation& a, const swf::Action& action) {
    if (const auto* op = std::get_if<swf::GotoFrameAction>(&action.operands)) a.host.gotoFrame(a.target, op->frame, false);
    return true;
}

bool GoToLabel(Activation& a, const swf::Action& action) {
    if (const auto* op = std::get_if<swf::NameAction>(&action.operands)) {
        if (const int f = a.host.frameOfLabel(a.target, op->name); f >= 0) a.host.gotoFrame(a.target, f, false);
    }
    return true;
}

bool SetTarget(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::NameAction>(&action.operands);
    if (op == nullptr) return true;
    // A path is from the timeline the code belongs to; an empty one goes back to it, and one
    // that names no clip (or the code's own clip, gone) leaves the root as the target, as the
    // reference players do.
    if (op->name.empty()) {
        a.retarget(a.host.exists(a.clip) ? a.clip : a.host.root());
        return true;
    }
    const uint32_t to = a.machine.resolvePath(a.clip, op->name);
    a.retarget(to != 0 ? to : a.host.root());
    return true;
}

bool SetTarget2(Activation& a, const swf::Action&) {
    const Value v = a.pop();
    if (v.type() != Type::kClip && a.string(v).empty()) {
        a.retarget(a.host.exists(a.clip) ? a.clip : a.host.root());
        return true;
    }
    const uint32_t to = a.targetOf(v);
    a.retarget(to != 0 ? to : a.host.root());
    return true;
}

bool GotoFrame2(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::GotoFrame2Action>(&action.operands);
    if (op == nullptr) return true;
    a.gotoFrameValue(a.pop(), op->play, op->sceneBias);
    return true;
}

bool WaitForFrame2(Activation& a, const swf::Action&) {
    a.pop();
    return true;
}

bool GetUrl2(Activation& a, const swf::Action&) {
    a.pop();
    a.pop();
    return true;
}

// Call: the scripts of a frame of the target, by number from 1 or by label.
bool Call(Activation& a, const swf::Action&) {
    const Value frame = a.pop();
    if (a.depth >= kMaxCallDepth) return true;
    int f = -1;
    if (frame.type() == Type::kString) {
        f = a.host.frameOfLabel(a.target, frame.string());
        if (f < 0) {
            const double n = StringToNumber(frame.string(), a.version());
            if (!std::isnan(n)) f = static_cast<int>(std::clamp(n, -1.0, 1e9)) - 1;
        }
    } else {
        const double n = a.number(frame);
        if (!std::isnan(n)) f = static_cast<int>(std::clamp(n, -1.0, 1e9)) - 1;
    }
    if (f >= 0) {
        for (const auto* s : a.host.frameScripts(a.target, f)) a.machine.execute(*s, a.target, a.depth + 1);
    }
    return true;
}

// StartDrag: target, lock, constrain and maybe a rectangle; nothing drags without input.
bool StartDrag(Activation& a, const swf::Action&) {
    a.pop();
    a.pop();
    if (a.boolean(a.pop())) {
        for (int i = 0; i < 4; ++i) a.pop();
    }
    return true;
}

}  // namespace

void AddTimelineActions(ActionHandlers& h) {
    h.set(ActionCode::kNextFrame, NextFrame);
    h.set(ActionCode::kPreviousFrame, PreviousFrame);
    h.set(ActionCode::kPlay, Play);
    h.set(ActionCode::kStop, Stop);
    h.set(ActionCode::kToggleQuality, Nothing);
    h.set(ActionCode::kStopSounds, Nothing);
    h.set(ActionCode::kEndDrag, Nothing);
    h.set(ActionCode::kWaitForFrame, Nothing);
    h.set(ActionCode::kGetUrl, Nothing);
    h.set(ActionCode::kGotoFrame, GotoFrame);
    h.set(ActionCode::kGoToLabel, GoToLabel);
    h.set(ActionCode::kSetTarget, SetTarget);
    h.set(ActionCode::kSetTarget2, SetTarget2);
    h.set(ActionCode::kGotoFrame2, GotoFrame2);
    h.set(ActionCode::kWaitForFrame2, WaitForFrame2);
    h.set(ActionCode::kGetUrl2, GetUrl2);
    h.set(ActionCode::kCall, Call);
    h.set(ActionCode::kStartDrag, StartDrag);
}

}  // namespace avm1
