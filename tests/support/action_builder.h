#pragma once
// An assembler of ActionScript bytecode for tests: pushes, plain actions, actions with
// operands, and branches to named labels resolved when the bytes are taken.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

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
    Actions& op(uint8_t code);  // an action without operands
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
    Actions& trace() { return op(0x26); }
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

namespace action {
inline constexpr uint8_t kNextFrame = 0x04, kPrevFrame = 0x05, kPlay = 0x06, kStop = 0x07, kAdd = 0x0A,
                         kSubtract = 0x0B, kMultiply = 0x0C, kDivide = 0x0D, kEquals = 0x0E, kLess = 0x0F,
                         kNot = 0x12, kPop = 0x17, kToInteger = 0x18, kGetVariable = 0x1C, kSetVariable = 0x1D,
                         kSetTarget2 = 0x20, kStringAdd = 0x21, kGetProperty = 0x22, kSetProperty = 0x23,
                         kTrace = 0x26, kCallFunction = 0x3D, kModulo = 0x3F, kAdd2 = 0x47, kLess2 = 0x48,
                         kEquals2 = 0x49, kGetMember = 0x4E, kSetMember = 0x4F, kIncrement = 0x50, kCallMethod = 0x52,
                         kTypeOf = 0x44, kStrictEquals = 0x66;
}

}  // namespace testing_support
