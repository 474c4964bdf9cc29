// The language against a fake host: functions and closures, prototypes and classes, for-in
// order, exceptions through nested calls, getters, setters and watchers, the core classes,
// the collector under a loop, and the budgets that stop hostile scripts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "avm1/machine.h"
#include "support/action_builder.h"
#include "tests/avm1/fake_host.h"

namespace {

using avm1::Machine;
using avm1::Value;
using testing_support::Actions;
using testing_support::FakeHost;
namespace op = testing_support::action;
using Lines = std::vector<std::string>;

Lines RunLines(const Actions& a, int version = 8) { return testing_support::TracedBy(a, version); }

TEST(Avm1Functions, ClosuresKeepTheirScopeAndRecursionWorks) {
    // function counter() { var n = 0; return function () { n = n + 1; return n; }; }
    Actions inner;
    inner.push("n").push("n").op(op::kGetVariable).push(1.0).op(op::kAdd2).op(op::kSetVariable);
    inner.push("n").op(op::kGetVariable).op(op::kReturn);
    Actions outer;
    outer.push("n").push(0.0).op(op::kDefineLocal).defineFunction("", {}, inner).op(op::kReturn);
    // function fact(k) { if (k <= 1) return 1; return k * fact(k - 1); }
    Actions fact;
    fact.push("k").op(op::kGetVariable).push(1.0).op(op::kGreater).op(op::kNot).branchIf("base");
    fact.push("k").op(op::kGetVariable).push("k").op(op::kGetVariable).push(1.0).op(op::kSubtract).call("fact", 1);
    fact.op(op::kMultiply).op(op::kReturn).label("base").push(1.0).op(op::kReturn);
    Actions a;
    a.defineFunction("counter", {}, outer).defineFunction("fact", {"k"}, fact);
    a.push("c1").call("counter", 0).op(op::kSetVariable).push("c2").call("counter", 0).op(op::kSetVariable);
    a.call("c1", 0).op(op::kPop).call("c1", 0).trace();  // 2
    a.call("c2", 0).trace();                              // 1: each call of counter has its own n
    a.push(10.0).call("fact", 1).trace();                 // 3628800
    EXPECT_EQ(RunLines(a), (Lines{"2", "1", "3628800"}));
}

TEST(Avm1Functions, VarInsideWithSetsTheObjectsOwnPropertyElseALocal) {
    // function f() { var o = {b: 20}; o.__proto__ = {d: 20}; with (o) { var b = 10; var c = 10; var d = 10; }
    //                trace(o.b); trace(o.c); trace(c); trace(o.d); trace(d); }
    Actions body;
    body.push("b").push(10.0).op(op::kDefineLocal).push("c").push(10.0).op(op::kDefineLocal).push("d").push(10.0).op(op::kDefineLocal);
    Actions f;
    f.push("o").push("b").push(20.0).pushInt(1).op(op::kInitObject).op(op::kDefineLocal);
    f.push("o").op(op::kGetVariable).push("__proto__").push("d").push(20.0).pushInt(1).op(op::kInitObject).op(op::kSetMember);
    f.push("o").op(op::kGetVariable).with(body);
    for (const char* read : {"b", "c"}) f.push("o").op(op::kGetVariable).push(read).op(op::kGetMember).trace();
    f.push("c").op(op::kGetVariable).trace();
    f.push("o").op(op::kGetVariable).push("d").op(op::kGetMember).trace();
    f.push("d").op(op::kGetVariable).trace();
    Actions a;
    a.defineFunction("f", {}, f).call("f", 0).op(op::kPop);
    EXPECT_EQ(RunLines(a), (Lines{"10", "undefined", "10", "20", "10"}));
}

TEST(Avm1Functions, ThisIsALocalOfEachCallThatTheCallMaySet) {
    // o = {name: "o"}; o.f = function () { trace(this.name); this = 5; o.g(); trace(this); };
    // o.g = function () { trace(this.name); }; o.f(); trace(typeof this)
    Actions f;
    f.push("this").op(op::kGetVariable).push("name").op(op::kGetMember).trace();
    f.push("this").push(5.0).op(op::kSetVariable);
    f.pushInt(0).push("o").op(op::kGetVariable).push("g").op(op::kCallMethod).op(op::kPop);
    f.push("this").op(op::kGetVariable).trace();
    Actions g;
    g.push("this").op(op::kGetVariable).push("name").op(op::kGetMember).trace();
    Actions a;
    a.push("o").push("name").push("o").pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    a.push("o").op(op::kGetVariable).push("f").defineFunction("", {}, f).op(op::kSetMember);
    a.push("o").op(op::kGetVariable).push("g").defineFunction("", {}, g).op(op::kSetMember);
    a.pushInt(0).push("o").op(op::kGetVariable).push("f").op(op::kCallMethod).op(op::kPop);
    a.push("this").op(op::kGetVariable).op(op::kTypeOf).trace();
    EXPECT_EQ(RunLines(a, 8), (Lines{"o", "o", "5", "movieclip"}));
}

TEST(Avm1Functions, AFunctionCalledByAPathIsAMethodOfWhatHoldsIt) {
    // o = {n: "o"}; o.f = function () { trace(this.n); }; "o.f"()
    Actions f;
    f.push("this").op(op::kGetVariable).push("n").op(op::kGetMember).trace();
    Actions a;
    a.push("o").push("n").push("o").pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    a.push("o").op(op::kGetVariable).push("f").defineFunction("", {}, f).op(op::kSetMember);
    a.call("o.f", 0).op(op::kPop);
    EXPECT_EQ(RunLines(a, 8), (Lines{"o"}));
}

TEST(Avm1Functions, ArgumentsRegistersAndCallApply) {
    // function f(a, b) { trace(arguments.length); trace(arguments[2]); trace(this.tag); }
    Actions f;
    f.push("arguments").op(op::kGetVariable).push("length").op(op::kGetMember).trace();
    f.push("arguments").op(op::kGetVariable).push("2").op(op::kGetMember).trace();
    f.push("this").op(op::kGetVariable).push("tag").op(op::kGetMember).trace();
    // DefineFunction2 with this in register 1, a parameter in register 2, arguments suppressed.
    Actions g;
    g.pushRegister(1).push("tag").op(op::kGetMember).pushRegister(2).op(op::kAdd2).trace();
    g.push("arguments").op(op::kGetVariable).op(op::kTypeOf).trace();
    namespace flag = swf::function_flag;
    Actions a;
    a.defineFunction("f", {"a", "b"}, f);
    a.defineFunction2("g", 3, flag::kPreloadThis | flag::kSuppressArguments, {{2, "x"}}, g);
    a.push("o").push("tag").push("T").pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    // f.call(o, 1, 2, 3)
    a.push(3.0).push(2.0).push(1.0).push("o").op(op::kGetVariable).pushInt(4).push("f").op(op::kGetVariable);
    a.push("call").op(op::kCallMethod).op(op::kPop);
    // g.apply(o, ["!"])
    a.push("!").pushInt(1).op(op::kInitArray).push("o").op(op::kGetVariable).pushInt(2);
    a.push("g").op(op::kGetVariable).push("apply").op(op::kCallMethod).op(op::kPop);
    EXPECT_EQ(RunLines(a), (Lines{"3", "3", "T", "T!", "undefined"}));
}

// function Animal(n) { this.name = n; }  Animal.prototype.speak = function () { return this.name + " speaks"; }
// Dog extends Animal: its constructor calls super(n), its speak calls super.speak().
Actions Classes() {
    Actions animal;
    animal.push("this").op(op::kGetVariable).push("name").push("n").op(op::kGetVariable).op(op::kSetMember);
    Actions speak;
    speak.push("this").op(op::kGetVariable).push("name").op(op::kGetMember).push(" speaks").op(op::kAdd2).op(op::kReturn);
    Actions dog;
    dog.push("n").op(op::kGetVariable).pushInt(1).push("super").op(op::kGetVariable).pushUndefined();
    dog.op(op::kCallMethod).op(op::kPop);
    Actions dogSpeak;
    dogSpeak.pushInt(0).push("super").op(op::kGetVariable).push("speak").op(op::kCallMethod);
    dogSpeak.push(" and barks").op(op::kAdd2).op(op::kReturn);
    Actions a;
    a.defineFunction("Animal", {"n"}, animal);
    a.push("Animal").op(op::kGetVariable).push("prototype").op(op::kGetMember).push("speak");
    a.defineFunction("", {}, speak).op(op::kSetMember);
    a.defineFunction("Dog", {"n"}, dog);
    a.push("Dog").op(op::kGetVariable).push("Animal").op(op::kGetVariable).op(op::kExtends);
    a.push("Dog").op(op::kGetVariable).push("prototype").op(op::kGetMember).push("speak");
    a.defineFunction("", {}, dogSpeak).op(op::kSetMember);
    a.push("d").push("Rex").pushInt(1).push("Dog").op(op::kNewObject).op(op::kSetVariable);
    return a;
}

TEST(Avm1Objects, PrototypeChainsClassesAndSuper) {
    Actions a = Classes();
    a.pushInt(0).push("d").op(op::kGetVariable).push("speak").op(op::kCallMethod).trace();  // Rex speaks and barks
    a.push("d").op(op::kGetVariable).push("Animal").op(op::kGetVariable).op(op::kInstanceOf).trace();  // true
    a.push("d").op(op::kGetVariable).push("Dog").op(op::kGetVariable).op(op::kInstanceOf).trace();     // true
    a.push("d").op(op::kGetVariable).push("__proto__").op(op::kGetMember).push("Dog").op(op::kGetVariable);
    a.push("prototype").op(op::kGetMember).op(op::kStrictEquals).trace();  // true
    a.push("Animal").op(op::kGetVariable).push("d").op(op::kGetVariable).op(op::kCastOp).trace();  // [object Object]
    a.push("String").op(op::kGetVariable).push("d").op(op::kGetVariable).op(op::kCastOp).trace();  // null
    EXPECT_EQ(RunLines(a), (Lines{"Rex speaks and barks", "true", "true", "true", "[object Object]", "null"}));
}

TEST(Avm1Objects, ForInVisitsNewestFirstThenThePrototypesAndSkipsHiddenOnes) {
    Actions b;
    b.push("p").pushInt(0).op(op::kInitObject).op(op::kSetVariable);
    b.push("p").op(op::kGetVariable).push("inherited").push(1.0).op(op::kSetMember);
    b.push("o").pushInt(0).op(op::kInitObject).op(op::kSetVariable);
    b.push("o").op(op::kGetVariable).push("__proto__").push("p").op(op::kGetVariable).op(op::kSetMember);
    for (const char* n : {"first", "second", "hidden", "third"}) b.push("o").op(op::kGetVariable).push(n).push(1.0).op(op::kSetMember);
    b.push(1.0).push("hidden").push("o").op(op::kGetVariable).call("ASSetPropFlags", 3).op(op::kPop);
    b.push("o").op(op::kGetVariable).op(op::kEnumerate2);
    b.label("loop").op(op::kPushDuplicate).pushNull().op(op::kEquals2).branchIf("done");
    b.trace().jump("loop").label("done").op(op::kPop);
    EXPECT_EQ(RunLines(b), (Lines{"third", "second", "first", "inherited"}));
}

TEST(Avm1Exceptions, ThrowsTravelThroughNestedCallsToTheNearestCatchAndFinallyRuns) {
    // function deep() { throw "boom"; trace("not reached"); }  function middle() { deep(); trace("nor this"); }
    Actions deep;
    deep.push("boom").op(op::kThrow).push("not reached").trace();
    Actions middle;
    middle.call("deep", 0).op(op::kPop).push("nor this").trace();
    Actions body;
    body.call("middle", 0).op(op::kPop);
    Actions handler;
    handler.push("caught ").push("e").op(op::kGetVariable).op(op::kAdd2).trace();
    Actions last;
    last.push("finally").trace();
    // try { try { throw 1 } finally { trace("inner finally") } } catch (e) { ... }: a finally
    // without a catch passes the throw on.
    Actions innerTry;
    innerTry.push(1.0).op(op::kThrow);
    Actions innerFinally;
    innerFinally.push("inner finally").trace();
    Actions outerBody;
    outerBody.tryCatch(innerTry, "", nullptr, &innerFinally);
    Actions a;
    a.defineFunction("deep", {}, deep).defineFunction("middle", {}, middle);
    a.tryCatch(body, "e", &handler, &last);
    a.tryCatch(outerBody, "e", &handler);
    a.push("after").trace();
    EXPECT_EQ(RunLines(a), (Lines{"caught boom", "finally", "inner finally", "caught 1", "after"}));
    // What no catch takes ends its block with a warning where trace() prints (uncaught_exception).
    Actions uncaught;
    uncaught.push("x").op(op::kThrow).push("not after").trace();
    EXPECT_EQ(RunLines(uncaught), (Lines{"Warning: Uncaught exception, x"}));
}

TEST(Avm1Objects, GettersSettersAndWatchers) {
    // o.addProperty("v", function () { return this._v * 2; }, function (x) { this._v = x; })
    Actions getter;
    getter.push("this").op(op::kGetVariable).push("_v").op(op::kGetMember).push(2.0).op(op::kMultiply).op(op::kReturn);
    Actions setter;
    setter.push("this").op(op::kGetVariable).push("_v").push("x").op(op::kGetVariable).op(op::kSetMember);
    // o.watch("w", function (name, old, now) { return now + 1; })
    Actions watcher;
    watcher.push("now").op(op::kGetVariable).push(1.0).op(op::kAdd2).op(op::kReturn);
    Actions a;
    a.push("o").pushInt(0).op(op::kInitObject).op(op::kSetVariable);
    a.defineFunction("", {"x"}, setter).defineFunction("", {}, getter).push("v").pushInt(3);
    a.push("o").op(op::kGetVariable).push("addProperty").op(op::kCallMethod).trace();  // true
    a.push("o").op(op::kGetVariable).push("v").push(21.0).op(op::kSetMember);
    a.push("o").op(op::kGetVariable).push("v").op(op::kGetMember).trace();  // 42
    a.defineFunction("", {"name", "old", "now"}, watcher).push("w").pushInt(2);
    a.push("o").op(op::kGetVariable).push("watch").op(op::kCallMethod).op(op::kPop);
    a.push("o").op(op::kGetVariable).push("w").push(1.0).op(op::kSetMember);
    a.push("o").op(op::kGetVariable).push("w").op(op::kGetMember).trace();  // 2
    EXPECT_EQ(RunLines(a), (Lines{"true", "42", "2"}));
}

TEST(Avm1CoreClasses, ArraysStringsNumbersAndTheGlobals) {
    Actions a;
    // [3, 1, 10, 2].sort(Array.NUMERIC | Array.DESCENDING).join("-")
    a.push("l").push(2.0).push(10.0).push(1.0).push(3.0).pushInt(4).op(op::kInitArray).op(op::kSetVariable);
    a.push(18.0).pushInt(1).push("l").op(op::kGetVariable).push("sort").op(op::kCallMethod).op(op::kPop);
    a.push("-").pushInt(1).push("l").op(op::kGetVariable).push("join").op(op::kCallMethod).trace();  // 10-3-2-1
    // l.splice(1, 2, "x") leaves 10,x,1
    a.push("x").push(2.0).push(1.0).pushInt(3).push("l").op(op::kGetVariable).push("splice").op(op::kCallMethod).op(op::kPop);
    a.push("l").op(op::kGetVariable).trace();
    // "a,b,,c".split(",").length, "héllo".substr(1, 3), "abcabc".lastIndexOf("b")
    a.push(",").pushInt(1).push("a,b,,c").push("split").op(op::kCallMethod).push("length").op(op::kGetMember).trace();
    a.push(3.0).push(1.0).pushInt(2).push("h\xC3\xA9llo").push("substr").op(op::kCallMethod).trace();
    a.push("b").pushInt(1).push("abcabc").push("lastIndexOf").op(op::kCallMethod).trace();
    // (255).toString(16), NaN, Infinity, parseInt("0x1F"), escape("a b")
    a.push(16.0).pushInt(1).push(255.0).push("toString").op(op::kCallMethod).trace();
    a.push("NaN").op(op::kGetVariable).trace().push("Infinity").op(op::kGetVariable).trace();
    a.push("0x1F").call("parseInt", 1).trace();
    a.push("a b").call("escape", 1).trace();
    EXPECT_EQ(RunLines(a), (Lines{"10-3-2-1", "10,x,1", "4", "\xC3\xA9ll", "4", "ff", "NaN", "Infinity", "31", "a%20b"}));
}

TEST(Avm1Garbage, ObjectsMadeAndDroppedEveryFrameKeepTheHeapFlat) {
    FakeHost host;
    Machine m(host, 8);
    // Each frame: keep = { next: [1, 2, 3], self: <a closure> } replacing the last one.
    Actions a;
    a.push("keep").push("next").push(3.0).push(2.0).push(1.0).pushInt(3).op(op::kInitArray);
    a.push("fn").defineFunction("", {}, Actions().push(1.0).op(op::kReturn)).pushInt(2).op(op::kInitObject);
    a.op(op::kSetVariable);
    const std::vector<uint8_t> code = a.bytes();
    size_t afterHundred = 0;
    for (int frame = 0; frame < 3000; ++frame) {
        m.startFrame();
        m.run(code, 1);
        if (frame == 100) afterHundred = m.heap().liveObjects();
    }
    EXPECT_LT(m.heap().liveObjects(), afterHundred + 4096) << "the heap grows no further after the first frames";
    m.collectGarbage();
    const size_t live = m.heap().liveObjects();
    m.startFrame();
    m.run(code, 1);
    m.collectGarbage();
    EXPECT_EQ(m.heap().liveObjects(), live) << "one frame's objects replace the last frame's";
}

// s doubled `times` times from 16 bytes.
Actions& Grow(Actions& a, int times) {
    a.push("s").push("0123456789abcdef").op(op::kSetVariable);
    for (int i = 0; i < times; ++i) a.push("s").push("s").op(op::kGetVariable).push("s").op(op::kGetVariable).op(op::kAdd2).op(op::kSetVariable);
    return a;
}

TEST(Avm1Budgets, ACopyingLoopStopsAtTheWorkBudgetAndTheMoviePlaysOn) {
    FakeHost host;
    Machine m(host, 8);
    // s is 64 KiB; then t = s + "x" forever: few instructions, each copying the whole string.
    Actions concat;
    Grow(concat, 12);
    concat.label("loop").push("t").push("s").op(op::kGetVariable).push("x").op(op::kAdd2).op(op::kSetVariable).jump("loop");
    const std::vector<uint8_t> code = concat.bytes();
    m.startFrame();
    m.run(code, 1);
    EXPECT_TRUE(m.budgetSpent());
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_NE(host.logged[0].find("kMaxScriptWorkPerFrame"), std::string::npos) << host.logged[0];
    // The next frame runs again.
    m.startFrame();
    EXPECT_FALSE(m.budgetSpent());
    const std::vector<uint8_t> hello = Actions().push("next frame").trace().bytes();
    m.run(hello, 1);
    EXPECT_EQ(host.traced, (Lines{"next frame"}));
}

TEST(Avm1Budgets, StringsKeptAcrossFramesStopAtTheMemoryBudget) {
    FakeHost host;
    Machine m(host, 8);
    // Each frame adds eight 8 MiB strings to an array the timeline keeps: 64 MiB a frame.
    Actions setup;
    setup.push("kept").pushInt(0).op(op::kInitArray).op(op::kSetVariable);
    const std::vector<uint8_t> first = setup.bytes();
    Actions more;
    Grow(more, 19);
    for (int i = 0; i < 8; ++i) {
        more.push("s").op(op::kGetVariable).push(1.0 + i).op(op::kAdd2).pushInt(1).push("kept").op(op::kGetVariable);
        more.push("push").op(op::kCallMethod).op(op::kPop);
    }
    const std::vector<uint8_t> code = more.bytes();
    m.startFrame();
    m.run(first, 1);
    int frames = 0;
    for (; frames < 10 && host.logged.empty(); ++frames) {
        m.startFrame();
        m.run(code, 1);
    }
    ASSERT_FALSE(host.logged.empty()) << "ten frames of 64 MiB went unchecked";
    EXPECT_NE(host.logged[0].find("kMaxScriptMemory"), std::string::npos) << host.logged[0];
    EXPECT_LE(frames, 5) << "256 MiB are met in the fifth frame at the latest";
    EXPECT_LE(m.heap().liveBytes(), avm1::kMaxScriptMemory + (size_t{16} << 20));
}

}  // namespace

namespace {

// The blocks of one step share the stack, as the reference players run them: a value one
// leaves is there for the next; registers are each block's own; a new step starts empty.
TEST(Avm1Stack, BlocksOfAStepShareTheStackButNotTheirRegisters) {
    FakeHost host;
    Machine m(host, 8);
    const std::vector<uint8_t> leave = Actions().push("left behind").push(42.0).storeRegister(1).op(op::kPop).bytes();
    const std::vector<uint8_t> take = Actions().trace().pushRegister(1).trace().bytes();
    m.startFrame();
    m.run(leave, 1);
    m.run(take, 1);
    m.startFrame();
    m.run(take, 1);
    EXPECT_EQ(host.traced, (Lines{"left behind", "undefined", "undefined", "undefined"}));
}

}  // namespace

namespace {

// Where the reference players behave oddly, the machine does too; each quirk is pinned here
// with the corpus test that shows it.
TEST(Avm1Quirks, ConversionsAndComparisonsAsTheReferencePlayersMakeThem) {
    Actions a;
    a.push("NaN").op(op::kGetVariable).push("NaN").op(op::kGetVariable).op(op::kEquals2).trace();  // true (equals2_swf6)
    a.push("x").push("NaN").op(op::kGetVariable).op(op::kEquals2).trace();                        // false: a string is no NaN
    a.push("_global").op(op::kGetVariable).pushUndefined().op(op::kEquals2).trace();             // true: the global is bare
    a.push("_global").op(op::kGetVariable).trace();                                              // [type Object]
    a.push(1.0).pushInt(1).push("Math").op(op::kGetVariable).push("min").op(op::kCallMethod).trace();  // NaN (math_min_max)
    a.push("\xF0\x9F\x98\x8B").push("length").op(op::kGetMember).trace();                        // 2: UTF-16 units (string_methods)
    a.push("  5  ").op(op::kToNumber).trace();                                                   // NaN: blanks may not trail
    a.push(7.0).pushInt(1).push("Function").op(op::kCallFunction).trace();                      // 7 (function_as_function)
    a.push("c").push("b").push("a").pushInt(9).op(op::kInitArray).trace().trace().trace().trace();  // a count past the stack
    a.push("").push(-0.8).op(op::kGetProperty).trace();                                         // _x: -0.8 is 0 (getproperty)
    a.push("").push(1e300).op(op::kGetProperty).trace();                                        // names no property
    EXPECT_EQ(RunLines(a, 6), (Lines{"true", "false", "true", "[type Object]", "NaN", "2", "NaN", "7", "undefined", "a",
                                     "b", "c", "0", "undefined"}));
}

// ASSetPropFlags' high bits hide a property from movies of some versions
// (as_set_prop_flags_version_swf5 to swf9): 256 from version 6 alone, 1024 below 7.
// A version 5 string is in the Windows code page: trace writes it as UTF-8 (swf5_encoding),
// and its length counts bytes.
TEST(Avm1Quirks, TraceWritesVersionFiveStringsFromTheCodePage) {
    Actions a;
    a.push("s").push("a\xC5\x80").op(op::kSetVariable);
    a.push("s").op(op::kGetVariable).trace();
    a.push("s").op(op::kGetVariable).op(op::kStringLength).trace();
    EXPECT_EQ(RunLines(a, 5), (Lines{"a\xC3\x85\xE2\x82\xAC", "3"}));
    EXPECT_EQ(RunLines(a, 6), (Lines{"a\xC5\x80", "2"})) << "from version 6 strings are UTF-8 already: two characters";
}

// An accessor that reaches its own property: before version 7 it meets the value last
// stored under it instead of running again; from version 7 one property's accessors nest 65
// deep. A write through a setter stores the value under the accessor when the setter returns
// (virtual_property_recursion_swf6, _swf7). Watchers guard themselves the same way
// (watch_recursion_swf6, _swf7).
TEST(Avm1Quirks, AccessorsAndWatchersThatReachTheirOwnPropertyAreGuarded) {
    Actions setter;
    setter.push("s").push("s").op(op::kGetVariable).push(1.0).op(op::kAdd2).op(op::kSetVariable);
    setter.push("o").op(op::kGetVariable).push("p").push("inner").op(op::kSetMember);
    Actions getter;
    getter.push("g").push("g").op(op::kGetVariable).push(1.0).op(op::kAdd2).op(op::kSetVariable);
    getter.push("o").op(op::kGetVariable).push("p").op(op::kGetMember).op(op::kReturn);
    Actions a;
    a.set("s", 0.0).set("g", 0.0);
    a.push("o").pushInt(0).op(op::kInitObject).op(op::kSetVariable);
    a.defineFunction("", {"v"}, setter).defineFunction("", {}, getter).push("p").pushInt(3);
    a.push("o").op(op::kGetVariable).push("addProperty").op(op::kCallMethod).op(op::kPop);
    a.push("o").op(op::kGetVariable).push("p").push("outer").op(op::kSetMember);
    a.push("o").op(op::kGetVariable).push("p").op(op::kGetMember).trace();
    a.push("s").op(op::kGetVariable).trace();
    a.push("g").op(op::kGetVariable).trace();
    EXPECT_EQ(RunLines(a, 6), (Lines{"outer", "1", "1"}));
    EXPECT_EQ(RunLines(a, 7), (Lines{"outer", "65", "65"}));

    // A watcher that writes its own property: the write is stored as given, then the
    // watcher's result; from version 7 after 65 nested calls.
    Actions watcher;
    watcher.push("w").push("w").op(op::kGetVariable).push(1.0).op(op::kAdd2).op(op::kSetVariable);
    watcher.push("o").op(op::kGetVariable).push("p").push("inner").op(op::kSetMember);
    watcher.push("o").op(op::kGetVariable).push("p").op(op::kGetMember).trace();
    watcher.push("returned").op(op::kReturn);
    Actions b;
    b.set("w", 0.0);
    b.push("o").pushInt(0).op(op::kInitObject).op(op::kSetVariable);
    b.defineFunction("", {}, watcher).push("p").pushInt(2);
    b.push("o").op(op::kGetVariable).push("watch").op(op::kCallMethod).op(op::kPop);
    b.push("o").op(op::kGetVariable).push("p").push("outer").op(op::kSetMember);
    b.push("o").op(op::kGetVariable).push("p").op(op::kGetMember).trace();
    b.push("w").op(op::kGetVariable).trace();
    EXPECT_EQ(RunLines(b, 6), (Lines{"inner", "returned", "1"}));
    const Lines v7 = RunLines(b, 7);
    ASSERT_EQ(v7.size(), 65u + 2u);
    EXPECT_EQ(v7.front(), "inner") << "the deepest write is stored as given";
    EXPECT_EQ(v7[1], "returned");
    EXPECT_EQ(v7.back(), "65");
}

// with() looks into a string, number or boolean as its wrapper object, and skips its block
// for undefined and null (with).
TEST(Avm1Quirks, WithWrapsPrimitivesAndSkipsNothing) {
    Actions body;
    body.push("length").op(op::kGetVariable).trace();
    Actions a;
    a.push("STRING").with(body);
    a.push("x").op(op::kGetVariable).with(body);  // undefined
    a.pushNull().with(body);
    a.push("end").trace();
    EXPECT_EQ(RunLines(a), (Lines{"6", "end"}));
}

// A version 4 movie's functions run by version 5's rules (swf4_function_calls).
TEST(Avm1Quirks, FunctionsOfAVersionFourMovieRunByVersionFivesRules) {
    Actions body;
    body.push(1.0).push(1.0).op(op::kEquals2).trace();
    body.push(4.0).push(0.0).op(op::kDivide).trace();
    Actions a;
    a.push(1.0).push(1.0).op(op::kEquals2).trace();
    a.push(4.0).push(0.0).op(op::kDivide).trace();
    a.defineFunction("f", {}, body).call("f", 0).op(op::kPop);
    EXPECT_EQ(RunLines(a, 4), (Lines{"1", "#ERROR#", "true", "Infinity"}));
}

TEST(Avm1Quirks, VersionBitsHideAPropertyFromSomeVersions) {
    for (const double bits : {256.0, 1024.0}) {
        Actions a;
        a.push("o").push("p").push("here").pushInt(1).op(op::kInitObject).op(op::kSetVariable);
        a.push(bits).push("p").push("o").op(op::kGetVariable).call("ASSetPropFlags", 3).op(op::kPop);
        a.push("o").op(op::kGetVariable).push("p").op(op::kGetMember).trace();
        const Lines hidden = {"undefined"}, shown = {"here"};
        EXPECT_EQ(RunLines(a, 5), bits == 256 ? shown : hidden) << bits;
        EXPECT_EQ(RunLines(a, 6), hidden) << bits;
        EXPECT_EQ(RunLines(a, 7), shown) << bits;
    }
    // Hidden, it is still the object's own and listed by for-in; a value set replaces it, seen
    // again until the bits hide it once more (as_set_prop_flags_version).
    Actions b;
    b.push("o").push("p").push("here").pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    const auto hide = [&] { b.push(16384.0).push("p").push("o").op(op::kGetVariable).call("ASSetPropFlags", 3).op(op::kPop); };
    hide();
    b.push("p").pushInt(1).push("o").op(op::kGetVariable).push("hasOwnProperty").op(op::kCallMethod).trace();
    b.push("o").op(op::kGetVariable).op(op::kEnumerate2);
    b.label("loop").op(op::kPushDuplicate).pushNull().op(op::kEquals2).branchIf("done");
    b.trace().jump("loop").label("done").op(op::kPop);
    b.push("o").op(op::kGetVariable).push("p").push("reset").op(op::kSetMember);
    b.push("o").op(op::kGetVariable).push("p").op(op::kGetMember).trace();
    hide();
    b.push("o").op(op::kGetVariable).push("p").op(op::kGetMember).trace();
    EXPECT_EQ(RunLines(b, 8), (Lines{"true", "p", "reset", "undefined"}));
}

TEST(Avm1Quirks, PathsFunctionsOfVersionFiveAndRegisters) {
    // o = {inner: {v: "deep"}}; trace(o.inner.v) by a dotted GetVariable; delete "o.inner".
    Actions a;
    a.push("o").push("inner").push("v").push("deep").pushInt(1).op(op::kInitObject).pushInt(1).op(op::kInitObject);
    a.op(op::kSetVariable);
    a.push("o.inner.v").op(op::kGetVariable).trace();
    a.push("o.inner").op(op::kDelete2).trace();
    a.push("o.inner.v").op(op::kGetVariable).trace();
    EXPECT_EQ(RunLines(a), (Lines{"deep", "true", "undefined"}));

    // A version 5 function sees no local of the function it was made in (swf5_no_closure).
    Actions inner;
    inner.push("local").op(op::kGetVariable).trace();
    Actions outer;
    outer.push("local").push("outer's").op(op::kDefineLocal).defineFunction("", {}, inner).op(op::kReturn);
    Actions b;
    b.push("local").push("timeline's").op(op::kSetVariable).defineFunction("outer", {}, outer);
    b.push("g").call("outer", 0).op(op::kSetVariable).call("g", 0).op(op::kPop);
    EXPECT_EQ(RunLines(b, 5), (Lines{"timeline's"}));
    EXPECT_EQ(RunLines(b, 6), (Lines{"outer's"}));

    // DefineFunction2 preloads take registers in order; a missing _parent takes none.
    namespace flag = swf::function_flag;
    Actions f;
    f.pushRegister(1).trace().pushRegister(2).trace();
    Actions c;
    c.defineFunction2("f", 3, flag::kPreloadParent | flag::kPreloadGlobal | flag::kSuppressThis, {}, f).call("f", 0);
    EXPECT_EQ(RunLines(c), (Lines{"[type Object]", "undefined"}));
}

}  // namespace

namespace {

// Globals called with nothing (swf5/6/7_global_funcs), octal strings (swf7_global_funcs), boxed
// numbers under version 5's == (equals2_swf5), a function's prototype that stays
// (prototype_delete).
TEST(Avm1Quirks, GlobalsWithoutArgumentsOctalStringsAndBoxedEquality) {
    Actions a;
    a.call("isNaN", 0).trace().call("isFinite", 0).trace().call("Boolean", 0).trace();
    a.push("-037777777777").pushInt(1).push("Number").op(op::kCallFunction).trace();  // 1: wraps as int32
    a.push("037777777777").pushInt(1).push("Number").op(op::kCallFunction).trace();   // -1
    a.push(" 010").pushInt(1).push("Number").op(op::kCallFunction).trace();           // 10: no octal after blanks
    a.push("-010").pushInt(1).push("Number").op(op::kCallFunction).trace();           // -8
    a.defineFunction("F", {}, Actions());
    a.push("F").op(op::kGetVariable).push("prototype").op(op::kDelete).trace();        // false
    EXPECT_EQ(RunLines(a, 7), (Lines{"true", "false", "undefined", "1", "-1", "10", "-8", "false"}));

    Actions b;
    b.push("a").push(1.0).pushInt(1).push("Number").op(op::kNewObject).op(op::kSetVariable);
    b.push("b").push(1.0).pushInt(1).push("Number").op(op::kNewObject).op(op::kSetVariable);
    b.push("a").op(op::kGetVariable).push("b").op(op::kGetVariable).op(op::kEquals2).trace();
    // Two plain objects: valueOf gives each itself, so they stay two objects.
    b.push("c").pushInt(0).op(op::kInitObject).op(op::kSetVariable);
    b.push("d").pushInt(0).op(op::kInitObject).op(op::kSetVariable);
    b.push("c").op(op::kGetVariable).push("d").op(op::kGetVariable).op(op::kEquals2).trace();
    EXPECT_EQ(RunLines(b, 5), (Lines{"true", "false"}));
    EXPECT_EQ(RunLines(b, 6), (Lines{"false", "false"}));
}

// A dotted read goes on to the next scope link when the last name is missing on the first
// (get_variable_in_scope); interfaces that extend interfaces count for instanceof
// (extends_chain); "THIS" in version 6 is the timeline, not the function's this (this_swf6).
TEST(Avm1Quirks, DottedReadsInterfacesOfInterfacesAndThisSpeltOtherwise) {
    Actions a;
    a.push("_global").op(op::kGetVariable).push("a").push("b").push("c").push("global's").pushInt(1);
    a.op(op::kInitObject).pushInt(1).op(op::kInitObject).op(op::kSetMember);
    a.push("a").push("b").pushInt(0).op(op::kInitObject).pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    a.push("a.b.c").op(op::kGetVariable).trace();
    // Red; Pink implements Red; Cls implements Pink.
    for (const char* name : {"Red", "Pink", "Cls"}) a.defineFunction(name, {}, Actions());
    a.push("Red").op(op::kGetVariable).pushInt(1).push("Pink").op(op::kGetVariable).op(op::kImplementsOp);
    a.push("Pink").op(op::kGetVariable).pushInt(1).push("Cls").op(op::kGetVariable).op(op::kImplementsOp);
    a.pushInt(0).push("Cls").op(op::kNewObject).push("Red").op(op::kGetVariable).op(op::kInstanceOf).trace();
    EXPECT_EQ(RunLines(a, 7), (Lines{"global's", "true"}));

    Actions f;
    f.push("THIS").op(op::kGetVariable).op(op::kTypeOf).trace().push("this").op(op::kGetVariable).op(op::kTypeOf).trace();
    Actions b;
    b.defineFunction("f", {}, f).pushInt(0).push("f").op(op::kNewObject).op(op::kPop);
    EXPECT_EQ(RunLines(b, 6), (Lines{"movieclip", "object"}));
    EXPECT_EQ(RunLines(b, 5), (Lines{"object", "object"}));
}

}  // namespace

namespace {

// Version 4 has no special names (swf4_vars) and meets objects through their valueOf
// (add_swf4); a variable named _root hides the root (define_function2_preload); addProperty
// wants a setter or null (add_property) and its getter stands in for an array's element.
TEST(Avm1Quirks, VersionFourNamesHiddenSpecialNamesAndAccessorsOnArrays) {
    Actions a;
    a.push("this").op(op::kGetVariable).trace().push("_root").op(op::kGetVariable).trace();
    a.push("o").push("valueOf").defineFunction("", {}, Actions().push("v").trace().push(5.0).op(op::kReturn));
    a.pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    a.push("o").op(op::kGetVariable).push(1.0).op(op::kAdd).trace();
    EXPECT_EQ(RunLines(a, 4), (Lines{"undefined", "undefined", "v", "6"}));

    Actions b;
    b.push("_root").push("fake").op(op::kSetVariable).push("_root").op(op::kGetVariable).trace();
    b.defineFunction("ten", {}, Actions().push(10.0).op(op::kReturn));
    b.push("a").push(1.0).push(2.0).pushInt(2).op(op::kInitArray).op(op::kSetVariable);
    b.push("ten").op(op::kGetVariable).push("0").pushInt(2).push("a").op(op::kGetVariable).push("addProperty");
    b.op(op::kCallMethod).trace();  // false: no setter
    b.pushNull().push("ten").op(op::kGetVariable).push("0").pushInt(3).push("a").op(op::kGetVariable);
    b.push("addProperty").op(op::kCallMethod).trace();
    b.push("a").op(op::kGetVariable).push("0").op(op::kGetMember).trace();
    EXPECT_EQ(RunLines(b, 8), (Lines{"fake", "false", "true", "10"}));
}

}  // namespace

namespace {

// Less2 takes each object operand through valueOf, the left first, and is false when that
// gives an object, without asking the right one (lessthan2_swf6); version 4's comparisons give
// booleans that print as 1 and 0 (swf4_actions_bool).
TEST(Avm1Quirks, ComparisonsOfObjectsAndVersionFourBooleans) {
    Actions valueOf;
    valueOf.push("valueOf called").trace().push(1.0).op(op::kReturn);
    Actions a;
    a.push("one").push("valueOf").defineFunction("", {}, valueOf).pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    a.pushInt(0).op(op::kInitObject).push("one").op(op::kGetVariable).op(op::kLess2).trace();  // {} < one: false
    a.push("one").op(op::kGetVariable).push(2.0).op(op::kLess2).trace();                      // true
    a.push("_global").op(op::kGetVariable).push(1.0).op(op::kLess2).trace();                 // undefined < 1
    EXPECT_EQ(RunLines(a, 6), (Lines{"false", "valueOf called", "true", "true"}));

    Actions b;
    b.push(1.0).push(1.0).op(op::kEquals).op(op::kTypeOf).trace().push(1.0).push(2.0).op(op::kLess).trace();
    EXPECT_EQ(RunLines(b, 4), (Lines{"boolean", "1"}));
}

}  // namespace

namespace {

// A DefineFunction2 function's registers past its own count are the running block's, read and
// written (register_underflow).
TEST(Avm1Quirks, RegistersPastAFunctionsOwnAreTheBlocks) {
    Actions f;
    f.pushRegister(2).trace().push(9.0).storeRegister(3).op(op::kPop);
    Actions a;
    a.push(7.0).storeRegister(2).op(op::kPop);
    a.defineFunction2("f", 1, 0, {}, f).call("f", 0).op(op::kPop);
    a.pushRegister(3).trace();
    EXPECT_EQ(RunLines(a), (Lines{"7", "9"}));
}

}  // namespace

namespace {

// GotoFrame past the last frame does nothing, while gotoAndStop goes to the last (goto_frame,
// goto_methods); WaitForFrame skips its actions for frames past the highest a movie may have,
// and WaitForFrame2 counts in 32-bit arithmetic (waitforframe, waitforframe2).
TEST(Avm1Quirks, GotosAndWaitsPastTheEnd) {
    Actions a;
    a.gotoFrame(999).push("_currentframe").op(op::kGetVariable).trace();
    a.op(0x8A, {0x80, 0x3E, 2}).push("16000 loaded").trace();  // WaitForFrame 16000, skip 2
    a.op(0x8A, {0x81, 0x3E, 2}).push("16001 loaded").trace();
    a.push(2147483649.0).op(0x8D, {2}).push("wrapped loaded").trace();
    a.push(2147483648.0).op(0x8D, {2}).push("not loaded").trace();
    a.push(999.0).pushInt(1).push("_root").op(op::kGetVariable).push("gotoAndStop").op(op::kCallMethod).op(op::kPop);
    a.push("_currentframe").op(op::kGetVariable).trace();
    EXPECT_EQ(RunLines(a), (Lines{"1", "16000 loaded", "wrapped loaded", "10"}));
}

}  // namespace

namespace {

// A watcher is told the value stored where the name is found, up the prototypes too, without
// asking a getter (watch_virtual_property_proto).
TEST(Avm1Objects, AWatcherSeesTheValueStoredOnThePrototype) {
    Actions watcher;
    watcher.push("old").op(op::kGetVariable).trace().push("now").op(op::kGetVariable).op(op::kReturn);
    Actions a;
    a.push("p").push("x").push(3.0).pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    a.push("o").push("__proto__").push("p").op(op::kGetVariable).pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    a.defineFunction("", {"name", "old", "now"}, watcher).push("x").pushInt(2);
    a.push("o").op(op::kGetVariable).push("watch").op(op::kCallMethod).op(op::kPop);
    a.push("o").op(op::kGetVariable).push("x").push(4.0).op(op::kSetMember);
    a.push("o").op(op::kGetVariable).push("x").op(op::kGetMember).trace();
    EXPECT_EQ(RunLines(a), (Lines{"3", "4"}));
}

}  // namespace
