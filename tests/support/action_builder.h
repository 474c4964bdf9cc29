#pragma once
// An assembler of ActionScript bytecode for tests: pushes, plain actions, actions with
// operands, and branches to named labels resolved when the bytes are taken.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "swf/actions.h"

namespace testing_support {

class Actions {
public:
    Actions& push(const std::string& s);
    Actions& push(const char* s) { return push(std::string(s)); }
    Actions& push(double d);  // as a double
    Actions& pushInt(int32_t v);
    Actions& pushBool(bool b);
    Actions& pushNull();
    Actions& pushUndefined();
    Actions& pushRegister(uint8_t r);
    Actions& pushConstant(uint16_t index);
    Actions& constantPool(const std::vector<std::string>& strings);
    Actions& op(swf::ActionCode code) { return op(static_cast<uint8_t>(code)); }  // without operands
    Actions& op(swf::ActionCode code, const std::vector<uint8_t>& operands) {
        return op(static_cast<uint8_t>(code), operands);
    }
    // By the raw code, for codes that name no action.
    Actions& op(uint8_t code);
    Actions& op(uint8_t code, const std::vector<uint8_t>& operands);
    Actions& gotoFrame(uint16_t frame);  // from 0
    Actions& gotoLabel(const std::string& label);
    Actions& setTarget(const std::string& path);
    Actions& gotoFrame2(bool play, uint16_t bias = 0);
    Actions& storeRegister(uint8_t r);
    Actions& label(const std::string& name);
    Actions& jump(const std::string& label);
    Actions& branchIf(const std::string& label);
    // trace(value) of what was pushed last.
    Actions& trace() { return op(swf::ActionCode::kTrace); }
    // name = value: pushes both and sets.
    Actions& set(const std::string& name, double value);
    Actions& set(const std::string& name, const std::string& value);
    // Blocks with bodies: each body is assembled on its own (its labels are its own).
    Actions& defineFunction(const std::string& name, const std::vector<std::string>& params, const Actions& body);
    // DefineFunction2: parameters with the register each goes to (0 for none).
    Actions& defineFunction2(const std::string& name, uint8_t registers, uint16_t flags,
                             const std::vector<std::pair<uint8_t, std::string>>& params, const Actions& body);
    // try { body } catch (name) { handler } finally { last }; an empty name and no handler
    // leave out the catch block, no `last` the finally block.
    Actions& tryCatch(const Actions& body, const std::string& name, const Actions* handler, const Actions* last = nullptr);
    Actions& with(const Actions& body);
    // The pushed arguments' count and the name, then CallFunction or CallMethod.
    Actions& call(const std::string& name, int argc) { return pushInt(argc).push(name).op(swf::ActionCode::kCallFunction); }
    Actions& callMethod(const std::string& name, int argc) { return pushInt(argc).push(name).op(swf::ActionCode::kCallMethod); }
    // The bytecode with its closing zero.
    std::vector<uint8_t> bytes() const;

    // The bytecode without its closing zero, for bodies.
    std::vector<uint8_t> body() const;

private:
    std::vector<uint8_t> code_;
    std::map<std::string, size_t> labels_;
    std::vector<std::pair<size_t, std::string>> branches_;  // operand offsets to patch
};

// The action codes by name, for tests that assemble bytecode: action::kStop ...
namespace action {
using enum swf::ActionCode;
}

}  // namespace testing_support
