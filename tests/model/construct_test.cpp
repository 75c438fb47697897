// Adding content at positions, the growth policy, ownership on failure, and
// moving nodes between parents.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "alloc_hook.h"
#include "internals.h"
#include "sanitized.h"
#include "tree_compare.h"

using xml_internal::NodeAccess;
using xml_internal::NodeData;

namespace {

// The contents of a node in document order, one token per item: "tNAME" for
// a text, "cNAME" for a child, "xVALUE" for a clear tag.
std::string contents(const XMLNode& n) {
    const NodeData* d = NodeAccess::data(n);
    std::string s;
    for (int e : orderOf(n)) {
        if (!s.empty()) s += ' ';
        const int i = e >> 2;
        switch (e & 3) {
            case elementText: s += std::string("t") + d->texts[i]; break;
            case elementClear: s += std::string("x") + d->clears[i].value; break;
            default: s += std::string("c") + (d->children[i]->name ? d->children[i]->name : "?");
        }
    }
    return s;
}

TEST(AddAtPosition, FirstItemOfEmptyNodeIsPositionZero) {
    for (int pos : {0, 5, -1}) {
        XMLNode n = XMLNode::createXMLTopNode("n");
        n.addText("a", pos);
        EXPECT_EQ(orderOf(n), std::vector<int>{2}) << pos;
    }
}

TEST(AddAtPosition, InsertionsRenumberTheirKind) {
    const struct {
        const char* name;
        std::vector<std::string> build;  // items appended first
        char kind;                       // what to insert: 't', 'c' or 'x'
        int position;
        std::vector<int> expectedOrder;
        const char* expectedContents;
    } cases[] = {
        {"text between", {"t0", "cC", "t1"}, 't', 1, {2, 6, 0, 10}, "t0 tnew cC t1"},
        {"child first", {"t0", "t1"}, 'c', 0, {0, 2, 6}, "cnew t0 t1"},
        {"child before child", {"cold", "t0"}, 'c', 0, {0, 4, 2}, "cnew cold t0"},
        {"clear in middle", {"xa", "t0", "xb"}, 'x', 1, {3, 7, 2, 11}, "xa xnew t0 xb"},
        {"append by size", {"t0", "cC"}, 't', 2, {2, 0, 6}, "t0 cC tnew"},
        {"append past end", {"t0", "cC"}, 'c', 99, {2, 0, 4}, "t0 cC cnew"},
        {"append negative", {"t0", "cC"}, 'x', -7, {2, 0, 3}, "t0 cC xnew"},
    };
    for (const auto& c : cases) {
        XMLNode n = XMLNode::createXMLTopNode("n");
        for (const std::string& item : c.build) {
            const std::string v = item.substr(1);
            if (item[0] == 't') n.addText(v.c_str());
            if (item[0] == 'c') n.addChild(v.c_str());
            if (item[0] == 'x') n.addClear(v.c_str());
        }
        if (c.kind == 't') n.addText("new", c.position);
        if (c.kind == 'c') n.addChild("new", 0, c.position);
        if (c.kind == 'x') n.addClear("new", nullptr, nullptr, c.position);
        EXPECT_EQ(orderOf(n), c.expectedOrder) << c.name;
        EXPECT_EQ(contents(n), c.expectedContents) << c.name;
        EXPECT_TRUE(TreeInvariantsHold(n)) << c.name;
    }
}

TEST(AddAtPosition, SecondChildAfterFirstText) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addText("t0");
    n.addText("t1");
    n.addChild("a", 0, 0);
    n.addChild("b", 0, 2);
    EXPECT_EQ(contents(n), "ca tt0 cb tt1");
    EXPECT_STREQ(n.getChildNode(1).getName(), "b");
}

TEST(AddAtPosition, OldChildMovesToIndexOne) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    XMLNode old = n.addChild("old");
    n.addText("t");
    n.addChild("new", 0, 0);
    EXPECT_STREQ(n.getChildNode(1).getName(), "old");
    EXPECT_EQ(NodeAccess::data(n.getChildNode(1)), NodeAccess::data(old));
}

TEST(Adders, ClearTagDelimiterDefaults) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    XMLClear* c = n.addClear("v");
    EXPECT_EQ(c->openTag, xml_internal::cdataOpen);
    EXPECT_EQ(c->closeTag, xml_internal::cdataClose);
    static const char open[] = "<!--";
    c = n.addClear("w", open, nullptr);
    EXPECT_EQ(c->openTag, open);
    EXPECT_EQ(c->closeTag, xml_internal::cdataClose);
    static const char close[] = "-->";
    c = n.addClear("w", nullptr, close);
    EXPECT_EQ(c->openTag, xml_internal::cdataOpen);
    EXPECT_EQ(c->closeTag, close);
}

TEST(Adders, AttributesAppendWithOrWithoutValue) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    XMLAttribute* a = n.addAttribute("k", nullptr);
    EXPECT_STREQ(a->name, "k");
    EXPECT_EQ(a->value, nullptr);
    n.addAttribute("k", "dup");  // duplicates are accepted
    EXPECT_EQ(n.nAttribute(), 2);
    EXPECT_EQ(orderOf(n), std::vector<int>{});
    EXPECT_EQ(n.addAttribute(nullptr, "v"), &XMLNode::emptyXMLAttribute);
    EXPECT_EQ(n.addAttribute_WOSD(nullptr, stringDup("v")), &XMLNode::emptyXMLAttribute);
    EXPECT_EQ(n.nAttribute(), 2);
}

TEST(Adders, NullStringsStoreNothing) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    EXPECT_EQ(n.addText(nullptr), nullptr);
    EXPECT_EQ(n.addText_WOSD(nullptr), nullptr);
    EXPECT_EQ(n.addClear(nullptr), &XMLNode::emptyXMLClear);
    EXPECT_EQ(n.addClear_WOSD(nullptr), &XMLNode::emptyXMLClear);
    EXPECT_TRUE(n.addChild(static_cast<const char*>(nullptr)).isEmpty());
    EXPECT_TRUE(n.addChild_WOSD(nullptr).isEmpty());
    EXPECT_EQ(n.nElement(), 0);
}

TEST(Adders, EmptyHandleFreesOwnedStrings) {
    XMLNode e;
    // Each owned string must be freed: the asan build reports any leak.
    EXPECT_EQ(e.addAttribute_WOSD(stringDup("n"), stringDup("v")), &XMLNode::emptyXMLAttribute);
    EXPECT_EQ(e.addText_WOSD(stringDup("t")), nullptr);
    EXPECT_EQ(e.addClear_WOSD(stringDup("c")), &XMLNode::emptyXMLClear);
    EXPECT_TRUE(e.addChild_WOSD(stringDup("c")).isEmpty());
    EXPECT_EQ(e.addAttribute("n", "v"), &XMLNode::emptyXMLAttribute);
    EXPECT_EQ(e.addText("t"), nullptr);
    EXPECT_EQ(e.addClear("c"), &XMLNode::emptyXMLClear);
    EXPECT_TRUE(e.addChild("c").isEmpty());
}

TEST(Adders, OwningVariantsStoreTheVeryString) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    char* t = stringDup("text");
    EXPECT_EQ(n.addText_WOSD(t), t);
    EXPECT_EQ(n.getText(0), t);
    char* v = stringDup("clear");
    EXPECT_EQ(n.addClear_WOSD(v)->value, v);
    char* name = stringDup("child");
    EXPECT_EQ(n.addChild_WOSD(name).getName(), name);
    const char* copied = "copied";
    EXPECT_NE(n.addText(copied), copied);
}

TEST(Adders, NewChildIsAttachedWithCountTwo) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    XMLNode c = n.addChild("c", 1);
    EXPECT_EQ(refs(c), 2);
    EXPECT_EQ(c.isDeclaration(), 1);
    EXPECT_STREQ(c.getParentNode().getName(), "n");
}

TEST(Growth, StepFiftyKeepsRoomAndTrimsToExact) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    NodeAccess a(n);
    for (int i = 0; i < 120; i++) {
        a.addText_priv(50, stringDup(std::to_string(i).c_str()), -1);
        a.addChild_priv(50, stringDup("c"), 0, -1);
        a.addAttribute_priv(50, stringDup("k"), stringDup("v"));
        a.addClear_priv(50, stringDup("x"), nullptr, nullptr, -1);
    }
    EXPECT_EQ(n.nText(), 120);
    EXPECT_STREQ(n.getText(119), "119");
    EXPECT_TRUE(TreeInvariantsHold(n));
    NodeAccess::exactMemory(NodeAccess::data(n));
    EXPECT_TRUE(TreeInvariantsHold(n));
    n.addText("after trim");  // growth step 0 is safe on a trimmed node
    EXPECT_STREQ(n.getText(120), "after trim");
    EXPECT_TRUE(TreeInvariantsHold(n));
}

// A node made by the copying addChild takes its first arrays from the block
// its record lies in, with room rounded up to a power of two.  Growing each
// kind past several such rooms, deleting down to fewer records than half a
// room and growing again must keep every record in its place (the sanitizer
// builds catch a write past the room).
TEST(Growth, ArraysOfAnAddedNodeGrowShrinkAndGrowAgain) {
    XMLNode top = XMLNode::createXMLTopNode("top");
    XMLNode n = top.addChild("n");
    std::vector<std::string> expected;  // the texts, in order
    auto add = [&](int from, int to) {
        for (int i = from; i < to; i++) {
            const std::string s = std::to_string(i);
            n.addText(s.c_str());
            n.addAttribute(("k" + s).c_str(), s.c_str());
            n.addClear(s.c_str());
            n.addChild(("c" + s).c_str());
            expected.push_back(s);
        }
    };
    auto check = [&] {
        ASSERT_EQ(n.nText(), static_cast<int>(expected.size()));
        ASSERT_EQ(n.nAttribute(), n.nText());
        ASSERT_EQ(n.nClear(), n.nText());
        ASSERT_EQ(n.nChildNode(), n.nText());
        for (int i = 0; i < n.nText(); i++) {
            const std::string& s = expected[static_cast<size_t>(i)];
            EXPECT_EQ(n.getText(i), s);
            EXPECT_EQ(n.getAttributeValue(i), s);
            EXPECT_EQ(n.getClear(i).value, s);
            EXPECT_EQ(std::string(n.getChildNode(i).getName()), "c" + s);
        }
        EXPECT_TRUE(TreeInvariantsHold(top));
    };
    add(0, 9);
    check();
    while (n.nText() > 3) {  // from the front: later records move down
        n.deleteText(0);
        n.deleteAttribute(0);
        n.deleteClear(0);
        n.getChildNode(0).deleteNodeContent();
        expected.erase(expected.begin());
    }
    check();
    add(9, 40);
    check();
    NodeAccess::exactMemory(NodeAccess::data(n));
    NodeAccess(n).addText_priv(50, stringDup("stepped"), -1);
    n.addAttribute("k", "stepped");
    n.addClear("stepped");
    n.addChild("cstepped");
    expected.push_back("stepped");
    check();
}

TEST(Move, BetweenParentsKeepsCount) {
    XMLNode a = XMLNode::createXMLTopNode("a");
    XMLNode b = XMLNode::createXMLTopNode("b");
    XMLNode c = a.addChild("c");
    a.addText("t");
    b.addText("u");
    const int before = refs(c);
    XMLNode r = b.addChild(c, 0);
    EXPECT_EQ(NodeAccess::data(r), NodeAccess::data(c));
    EXPECT_EQ(refs(c), before + 1);  // +1 for `r` only
    r = XMLNode();
    EXPECT_EQ(a.nChildNode(), 0);
    EXPECT_EQ(contents(a), "tt");
    EXPECT_EQ(contents(b), "cc tu");
    EXPECT_STREQ(c.getParentNode().getName(), "b");
    EXPECT_TRUE(TreeInvariantsHold(a));
    EXPECT_TRUE(TreeInvariantsHold(b));
}

TEST(Move, AttachingRootRetainsIt) {
    XMLNode p = XMLNode::createXMLTopNode("p");
    {
        XMLNode root = XMLNode::createXMLTopNode("r");
        root.addText("inside");
        p.addChild(root);
        EXPECT_EQ(refs(root), 2);
    }
    EXPECT_EQ(p.nChildNode(), 1);
    EXPECT_STREQ(p.getChildNode(0).getText(0), "inside");
    EXPECT_EQ(refs(p.getChildNode(0)), 2);  // slot + the temporary handle
}

TEST(Move, NamelessNodeMovesItsChildrenInOrder) {
    XMLNode p = XMLNode::createXMLTopNode("p");
    p.addChild("first");
    p.addText("t");
    XMLNode nameless = XMLNode::createXMLTopNode(nullptr);
    nameless.addChild("x");
    nameless.addText("kept text");
    nameless.addChild("y");
    nameless.addChild("z");
    nameless.addAttribute("kept", "attr");
    p.addChild(nameless, 1);
    EXPECT_EQ(contents(p), "cfirst cx cy cz tt");
    EXPECT_EQ(nameless.nChildNode(), 0);
    EXPECT_EQ(contents(nameless), "tkept text");
    EXPECT_EQ(nameless.nAttribute(), 1);
    EXPECT_TRUE(TreeInvariantsHold(p));
    EXPECT_TRUE(TreeInvariantsHold(nameless));
}

TEST(Move, NamelessNodeAppendsWithNegativePosition) {
    XMLNode p = XMLNode::createXMLTopNode("p");
    p.addText("t");
    XMLNode nameless = XMLNode::createXMLTopNode(nullptr);
    nameless.addChild("x");
    nameless.addChild("y");
    p.addChild(nameless, -1);
    EXPECT_EQ(contents(p), "tt cx cy");
}

TEST(Move, NamelessGrandchildMovesAsAWhole) {
    XMLNode p = XMLNode::createXMLTopNode("p");
    XMLNode outer = XMLNode::createXMLTopNode(nullptr);
    XMLNode inner = outer.addChild("inner");
    inner.addChild("deep");
    inner.updateName(nullptr);  // now a nameless child of a nameless node
    outer.addChild("after");
    p.addChild(outer);
    EXPECT_EQ(outer.nChildNode(), 0);
    ASSERT_EQ(p.nChildNode(), 2);
    EXPECT_EQ(p.getChildNode(0).getName(), nullptr);
    EXPECT_STREQ(p.getChildNode(0).getChildNode(0).getName(), "deep");
    EXPECT_STREQ(p.getChildNode(1).getName(), "after");
    EXPECT_TRUE(TreeInvariantsHold(p));
}

TEST(Move, CyclesAreRefused) {
    XMLNode a = XMLNode::createXMLTopNode("a");
    XMLNode b = a.addChild("b");
    XMLNode c = b.addChild("c");
    EXPECT_TRUE(a.addChild(a).isEmpty());
    EXPECT_TRUE(c.addChild(a).isEmpty());
    EXPECT_TRUE(c.addChild(b).isEmpty());
    XMLNode nameless = XMLNode::createXMLTopNode(nullptr);
    XMLNode n1 = nameless.addChild("n1");
    EXPECT_TRUE(nameless.addChild(nameless).isEmpty());
    EXPECT_TRUE(n1.addChild(nameless).isEmpty());
    EXPECT_EQ(nameless.nChildNode(), 1);
    EXPECT_EQ(a.nChildNode(), 1);
    EXPECT_EQ(contents(b), "cc");
    EXPECT_TRUE(TreeInvariantsHold(a));
    EXPECT_TRUE(TreeInvariantsHold(nameless));
}

TEST(Move, EmptyArgumentOrTargetChangesNothing) {
    XMLNode a = XMLNode::createXMLTopNode("a");
    EXPECT_TRUE(a.addChild(XMLNode()).isEmpty());
    XMLNode e;
    XMLNode r = e.addChild(a);
    EXPECT_EQ(NodeAccess::data(r), NodeAccess::data(a));
    EXPECT_EQ(a.nElement(), 0);
}

TEST(Move, WithinOwnParentPositionCountsContentWithoutTheNode) {
    // The position is read after the node has been taken out, so the node
    // ends at exactly the position asked for.
    const struct {
        int position;
        const char* expected;
    } cases[] = {
        {0, "cm t0 c1 t2"}, {1, "t0 cm c1 t2"},  {2, "t0 c1 cm t2"},
        {3, "t0 c1 t2 cm"}, {-1, "t0 c1 t2 cm"},
    };
    for (const auto& c : cases) {
        XMLNode p = XMLNode::createXMLTopNode("p");
        p.addText("0");
        XMLNode m = p.addChild("m");
        p.addChild("1");
        p.addText("2");
        p.addChild(m, c.position);
        EXPECT_EQ(contents(p), c.expected) << c.position;
        EXPECT_EQ(refs(m), 2);
        EXPECT_TRUE(TreeInvariantsHold(p));
    }
}

// Moving a nameless node's children places them as attaching them one at a
// time, at a running position, would: the reference here is that loop,
// through the public move of one named child.  Trees of every small shape,
// at every position, with the nameless node a root or a child of the target.
TEST(Move, NamelessChildrenLandWhereOneByOneMovesWouldPutThem) {
    std::mt19937 random(7);
    auto fill = [&random](XMLNode n, const char* prefix) {
        const int items = static_cast<int>(random() % 6);
        for (int i = 0; i < items; i++) {
            const std::string v = prefix + std::to_string(i);
            switch (random() % 3) {
                case 0: n.addChild(v.c_str()).addText("in"); break;
                case 1: n.addText(v.c_str()); break;
                default: n.addClear(v.c_str()); break;
            }
        }
    };
    for (int round = 0; round < 300; round++) {
        SCOPED_TRACE(round);
        XMLNode d = XMLNode::createXMLTopNode("d");
        fill(d, "d");
        const bool inside = round % 3 == 0;  // the nameless node a child of d
        XMLNode x = inside ? d.addChild("x") : XMLNode::createXMLTopNode("x");
        fill(x, "x");
        x.addAttribute("kept", "1");
        x.updateName(nullptr);
        const int t = d.nElement() - d.nAttribute();
        const int position = static_cast<int>(random() % (t + 4)) - 2;

        XMLNode expectedD = d.deepCopy();
        XMLNode expectedX = inside ? expectedD.getChildNode(d.nChildNode() - 1)
                                   : x.deepCopy();  // x came last
        for (int p = position; expectedX.nChildNode() > 0; p += p >= 0 ? 1 : 0)
            expectedD.addChild(expectedX.getChildNode(0), p);

        EXPECT_EQ(NodeAccess::data(d.addChild(x, position)), NodeAccess::data(x));
        EXPECT_TRUE(TreesEqual(d, expectedD)) << contents(d) << " | " << contents(expectedD);
        EXPECT_EQ(contents(x), contents(expectedX));
        EXPECT_EQ(x.nAttribute(), 1);
        EXPECT_TRUE(TreeInvariantsHold(d));
        EXPECT_TRUE(TreeInvariantsHold(x));
        for (int i = 0; i < d.nChildNode(); i++) {
            const XMLNode c = d.getChildNode(i);
            if (NodeAccess::data(c) == NodeAccess::data(x)) continue;
            EXPECT_EQ(refs(c), 2);  // the slot and the handle just made
        }
    }
}

// When memory runs out the nameless node's children all stay where they
// were: nothing moves, nothing leaks.
TEST(Move, NamelessChildrenStayPutWhenMemoryRunsOut) {
    for (long failAt = 0;; failAt++) {
        SCOPED_TRACE(failAt);
        XMLNode d = XMLNode::createXMLTopNode("d");
        d.addChild("d0");
        d.addText("t");
        XMLNode x = XMLNode::createXMLTopNode(nullptr);
        for (int i = 0; i < 40; i++) x.addChild(("x" + std::to_string(i)).c_str());
        const std::string before = contents(d) + " | " + contents(x);
        bool failed;
        {
            alloc_hook::Scope scope(failAt);
            d.addChild(x, 1);
            failed = scope.failed();
        }
        EXPECT_TRUE(TreeInvariantsHold(d));
        EXPECT_TRUE(TreeInvariantsHold(x));
        if (!failed) {
            EXPECT_GT(failAt, 0);  // the move allocates: some step failed
            EXPECT_EQ(d.nChildNode(), 41);
            EXPECT_EQ(x.nChildNode(), 0);
            break;
        }
        EXPECT_EQ(contents(d) + " | " + contents(x), before);
    }
}

// A parsed fragment of a million siblings grafted into another node in one
// call: one child at a time, each move shifted both arrays, which took
// minutes here.
TEST(Move, MillionChildrenOfANamelessNodeMoveAtOnce) {
#ifdef XMLPARSER_SANITIZED
    const int count = 100000;
#else
    const int count = 1000000;
#endif
    std::string text;
    for (int i = 0; i < count; i++) text += "<a/>";
    text += "<b/>";
    XMLNode fragment = XMLNode::parseString(text.c_str());
    ASSERT_EQ(fragment.nChildNode(), count + 1);
    XMLNode d = XMLNode::createXMLTopNode("d");
    d.addText("first");
    d.addText("last");
    d.addChild(fragment, 1);
    EXPECT_EQ(fragment.nChildNode(), 0);
    ASSERT_EQ(d.nChildNode(), count + 1);
    EXPECT_STREQ(d.getChildNode(count).getName(), "b");
    EXPECT_STREQ(d.getText(1), "last");
    EXPECT_EQ(d.positionOfText(1), count + 2);
    EXPECT_TRUE(TreeInvariantsHold(d));
}

}  // namespace
