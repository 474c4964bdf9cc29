// The interpreter core on its own: conversions, the stack machine's operations, paths to
// clips, and its limits, with a host of two clips that records what the script does.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "avm1/machine.h"
#include "support/action_builder.h"
#include "tests/avm1/fake_host.h"

namespace {

using avm1::Machine;
using avm1::Value;
using testing_support::Actions;
namespace op = testing_support::action;

using testing_support::FakeHost;

std::vector<std::string> Traced(const Actions& a, int version = 10, uint32_t clip = 1) {
    FakeHost host;
    Machine m(host, version);
    m.run(a.bytes(), clip);
    return host.traced;
}

TEST(Avm1Numbers, PrintAsTheReferencePlayersPrintThem) {
    using avm1::NumberToString;
    EXPECT_EQ(NumberToString(0.1 + 0.2), "0.3");
    EXPECT_EQ(NumberToString(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(NumberToString(-2.5), "-2.5");
    EXPECT_EQ(NumberToString(100), "100");
    EXPECT_EQ(NumberToString(123456789012345.0), "123456789012345");
    EXPECT_EQ(NumberToString(1e15), "1e+15");
    EXPECT_EQ(NumberToString(1.5e21), "1.5e+21");
    EXPECT_EQ(NumberToString(0.00001), "0.00001");
    EXPECT_EQ(NumberToString(0.0000015), "1.5e-6");
    EXPECT_EQ(NumberToString(-0.0), "0");
    EXPECT_EQ(NumberToString(std::nan("")), "NaN");
    EXPECT_EQ(NumberToString(INFINITY), "Infinity");
    EXPECT_EQ(NumberToString(-INFINITY), "-Infinity");
}

TEST(Avm1Numbers, StringsBecomeNumbersByTheMoviesVersion) {
    using avm1::StringToNumber;
    EXPECT_EQ(StringToNumber(" 12.5", 6), 12.5);
    EXPECT_TRUE(std::isnan(StringToNumber("  5  ", 6))) << "blanks may lead, not trail";
    EXPECT_EQ(StringToNumber("0x1F", 6), 31);
    EXPECT_EQ(StringToNumber("-0x10", 6), -16);
    EXPECT_EQ(StringToNumber("010", 6), 8);  // octal from version 6
    EXPECT_EQ(StringToNumber("010", 5), 10);
    EXPECT_TRUE(std::isnan(StringToNumber("0x1F", 5)));
    EXPECT_TRUE(std::isnan(StringToNumber("12abc", 6)));
    EXPECT_TRUE(std::isnan(StringToNumber("", 6)));
    EXPECT_TRUE(std::isnan(StringToNumber("inf", 6)));
    // Version 4 reads the number a string starts with, and 0 when there is none.
    EXPECT_EQ(StringToNumber("150a", 4), 150);
    EXPECT_EQ(StringToNumber("abc", 4), 0);
    EXPECT_EQ(StringToNumber("0x96", 4), 0);
    EXPECT_EQ(avm1::ToInt32(4294967295.0), -1);
    EXPECT_EQ(avm1::ToInt32(-4294967297.0), -1);
    EXPECT_EQ(avm1::ToInt32(std::nan("")), 0);
}

TEST(Avm1Stack, ArithmeticComparisonAndLogic) {
    const auto out = Traced(Actions()
                             .push(7.0).push(2.0).op(op::kModulo).trace()                    // 1
                             .push("3").push(4.0).op(op::kAdd2).trace()                      // "34"
                             .push(3.0).push(4.0).op(op::kAdd2).trace()                      // 7
                             .push("3").push("4").op(op::kAdd).trace()                       // 7
                             .push(1.0).push(0.0).op(op::kDivide).trace()                    // Infinity
                             .push("b").push("a").op(op::kLess2).trace()                     // false
                             .push(std::nan("")).push(1.0).op(op::kLess2).trace()            // undefined
                             .pushNull().pushUndefined().op(op::kEquals2).trace()            // true
                             .push("1").push(1.0).op(op::kStrictEquals).trace()              // false
                             .push(5.0).pushInt(-3).op(0x60).trace()                         // 5 & -3 = 5
                             .pushInt(-8).pushInt(1).op(0x65).trace()                        // 2147483644
                             .push(-7.9).op(op::kToInteger).trace()                          // -7
                             .pushBool(false).op(op::kNot).trace()                           // true
                             .pushUndefined().op(op::kTypeOf).trace());                      // undefined
    const std::vector<std::string> expected = {"1", "34", "7", "7", "Infinity", "false", "undefined",
                                               "true", "false", "5", "2147483644", "-7", "true", "undefined"};
    EXPECT_EQ(out, expected);
}

TEST(Avm1Stack, VersionFourKnowsNoBooleansAndDividesByZeroAsAnError) {
    const auto out = Traced(Actions()
                             .push(1.0).push(2.0).op(op::kLess).trace()
                             .push(1.0).push(0.0).op(op::kDivide).trace()
                             .pushUndefined().trace(),
                         4);
    const std::vector<std::string> expected = {"1", "#ERROR#", "undefined"};
    EXPECT_EQ(out, expected);
}

TEST(Avm1Stack, StringsCountCharactersNotBytesFromVersionSix) {
    const std::string word = "h\xC3\xA9llo";  // "héllo": 5 characters, 6 bytes
    const auto v6 = Traced(Actions()
                            .push(word).op(0x14).trace()
                            .push(word).push(2.0).push(3.0).op(0x15).trace()
                            .push(word).push(-5.0).push(100.0).op(0x15).trace()
                            .push(233.0).op(0x33).trace()
                            .push("\xC3\xA9").op(0x32).trace()
                            .push("ab").push("cd").op(op::kStringAdd).trace(),
                        6);
    const std::vector<std::string> expected = {"5", "\xC3\xA9ll", word, "\xC3\xA9", "233", "abcd"};
    EXPECT_EQ(v6, expected);
    EXPECT_EQ(Traced(Actions().push(word).op(0x14).trace(), 5), std::vector<std::string>{"6"});
}

TEST(Avm1Flow, BranchesLoopsRegistersAndConstants) {
    // sum = 0; i = 1; while (i <= 10) { sum += i; i++ }  trace(sum)
    Actions a;
    a.constantPool({"sum", "i"})
        .pushConstant(0).push(0.0).op(op::kSetVariable)
        .pushConstant(1).push(1.0).op(op::kSetVariable)
        .label("loop")
        .push(10.0).pushConstant(1).op(op::kGetVariable).op(op::kLess2).branchIf("done")
        .pushConstant(0).pushConstant(0).op(op::kGetVariable).pushConstant(1).op(op::kGetVariable).op(op::kAdd2)
        .op(op::kSetVariable)
        .pushConstant(1).pushConstant(1).op(op::kGetVariable).op(op::kIncrement).op(op::kSetVariable)
        .jump("loop")
        .label("done")
        .pushConstant(0).op(op::kGetVariable).trace()
        .push(42.0).storeRegister(2).op(op::kPop).pushRegister(2).trace();
    const std::vector<std::string> expected = {"55", "42"};
    EXPECT_EQ(Traced(a), expected);
}

TEST(Avm1Paths, VariablesAndTargetsByPath) {
    FakeHost host;
    Machine m(host, 6);
    m.run(Actions()
              .push("/a:v").push(1.0).op(op::kSetVariable)
              .push("_root.a.b.w").push(2.0).op(op::kSetVariable)
              .push("a/b:w").op(op::kGetVariable).trace()
              .push("_parent").op(op::kGetVariable).trace()   // the root has none
              .push("a").op(op::kGetVariable).push("v").op(op::kGetMember).trace()
              .push("a").op(op::kGetVariable).push("b").op(op::kGetMember).trace()
              .push("a:b:w").op(op::kGetVariable).trace()      // a colon separates names too
              .push("a.b:w").op(op::kGetVariable).trace()      // a dot before any slash does
              .push("/a.b:w").op(op::kGetVariable).trace()     // "a.b" after a slash is one name: none
              .setTarget("a/b").op(op::kStop).push("../:v").op(op::kGetVariable).trace()
              .setTarget("").op(op::kStop)
              .push("_root.a").op(op::kSetTarget2).op(op::kPlay)
              .push("/nowhere").op(op::kSetTarget2).op(op::kPlay)  // a lost target falls back to this one
              .bytes(),
          1);
    ASSERT_EQ(host.vars[2]["v"].number(), 1);
    ASSERT_EQ(host.vars[3]["w"].number(), 2);
    const std::vector<std::string> traced = {"2", "undefined", "1", "_level0.a.b", "2", "2", "undefined", "1"};
    EXPECT_EQ(host.traced, traced);
    const std::vector<std::string> calls = {"stop 3", "stop 1", "play 2", "play 1"};
    EXPECT_EQ(host.calls, calls);
}

TEST(Avm1Timeline, GotoActionsAndFrameCalls) {
    FakeHost host;
    Machine m(host, 6);
    m.run(Actions()
              .gotoFrame(3)
              .op(0x04)                                   // nextFrame: 4
              .gotoLabel("end")                           // 9
              .gotoLabel("missing")                       // nothing
              .push(2.0).gotoFrame2(true)                 // frame 2 counts from 1: index 1, playing
              .push("end").gotoFrame2(false)              // a label
              .push("a:3").gotoFrame2(false)              // a path and a frame
              .push(5.0).op(0x9E, {})                     // call frame 5's scripts (index 4)
              .push(1.0).push(1.0).push("a").push("gotoAndPlay").op(op::kCallMethod).op(op::kPop)
              .bytes(),
          1);
    const std::vector<std::string> calls = {"goto 1 3 stop", "goto 1 4 stop", "goto 1 9 stop", "goto 1 1 play",
                                            "goto 1 9 stop", "goto 2 2 stop"};
    ASSERT_GE(host.calls.size(), calls.size());
    EXPECT_EQ(std::vector<std::string>(host.calls.begin(), host.calls.begin() + 6), calls);
    EXPECT_EQ(host.traced, std::vector<std::string>{"called"});
    // gotoAndPlay(0) through CallMethod on the string "a" is no clip: nothing more happens.
    EXPECT_EQ(host.calls.size(), calls.size());
}

TEST(Avm1Timeline, FrameNumbersWrapAs32BitIntegers) {
    FakeHost host;
    Machine m(host, 8);
    m.run(Actions()
              .push(0.0).gotoFrame2(false)              // frame 0 is no frame: nothing
              .push(-2147483647.0).gotoFrame2(false)    // less one is negative: nothing
              .push(4294967298.0).gotoFrame2(false)     // wraps to 2: index 1
              .push(2147483648.0).gotoFrame2(false)     // wraps to the largest index: clamped by the host
              .push("3").gotoFrame2(true)               // a number in a string
              .bytes(),
          1);
    const std::vector<std::string> calls = {"goto 1 1 stop", "goto 1 2147483647 stop", "goto 1 2 play"};
    EXPECT_EQ(host.calls, calls);
}

TEST(Avm1Limits, RunawayScriptsStopAtTheBudgetWithALogLine) {
    FakeHost host;
    Machine m(host, 6);
    const std::vector<uint8_t> forever = Actions().label("top").jump("top").bytes();
    m.startFrame();
    m.run(forever, 1);
    EXPECT_TRUE(m.budgetSpent());
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_NE(host.logged[0].find("kMaxInstructionsPerFrame"), std::string::npos);
    // The next frame has a budget of its own.
    m.startFrame();
    m.run(Actions().push("after").trace().bytes(), 1);
    EXPECT_EQ(host.traced, std::vector<std::string>{"after"});
}

TEST(Avm1Limits, StringsThatDoubleForeverStopTheScript) {
    FakeHost host;
    Machine m(host, 6);
    m.startFrame();
    m.run(Actions()
              .push("s").push("xxxxxxxxxxxxxxxx").op(op::kSetVariable)
              .label("top")
              .push("s").push("s").op(op::kGetVariable).push("s").op(op::kGetVariable).op(op::kStringAdd)
              .op(op::kSetVariable)
              .jump("top")
              .bytes(),
          1);
    EXPECT_LE(host.vars[1]["s"].string().size(), avm1::kMaxStringBytes);
    ASSERT_FALSE(host.logged.empty());
    EXPECT_NE(host.logged[0].find("kMaxStringBytes"), std::string::npos);
    EXPECT_FALSE(m.budgetSpent());  // stopped by the string's size, long before the budget
}

TEST(Avm1Limits, DamagedBytecodeEndsTheBlockSafely) {
    // A push cut short, a branch far outside the block, a length past the end: each ends
    // the block without reading outside it.
    const std::vector<std::vector<uint8_t>> blocks = {
        {0x96, 0x05, 0x00, 0x00, 'a'},              // string without its end, block without its zero
        {0x99, 0x02, 0x00, 0x00, 0x70},             // jump 28672 bytes ahead
        {0x99, 0x02, 0x00, 0x00, 0x80},             // jump 32768 bytes back
        {0x96, 0xFF, 0xFF, 0x07},                   // length past the end
        {0x96, 0x02, 0x00, 0x0B, 0x00, 0x26, 0x00}, // an unknown push type, then a trace of nothing
        {0x8E, 0x03, 0x00, 'f', 0x00, 0x01},        // a function header cut short
    };
    for (const auto& code : blocks) {
        FakeHost host;
        Machine m(host, 8);
        m.startFrame();
        m.run(code, 1);
        EXPECT_FALSE(m.budgetSpent());
    }
    // A script aimed at a clip that has gone does nothing.
    FakeHost host;
    Machine m(host, 8);
    m.run(Actions().push("x").trace().bytes(), 77);
    EXPECT_TRUE(host.traced.empty());
}

// Values that refer to objects: their members through GetMember and SetMember, how they
// convert and compare, and that the collector keeps what the host's variables hold.
TEST(Avm1Objects, ValuesReachObjectsAndTheHostsVariablesKeepThem) {
    FakeHost host;
    Machine m(host, 7);
    const avm1::ObjectHandle proto = m.heap().make();
    m.heap().get(proto)->set("greeting", Value::String("hello"));
    const avm1::ObjectHandle o = m.heap().make(proto);
    host.vars[1]["o"] = Value::Object(o);
    host.vars[1]["same"] = Value::Object(o);
    m.run(Actions()
              .push("o").op(op::kGetVariable).push("greeting").op(op::kGetMember).trace()      // from the prototype
              .push("o").op(op::kGetVariable).push("n").push(5.0).op(op::kSetMember)
              .push("o").op(op::kGetVariable).push("n").op(op::kGetMember).trace()             // 5
              .push("o").op(op::kGetVariable).trace()                                          // [object Object]
              .push("o").op(op::kGetVariable).op(op::kTypeOf).trace()                          // object
              .push("o").op(op::kGetVariable).push("same").op(op::kGetVariable).op(op::kStrictEquals).trace()
              .push("o").op(op::kGetVariable).push("same").op(op::kGetVariable).op(op::kEquals2).trace()
              .push("o").op(op::kGetVariable).pushInt(0).op(op::kEquals2).trace()              // false
              .bytes(),
          1);
    // An object whose chain has no toString prints as its type.
    EXPECT_EQ(host.traced, (std::vector<std::string>{"hello", "5", "[type Object]", "object", "true", "true", "false"}));
    const avm1::ObjectHandle lost = m.heap().make();
    EXPECT_EQ(m.collectGarbage(), 1u) << "only the object nothing holds";
    EXPECT_EQ(m.heap().get(lost), nullptr);
    ASSERT_NE(m.heap().get(o), nullptr);
    EXPECT_NE(m.heap().get(proto), nullptr) << "a prototype lives as long as its objects";
    host.vars[1].clear();
    m.collectGarbage();
    EXPECT_EQ(m.heap().get(o), nullptr);
    // A stale handle in a value reads as nothing.
    host.vars[1]["stale"] = Value::Object(o);
    m.run(Actions().push("stale").op(op::kGetVariable).push("n").op(op::kGetMember).trace().bytes(), 1);
    EXPECT_EQ(host.traced.back(), "undefined");
}

TEST(Avm1Functions, OldFunctionsCalledBetweenStepsHaveTheGlobalRegisters) {
    // f = function(x) { r0 = x; trace(r0); }: a version 1 function has no registers of its
    // own; called by the player with no block running (an event between steps) it uses the
    // four global ones, and keeps what it stored there.
    FakeHost host;
    Machine m(host, 8);
    Actions body;
    body.push("x").op(op::kGetVariable).storeRegister(0).op(op::kPop).pushRegister(0).trace();
    const std::vector<uint8_t> code = Actions().push("f").defineFunction("", {"x"}, body).op(op::kSetVariable).bytes();
    m.run(code, 1);  // the function's code stays where it was defined, as a movie's does
    Value f;
    ASSERT_TRUE(m.readVariable(1, "f", f));
    ASSERT_EQ(f.type(), avm1::Type::kObject);
    m.call(f, Value(), {Value::Number(7)});
    m.call(f, Value(), {Value::String("again")});
    EXPECT_EQ(host.traced, (std::vector<std::string>{"7", "again"}));
}

}  // namespace
