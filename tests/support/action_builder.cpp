#include "tests/support/action_builder.h"

#include <cstring>
#include <stdexcept>

namespace testing_support {

namespace {

void U16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Str(std::vector<uint8_t>& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

}  // namespace

Actions& Actions::op(uint8_t code) {
    code_.push_back(code);
    return *this;
}

Actions& Actions::op(uint8_t code, const std::vector<uint8_t>& operands) {
    code_.push_back(code);
    U16(code_, static_cast<uint16_t>(operands.size()));
    code_.insert(code_.end(), operands.begin(), operands.end());
    return *this;
}

Actions& Actions::push(const std::string& s) {
    std::vector<uint8_t> v = {0};
    Str(v, s);
    return op(swf::ActionCode::kPush, v);
}

Actions& Actions::push(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    std::vector<uint8_t> v = {6};
    for (int half : {1, 0}) {  // the high 32 bits first
        const uint32_t word = static_cast<uint32_t>(bits >> (32 * half));
        for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(word >> (8 * i)));
    }
    return op(swf::ActionCode::kPush, v);
}

Actions& Actions::pushInt(int32_t value) {
    std::vector<uint8_t> v = {7};
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
    return op(swf::ActionCode::kPush, v);
}

Actions& Actions::pushBool(bool b) { return op(swf::ActionCode::kPush, {5, static_cast<uint8_t>(b ? 1 : 0)}); }
Actions& Actions::pushNull() { return op(swf::ActionCode::kPush, {2}); }
Actions& Actions::pushUndefined() { return op(swf::ActionCode::kPush, {3}); }
Actions& Actions::pushRegister(uint8_t r) { return op(swf::ActionCode::kPush, {4, r}); }

Actions& Actions::pushConstant(uint16_t index) {
    if (index < 256) return op(swf::ActionCode::kPush, {8, static_cast<uint8_t>(index)});
    return op(swf::ActionCode::kPush, {9, static_cast<uint8_t>(index & 0xFF), static_cast<uint8_t>(index >> 8)});
}

Actions& Actions::constantPool(const std::vector<std::string>& strings) {
    std::vector<uint8_t> v;
    U16(v, static_cast<uint16_t>(strings.size()));
    for (const std::string& s : strings) Str(v, s);
    return op(swf::ActionCode::kConstantPool, v);
}

Actions& Actions::gotoFrame(uint16_t frame) {
    std::vector<uint8_t> v;
    U16(v, frame);
    return op(swf::ActionCode::kGotoFrame, v);
}

Actions& Actions::gotoLabel(const std::string& label) {
    std::vector<uint8_t> v;
    Str(v, label);
    return op(swf::ActionCode::kGoToLabel, v);
}

Actions& Actions::setTarget(const std::string& path) {
    std::vector<uint8_t> v;
    Str(v, path);
    return op(swf::ActionCode::kSetTarget, v);
}

Actions& Actions::gotoFrame2(bool play, uint16_t bias) {
    std::vector<uint8_t> v = {static_cast<uint8_t>((play ? 1 : 0) | (bias ? 2 : 0))};
    if (bias) U16(v, bias);
    return op(swf::ActionCode::kGotoFrame2, v);
}

Actions& Actions::storeRegister(uint8_t r) { return op(swf::ActionCode::kStoreRegister, {r}); }

Actions& Actions::label(const std::string& name) {
    labels_[name] = code_.size();
    return *this;
}

Actions& Actions::jump(const std::string& label) {
    op(swf::ActionCode::kJump, {0, 0});
    branches_.emplace_back(code_.size() - 2, label);
    return *this;
}

Actions& Actions::branchIf(const std::string& label) {
    op(swf::ActionCode::kIf, {0, 0});
    branches_.emplace_back(code_.size() - 2, label);
    return *this;
}

Actions& Actions::set(const std::string& name, double value) { return push(name).push(value).op(action::kSetVariable); }

Actions& Actions::set(const std::string& name, const std::string& value) {
    return push(name).push(value).op(action::kSetVariable);
}

Actions& Actions::defineFunction(const std::string& name, const std::vector<std::string>& params, const Actions& body) {
    const std::vector<uint8_t> code = body.body();
    std::vector<uint8_t> v;
    Str(v, name);
    U16(v, static_cast<uint16_t>(params.size()));
    for (const std::string& p : params) Str(v, p);
    U16(v, static_cast<uint16_t>(code.size()));
    op(swf::ActionCode::kDefineFunction, v);
    code_.insert(code_.end(), code.begin(), code.end());
    return *this;
}

Actions& Actions::defineFunction2(const std::string& name, uint8_t registers, uint16_t flags,
                                  const std::vector<std::pair<uint8_t, std::string>>& params, const Actions& body) {
    const std::vector<uint8_t> code = body.body();
    std::vector<uint8_t> v;
    Str(v, name);
    U16(v, static_cast<uint16_t>(params.size()));
    v.push_back(registers);
    U16(v, flags);
    for (const auto& [reg, p] : params) {
        v.push_back(reg);
        Str(v, p);
    }
    U16(v, static_cast<uint16_t>(code.size()));
    op(swf::ActionCode::kDefineFunction2, v);
    code_.insert(code_.end(), code.begin(), code.end());
    return *this;
}

Actions& Actions::tryCatch(const Actions& body, const std::string& name, const Actions* handler, const Actions* last) {
    const std::vector<uint8_t> t = body.body();
    const std::vector<uint8_t> c = handler != nullptr ? handler->body() : std::vector<uint8_t>();
    const std::vector<uint8_t> f = last != nullptr ? last->body() : std::vector<uint8_t>();
    std::vector<uint8_t> v;
    v.push_back(static_cast<uint8_t>((handler != nullptr ? 1 : 0) | (last != nullptr ? 2 : 0)));
    U16(v, static_cast<uint16_t>(t.size()));
    U16(v, static_cast<uint16_t>(c.size()));
    U16(v, static_cast<uint16_t>(f.size()));
    Str(v, name);
    op(swf::ActionCode::kTry, v);
    for (const auto* part : {&t, &c, &f}) code_.insert(code_.end(), part->begin(), part->end());
    return *this;
}

Actions& Actions::with(const Actions& body) {
    const std::vector<uint8_t> code = body.body();
    std::vector<uint8_t> v;
    U16(v, static_cast<uint16_t>(code.size()));
    op(swf::ActionCode::kWith, v);
    code_.insert(code_.end(), code.begin(), code.end());
    return *this;
}

std::vector<uint8_t> Actions::body() const {
    std::vector<uint8_t> out = bytes();
    out.pop_back();
    return out;
}

std::vector<uint8_t> Actions::bytes() const {
    std::vector<uint8_t> out = code_;
    for (const auto& [at, label] : branches_) {
        auto it = labels_.find(label);
        if (it == labels_.end()) throw std::logic_error("no label " + label);
        const int16_t offset = static_cast<int16_t>(static_cast<long>(it->second) - static_cast<long>(at + 2));
        out[at] = static_cast<uint8_t>(static_cast<uint16_t>(offset) & 0xFF);
        out[at + 1] = static_cast<uint8_t>(static_cast<uint16_t>(offset) >> 8);
    }
    out.push_back(0);
    return out;
}

}  // namespace testing_support
