// Lookups by name (iterated and occurrence searches, counts, the child that
// carries an attribute), positions in document order, and enumContents.
#include <gtest/gtest.h>

#include <cstring>

#include "internals.h"

using namespace xml_internal;

namespace {

int refCount(const XMLNode& n) { return NodeAccess::data(n)->referenceCount; }

// Children: item, other, ITEM, Item, x (indexes 0 to 4).
class NamedChildren : public ::testing::Test {
protected:
    void SetUp() override {
        root = XMLNode::createXMLTopNode("root");
        for (const char* n : {"item", "other", "ITEM", "Item", "x"}) root.addChild(n);
    }
    XMLNode root;
};

TEST_F(NamedChildren, IteratedSearchVisitsEveryMatchOnceInOrder) {
    int i = 0;
    const char* seen[4] = {};
    int n = 0;
    for (XMLNode c = root.getChildNode("iTeM", &i); !c.isEmpty(); c = root.getChildNode("iTeM", &i))
        seen[n++] = c.getName();
    ASSERT_EQ(n, 3);
    EXPECT_STREQ(seen[0], "item");
    EXPECT_STREQ(seen[1], "ITEM");
    EXPECT_STREQ(seen[2], "Item");
    EXPECT_EQ(i, 4);  // one past the last match, kept by the failed call
    EXPECT_TRUE(root.getChildNode("item", &i).isEmpty());
    EXPECT_EQ(i, 4);
}

TEST_F(NamedChildren, IteratorOutsideTheArrayFindsNothingAndStays) {
    for (int start : {5, 99, -1, -100}) {
        int i = start;
        EXPECT_TRUE(root.getChildNode("item", &i).isEmpty()) << start;
        EXPECT_EQ(i, start);
        XMLNode c = root.getChildNodeWithAttribute("item", "k", nullptr, &i);
        EXPECT_TRUE(c.isEmpty());
        EXPECT_EQ(i, start);
    }
}

TEST_F(NamedChildren, NullIteratorStartsAtZero) {
    EXPECT_STREQ(root.getChildNode("ITEM", static_cast<int*>(nullptr)).getName(), "item");
    EXPECT_STREQ(root.getChildNode("x").getName(), "x");
}

TEST_F(NamedChildren, OccurrenceSearch) {
    struct Case {
        int occurrence;
        int wantIndex;  // -1: empty node
    } cases[] = {{0, 0}, {1, 2}, {2, 3}, {3, -1}, {5, -1}, {-1, 3}, {-7, 3}, {INT_MAX, -1}};
    for (const Case& c : cases) {
        XMLNode got = root.getChildNode("item", c.occurrence);
        if (c.wantIndex < 0) {
            EXPECT_TRUE(got.isEmpty()) << c.occurrence;
        } else {
            EXPECT_EQ(NodeAccess::data(got), NodeAccess::data(root.getChildNode(c.wantIndex)))
                << c.occurrence;
        }
    }
    EXPECT_TRUE(root.getChildNode("missing", -1).isEmpty());
}

TEST_F(NamedChildren, CountsMatchesIgnoringCase) {
    EXPECT_EQ(root.nChildNode("ITEM"), 3);
    EXPECT_EQ(root.nChildNode("other"), 1);
    EXPECT_EQ(root.nChildNode("none"), 0);
    EXPECT_EQ(root.nChildNode(static_cast<const char*>(nullptr)), 0);
}

TEST_F(NamedChildren, ReturnedHandlesHoldTheirOwnReference) {
    XMLNode c = root.getChildNode("x", static_cast<int*>(nullptr));
    EXPECT_EQ(refCount(c), 2);  // the slot and `c`
    {
        XMLNode again = root.getChildNode("x", 0);
        EXPECT_EQ(refCount(c), 3);
    }
    EXPECT_EQ(refCount(c), 2);
}

// A nameless child (renamed to null) is passed over by every name lookup,
// and a null wanted name matches nothing, not even a nameless child.
TEST_F(NamedChildren, NamelessChildAndNullNameArePassedOver) {
    XMLNode c = root.getChildNode(2);
    c.updateName(nullptr);
    c.addAttribute("k", "v");
    EXPECT_EQ(root.nChildNode("item"), 2);
    int i = 0;
    root.getChildNode("item", &i);
    EXPECT_STREQ(root.getChildNode("item", &i).getName(), "Item");
    EXPECT_EQ(i, 4);
    EXPECT_STREQ(root.getChildNode("item", 1).getName(), "Item");
    EXPECT_STREQ(root.getChildNode("item", -1).getName(), "Item");
    EXPECT_EQ(root.positionOfChildNode("item", 1), 3);
    EXPECT_TRUE(root.getChildNodeWithAttribute("item", "k").isEmpty());

    const char* none = nullptr;
    i = 0;
    EXPECT_TRUE(root.getChildNode(none, &i).isEmpty());
    EXPECT_EQ(i, 0);
    EXPECT_TRUE(root.getChildNode(none, 0).isEmpty());
    EXPECT_TRUE(root.getChildNode(none, -1).isEmpty());
    EXPECT_TRUE(root.getChildNodeWithAttribute(none, "k").isEmpty());
    EXPECT_TRUE(root.getChildNodeWithAttribute("item", none).isEmpty());
    EXPECT_EQ(root.getAttribute(none, static_cast<int*>(nullptr)), nullptr);
    EXPECT_EQ(root.getAttribute(none, 0), nullptr);
    EXPECT_EQ(root.isAttributeSet(none), 0);
}

class Attributes : public ::testing::Test {
protected:
    void SetUp() override {
        node = XMLNode::createXMLTopNode("n");
        node.addAttribute("a", "1");
        node.addAttribute("B", nullptr);  // without value
        node.addAttribute("A", "2");
        node.addAttribute("b", "3");
    }
    XMLNode node;
};

TEST_F(Attributes, IteratedSearch) {
    int i = 0;
    EXPECT_STREQ(node.getAttribute("A", &i), "1");
    EXPECT_EQ(i, 1);
    EXPECT_STREQ(node.getAttribute("A", &i), "2");
    EXPECT_EQ(i, 3);
    EXPECT_EQ(node.getAttribute("A", &i), nullptr);
    EXPECT_EQ(i, 3);

    // An attribute without value answers null but still advances.
    i = 0;
    EXPECT_EQ(node.getAttribute("b", &i), nullptr);
    EXPECT_EQ(i, 2);
    EXPECT_STREQ(node.getAttribute("b", &i), "3");
    EXPECT_EQ(i, 4);

    for (int start : {4, 50, -1}) {
        i = start;
        EXPECT_EQ(node.getAttribute("a", &i), nullptr);
        EXPECT_EQ(i, start);
    }
}

TEST_F(Attributes, OccurrenceSearch) {
    struct Case {
        int occurrence;
        const char* want;
    } cases[] = {{0, "1"}, {1, "2"}, {2, nullptr}, {-1, "1"}, {-5, "1"}, {INT_MAX, nullptr}};
    for (const Case& c : cases) {
        const char* got = node.getAttribute("a", c.occurrence);
        if (c.want)
            EXPECT_STREQ(got, c.want) << c.occurrence;
        else
            EXPECT_EQ(got, nullptr) << c.occurrence;
    }
}

TEST_F(Attributes, IsAttributeSet) {
    EXPECT_EQ(node.isAttributeSet("a"), 1);
    EXPECT_EQ(node.isAttributeSet("B"), 1);  // set even without value
    EXPECT_EQ(node.isAttributeSet("c"), 0);
}

TEST(EmptyNodeLookups, AnswerTheEmptyResults) {
    XMLNode e;
    int i = 3;
    EXPECT_TRUE(e.getChildNode("a", &i).isEmpty());
    EXPECT_EQ(e.getAttribute("a", &i), nullptr);
    EXPECT_TRUE(e.getChildNodeWithAttribute("a", "b", "c", &i).isEmpty());
    EXPECT_EQ(i, 3);
    EXPECT_TRUE(e.getChildNode("a", 0).isEmpty());
    EXPECT_TRUE(e.getChildNode("a", -1).isEmpty());
    EXPECT_EQ(e.getAttribute("a", 0), nullptr);
    EXPECT_EQ(e.nChildNode("a"), 0);
    EXPECT_EQ(e.isAttributeSet("a"), 0);
    for (int k : {-1, 0, 1, 7}) {
        EXPECT_EQ(e.positionOfChildNode(k), -1);
        EXPECT_EQ(e.positionOfText(k), -1);
        EXPECT_EQ(e.positionOfClear(k), -1);
        EXPECT_EQ(e.positionOfChildNode("a", k), -1);
        EXPECT_EQ(e.positionOfChildNode(static_cast<const char*>(nullptr), k), -1);
        EXPECT_EQ(e.enumContents(k).kind, elementNull);
    }
    EXPECT_EQ(e.positionOfText(static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(e.positionOfClear(static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(e.positionOfClear(static_cast<XMLClear*>(nullptr)), -1);
    EXPECT_EQ(e.positionOfChildNode(XMLNode::createXMLTopNode("a")), -1);
    NodeAccess a(e);
    EXPECT_EQ(a.indexText(nullptr), -1);
    EXPECT_EQ(a.indexClear("x"), -1);
}

TEST(ChildWithAttribute, MatchesNamesAndValuesIgnoringCase) {
    XMLNode r = XMLNode::createXMLTopNode("r");
    r.addChild("x").addAttribute("id", "zz");
    r.addChild("y").addAttribute("id", "ab");
    r.addChild("X").addAttribute("ID", "AB");  // index 2
    r.addChild("x").addAttribute("Id", "ab");  // index 3
    int i = 0;
    XMLNode c = r.getChildNodeWithAttribute("x", "id", "ab", &i);
    EXPECT_EQ(NodeAccess::data(c), NodeAccess::data(r.getChildNode(2)));
    EXPECT_EQ(i, 3);
    c = r.getChildNodeWithAttribute("x", "id", "ab", &i);
    EXPECT_EQ(NodeAccess::data(c), NodeAccess::data(r.getChildNode(3)));
    EXPECT_EQ(i, 4);
    EXPECT_TRUE(r.getChildNodeWithAttribute("x", "id", "ab", &i).isEmpty());
    EXPECT_EQ(i, 4);
    // Without a value, the attribute's presence is enough.
    EXPECT_EQ(NodeAccess::data(r.getChildNodeWithAttribute("X", "ID")),
              NodeAccess::data(r.getChildNode(0)));
    EXPECT_TRUE(r.getChildNodeWithAttribute("y", "other").isEmpty());
}

TEST(ChildWithAttribute, AttributeWithoutValueEndsTheScanOfThatChild) {
    XMLNode r = XMLNode::createXMLTopNode("r");
    XMLNode a = r.addChild("c");
    a.addAttribute("k", "no");
    a.addAttribute("k", nullptr);
    a.addAttribute("k", "yes");  // never reached
    XMLNode b = r.addChild("c");
    b.addAttribute("k", "no");
    b.addAttribute("K", "yes");
    int i = 0;
    XMLNode c = r.getChildNodeWithAttribute("c", "k", "yes", &i);
    EXPECT_EQ(NodeAccess::data(c), NodeAccess::data(b));
    EXPECT_EQ(i, 2);
    EXPECT_EQ(NodeAccess::data(r.getChildNodeWithAttribute("c", "k")), NodeAccess::data(a));
}

// Contents in document order: text 0, child 0 (a), clear 0, text 1, child 1
// (b), text 2, child 2 (a), clear 1.
class Positions : public ::testing::Test {
protected:
    void SetUp() override {
        root = XMLNode::createXMLTopNode("r");
        t[0] = root.addText("t0");
        root.addChild("a");
        c[0] = root.addClear("c0")->value;
        t[1] = root.addText("t1");
        root.addChild("b");
        t[2] = root.addText("t2");
        root.addChild("A");
        c[1] = root.addClear("c1", "<!--", "-->")->value;
    }
    XMLNode root;
    const char* t[3];
    const char* c[2];
};

TEST_F(Positions, ByIndexWithPastTheEndSelectingTheLast) {
    struct Case {
        int index, child, text, clear;
    } cases[] = {{0, 1, 0, 2}, {1, 4, 3, 7},       {2, 6, 5, 7},     {3, 6, 5, 7},
                 {7, 6, 5, 7}, {INT_MAX, 6, 5, 7}, {-1, -1, -1, -1}, {INT_MIN, -1, -1, -1}};
    for (const Case& k : cases) {
        EXPECT_EQ(root.positionOfChildNode(k.index), k.child) << k.index;
        EXPECT_EQ(root.positionOfText(k.index), k.text) << k.index;
        EXPECT_EQ(root.positionOfClear(k.index), k.clear) << k.index;
    }
    XMLNode bare = XMLNode::createXMLTopNode("bare");
    EXPECT_EQ(bare.positionOfText(0), -1);
    EXPECT_EQ(bare.positionOfChildNode(3), -1);
    EXPECT_EQ(bare.positionOfClear(0), -1);
}

TEST_F(Positions, ByStoredPointerIsByAddress) {
    EXPECT_EQ(root.positionOfText(t[1]), 3);
    EXPECT_EQ(root.positionOfText(static_cast<const char*>(nullptr)), 0);
    char copy[] = "t1";
    EXPECT_EQ(root.positionOfText(copy), -1);
    EXPECT_EQ(root.positionOfClear(c[1]), 7);
    EXPECT_EQ(root.positionOfClear(static_cast<const char*>(nullptr)), 2);
    EXPECT_EQ(root.positionOfClear("c1"), -1);

    XMLClear rec = root.getClear(1);
    EXPECT_EQ(root.positionOfClear(&rec), 7);
    EXPECT_EQ(root.positionOfClear(static_cast<XMLClear*>(nullptr)), 2);
    XMLClear other = {"c1", rec.openTag, rec.closeTag};
    EXPECT_EQ(root.positionOfClear(&other), -1);

    NodeAccess a(root);
    EXPECT_EQ(a.indexText(t[2]), 2);
    EXPECT_EQ(a.indexText(nullptr), 0);
    EXPECT_EQ(a.indexText(copy), -1);
    EXPECT_EQ(a.indexClear(c[1]), 1);
    EXPECT_EQ(a.indexClear(nullptr), 0);
    NodeAccess bare(XMLNode::createXMLTopNode("bare"));
    EXPECT_EQ(bare.indexText(nullptr), -1);
    EXPECT_EQ(bare.indexClear(nullptr), -1);
    EXPECT_EQ(bare.positionOfText(static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(bare.positionOfClear(static_cast<XMLClear*>(nullptr)), -1);
}

TEST_F(Positions, OfAChildByIdentity) {
    EXPECT_EQ(root.positionOfChildNode(root.getChildNode(1)), 4);
    XMLNode other = XMLNode::createXMLTopNode("o");
    XMLNode foreign = other.addChild("b");
    EXPECT_EQ(root.positionOfChildNode(foreign), -1);
    EXPECT_EQ(root.positionOfChildNode(root.getChildNode(1).deepCopy()), -1);
    EXPECT_EQ(root.positionOfChildNode(XMLNode()), -1);
    EXPECT_EQ(root.positionOfChildNode(root), -1);
}

TEST_F(Positions, OfANamedChild) {
    struct Case {
        const char* name;
        int occurrence, want;
    } cases[] = {{"a", 0, 1},
                 {"A", 1, 6},
                 {"a", 5, 6},
                 {"a", -1, 6},
                 {"a", INT_MAX, 6},
                 {"b", 3, 4},
                 {"z", 0, -1},
                 {"z", -1, -1},
                 // a null name selects the index variant
                 {nullptr, 1, 4},
                 {nullptr, 9, 6},
                 {nullptr, -1, -1}};
    for (const Case& k : cases)
        EXPECT_EQ(root.positionOfChildNode(k.name, k.occurrence), k.want)
            << (k.name ? k.name : "(null)") << " " << k.occurrence;
    // With two children named a, the occurrence lookup gives the empty node
    // where the position lookup gives the second one.
    EXPECT_TRUE(root.getChildNode("a", 5).isEmpty());
}

TEST(EnumContents, AttributesFirstThenDocumentOrder) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addAttribute("p", "1");
    n.addAttribute("q", nullptr);
    XMLNode child = n.addChild("c");
    const char* text = n.addText("t");
    XMLClear* clear = n.addClear("v", "<!--", "-->", 0);  // position 0
    ASSERT_EQ(n.nElement(), 5);

    XMLContentEntry e0 = n.enumContents(0);
    EXPECT_EQ(e0.kind, elementAttribute);
    EXPECT_STREQ(e0.attribute.name, "p");
    EXPECT_EQ(e0.attribute.value, NodeAccess::data(n)->attributes[0].value);
    EXPECT_TRUE(e0.childNode.isEmpty());
    XMLContentEntry e1 = n.enumContents(1);
    EXPECT_EQ(e1.kind, elementAttribute);
    EXPECT_STREQ(e1.attribute.name, "q");
    EXPECT_EQ(e1.attribute.value, nullptr);

    XMLContentEntry e2 = n.enumContents(2);  // position 0: the clear tag
    EXPECT_EQ(e2.kind, elementClear);
    EXPECT_EQ(e2.clear.value, clear->value);
    EXPECT_STREQ(e2.clear.openTag, "<!--");
    EXPECT_TRUE(e2.childNode.isEmpty());

    const int before = refCount(child);
    {
        XMLContentEntry e3 = n.enumContents(3);
        EXPECT_EQ(e3.kind, elementChildNode);
        EXPECT_EQ(NodeAccess::data(e3.childNode), NodeAccess::data(child));
        EXPECT_EQ(refCount(child), before + 1);
    }
    EXPECT_EQ(refCount(child), before);

    XMLContentEntry e4 = n.enumContents(4);
    EXPECT_EQ(e4.kind, elementText);
    EXPECT_EQ(e4.text, text);

    for (int bad : {5, 6, -1, INT_MIN, INT_MAX}) {
        XMLContentEntry e = n.enumContents(bad);
        EXPECT_EQ(e.kind, elementNull) << bad;
        EXPECT_TRUE(e.childNode.isEmpty());
    }
}

}  // namespace
