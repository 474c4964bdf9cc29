// Script objects and their heap: the property map's order, attributes and case rule,
// prototype chains, and mark-and-sweep from the roots with stale handles resolving to nothing.
#include <gtest/gtest.h>

#include "avm1/heap.h"

namespace {

using avm1::Heap;
using avm1::ObjectHandle;
using avm1::Value;
namespace attribute = avm1::attribute;

// Roots given as a list of handles.
auto Roots(std::vector<ObjectHandle> handles) {
    return [handles](avm1::Tracer& t) {
        for (ObjectHandle h : handles) t.object(h);
    };
}

TEST(Avm1Objects, PropertiesKeepTheirOrderAttributesAndTheVersionsCaseRule) {
    avm1::Object folded(false), exact(true);
    for (avm1::Object* o : {&folded, &exact}) {
        EXPECT_TRUE(o->set("Alpha", Value::Number(1)));
        EXPECT_TRUE(o->set("beta", Value::Number(2)));
        EXPECT_TRUE(o->set("gamma", Value::Number(3)));
    }
    ASSERT_NE(folded.find("ALPHA"), nullptr) << "names match without case before version 7";
    EXPECT_EQ(folded.find("ALPHA")->name, "Alpha") << "the name stays as first made";
    EXPECT_EQ(exact.find("ALPHA"), nullptr);
    EXPECT_TRUE(folded.set("ALPHA", Value::Number(10)));
    EXPECT_EQ(folded.properties().size(), 3u);
    EXPECT_EQ(folded.find("alpha")->value.number(), 10);
    // Removing one in the middle keeps the others findable and in order.
    EXPECT_TRUE(exact.remove("beta"));
    EXPECT_FALSE(exact.remove("beta"));
    ASSERT_EQ(exact.properties().size(), 2u);
    EXPECT_EQ(exact.properties()[1].name, "gamma");
    ASSERT_NE(exact.find("gamma"), nullptr);
    EXPECT_EQ(exact.find("gamma")->value.number(), 3);
    // Read-only keeps its value; don't-delete stays.
    exact.setAttributes("gamma", attribute::kReadOnly | attribute::kDontDelete);
    EXPECT_FALSE(exact.set("gamma", Value::Number(4)));
    EXPECT_EQ(exact.find("gamma")->value.number(), 3);
    EXPECT_FALSE(exact.remove("gamma"));
    EXPECT_TRUE(exact.remove("Alpha"));
}

TEST(Avm1Objects, LookupsFollowThePrototypeChainAndStopOnALoop) {
    Heap heap(true);
    const ObjectHandle base = heap.make(), middle = heap.make(base), top = heap.make(middle);
    heap.get(base)->set("x", Value::String("base"));
    heap.get(base)->set("y", Value::String("base"));
    heap.get(middle)->set("y", Value::String("middle"));
    ASSERT_NE(heap.lookup(top, "x"), nullptr);
    EXPECT_EQ(heap.lookup(top, "x")->value.string(), "base");
    EXPECT_EQ(heap.lookup(top, "y")->value.string(), "middle") << "the nearest one shadows";
    EXPECT_EQ(heap.lookup(top, "z"), nullptr);
    heap.get(base)->prototype = top;  // a loop
    EXPECT_EQ(heap.lookup(top, "z"), nullptr);
    EXPECT_EQ(heap.lookup(ObjectHandle{}, "x"), nullptr);
}

TEST(Avm1Heap, CollectsWhatTheRootsDoNotReach) {
    Heap heap(true);
    const ObjectHandle root = heap.make();
    const ObjectHandle held = heap.make(), proto = heap.make(), scope = heap.make(), function = heap.make(proto);
    const ObjectHandle lost = heap.make(), cycleA = heap.make(), cycleB = heap.make();
    heap.get(root)->set("held", Value::Object(held));
    heap.get(held)->set("f", Value::Object(function));
    heap.get(function)->function.emplace();
    heap.get(function)->function->scope = {{Value::Object(scope), avm1::ScopeEntry::Kind::kLocal}};
    heap.get(cycleA)->set("b", Value::Object(cycleB));
    heap.get(cycleB)->set("a", Value::Object(cycleA));
    EXPECT_EQ(heap.liveObjects(), 8u);
    EXPECT_EQ(heap.collect(Roots({root})), 3u) << "the lost one and the cycle";
    for (ObjectHandle h : {root, held, proto, scope, function}) EXPECT_NE(heap.get(h), nullptr);
    for (ObjectHandle h : {lost, cycleA, cycleB}) EXPECT_EQ(heap.get(h), nullptr);
    // A slot used again gives a new handle; the old one stays stale.
    const ObjectHandle reused = heap.make();
    EXPECT_EQ(heap.get(lost), nullptr);
    EXPECT_NE(heap.get(reused), nullptr);
    EXPECT_EQ(heap.liveObjects(), 6u);
    // Without roots, everything goes.
    EXPECT_EQ(heap.collect(Roots({})), 6u);
    EXPECT_EQ(heap.liveObjects(), 0u);
}

TEST(Avm1Heap, MarksALongChainWithoutRecursion) {
    Heap heap(true);
    const ObjectHandle first = heap.make();
    ObjectHandle last = first;
    for (int i = 0; i < 200000; ++i) {
        const ObjectHandle next = heap.make();
        heap.get(last)->set("next", Value::Object(next));
        last = next;
    }
    EXPECT_EQ(heap.collect(Roots({first})), 0u);
    EXPECT_NE(heap.get(last), nullptr);
}

}  // namespace
