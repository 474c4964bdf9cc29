#include "avm1/machine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "avm1/activation.h"
#include "avm1/actions/handlers.h"
#include "avm1/strings.h"
#include "base/names.h"
#include "swf/actions.h"

namespace avm1 {

std::string Machine::toString(const Value& v) {
    switch (v.type()) {
        case Type::kUndefined: return version_ >= 7 ? "undefined" : "";
        case Type::kNull: return "null";
        case Type::kBool: return v.boolean() ? "true" : "false";
        case Type::kNumber: return NumberToString(v.number());
        case Type::kString: return v.string();
        case Type::kClip: return host_.exists(v.clip()) ? host_.path(v.clip()) : "";
        case Type::kObject: return "[object Object]";
    }
    return {};
}

double Machine::toNumber(const Value& v) const {
    switch (v.type()) {
        case Type::kUndefined:
        case Type::kNull: return version_ >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0;
        case Type::kBool: return v.boolean() ? 1 : 0;
        case Type::kNumber: return v.number();
        case Type::kString: return StringToNumber(v.string(), version_);
        case Type::kClip:
        case Type::kObject: return std::numeric_limits<double>::quiet_NaN();
    }
    return 0;
}

bool Machine::toBoolean(const Value& v) const {
    switch (v.type()) {
        case Type::kUndefined:
        case Type::kNull: return false;
        case Type::kBool: return v.boolean();
        case Type::kNumber: return !std::isnan(v.number()) && v.number() != 0;
        case Type::kString:
            if (version_ >= 7) return !v.string().empty();
            {
                const double n = StringToNumber(v.string(), version_);
                return !std::isnan(n) && n != 0;
            }
        case Type::kClip:
        case Type::kObject: return true;
    }
    return false;
}

void Machine::unsupported(const char* what) {
    if (std::find(reported_.begin(), reported_.end(), what) != reported_.end()) return;
    reported_.emplace_back(what);
    host_.log(std::string("ActionScript: ") + what + " is not supported yet: it gives undefined");
}

void Machine::startFrame() {
    budget_ = kMaxInstructionsPerFrame;
    if (heap_.liveObjects() >= collectAt_) {
        collectGarbage();
        collectAt_ = std::max(kFirstCollection, heap_.liveObjects() * 2);
    }
}

size_t Machine::collectGarbage() {
    return heap_.collect([&](Tracer& tracer) {
        for (const Value& v : registers_) tracer.value(v);
        host_.traceValues(tracer);
    });
}

uint32_t Machine::nextRandom() {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return random_;
}

void Machine::execute(const std::vector<uint8_t>& code, uint32_t clip, int depth) {
    if (!host_.exists(clip)) return;
    Activation a(*this, clip);
    a.code = &code;
    a.depth = depth;
    const ActionHandlers& handlers = Handlers();
    swf::Action action;
    while (!a.stopped && a.ip < code.size()) {
        if (budget_ <= 0) {
            if (!budgetReported_) {
                budgetReported_ = true;
                host_.log("ActionScript: a frame ran past " + std::to_string(kMaxInstructionsPerFrame) +
                          " instructions (kMaxInstructionsPerFrame): its scripts are stopped");
            }
            return;
        }
        --budget_;
        if (swf::DecodeAction(code.data(), code.size(), a.ip, action) != swf::ActionRead::kAction) break;
        a.next = action.next;
        // Unknown actions are skipped by their length, as the reference players do.
        if (const ActionHandler handler = handlers.of(action.code); handler != nullptr && !handler(a, action)) break;
        if (a.stopped) break;
        a.ip = a.next;
        for (const auto& [at, to] : a.skips) {
            if (a.ip == at) a.ip = to;
        }
    }
}

uint32_t Machine::resolvePath(uint32_t from, std::string_view path) {
    uint32_t clip = from;
    size_t i = 0;
    if (!path.empty() && path[0] == '/') {
        clip = host_.root();
        i = 1;
    }
    while (i < path.size() && clip != 0) {
        size_t j = i;
        // ".." is a parent step in slash paths; a single dot separates names.
        if (path.compare(i, 2, "..") == 0) {
            clip = host_.parent(clip);
            i += 2;
            if (i < path.size() && (path[i] == '/' || path[i] == '.')) ++i;
            continue;
        }
        while (j < path.size() && path[j] != '/' && path[j] != '.') ++j;
        const std::string_view token = path.substr(i, j - i);
        i = j < path.size() ? j + 1 : j;
        if (token.empty()) continue;
        if (base::SameNoCase(token, "_root") || base::SameNoCase(token, "_level0")) {
            clip = host_.root();
        } else if (base::SameNoCase(token, "_parent")) {
            clip = host_.parent(clip);
        } else if (token == "this") {
            // stays
        } else if (uint32_t c = host_.child(clip, token)) {
            clip = c;
        } else {
            Value v;
            clip = host_.getVariable(clip, token, v) && v.type() == Type::kClip && host_.exists(v.clip()) ? v.clip() : 0;
        }
    }
    return clip;
}

Value Machine::getMember(const Value& object, const std::string& name) {
    if (object.type() == Type::kClip && host_.exists(object.clip())) {
        Value out;
        if (host_.getVariable(object.clip(), name, out)) return out;
        if (const uint32_t c = host_.child(object.clip(), name)) return Value::Clip(c);
        if (const int property = PropertyIndex(name); property >= 0) return host_.getProperty(object.clip(), property);
        if (name == "opaqueBackground") return host_.getProperty(object.clip(), kPropOpaqueBackground);
        if (base::SameNoCase(name, "_parent")) {
            const uint32_t p = host_.parent(object.clip());
            return p != 0 ? Value::Clip(p) : Value();
        }
        return Value();
    }
    if (object.type() == Type::kObject) {
        const Property* p = heap_.lookup(object.object(), name);
        return p != nullptr ? p->value : Value();
    }
    if (object.type() == Type::kString && name == "length") {
        return Value::Number(static_cast<double>(CharacterCount(object.string(), version_)));
    }
    return Value();
}

void Machine::setMember(const Value& object, const std::string& name, const Value& value) {
    if (object.type() == Type::kObject) {
        if (Object* o = heap_.get(object.object())) o->set(name, value);
        return;
    }
    if (object.type() != Type::kClip || !host_.exists(object.clip())) return;
    if (const int property = PropertyIndex(name); property >= 0) {
        host_.setProperty(object.clip(), property, value);
    } else if (name == "opaqueBackground") {
        host_.setProperty(object.clip(), kPropOpaqueBackground, value);
    } else {
        host_.setVariable(object.clip(), name, value);
    }
}

bool Machine::readVariable(uint32_t clip, std::string_view name, Value& out) {
    if (!host_.exists(clip) || name.empty()) return false;
    Activation a(*this, clip);
    out = a.getVariable(name);
    return out.type() != Type::kUndefined;
}

void Machine::writeVariable(uint32_t clip, std::string_view name, const Value& value) {
    if (!host_.exists(clip) || name.empty()) return;
    Activation a(*this, clip);
    a.setVariable(name, value);
}

}  // namespace avm1
