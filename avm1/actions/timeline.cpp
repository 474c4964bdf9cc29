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

// ToggleQuality, EndDrag: nothing to do.
bool Nothing(Activation&, const swf::Action&) { return true; }

bool StopSounds(Activation& a, const swf::Action&) {
    a.host.stopAllSounds();
    return true;
}

// The highest frame number a movie may have: every frame up to it counts as loaded, as in a
// movie that has loaded whole; those past it never come.
constexpr double kLastLoadableFrame = 16000;

// WaitForFrame and WaitForFrame2: the next `skip` actions are skipped when the frame is not
// loaded.
bool SkipUnlessLoaded(Activation& a, double frame, uint8_t skip) {
    if (frame <= kLastLoadableFrame) return true;
    swf::Action next;
    for (uint8_t i = 0; i < skip; ++i) {
        if (swf::DecodeAction(a.code->data(), a.code->size(), a.next, next) != swf::ActionRead::kAction) break;
        a.next = next.next;
    }
    return true;
}

bool WaitForFrame(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::WaitForFrameAction>(&action.operands);
    return op == nullptr || SkipUnlessLoaded(a, op->frame, op->skip);
}

// GotoFrame to a frame past the last does nothing (gotoAndStop and GotoFrame2 go to the last).
bool GotoFrame(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::GotoFrameAction>(&action.operands);
    if (op != nullptr && op->frame < a.host.totalFrames(a.target)) a.host.gotoFrame(a.target, op->frame, false);
    return true;
}

bool GoToLabel(Activation& a, const swf::Action& action) {
    if (const auto* op = std::get_if<swf::NameAction>(&action.operands)) {
        if (const int f = a.host.frameOfLabel(a.target, op->name); f >= 0) a.host.gotoFrame(a.target, f, false);
    }
    return true;
}

// SetTarget and SetTarget2: a path is from the timeline the code belongs to; an empty one goes
// back to it (or to the root when that has gone). A path that names no clip leaves no target:
// names are then looked up on the root, and properties of the target are undefined, as in the
// reference players.
bool SetTarget(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::NameAction>(&action.operands);
    if (op == nullptr) return true;
    if (op->name.empty()) {
        a.retarget(a.host.exists(a.clip) ? a.clip : a.host.root());
        return true;
    }
    a.retarget(a.machine.resolvePath(a.clip, op->name));
    return true;
}

// SetTarget2 takes a value: a clip (from version 6 by its path, as clip references resolve),
// or anything else by what it gives as a string.
bool SetTarget2(Activation& a, const swf::Action&) {
    const Value v = a.pop();
    if (v.type() == Type::kClip) {
        uint32_t to = a.host.exists(v.clip()) ? v.clip() : 0;
        if (to != 0 && a.version() >= 6) to = a.machine.resolvePath(a.host.root(), a.host.path(to));
        a.retarget(to);
        return true;
    }
    const std::string path = a.string(v);
    if (path.empty()) {
        a.retarget(a.host.exists(a.clip) ? a.clip : a.host.root());
        return true;
    }
    a.retarget(a.machine.resolvePath(a.target, path));
    return true;
}

bool GotoFrame2(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::GotoFrame2Action>(&action.operands);
    if (op == nullptr) return true;
    a.gotoFrameValue(a.pop(), op->play, op->sceneBias);
    return true;
}

// WaitForFrame2 takes a whole number as a frame from 1, in 32-bit arithmetic as the reference
// players do (2147483649 is frame -2147483647); anything else (a label, a fraction) names a
// frame that is there.
bool WaitForFrame2(Activation& a, const swf::Action& action) {
    const Value frame = a.pop();
    const auto* op = std::get_if<swf::WaitForFrame2Action>(&action.operands);
    if (op == nullptr || frame.type() != Type::kNumber) return true;
    const double n = frame.number();
    if (!std::isfinite(n) || n != std::trunc(n)) return true;
    const int32_t index = static_cast<int32_t>(static_cast<uint32_t>(ToInt32(n)) - 1u);
    return SkipUnlessLoaded(a, index, op->skip);
}

// GetURL2: a movie or variables into a target clip or level, or a page that opens nothing.
bool GetUrl2(Activation& a, const swf::Action& action) {
    const Value target = a.pop();
    const Value url = a.pop();
    const auto* op = std::get_if<swf::GetUrl2Action>(&action.operands);
    if (op == nullptr) return true;
    a.machine.openUrl(a.target, a.machine.toString(url), target, op->loadTarget, op->loadVariables);
    return true;
}

// GetURL: the same with its URL and target in the action; a target is a level or a window.
bool GetUrl(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::GetUrlAction>(&action.operands);
    if (op != nullptr) {
        a.machine.openUrl(a.target, std::string(op->url), Value::String(std::string(op->target)), false, false);
    }
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
    h.set(ActionCode::kStopSounds, StopSounds);
    h.set(ActionCode::kEndDrag, Nothing);
    h.set(ActionCode::kWaitForFrame, WaitForFrame);
    h.set(ActionCode::kGetUrl, GetUrl);
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
