#pragma once
// ActionScript 1 and 2 bytecode: the action codes by name, and action records decoded into
// typed actions. The machine and the tests' assembler both speak in these terms, so no hex
// opcode appears anywhere else.
//
// An action is one byte of code; codes from 0x80 carry a 16-bit length and that many bytes
// of operands. Decoding never allocates: names and strings are views of the block's bytes,
// and the lists (Push values, constant pool entries, function parameters) are read one
// entry at a time as the caller walks them.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "swf/byte_reader.h"

namespace swf {

enum class ActionCode : uint8_t {
    kEnd = 0x00,
    // SWF 3: the timeline.
    kNextFrame = 0x04, kPreviousFrame = 0x05, kPlay = 0x06, kStop = 0x07, kToggleQuality = 0x08,
    kStopSounds = 0x09,
    // SWF 4: the stack machine.
    kAdd = 0x0A, kSubtract = 0x0B, kMultiply = 0x0C, kDivide = 0x0D, kEquals = 0x0E, kLess = 0x0F,
    kAnd = 0x10, kOr = 0x11, kNot = 0x12, kStringEquals = 0x13, kStringLength = 0x14,
    kStringExtract = 0x15, kPop = 0x17, kToInteger = 0x18, kGetVariable = 0x1C, kSetVariable = 0x1D,
    kSetTarget2 = 0x20, kStringAdd = 0x21, kGetProperty = 0x22, kSetProperty = 0x23,
    kCloneSprite = 0x24, kRemoveSprite = 0x25, kTrace = 0x26, kStartDrag = 0x27, kEndDrag = 0x28,
    kStringLess = 0x29, kThrow = 0x2A, kCastOp = 0x2B, kImplementsOp = 0x2C, kRandomNumber = 0x30,
    kMBStringLength = 0x31, kCharToAscii = 0x32, kAsciiToChar = 0x33, kGetTime = 0x34,
    kMBStringExtract = 0x35, kMBCharToAscii = 0x36, kMBAsciiToChar = 0x37,
    // SWF 5 and later: objects, functions, the typed operators.
    kDelete = 0x3A, kDelete2 = 0x3B, kDefineLocal = 0x3C, kCallFunction = 0x3D, kReturn = 0x3E,
    kModulo = 0x3F, kNewObject = 0x40, kDefineLocal2 = 0x41, kInitArray = 0x42, kInitObject = 0x43,
    kTypeOf = 0x44, kTargetPath = 0x45, kEnumerate = 0x46, kAdd2 = 0x47, kLess2 = 0x48,
    kEquals2 = 0x49, kToNumber = 0x4A, kToString = 0x4B, kPushDuplicate = 0x4C, kStackSwap = 0x4D,
    kGetMember = 0x4E, kSetMember = 0x4F, kIncrement = 0x50, kDecrement = 0x51, kCallMethod = 0x52,
    kNewMethod = 0x53, kInstanceOf = 0x54, kEnumerate2 = 0x55, kBitAnd = 0x60, kBitOr = 0x61,
    kBitXor = 0x62, kBitLShift = 0x63, kBitRShift = 0x64, kBitURShift = 0x65, kStrictEquals = 0x66,
    kGreater = 0x67, kStringGreater = 0x68, kExtends = 0x69,
    // With operands.
    kGotoFrame = 0x81, kGetUrl = 0x83, kStoreRegister = 0x87, kConstantPool = 0x88,
    kWaitForFrame = 0x8A, kSetTarget = 0x8B, kGoToLabel = 0x8C, kWaitForFrame2 = 0x8D,
    kDefineFunction2 = 0x8E, kTry = 0x8F, kWith = 0x94, kPush = 0x96, kJump = 0x99, kGetUrl2 = 0x9A,
    kDefineFunction = 0x9B, kIf = 0x9D, kCall = 0x9E, kGotoFrame2 = 0x9F,
};

// The action's name as the format's documentation spells it ("GotoFrame2"), or null for a
// code that names no action.
const char* ActionName(ActionCode code);
inline bool HasOperands(ActionCode code) { return static_cast<uint8_t>(code) >= 0x80; }

// --- operands, one struct per shape ---------------------------------------------------

struct GotoFrameAction { uint16_t frame = 0; };               // GotoFrame: from 0
struct GetUrlAction { std::string_view url, target; };        // GetURL
struct StoreRegisterAction { uint8_t reg = 0; };              // StoreRegister
struct WaitForFrameAction { uint16_t frame = 0; uint8_t skip = 0; };
struct WaitForFrame2Action { uint8_t skip = 0; };
struct NameAction { std::string_view name; };                // SetTarget, GoToLabel
struct BranchAction { int16_t offset = 0; };                 // Jump, If: from the next action
struct GetUrl2Action { uint8_t method = 0; bool loadTarget = false; bool loadVariables = false; };
struct GotoFrame2Action { bool play = false; uint16_t sceneBias = 0; };
struct WithAction { uint16_t size = 0; };                    // the body's bytes, after this action

// ConstantPool: its strings, read in turn.
struct ConstantPoolAction {
    uint16_t count = 0;
    ByteReader strings;
    // The next string; false after the last one or at damage.
    bool next(std::string_view& out);
    uint16_t read = 0;
};

// One value of a Push, by its type byte.
struct PushValue {
    enum class Type : uint8_t { kString = 0, kFloat = 1, kNull = 2, kUndefined = 3, kRegister = 4,
                                kBoolean = 5, kDouble = 6, kInteger = 7, kConstant8 = 8, kConstant16 = 9 };
    Type type = Type::kUndefined;
    std::string_view string;  // kString
    double number = 0;        // kFloat, kDouble, kInteger
    bool boolean = false;     // kBoolean
    uint16_t index = 0;       // kRegister, kConstant8, kConstant16
};

// Push: its values, read in turn.
struct PushAction {
    ByteReader values;
    // The next value; false after the last one, or at damage (an unknown type, a value cut
    // short), after which `damaged()` is true.
    bool next(PushValue& out);
    bool damaged() const { return !values.ok(); }
};

// DefineFunction and DefineFunction2. The body is the `codeSize` bytes after the action.
struct FunctionParameter {
    uint8_t reg = 0;  // DefineFunction2: the register that receives it, 0 for none
    std::string_view name;
};
struct DefineFunctionAction {
    bool version2 = false;
    std::string_view name;  // empty for a function literal
    uint16_t parameterCount = 0;
    uint8_t registerCount = 0;  // DefineFunction2
    uint16_t flags = 0;         // DefineFunction2: the preload and suppress flags below
    uint16_t codeSize = 0;
    ByteReader parameters;
    uint16_t read = 0;
    bool next(FunctionParameter& out);
};
namespace function_flag {
inline constexpr uint16_t kPreloadThis = 0x0001, kSuppressThis = 0x0002, kPreloadArguments = 0x0004,
                          kSuppressArguments = 0x0008, kPreloadSuper = 0x0010, kSuppressSuper = 0x0020,
                          kPreloadRoot = 0x0040, kPreloadParent = 0x0080, kPreloadGlobal = 0x0100;
}

// Try: the three blocks' sizes follow the action in turn.
struct TryAction {
    bool hasCatch = false, hasFinally = false, catchInRegister = false;
    uint16_t trySize = 0, catchSize = 0, finallySize = 0;
    std::string_view catchName;  // when not in a register
    uint8_t catchRegister = 0;
};

using ActionOperands =
    std::variant<std::monostate, GotoFrameAction, GetUrlAction, StoreRegisterAction, WaitForFrameAction,
                 WaitForFrame2Action, NameAction, BranchAction, GetUrl2Action, GotoFrame2Action, WithAction,
                 ConstantPoolAction, PushAction, DefineFunctionAction, TryAction>;

struct Action {
    ActionCode code = ActionCode::kEnd;
    size_t offset = 0;   // of its code byte in the block
    size_t next = 0;     // where the next action starts
    // The operands by the action's shape; monostate for actions without them, for codes the
    // decoder does not know, and for operands cut short (then `damaged` is set).
    ActionOperands operands;
    bool damaged = false;
};

enum class ActionRead : uint8_t {
    kAction,     // `out` holds the action
    kEnd,        // the End action, or the end of the block
    kTruncated,  // the action's length runs past the block: nothing after it can be read
};

// Decodes the action at `offset` of a block of `size` bytes. Views in `out` point into the
// block, which must outlive them.
ActionRead DecodeAction(const uint8_t* block, size_t size, size_t offset, Action& out);

}  // namespace swf
