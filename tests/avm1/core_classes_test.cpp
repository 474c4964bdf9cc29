// The built-in classes one by one, through scripts against the fake host: Array's holes,
// sorts and splices, String's methods by version, Date's fields from the frame clock, and the
// global functions' edge cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "avm1/machine.h"
#include "support/action_builder.h"
#include "tests/avm1/fake_host.h"

namespace {

using avm1::Machine;
using testing_support::Actions;
using testing_support::FakeHost;
namespace op = testing_support::action;
using Lines = std::vector<std::string>;

Lines Printed(const Actions& a, int version = 8) { return testing_support::TracedBy(a, version); }

// obj.method(args...) with the arguments pushed last first, traced.
Actions& Method(Actions& a, const std::string& object, const std::string& method, int argc) {
    return a.pushInt(argc).push(object).op(op::kGetVariable).push(method).op(op::kCallMethod).trace();
}

// obj.method(args...), its result dropped.
Actions& Call(Actions& a, const std::string& object, const std::string& method, int argc) {
    return a.pushInt(argc).push(object).op(op::kGetVariable).push(method).op(op::kCallMethod).op(op::kPop);
}

// for (k in object) trace(k)
Actions& ForIn(Actions& a, const std::string& object) {
    a.push(object).op(op::kGetVariable).op(op::kEnumerate2);
    a.label("loop" + object).op(op::kPushDuplicate).pushNull().op(op::kEquals2).branchIf("done" + object);
    return a.trace().jump("loop" + object).label("done" + object).op(op::kPop);
}

TEST(Avm1Arrays, HolesLengthWritesAndSplices) {
    Actions a;
    a.push("a").pushInt(0).op(op::kInitArray).op(op::kSetVariable);
    a.push("a").op(op::kGetVariable).push("3").push("x").op(op::kSetMember);  // a[3] = "x": 0 to 2 are holes
    a.push("a").op(op::kGetVariable).push("length").op(op::kGetMember).trace();  // 4
    ForIn(a, "a");                                                              // only 3
    a.push("a").op(op::kGetVariable).trace();                                   // ,,,x (v6: holes print empty)
    a.push("a").op(op::kGetVariable).push("length").push(2.0).op(op::kSetMember);
    a.push("a").op(op::kGetVariable).push("3").op(op::kGetMember).trace();      // gone with the length write
    // b = [1, 2, 3, 4, 5]; b.splice(-2) removes 4, 5; b.slice(-2, -1) is [2]
    a.push("b").push(5.0).push(4.0).push(3.0).push(2.0).push(1.0).pushInt(5).op(op::kInitArray).op(op::kSetVariable);
    a.push(-2.0);
    Method(a, "b", "splice", 1);                                                // 4,5
    a.push("b").op(op::kGetVariable).trace();                                   // 1,2,3
    a.push(-1.0).push(0.0);
    Method(a, "b", "splice", 2);                                                // undefined: a negative count
    a.pushUndefined();
    Method(a, "b", "splice", 1);                                                // undefined: no start
    a.push("b").op(op::kGetVariable).trace();                                   // 1,2,3 still
    a.push(-1.0).push(-2.0);
    Method(a, "b", "slice", 2);                                                 // 2
    a.push("z").push("y");
    Method(a, "b", "unshift", 2);                                               // 5
    Method(a, "b", "shift", 0);                                                 // y
    Method(a, "b", "pop", 0);                                                   // 3
    Method(a, "b", "reverse", 0);                                               // 2,1,z
    EXPECT_EQ(Printed(a, 6), (Lines{"4", "3", ",,,x", "undefined", "4,5", "1,2,3", "undefined", "undefined", "1,2,3", "2", "5",
                                    "y", "3", "2,1,z"}));
}

TEST(Avm1Arrays, SortAndSortOnByTheirFlags) {
    Actions a;
    a.push("w").push("b").push("B").push("a").push("C").pushInt(4).op(op::kInitArray).op(op::kSetVariable);
    Method(a, "w", "sort", 0);                                            // B,C,a,b: by code units
    a.push(1.0);                                                          // CASEINSENSITIVE
    Method(a, "w", "sort", 1);                                            // a,B,b,C
    // UNIQUESORT meets two that fold alike: 0, and the array stays.
    a.push("u").push("q").push("Q").pushInt(2).op(op::kInitArray).op(op::kSetVariable);
    a.push(5.0);
    Method(a, "u", "sort", 1);                                            // 0
    // RETURNINDEXEDARRAY leaves the array alone.
    a.push("n").push(30.0).push(4.0).push(200.0).pushInt(3).op(op::kInitArray).op(op::kSetVariable);
    a.push(24.0);                                                         // NUMERIC | RETURNINDEXEDARRAY
    Method(a, "n", "sort", 1);                                            // 1,2,0
    a.push("n").op(op::kGetVariable).trace();                             // 200,4,30
    // sortOn("k", NUMERIC | DESCENDING) over objects.
    a.push("o");
    for (double k : {2.0, 10.0, 1.0}) a.push("k").push(k).pushInt(1).op(op::kInitObject);
    a.pushInt(3).op(op::kInitArray).op(op::kSetVariable);
    a.push(18.0).push("k");
    Call(a, "o", "sortOn", 2);
    a.push("o").op(op::kGetVariable).push("0").op(op::kGetMember).push("k").op(op::kGetMember).trace();  // 10
    a.push("o").op(op::kGetVariable).push("2").op(op::kGetMember).push("k").op(op::kGetMember).trace();  // 1
    EXPECT_EQ(Printed(a), (Lines{"B,C,a,b", "a,B,b,C", "0", "1,2,0", "200,4,30", "10", "1"}));
}

TEST(Avm1Strings, MethodsByCharactersAndTheirEdges) {
    Actions a;
    a.push("s").push("h\xC3\xA9llo w\xC3\xB6rld").op(op::kSetVariable);
    a.push(2.0).push(" ");
    Method(a, "s", "split", 2);                                                // héllo,wörld
    a.push(1.0).push("o");
    a.pushInt(2).push("s").op(op::kGetVariable).push("split").op(op::kCallMethod).push("length").op(op::kGetMember).trace();
    a.push(1.0);
    Method(a, "s", "charCodeAt", 1);                                           // 233
    a.push(-1.0).push(0.0);
    Method(a, "s", "substr", 2);                                               // héllo wörl
    a.push(-4.0).push(3.0);
    Method(a, "s", "substr", 2);                                               // lo wörl: 11 - 4 from 3
    a.push(-3.0).push(3.0);
    Method(a, "s", "substr", 2);                                               // empty: 11 - 3 from 3 reaches the end
    a.push(1.0).push(4.0);
    Method(a, "s", "substring", 2);                                            // éll: the ends swap
    a.push(-3.0);
    Method(a, "s", "slice", 1);                                                // rld
    Method(a, "s", "toUpperCase", 0);                                          // HÉLLO WÖRLD
    a.push(0.0).push(98.0).push(97.0).pushInt(3).push("String").op(op::kGetVariable).push("fromCharCode");
    a.op(op::kCallMethod).trace();                                             // ab: the NUL ends it
    a.push(3.0).push("o");
    Method(a, "s", "indexOf", 2);                                              // 4
    a.push("s").op(op::kGetVariable).push("length").op(op::kGetMember).trace();  // 11 characters
    EXPECT_EQ(Printed(a), (Lines{"h\xC3\xA9llo,w\xC3\xB6rld", "1", "233", "h\xC3\xA9llo w\xC3\xB6rl", "lo w\xC3\xB6rl", "", "\xC3\xA9ll", "rld", "H\xC3\x89LLO W\xC3\x96RLD", "ab",
                                 "4", "11"}));
    // Before version 6 the methods count bytes, and leave bytes above ASCII alone.
    Actions b;
    b.push("s").push("h\xC3\xA9llo").op(op::kSetVariable);
    b.push("s").op(op::kGetVariable).push("length").op(op::kGetMember).trace();  // 6 bytes
    Method(b, "s", "toUpperCase", 0);
    // (trace writes each of those bytes as its code-page character)
    EXPECT_EQ(Printed(b, 5), (Lines{"6", "H\xC3\x83\xC2\xA9LLO"}));
}

TEST(Avm1Dates, FieldsSettersAndTheFrameClock) {
    Actions a;
    // new Date(2001, 1, 3, 4, 5, 6): fields back, in UTC.
    a.push("d").push(6.0).push(5.0).push(4.0).push(3.0).push(1.0).push(2001.0).pushInt(6).push("Date").op(op::kNewObject);
    a.op(op::kSetVariable);
    for (const char* f : {"getFullYear", "getMonth", "getDate", "getDay", "getHours", "getTime"}) Method(a, "d", f, 0);
    a.push("d").op(op::kGetVariable).trace();
    // setMonth(13) rolls into the next year; setDate(0) is the last day of the month before.
    a.push(13.0);
    Call(a, "d", "setMonth", 1);
    Method(a, "d", "getFullYear", 0);
    a.push(0.0);
    Call(a, "d", "setDate", 1);
    Method(a, "d", "getDate", 0);
    // The clock: new Date() is 2000-01-01 plus the host's timer (1234.5 ms, the fake's).
    a.push("now").pushInt(0).push("Date").op(op::kNewObject).op(op::kSetVariable);
    Method(a, "now", "getTime", 0);
    a.push("e").push(1e300).pushInt(1).push("Date").op(op::kNewObject).op(op::kSetVariable);
    a.push("e").op(op::kGetVariable).trace();  // no time
    EXPECT_EQ(Printed(a), (Lines{"2001", "1", "3", "6", "4", "981173106000", "Sat Feb 3 04:05:06 GMT+0000 2001", "2002",
                                 "31", "946684801234", "Invalid Date"}));
}

TEST(Avm1Globals, ParsingEscapingAndTimers) {
    Actions a;
    a.push(16.0).push("ff").call("parseInt", 2).trace();       // 255
    a.push(0.0).push("100").call("parseInt", 2).trace();       // NaN: a radix given must be 2 to 36
    a.push("012").call("parseInt", 1).trace();                 // 10: a leading zero is octal
    a.push("  -3.5e2px").call("parseFloat", 1).trace();        // -350
    a.push("1.2345.678e9").call("parseFloat", 1).trace();      // 1.2345678: later dots skipped, then no exponent
    a.push("1e4294967297").call("parseFloat", 1).trace();      // 10: the exponent wraps at 32 bits
    // Fraction digits are added one by one: .1499999 is not the nearest double to it.
    a.push(0.14999990000000005).push(".1499999").call("parseFloat", 1).op(op::kStrictEquals).trace();
    a.push("a%zb%41%2").call("unescape", 1).trace();           // abA: broken escapes go
    a.push("\xC4\x80!").call("escape", 1).trace();             // %C4%80%21
    a.call("parseInt", 0).trace();                             // undefined
    // A timeout fires once, an interval each step until cleared.
    Actions tick;
    tick.push("tick").trace();
    a.defineFunction("tick", {}, tick);
    a.push(0.0).push("tick").op(op::kGetVariable).call("setTimeout", 2).trace();  // 1
    FakeHost host;
    Machine m(host, 8);
    m.startFrame();
    const std::vector<uint8_t> code = a.bytes();
    m.run(code, 1);
    m.runTimers();
    m.runTimers();
    EXPECT_EQ(host.traced,
              (Lines{"255", "NaN", "10", "-350", "1.2345678", "10", "true", "abA", "%C4%80%21", "undefined", "1", "tick"}));
}

}  // namespace

namespace {

using testing_support::Actions;
namespace xop = testing_support::action;

// x = new XML(text), then each of `reads` traced: a member path from x ("firstChild.nodeName").
std::vector<std::string> ParsedAndRead(const std::string& text, const std::vector<std::string>& reads, int version = 8) {
    Actions a;
    a.push("x").push(text).pushInt(1).push("XML").op(xop::kNewObject).op(xop::kSetVariable);
    for (const std::string& path : reads) {
        a.push("x").op(xop::kGetVariable);
        size_t from = 0;
        while (from <= path.size() && !path.empty()) {
            const size_t dot = path.find('.', from);
            a.push(path.substr(from, dot == std::string::npos ? std::string::npos : dot - from)).op(xop::kGetMember);
            if (dot == std::string::npos) break;
            from = dot + 1;
        }
        a.trace();
    }
    return testing_support::TracedBy(a, version);
}

TEST(Avm1Xml, ParsesElementsTextCdataAndDeclarationsAndPrintsThemBack) {
    const std::string doc = "<?xml version='1.0'?><!DOCTYPE d><a x=\"1\" y='&lt;2&gt;'>t &amp; u<![CDATA[<raw>]]><!-- c --><b/></a>";
    EXPECT_EQ(ParsedAndRead(doc, {"status", "xmlDecl", "docTypeDecl", "firstChild.nodeName", "firstChild.attributes.y",
                                  "firstChild.childNodes.length", "firstChild.firstChild.nodeValue",
                                  "firstChild.childNodes.1.nodeValue", "firstChild.lastChild.nodeName",
                                  "firstChild.lastChild.previousSibling.nodeType", "firstChild.lastChild.parentNode.nodeName",
                                  "firstChild.nextSibling", "firstChild"}),
              (std::vector<std::string>{"0", "<?xml version='1.0'?>", "<!DOCTYPE d>", "a", "<2>", "3", "t & u", "<raw>", "b",
                                        "3", "a", "null",
                                        "<a x=\"1\" y=\"&lt;2&gt;\">t &amp; u&lt;raw&gt;<b /></a>"}));
}

TEST(Avm1Xml, StatusCodesForBrokenDocuments) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<a>", "-9"}, {"</a>", "-10"}, {"<a></b>", "-10"}, {"<a x='1>", "-8"}, {"<!-- open", "-5"},
        {"<![CDATA[ open", "-2"}, {"<?xml open", "-3"}, {"<!DOCTYPE open", "-4"}, {"<a x></a>", "-6"}, {"plain", "0"}};
    for (const auto& [text, status] : cases) EXPECT_EQ(ParsedAndRead(text, {"status"}), (std::vector<std::string>{status})) << text;
}

TEST(Avm1Xml, NamespacesIdMapAndWhiteSpace) {
    const std::string doc = "<p:a xmlns:p='urn:p'><b xmlnsx='urn:d' id='k'/></p:a>";
    EXPECT_EQ(ParsedAndRead(doc, {"firstChild.prefix", "firstChild.localName", "firstChild.namespaceURI",
                                  "firstChild.firstChild.namespaceURI", "idMap.k.nodeName"}),
              (std::vector<std::string>{"p", "a", "urn:p", "urn:d", "b"}));
    EXPECT_EQ(ParsedAndRead(doc, {"idMap"}, 7), (std::vector<std::string>{"undefined"}));
    EXPECT_EQ(ParsedAndRead("<a> <b/> </a>", {"firstChild.childNodes.length"}), (std::vector<std::string>{"3"}));
}

// appendChild moves a node from another parent, never into its own subtree, and leaves a
// child of its own parent where it is; nodeName = undefined changes nothing.
TEST(Avm1Xml, MovingNodesAndRenamingTheDocument) {
    Actions a;
    a.push("x").push("<a><b/></a><c/>").pushInt(1).push("XML").op(xop::kNewObject).op(xop::kSetVariable);
    // x.appendChild(x.firstChild.firstChild): b moves to the end.
    a.push("x").op(xop::kGetVariable).push("firstChild").op(xop::kGetMember).push("firstChild").op(xop::kGetMember);
    a.pushInt(1).push("x").op(xop::kGetVariable).push("appendChild").op(xop::kCallMethod).op(xop::kPop);
    a.push("x").op(xop::kGetVariable).trace();
    // x.firstChild.appendChild(x): a document into its own child is refused.
    a.push("x").op(xop::kGetVariable).pushInt(1).push("x").op(xop::kGetVariable).push("firstChild").op(xop::kGetMember);
    a.push("appendChild").op(xop::kCallMethod).op(xop::kPop);
    a.push("x").op(xop::kGetVariable).push("nodeName").push("doc").op(xop::kSetMember);
    a.push("x").op(xop::kGetVariable).push("nodeName").pushUndefined().op(xop::kSetMember);
    a.push("x").op(xop::kGetVariable).trace();
    // A deep clone prints the same; a shallow one has no children.
    a.pushBool(true).pushInt(1).push("x").op(xop::kGetVariable).push("cloneNode").op(xop::kCallMethod).trace();
    a.pushBool(false).pushInt(1).push("x").op(xop::kGetVariable).push("cloneNode").op(xop::kCallMethod).trace();
    // new XMLNode() with no type, or a type that is no number, makes an element.
    a.pushInt(0).push("XMLNode").op(xop::kNewObject).push("nodeType").op(xop::kGetMember).trace();
    a.push("t").push("NaN").pushInt(2).push("XMLNode").op(xop::kNewObject).push("nodeType").op(xop::kGetMember).trace();
    EXPECT_EQ(testing_support::TracedBy(a, 8),
              (std::vector<std::string>{"<a /><c /><b />", "<doc><a /><c /><b /></doc>", "<doc><a /><c /><b /></doc>",
                                        "<doc />", "1", "1"}));
}

}  // namespace

namespace {

// new Array(-1) is empty with a length of -1 (array_constructor); join on an object that
// is no array gives as many undefined elements as its length (array_prototyping); a prototype
// chain that loops stops the block (recursive_prototypes).
TEST(Avm1CoreQuirks, NegativeArrayLengthsJoinsOfNonArraysAndLoopingPrototypes) {
    using testing_support::Actions;
    namespace op = testing_support::action;
    Actions a;
    a.push("a").push(-1.0).pushInt(1).push("Array").op(op::kNewObject).op(op::kSetVariable);
    a.push("a").op(op::kGetVariable).trace().push("a").op(op::kGetVariable).push("length").op(op::kGetMember).trace();
    a.push("o").push("length").pushInt(2).pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    a.push("o").op(op::kGetVariable).pushInt(1).push("Array").op(op::kGetVariable);
    a.push("prototype").op(op::kGetMember).push("join").op(op::kGetMember).push("call").op(op::kCallMethod).trace();
    a.push("o").op(op::kGetVariable).push("__proto__").push("o").op(op::kGetVariable).op(op::kSetMember);
    a.push("o").op(op::kGetVariable).push("missing").op(op::kGetMember).trace().push("not after").trace();
    EXPECT_EQ(testing_support::TracedBy(a, 8), (std::vector<std::string>{"", "-1", "undefined,undefined"}));
}

}  // namespace

namespace {

// name = new flash.geom.<cls>(numbers...)
Actions& NewGeom(Actions& a, const std::string& name, const std::string& cls, std::vector<double> args) {
    a.push(name);
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.push(*it);
    a.pushInt(static_cast<int>(args.size()));
    a.push("flash").op(op::kGetVariable).push("geom").op(op::kGetMember).push(cls).op(op::kNewMethod);
    return a.op(op::kSetVariable);
}

Actions& TraceVar(Actions& a, const std::string& name) { return a.push(name).op(op::kGetVariable).trace(); }

TEST(Avm1Geom, MatricesComposeInvertAndMapPoints) {
    Actions a;
    NewGeom(a, "m", "Matrix", {2, 3, 5, 7, 9, 11});
    Call(a, "m", "invert", 0);
    TraceVar(a, "m");
    // Scaling scales the translation too; the gradient box's square is 1638.4 px wide.
    NewGeom(a, "s", "Matrix", {2, 0, 0, 2, 100, 100});
    a.push(11.0).push(7.0);
    Call(a, "s", "scale", 2);
    TraceVar(a, "s");
    NewGeom(a, "g", "Matrix", {});
    a.push(300.0).push(200.0);
    Call(a, "g", "createGradientBox", 2);
    TraceVar(a, "g");
    // Mapping (1, 1) by (2, 3, 5, 7, 11, 13): with and without the translation.
    NewGeom(a, "t", "Matrix", {2, 3, 5, 7, 11, 13});
    NewGeom(a, "p", "Point", {1, 1});
    a.push("p").op(op::kGetVariable);
    Method(a, "t", "transformPoint", 1);
    a.push("p").op(op::kGetVariable);
    Method(a, "t", "deltaTransformPoint", 1);
    // Missing arguments are undefined, not defaults.
    NewGeom(a, "u", "Matrix", {1, 2});
    TraceVar(a, "u");
    EXPECT_EQ(Printed(a), (Lines{"(a=-7, b=3, c=5, d=-2, tx=8, ty=-5)", "(a=14, b=0, c=0, d=22, tx=700, ty=1100)",
                                 "(a=0.1220703125, b=0, c=0, d=0.18310546875, tx=100, ty=150)", "(x=18, y=23)",
                                 "(x=7, y=10)", "(a=1, b=2, c=undefined, d=undefined, tx=undefined, ty=undefined)"}));
}

TEST(Avm1Geom, PointsAndRectanglesByTheirEdges) {
    Actions a;
    NewGeom(a, "p", "Point", {-200, 100});
    a.push(10.0);
    Call(a, "p", "normalize", 1);
    TraceVar(a, "p");
    a.push("p").op(op::kGetVariable).push("length").op(op::kGetMember).trace();
    // interpolate(a, b, f) lies f of the way from b to a; distance needs points.
    a.push(-1.0);
    NewGeom(a, "q1", "Point", {-100, -200});
    NewGeom(a, "q2", "Point", {100, 200});
    a.push("q2").op(op::kGetVariable).push("q1").op(op::kGetVariable).pushInt(3);
    a.push("flash").op(op::kGetVariable).push("geom").op(op::kGetMember).push("Point").op(op::kGetMember);
    a.push("interpolate").op(op::kCallMethod).trace();
    // A rectangle's right and bottom add up; moving the top keeps the bottom.
    NewGeom(a, "r", "Rectangle", {1, 3, 5, 7});
    a.push("r").op(op::kGetVariable).push("right").op(op::kGetMember).trace();
    a.push("r").op(op::kGetVariable).push("top").push(0.0).op(op::kSetMember);
    TraceVar(a, "r");
    a.push("r").op(op::kGetVariable).push("bottomRight").op(op::kGetMember).trace();
    NewGeom(a, "o", "Rectangle", {4, 4, 10, 10});
    a.push("o").op(op::kGetVariable);
    Method(a, "r", "intersection", 1);
    a.push("o").op(op::kGetVariable);
    Method(a, "r", "union", 1);
    a.push(12.0).push(12.0);
    Method(a, "o", "contains", 2);
    a.push(14.0).push(14.0);
    Method(a, "o", "contains", 2);
    EXPECT_EQ(Printed(a), (Lines{"(x=-8.94427190999916, y=4.47213595499958)", "10", "(x=300, y=600)", "6",
                                 "(x=1, y=0, w=5, h=10)", "(x=6, y=10)", "(x=4, y=4, w=2, h=6)",
                                 "(x=1, y=0, w=13, h=14)", "true", "false"}));
}

TEST(Avm1Geom, ColorTransformsConcatAndCarryAnRgb) {
    Actions a;
    NewGeom(a, "c", "ColorTransform", {0.5, 0.5, 0.5, 0.5, 10, 20, 30, 40});
    NewGeom(a, "d", "ColorTransform", {0.5, 0.5, 0.5, 0.5, 50, 60, 70, 80});
    a.push("d").op(op::kGetVariable);
    Call(a, "c", "concat", 1);
    TraceVar(a, "c");
    a.push("c").op(op::kGetVariable).push("rgb").push(static_cast<double>(0x102030)).op(op::kSetMember);
    TraceVar(a, "c");
    a.push("c").op(op::kGetVariable).push("rgb").op(op::kGetMember).trace();
    EXPECT_EQ(Printed(a),
              (Lines{"(redMultiplier=0.25, greenMultiplier=0.25, blueMultiplier=0.25, alphaMultiplier=0.25, "
                     "redOffset=35, greenOffset=50, blueOffset=65, alphaOffset=80)",
                     "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=0.25, redOffset=16, "
                     "greenOffset=32, blueOffset=48, alphaOffset=80)",
                     "1056816"}));
}

}  // namespace

namespace {

// A TextFormat converts what is written to each field's kind (text_format, text_format_display,
// text_format_font_max_length, text_format_rounding_swf7 and _swf8): numbers are whole, rounded
// to even from version 8 and truncated before, with -2^31 for what is no 32-bit integer;
// margins (and before version 8 indents) stay at 0 and above; colours are unsigned; fonts are
// cut at 64 characters; an unknown alignment leaves the one there; display is block unless
// inline or none; tab stops are converted one by one. The constructor truncates and lets
// margins go below 0.
TEST(Avm1TextFormat, FieldsConvertWhatIsWrittenByTheirKind) {
    const auto set = [](Actions& a, const char* field, auto value) {
        a.push("f").op(op::kGetVariable).push(field).push(value).op(op::kSetMember);
        a.push("f").op(op::kGetVariable).push(field).op(op::kGetMember).trace();
    };
    Actions a;
    a.push("f").pushInt(0).push("TextFormat").op(op::kNewObject).op(op::kSetVariable);
    a.push("f").op(op::kGetVariable).push("size").op(op::kGetMember).trace();  // null until given
    set(a, "size", -2.5);
    set(a, "size", 3.5);
    set(a, "size", 4294967295.0);
    set(a, "color", -3.5);
    set(a, "leftMargin", -3.0);
    set(a, "indent", -3.0);
    set(a, "bold", "x");
    set(a, "align", "CENTER");
    set(a, "align", "sideways");
    set(a, "display", "Inline");
    set(a, "font", std::string(70, 'w').c_str());
    a.push("f").op(op::kGetVariable).push("tabStops").push(3.5).push(-2.5).pushInt(2).op(op::kInitArray);
    a.op(op::kSetMember);
    a.push("f").op(op::kGetVariable).push("tabStops").op(op::kGetMember).trace();
    // new TextFormat(font, size, color, bold, italic, underline, url, target, align, leftMargin ...)
    a.push(-10.0).push("left").push("_self").push("u").pushBool(false).pushBool(false).pushBool(true);
    a.push(255.0).push(-10.9).push("Arial").pushInt(10).push("TextFormat").op(op::kNewObject);
    a.push("g").op(op::kStackSwap).op(op::kSetVariable);
    for (const char* field : {"size", "bold", "url", "align", "leftMargin"}) {
        a.push("g").op(op::kGetVariable).push(field).op(op::kGetMember).trace();
    }
    const Lines v8 = Printed(a, 8);
    const Lines expected8 = {"null", "-2", "4", "-2147483648", "4294967293", "0", "-3", "true", "center", "center",
                             "block", std::string(64, 'w'), "-2,4", "-10", "true", "u", "left", "-10"};
    EXPECT_EQ(v8, expected8);
    const Lines v7 = Printed(a, 7);
    ASSERT_EQ(v7.size(), expected8.size());
    EXPECT_EQ(v7[1], "-2") << "truncated";
    EXPECT_EQ(v7[2], "3") << "truncated";
    EXPECT_EQ(v7[6], "0") << "indents stay at 0 and above before version 8";
    EXPECT_EQ(v7[12], "-2,3");
}

}  // namespace

namespace {

// A filter's constructor run again on a filter made already (super() twice) converts its
// arguments but leaves the filter as it was made (native_double_construct).
TEST(Avm1Filters, AFilterConstructedTwiceKeepsItsFirstFields) {
    Actions valueOf;
    valueOf.push("valueOf called").trace().push(5.0).op(op::kReturn);
    Actions a;
    a.push("f").pushInt(4).pushInt(20).pushInt(10).pushInt(3);
    a.push("flash").op(op::kGetVariable).push("filters").op(op::kGetMember).push("BlurFilter").op(op::kNewMethod);
    a.op(op::kSetVariable);
    a.push("noisy").push("valueOf").defineFunction("", {}, valueOf).pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    a.push("noisy").op(op::kGetVariable).pushInt(1).pushInt(2).push("f").op(op::kGetVariable).pushInt(4);
    a.push("flash").op(op::kGetVariable).push("filters").op(op::kGetMember).push("BlurFilter").op(op::kGetMember);
    a.push("call").op(op::kCallMethod).op(op::kPop);
    for (const char* field : {"blurX", "blurY", "quality"}) a.push("f").op(op::kGetVariable).push(field).op(op::kGetMember).trace();
    EXPECT_EQ(Printed(a), (Lines{"valueOf called", "10", "20", "4"}));
}

}  // namespace

namespace {

// for-in lists an array's elements among its properties by when a write filled them, newest
// first; the elements it was made with come last, highest index first (array_enumerate).
TEST(Avm1Arrays, ForInListsElementsByWhenTheyWereWritten) {
    Actions a;
    a.push("a").pushInt(16).pushInt(1).push("Array").op(op::kNewObject).op(op::kSetVariable);
    a.push("a").op(op::kGetVariable).pushInt(1).push("one").op(op::kSetMember);
    a.push("a").op(op::kGetVariable).pushInt(0).push("zero").op(op::kSetMember);
    a.push("a").op(op::kGetVariable).push("foo").push("foo").op(op::kSetMember);
    a.push("a").op(op::kGetVariable).pushInt(5).push("five").op(op::kSetMember);
    ForIn(a, "a");
    a.push("b").push("y").push("x").pushInt(2).op(op::kInitArray).op(op::kSetVariable);
    ForIn(a, "b");
    EXPECT_EQ(Printed(a), (Lines{"5", "foo", "0", "1", "1", "0"}));
}

}  // namespace

namespace {

// A broadcaster tells its listeners apart by strict equality: null and numbers are removed
// like objects (mouse_listeners); broadcastMessage calls the objects among them.
TEST(Avm1Broadcaster, ListenersAreToldApartByStrictEquality) {
    Actions hear;
    hear.push("heard").trace();
    Actions a;
    a.push("b").pushInt(0).op(op::kInitObject).op(op::kSetVariable);
    a.push("b").op(op::kGetVariable).pushInt(1).push("AsBroadcaster").op(op::kGetVariable).push("initialize");
    a.op(op::kCallMethod).op(op::kPop);
    a.push("l").push("ping").defineFunction("", {}, hear).pushInt(1).op(op::kInitObject).op(op::kSetVariable);
    for (const char* name : {"l", "n"}) {
        a.push(name).op(op::kGetVariable).pushInt(1).push("b").op(op::kGetVariable).push("addListener").op(op::kCallMethod).op(op::kPop);
    }
    a.pushNull().pushInt(1).push("b").op(op::kGetVariable).push("addListener").op(op::kCallMethod).op(op::kPop);
    a.pushInt(1).pushInt(1).push("b").op(op::kGetVariable).push("addListener").op(op::kCallMethod).op(op::kPop);
    a.push("b").op(op::kGetVariable).push("_listeners").op(op::kGetMember).push("length").op(op::kGetMember).trace();
    a.pushNull().pushInt(1).push("b").op(op::kGetVariable).push("removeListener").op(op::kCallMethod).trace();
    a.pushInt(1).pushInt(1).push("b").op(op::kGetVariable).push("removeListener").op(op::kCallMethod).trace();
    a.pushInt(2).pushInt(1).push("b").op(op::kGetVariable).push("removeListener").op(op::kCallMethod).trace();
    a.push("ping").pushInt(1).push("b").op(op::kGetVariable).push("broadcastMessage").op(op::kCallMethod).op(op::kPop);
    a.push("b").op(op::kGetVariable).push("_listeners").op(op::kGetMember).push("length").op(op::kGetMember).trace();
    // n is undefined: it is listed once, like null.
    EXPECT_EQ(Printed(a), (Lines{"4", "true", "true", "false", "heard", "2"}));
}

}  // namespace
