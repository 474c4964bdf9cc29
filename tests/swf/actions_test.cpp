// Action records decoded into typed actions: every shape of operands, the end of a block,
// records cut short, and damage inside the operands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/action_builder.h"
#include "swf/actions.h"

namespace {

using swf::ActionCode;
using swf::ActionRead;
using testing_support::Actions;

std::vector<swf::Action> DecodeAll(const std::vector<uint8_t>& code, ActionRead* last = nullptr) {
    std::vector<swf::Action> out;
    size_t at = 0;
    swf::Action a;
    ActionRead r;
    while ((r = swf::DecodeAction(code.data(), code.size(), at, a)) == ActionRead::kAction) {
        out.push_back(a);
        at = a.next;
    }
    if (last != nullptr) *last = r;
    return out;
}

TEST(Actions, EveryCodeHasItsDocumentedName) {
    int named = 0;
    for (int c = 0; c < 256; ++c) {
        if (swf::ActionName(static_cast<ActionCode>(c)) != nullptr) ++named;
    }
    EXPECT_EQ(named, 100);  // End and the 99 actions of SWF 3 to 7
    EXPECT_STREQ(swf::ActionName(ActionCode::kGotoFrame2), "GotoFrame2");
    EXPECT_STREQ(swf::ActionName(ActionCode::kGetUrl), "GetURL");
    EXPECT_STREQ(swf::ActionName(ActionCode::kMBAsciiToChar), "MBAsciiToChar");
    EXPECT_EQ(swf::ActionName(static_cast<ActionCode>(0x01)), nullptr);
    EXPECT_TRUE(swf::HasOperands(ActionCode::kPush));
    EXPECT_FALSE(swf::HasOperands(ActionCode::kExtends));
}

TEST(Actions, OperandsOfEachShape) {
    const std::vector<uint8_t> code = Actions()
                                          .gotoFrame(7)
                                          .gotoLabel("intro")
                                          .setTarget("/clip")
                                          .gotoFrame2(true, 3)
                                          .storeRegister(2)
                                          .op(ActionCode::kStop)
                                          .op(ActionCode::kGetUrl2, {0x42})  // POST, load into a target
                                          .op(ActionCode::kWaitForFrame, {5, 0, 9})
                                          .op(ActionCode::kGetUrl, {'u', 0, 't', 0})
                                          .bytes();
    ActionRead last;
    const std::vector<swf::Action> a = DecodeAll(code, &last);
    EXPECT_EQ(last, ActionRead::kEnd);
    ASSERT_EQ(a.size(), 9u);
    EXPECT_EQ(std::get<swf::GotoFrameAction>(a[0].operands).frame, 7);
    EXPECT_EQ(std::get<swf::NameAction>(a[1].operands).name, "intro");
    EXPECT_EQ(a[2].code, ActionCode::kSetTarget);
    EXPECT_EQ(std::get<swf::NameAction>(a[2].operands).name, "/clip");
    const auto& g = std::get<swf::GotoFrame2Action>(a[3].operands);
    EXPECT_TRUE(g.play);
    EXPECT_EQ(g.sceneBias, 3);
    EXPECT_EQ(std::get<swf::StoreRegisterAction>(a[4].operands).reg, 2);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(a[5].operands));
    EXPECT_EQ(a[5].next, a[5].offset + 1);
    const auto& u = std::get<swf::GetUrl2Action>(a[6].operands);
    EXPECT_EQ(u.method, 2);
    EXPECT_TRUE(u.loadTarget);
    EXPECT_FALSE(u.loadVariables);
    EXPECT_EQ(std::get<swf::WaitForFrameAction>(a[7].operands).skip, 9);
    EXPECT_EQ(std::get<swf::GetUrlAction>(a[8].operands).target, "t");
    for (const swf::Action& each : a) EXPECT_FALSE(each.damaged);
}

TEST(Actions, PushValuesOfEveryTypeAndTheConstantPool) {
    std::vector<uint8_t> values = {0, 'h', 'i', 0, 1, 0, 0, 0xC0, 0x3F, 2, 3, 4, 3, 5, 1, 7, 0xFE, 0xFF, 0xFF, 0xFF,
                                   8, 4, 9, 0x00, 0x01};
    // 2.5 as a double, high half first.
    values.insert(values.end(), {6, 0, 0, 0x04, 0x40, 0, 0, 0, 0});
    const std::vector<uint8_t> code =
        Actions().constantPool({"a", "bc"}).op(ActionCode::kPush, values).bytes();
    const std::vector<swf::Action> a = DecodeAll(code);
    ASSERT_EQ(a.size(), 2u);
    swf::ConstantPoolAction pool = std::get<swf::ConstantPoolAction>(a[0].operands);
    std::string_view s;
    std::vector<std::string> strings;
    while (pool.next(s)) strings.emplace_back(s);
    EXPECT_EQ(strings, (std::vector<std::string>{"a", "bc"}));

    swf::PushAction push = std::get<swf::PushAction>(a[1].operands);
    std::vector<swf::PushValue> got;
    swf::PushValue v;
    while (push.next(v)) got.push_back(v);
    EXPECT_FALSE(push.damaged());
    using T = swf::PushValue::Type;
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(got[0].type, T::kString);
    EXPECT_EQ(got[0].string, "hi");
    EXPECT_EQ(got[1].number, 1.5);  // float
    EXPECT_EQ(got[2].type, T::kNull);
    EXPECT_EQ(got[3].type, T::kUndefined);
    EXPECT_EQ(got[4].index, 3);  // register
    EXPECT_TRUE(got[5].boolean);
    EXPECT_EQ(got[6].number, -2);  // integer
    EXPECT_EQ(got[7].index, 4);    // constant8
    EXPECT_EQ(got[8].index, 256);  // constant16
    EXPECT_EQ(got[9].number, 2.5);
}

TEST(Actions, FunctionsAndTryBlocks) {
    // DefineFunction2 "f"(a in register 1, b), 4 registers, preloading this and _root.
    std::vector<uint8_t> def = {'f', 0, 2, 0, 4, 0x41, 0x00, 1, 'a', 0, 0, 'b', 0, 3, 0};
    std::vector<uint8_t> code = Actions().op(ActionCode::kDefineFunction2, def).bytes();
    code.pop_back();  // the function's body follows the action
    code.insert(code.end(), {0x07, 0x06, 0x07});
    code.insert(code.end(), {0x8F, 8, 0, 0x05, 2, 0, 1, 0, 0, 0, 3});  // Try, catch into register 3
    const std::vector<swf::Action> a = DecodeAll(code);
    ASSERT_GE(a.size(), 1u);
    swf::DefineFunctionAction f = std::get<swf::DefineFunctionAction>(a[0].operands);
    EXPECT_TRUE(f.version2);
    EXPECT_EQ(f.name, "f");
    EXPECT_EQ(f.registerCount, 4);
    EXPECT_EQ(f.flags, swf::function_flag::kPreloadThis | swf::function_flag::kPreloadRoot);
    EXPECT_EQ(f.codeSize, 3);
    swf::FunctionParameter p;
    std::vector<std::pair<int, std::string>> params;
    while (f.next(p)) params.emplace_back(p.reg, std::string(p.name));
    EXPECT_EQ(params, (std::vector<std::pair<int, std::string>>{{1, "a"}, {0, "b"}}));

    // The body's three actions decode as actions too; the Try comes after them.
    swf::Action t;
    ASSERT_EQ(swf::DecodeAction(code.data(), code.size(), a[0].next + f.codeSize, t), ActionRead::kAction);
    const auto& op = std::get<swf::TryAction>(t.operands);
    EXPECT_TRUE(op.hasCatch);
    EXPECT_FALSE(op.hasFinally);
    EXPECT_TRUE(op.catchInRegister);
    EXPECT_EQ(op.catchRegister, 3);
    EXPECT_EQ(op.trySize, 2);
    EXPECT_EQ(op.catchSize, 1);
}

TEST(Actions, TheEndOfABlockAndRecordsCutShort) {
    swf::Action a;
    const std::vector<uint8_t> empty;
    EXPECT_EQ(swf::DecodeAction(empty.data(), 0, 0, a), ActionRead::kEnd);
    const std::vector<uint8_t> end = {0x00, 0x07};
    EXPECT_EQ(swf::DecodeAction(end.data(), end.size(), 0, a), ActionRead::kEnd);
    EXPECT_EQ(swf::DecodeAction(end.data(), end.size(), 5, a), ActionRead::kEnd) << "past the block";
    const std::vector<uint8_t> noLength = {0x96, 0x05};
    EXPECT_EQ(swf::DecodeAction(noLength.data(), noLength.size(), 0, a), ActionRead::kTruncated);
    const std::vector<uint8_t> longer = {0x81, 0x04, 0x00, 0x01, 0x00};  // 4 bytes claimed, 2 there
    EXPECT_EQ(swf::DecodeAction(longer.data(), longer.size(), 0, a), ActionRead::kTruncated);
}

TEST(Actions, DamagedOperandsAreMarkedAndPushKeepsWhatCameWhole) {
    swf::Action a;
    const std::vector<uint8_t> shortGoto = {0x81, 0x01, 0x00, 0x05};  // a frame needs two bytes
    ASSERT_EQ(swf::DecodeAction(shortGoto.data(), shortGoto.size(), 0, a), ActionRead::kAction);
    EXPECT_TRUE(a.damaged);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(a.operands));
    EXPECT_EQ(a.next, 4u);

    // A Push of an integer, then an unknown type.
    const std::vector<uint8_t> push = {0x96, 0x07, 0x00, 7, 5, 0, 0, 0, 42, 1};
    ASSERT_EQ(swf::DecodeAction(push.data(), push.size(), 0, a), ActionRead::kAction);
    swf::PushAction values = std::get<swf::PushAction>(a.operands);
    swf::PushValue v;
    ASSERT_TRUE(values.next(v));
    EXPECT_EQ(v.number, 5);
    EXPECT_FALSE(values.next(v));
    EXPECT_TRUE(values.damaged());

    // A name without its closing zero.
    const std::vector<uint8_t> label = {0x8C, 0x02, 0x00, 'a', 'b'};
    ASSERT_EQ(swf::DecodeAction(label.data(), label.size(), 0, a), ActionRead::kAction);
    EXPECT_TRUE(a.damaged);
}

}  // namespace
