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
    // The bytecode with its closing zero.
    std::vector<uint8_t> bytes() const;

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
