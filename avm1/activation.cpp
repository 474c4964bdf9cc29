#include "avm1/activation.h"

#include <algorithm>
#include <cmath>

#include "base/names.h"

namespace avm1 {

Value Activation::pop() {
    if (stack.empty()) return Value();
    Value v = std::move(stack.back());
    stack.pop_back();
    return v;
}

bool Activation::push(Value v) {
    if (stack.size() >= kMaxStackValues) {
        host.log("ActionScript: the stack grew past " + std::to_string(kMaxStackValues) +
                 " values (kMaxStackValues): the script is stopped");
        stopped = true;
        return false;
    }
    stack.push_back(std::move(v));
    return true;
}

size_t Activation::popCount() {
    const double n = number(pop());
    return std::isnan(n) || n < 0 ? 0 : static_cast<size_t>(std::min(n, 65535.0));
}

bool Activation::checkString(const std::string& s) {
    if (s.size() <= kMaxStringBytes) return true;
    host.log("ActionScript: a string grew past " + std::to_string(kMaxStringBytes) +
             " bytes (kMaxStringBytes): the script is stopped");
    stopped = true;
    return false;
}

bool Activation::branch(int16_t offset) {
    const long long to = static_cast<long long>(next) + offset;
    if (to < 0 || to > static_cast<long long>(code->size())) return false;
    next = static_cast<size_t>(to);
    return true;
}

uint32_t Activation::targetOf(const Value& v) {
    if (v.type() == Type::kClip) return host.exists(v.clip()) ? v.clip() : 0;
    const std::string path = string(v);
    return path.empty() ? clip : machine.resolvePath(target, path);
}

// Splits "a/b:v" or "_root.a.v" into the clip the path names and the variable's name.
// False when the name has no path.
bool Activation::splitPath(std::string_view name, uint32_t& owner, std::string_view& var) {
    const size_t colon = name.rfind(':');
    const size_t dot = name.rfind('.');
    size_t at = std::string_view::npos;
    if (colon != std::string_view::npos) {
        at = colon;
    } else if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
        at = dot;
    }
    if (at == std::string_view::npos) return false;
    owner = machine.resolvePath(target, name.substr(0, at));
    var = name.substr(at + 1);
    return true;
}

Value Activation::getVariable(std::string_view name) {
    uint32_t owner = target;
    std::string_view var = name;
    if (!splitPath(name, owner, var) && name.find('/') != std::string_view::npos) {
        const uint32_t c = machine.resolvePath(target, name);
        return c != 0 ? Value::Clip(c) : Value();
    }
    if (owner == 0) return Value();
    if (var == "this") return Value::Clip(owner);
    if (base::SameNoCase(var, "_root") || base::SameNoCase(var, "_level0")) return Value::Clip(host.root());
    if (base::SameNoCase(var, "_parent")) {
        const uint32_t p = host.parent(owner);
        return p != 0 ? Value::Clip(p) : Value();
    }
    Value out;
    if (host.getVariable(owner, var, out)) return out;
    if (const uint32_t c = host.child(owner, var)) return Value::Clip(c);
    if (const int property = PropertyIndex(var); property >= 0) return host.getProperty(owner, property);
    return Value();
}

void Activation::setVariable(std::string_view name, const Value& value) {
    uint32_t owner = target;
    std::string_view var = name;
    splitPath(name, owner, var);
    if (owner == 0 || var.empty()) return;
    if (const int property = PropertyIndex(var); property >= 0) {
        host.setProperty(owner, property, value);
        return;
    }
    host.setVariable(owner, var, value);
}

namespace {

// A frame number from 1 as a frame index: the number as a 32-bit integer, less one, in
// 32-bit arithmetic as the reference players do it; negative indexes go nowhere.
int FrameIndex(double n, int bias) {
    const uint32_t wrapped = static_cast<uint32_t>(ToInt32(n)) + static_cast<uint32_t>(bias) - 1u;
    return static_cast<int32_t>(wrapped);
}

}  // namespace

void Activation::gotoFrameValue(const Value& frame, bool play, int bias) {
    uint32_t owner = target;
    if (frame.type() == Type::kString) {
        std::string_view s = frame.string();
        const size_t colon = s.rfind(':');
        if (colon != std::string_view::npos) {
            owner = machine.resolvePath(target, s.substr(0, colon));
            s = s.substr(colon + 1);
        }
        if (owner == 0) return;
        const double n = StringToNumber(s, 5);
        if (!std::isnan(n)) {
            if (const int f = FrameIndex(n, bias); f >= 0) host.gotoFrame(owner, f, play);
        } else if (const int f = host.frameOfLabel(owner, s); f >= 0) {
            host.gotoFrame(owner, f, play);
        }
        return;
    }
    const double n = number(frame);
    if (owner == 0) return;
    if (const int f = FrameIndex(n, bias); f >= 0) host.gotoFrame(owner, f, play);
}

}  // namespace avm1
