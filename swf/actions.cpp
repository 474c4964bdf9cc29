#include "swf/actions.h"

#include <cstring>

namespace swf {

const char* ActionName(ActionCode code) {
    switch (code) {
        case ActionCode::kEnd: return "End";
        case ActionCode::kNextFrame: return "NextFrame";
        case ActionCode::kPreviousFrame: return "PreviousFrame";
        case ActionCode::kPlay: return "Play";
        case ActionCode::kStop: return "Stop";
        case ActionCode::kToggleQuality: return "ToggleQuality";
        case ActionCode::kStopSounds: return "StopSounds";
        case ActionCode::kAdd: return "Add";
        case ActionCode::kSubtract: return "Subtract";
        case ActionCode::kMultiply: return "Multiply";
        case ActionCode::kDivide: return "Divide";
        case ActionCode::kEquals: return "Equals";
        case ActionCode::kLess: return "Less";
        case ActionCode::kAnd: return "And";
        case ActionCode::kOr: return "Or";
        case ActionCode::kNot: return "Not";
        case ActionCode::kStringEquals: return "StringEquals";
        case ActionCode::kStringLength: return "StringLength";
        case ActionCode::kStringExtract: return "StringExtract";
        case ActionCode::kPop: return "Pop";
        case ActionCode::kToInteger: return "ToInteger";
        case ActionCode::kGetVariable: return "GetVariable";
        case ActionCode::kSetVariable: return "SetVariable";
        case ActionCode::kSetTarget2: return "SetTarget2";
        case ActionCode::kStringAdd: return "StringAdd";
        case ActionCode::kGetProperty: return "GetProperty";
        case ActionCode::kSetProperty: return "SetProperty";
        case ActionCode::kCloneSprite: return "CloneSprite";
        case ActionCode::kRemoveSprite: return "RemoveSprite";
        case ActionCode::kTrace: return "Trace";
        case ActionCode::kStartDrag: return "StartDrag";
        case ActionCode::kEndDrag: return "EndDrag";
        case ActionCode::kStringLess: return "StringLess";
        case ActionCode::kThrow: return "Throw";
        case ActionCode::kCastOp: return "CastOp";
        case ActionCode::kImplementsOp: return "ImplementsOp";
        case ActionCode::kRandomNumber: return "RandomNumber";
        case ActionCode::kMBStringLength: return "MBStringLength";
        case ActionCode::kCharToAscii: return "CharToAscii";
        case ActionCode::kAsciiToChar: return "AsciiToChar";
        case ActionCode::kGetTime: return "GetTime";
        case ActionCode::kMBStringExtract: return "MBStringExtract";
        case ActionCode::kMBCharToAscii: return "MBCharToAscii";
        case ActionCode::kMBAsciiToChar: return "MBAsciiToChar";
        case ActionCode::kDelete: return "Delete";
        case ActionCode::kDelete2: return "Delete2";
        case ActionCode::kDefineLocal: return "DefineLocal";
        case ActionCode::kCallFunction: return "CallFunction";
        case ActionCode::kReturn: return "Return";
        case ActionCode::kModulo: return "Modulo";
        case ActionCode::kNewObject: return "NewObject";
        case ActionCode::kDefineLocal2: return "DefineLocal2";
        case ActionCode::kInitArray: return "InitArray";
        case ActionCode::kInitObject: return "InitObject";
        case ActionCode::kTypeOf: return "TypeOf";
        case ActionCode::kTargetPath: return "TargetPath";
        case ActionCode::kEnumerate: return "Enumerate";
        case ActionCode::kAdd2: return "Add2";
        case ActionCode::kLess2: return "Less2";
        case ActionCode::kEquals2: return "Equals2";
        case ActionCode::kToNumber: return "ToNumber";
        case ActionCode::kToString: return "ToString";
        case ActionCode::kPushDuplicate: return "PushDuplicate";
        case ActionCode::kStackSwap: return "StackSwap";
        case ActionCode::kGetMember: return "GetMember";
        case ActionCode::kSetMember: return "SetMember";
        case ActionCode::kIncrement: return "Increment";
        case ActionCode::kDecrement: return "Decrement";
        case ActionCode::kCallMethod: return "CallMethod";
        case ActionCode::kNewMethod: return "NewMethod";
        case ActionCode::kInstanceOf: return "InstanceOf";
        case ActionCode::kEnumerate2: return "Enumerate2";
        case ActionCode::kBitAnd: return "BitAnd";
        case ActionCode::kBitOr: return "BitOr";
        case ActionCode::kBitXor: return "BitXor";
        case ActionCode::kBitLShift: return "BitLShift";
        case ActionCode::kBitRShift: return "BitRShift";
        case ActionCode::kBitURShift: return "BitURShift";
        case ActionCode::kStrictEquals: return "StrictEquals";
        case ActionCode::kGreater: return "Greater";
        case ActionCode::kStringGreater: return "StringGreater";
        case ActionCode::kExtends: return "Extends";
        case ActionCode::kGotoFrame: return "GotoFrame";
        case ActionCode::kGetUrl: return "GetURL";
        case ActionCode::kStoreRegister: return "StoreRegister";
        case ActionCode::kConstantPool: return "ConstantPool";
        case ActionCode::kWaitForFrame: return "WaitForFrame";
        case ActionCode::kSetTarget: return "SetTarget";
        case ActionCode::kGoToLabel: return "GoToLabel";
        case ActionCode::kWaitForFrame2: return "WaitForFrame2";
        case ActionCode::kDefineFunction2: return "DefineFunction2";
        case ActionCode::kTry: return "Try";
        case ActionCode::kWith: return "With";
        case ActionCode::kPush: return "Push";
        case ActionCode::kJump: return "Jump";
        case ActionCode::kGetUrl2: return "GetURL2";
        case ActionCode::kDefineFunction: return "DefineFunction";
        case ActionCode::kIf: return "If";
        case ActionCode::kCall: return "Call";
        case ActionCode::kGotoFrame2: return "GotoFrame2";
    }
    return nullptr;
}

bool ConstantPoolAction::next(std::string_view& out) {
    if (read >= count || !strings.ok() || strings.remaining() == 0) return false;
    out = strings.stringView();
    ++read;
    return true;
}

bool PushAction::next(PushValue& out) {
    if (values.remaining() == 0 || !values.ok()) return false;
    out = PushValue();
    const uint8_t type = values.u8();
    switch (type) {
        case 0: out.string = values.stringView(); break;
        case 1: {
            const uint32_t bits = values.u32();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            out.number = f;
            break;
        }
        case 2:
        case 3: break;
        case 4: out.index = values.u8(); break;
        case 5: out.boolean = values.u8() != 0; break;
        case 6: {  // the two 32-bit halves come high first
            const uint64_t high = values.u32();
            const uint64_t low = values.u32();
            const uint64_t bits = (high << 32) | low;
            double d;
            std::memcpy(&d, &bits, sizeof d);
            out.number = d;
            break;
        }
        case 7: out.number = static_cast<double>(values.s32()); break;
        case 8: out.index = values.u8(); break;
        case 9: out.index = values.u16(); break;
        default: values.fail(); break;
    }
    out.type = static_cast<PushValue::Type>(type);
    return values.ok();
}

bool DefineFunctionAction::next(FunctionParameter& out) {
    if (read >= parameterCount || !parameters.ok()) return false;
    out = FunctionParameter();
    if (version2) out.reg = parameters.u8();
    out.name = parameters.stringView();
    if (!parameters.ok()) return false;
    ++read;
    return true;
}

namespace {

// The operands of one action, by its shape. False when they are cut short.
bool DecodeOperands(ActionCode code, ByteReader body, ActionOperands& out) {
    switch (code) {
        case ActionCode::kGotoFrame: out = GotoFrameAction{body.u16()}; break;
        case ActionCode::kGetUrl: {
            GetUrlAction a;
            a.url = body.stringView();
            a.target = body.stringView();
            out = a;
            break;
        }
        case ActionCode::kStoreRegister: out = StoreRegisterAction{body.u8()}; break;
        case ActionCode::kWaitForFrame: {
            WaitForFrameAction a;
            a.frame = body.u16();
            a.skip = body.u8();
            out = a;
            break;
        }
        case ActionCode::kWaitForFrame2: out = WaitForFrame2Action{body.u8()}; break;
        case ActionCode::kSetTarget:
        case ActionCode::kGoToLabel: out = NameAction{body.stringView()}; break;
        case ActionCode::kJump:
        case ActionCode::kIf: out = BranchAction{body.s16()}; break;
        case ActionCode::kGetUrl2: {
            const uint8_t flags = body.u8();
            // The load flags are the top bits and the method the lowest two, as movies write them.
            out = GetUrl2Action{static_cast<uint8_t>(flags & 0x03), (flags & 0x40) != 0, (flags & 0x80) != 0};
            break;
        }
        case ActionCode::kGotoFrame2: {
            const uint8_t flags = body.u8();
            GotoFrame2Action a;
            a.play = (flags & 0x01) != 0;
            if (flags & 0x02) a.sceneBias = body.u16();
            out = a;
            break;
        }
        case ActionCode::kWith: out = WithAction{body.u16()}; break;
        case ActionCode::kConstantPool: {
            ConstantPoolAction a;
            a.count = body.u16();
            a.strings = ByteReader(body.current(), body.remaining());
            out = a;
            break;
        }
        case ActionCode::kPush: out = PushAction{body}; break;
        case ActionCode::kDefineFunction:
        case ActionCode::kDefineFunction2: {
            DefineFunctionAction a;
            a.version2 = code == ActionCode::kDefineFunction2;
            a.name = body.stringView();
            a.parameterCount = body.u16();
            if (a.version2) {
                a.registerCount = body.u8();
                a.flags = body.u16();
            }
            // The parameters lie between the header and the body's size: walk them once to
            // find where they end.
            const uint8_t* start = body.current();
            for (uint16_t i = 0; i < a.parameterCount && body.ok(); ++i) {
                if (a.version2) body.u8();
                body.stringView();
            }
            a.parameters = ByteReader(start, static_cast<size_t>(body.current() - start));
            a.codeSize = body.u16();
            out = a;
            break;
        }
        case ActionCode::kTry: {
            const uint8_t flags = body.u8();
            TryAction a;
            a.hasCatch = (flags & 0x01) != 0;
            a.hasFinally = (flags & 0x02) != 0;
            a.catchInRegister = (flags & 0x04) != 0;
            a.trySize = body.u16();
            a.catchSize = body.u16();
            a.finallySize = body.u16();
            if (a.catchInRegister) {
                a.catchRegister = body.u8();
            } else {
                a.catchName = body.stringView();
            }
            out = a;
            break;
        }
        default: out = std::monostate(); break;
    }
    return body.ok();
}

}  // namespace

ActionRead DecodeAction(const uint8_t* block, size_t size, size_t offset, Action& out) {
    if (block == nullptr || offset >= size || block[offset] == 0) return ActionRead::kEnd;
    out.code = static_cast<ActionCode>(block[offset]);
    out.offset = offset;
    out.damaged = false;
    size_t length = 0;
    size_t bodyAt = offset + 1;
    if (HasOperands(out.code)) {
        if (size - offset < 3) return ActionRead::kTruncated;
        length = block[offset + 1] | (static_cast<size_t>(block[offset + 2]) << 8);
        bodyAt = offset + 3;
        if (length > size - bodyAt) return ActionRead::kTruncated;
    }
    out.next = bodyAt + length;
    if (!DecodeOperands(out.code, ByteReader(block + bodyAt, length), out.operands)) {
        out.damaged = true;
        // Push and the constant pool keep what was read whole before the damage.
        if (out.code != ActionCode::kPush && out.code != ActionCode::kConstantPool) out.operands = std::monostate();
    }
    return ActionRead::kAction;
}

}  // namespace swf
