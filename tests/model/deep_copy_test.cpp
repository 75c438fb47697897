// Deep copies: equal content, nothing shared but the clear-tag delimiters,
// independence from the source, exact arrays, and any depth.
#include <gtest/gtest.h>

#include <cstring>

#include "internal.h"
#include "tree_compare.h"

using namespace xml_internal;

namespace {

NodeData* D(const XMLNode& n) { return NodeAccess::data(n); }

const char kOpen[] = "<!--";
const char kClose[] = "-->";

// A tree with every kind of content: attributes with and without value,
// texts, clear tags with default and own delimiters, a declaration, a
// nameless child, nested children, and an inserted (non-appended) order.
XMLNode richTree() {
    XMLNode root = XMLNode::createXMLTopNode("root", 1);
    root.addAttribute("a", "1");
    root.addAttribute("flag", nullptr);
    root.addText("text");
    XMLNode c = root.addChild("child");
    c.addClear("cdata");
    c.addClear("comment", kOpen, kClose, 0);
    c.addText("inner", 1);
    c.addChild("leaf", 1).addAttribute("k", "v");
    root.addChild("second", 0, 0);
    root.addChild("nameless").updateName(nullptr);
    root.addClear("tail", kOpen, nullptr);
    return root;
}

// Every string pointer of the copy differs from the source's; every clear-tag
// delimiter pointer is the same.  Walks both trees side by side.
void expectNothingSharedButDelimiters(const NodeData* s, const NodeData* c) {
    if (s->name) {
        EXPECT_NE(s->name, c->name);
    }
    EXPECT_NE(s, c);
    for (int i = 0; i < s->attributeCount; i++) {
        EXPECT_NE(s->attributes[i].name, c->attributes[i].name);
        if (s->attributes[i].value) {
            EXPECT_NE(s->attributes[i].value, c->attributes[i].value);
        }
    }
    for (int i = 0; i < s->textCount; i++) EXPECT_NE(s->texts[i], c->texts[i]);
    for (int i = 0; i < s->clearCount; i++) {
        EXPECT_NE(s->clears[i].value, c->clears[i].value);
        EXPECT_EQ(s->clears[i].openTag, c->clears[i].openTag);
        EXPECT_EQ(s->clears[i].closeTag, c->clears[i].closeTag);
    }
    for (int i = 0; i < s->childCount; i++) {
        EXPECT_EQ(c->children[i]->parent, c);
        EXPECT_EQ(c->children[i]->referenceCount, 1);
        expectNothingSharedButDelimiters(s->children[i], c->children[i]);
    }
}

TEST(DeepCopy, EqualContentNothingSharedButDelimiters) {
    XMLNode src = richTree();
    XMLNode copy = src.deepCopy();
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_TRUE(TreesEqual(src, copy));
    EXPECT_TRUE(TreeInvariantsHold(copy));
    EXPECT_EQ(copy.isDeclaration(), 1);
    EXPECT_EQ(D(copy)->referenceCount, 1);
    EXPECT_TRUE(copy.getParentNode().isEmpty());
    expectNothingSharedButDelimiters(D(src), D(copy));
    EXPECT_EQ(copy.getChildNode(2).getName(), nullptr);  // nameless stays nameless
}

TEST(DeepCopy, OfAChildIsARootAndTheSourceDoesNotKnowIt) {
    XMLNode src = richTree();
    XMLNode child = src.getChildNode("child");
    XMLNode copy = child.deepCopy();
    EXPECT_TRUE(TreesEqual(child, copy));
    EXPECT_TRUE(copy.getParentNode().isEmpty());
    EXPECT_EQ(src.positionOfChildNode(copy), -1);
    EXPECT_EQ(child.positionOfChildNode(copy.getChildNode(0)), -1);
    EXPECT_EQ(src.nChildNode(), 3);
}

TEST(DeepCopy, ChangesOnEitherSideStayThere) {
    XMLNode src = richTree();
    XMLNode reference = src.deepCopy();
    XMLNode copy = src.deepCopy();

    copy.updateName("renamed");
    copy.getChildNode("child").deleteText(0);
    copy.getChildNode("child").deleteClear(0);
    copy.updateAttribute("changed", nullptr, "a");
    copy.deleteAttribute("flag");
    copy.getChildNode("child").getChildNode(0).deleteNodeContent();
    copy.addText("more", 0);
    EXPECT_TRUE(TreesEqual(src, reference));
    EXPECT_FALSE(TreesEqual(src, copy));

    XMLNode second = src.deepCopy();
    src.getChildNode("child").updateName("x");
    src.deleteText(0);
    EXPECT_FALSE(TreesEqual(src, second));
    EXPECT_TRUE(TreesEqual(second, reference));
    EXPECT_TRUE(TreeInvariantsHold(copy));
    EXPECT_TRUE(TreeInvariantsHold(src));
}

TEST(DeepCopy, EachOutlivesTheOther) {
    XMLNode copy;
    {
        XMLNode src = richTree();
        copy = src.deepCopy();
    }
    XMLNode again = richTree();
    EXPECT_TRUE(TreesEqual(again, copy));
    XMLNode copy2 = again.deepCopy();
    copy2 = XMLNode();
    EXPECT_TRUE(TreesEqual(again, copy));
}

TEST(DeepCopy, ArraysHoldExactlyTheirCounts) {
    XMLNode m = XMLNode::createXMLTopNode("m");
    m.addText("a");
    m.deleteText(0);  // the order array stays allocated, with no entry
    ASSERT_NE(D(m)->order, nullptr);
    XMLNode copy = m.deepCopy();
    EXPECT_EQ(D(copy)->order, nullptr);
    EXPECT_EQ(D(copy)->texts, nullptr);
    EXPECT_EQ(D(copy)->children, nullptr);
    EXPECT_EQ(D(copy)->attributes, nullptr);
    EXPECT_EQ(D(copy)->clears, nullptr);
    EXPECT_TRUE(TreesEqual(m, copy));

    // A node emptied by deleteNodeContent copies to a nameless empty node.
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addChild("c").addText("t");
    n.deleteNodeContent();
    XMLNode e = n.deepCopy();
    EXPECT_FALSE(e.isEmpty());
    EXPECT_EQ(e.getName(), nullptr);
    EXPECT_EQ(e.nElement(), 0);
}

TEST(DeepCopy, EmptyNodeGivesTheEmptyNode) { EXPECT_TRUE(XMLNode().deepCopy().isEmpty()); }

// Walks two chains of only children side by side, level by level.
::testing::AssertionResult chainsEqual(const NodeData* a, const NodeData* b) {
    for (int level = 0; a || b; level++) {
        if (!a || !b) return ::testing::AssertionFailure() << "depth differs at " << level;
        if (a == b || std::strcmp(a->name, b->name) != 0 || a->textCount != b->textCount ||
            a->attributeCount != b->attributeCount || a->childCount != b->childCount ||
            (a->textCount && std::strcmp(a->texts[0], b->texts[0]) != 0) ||
            (a->childCount && b->children[0]->parent != b))
            return ::testing::AssertionFailure() << "differs at level " << level;
        a = a->childCount ? a->children[0] : nullptr;
        b = b->childCount ? b->children[0] : nullptr;
    }
    return ::testing::AssertionSuccess();
}

TEST(DeepCopy, MillionLevelsDeep) {
    const int depth = 1000000;
    XMLNode root = XMLNode::createXMLTopNode("d");
    {
        XMLNode cur = root;
        for (int i = 0; i < depth; i++) {
            cur = cur.addChild("d");
            if (i % 100000 == 0) cur.addText("t");
        }
        cur.addAttribute("bottom", "1");
    }
    XMLNode copy = root.deepCopy();
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_TRUE(chainsEqual(D(root), D(copy)));
    EXPECT_TRUE(TreeInvariantsHold(copy));
    // A copy taken from the middle stops at that node's subtree.
    XMLNode mid = root;
    for (int i = 0; i < 10; i++) mid = mid.getChildNode(0);
    XMLNode part = mid.deepCopy();
    EXPECT_TRUE(chainsEqual(D(mid), D(part)));
    EXPECT_TRUE(part.getParentNode().isEmpty());
}

// Full content comparison on a deep (but not huge) chain with branches.
TEST(DeepCopy, DeepBranchingTreeCompares) {
    XMLNode root = XMLNode::createXMLTopNode("r");
    XMLNode cur = root;
    for (int i = 0; i < 2000; i++) {
        cur.addText("before");
        cur.addChild("side").addAttribute("i", "x");
        cur = cur.addChild("down", 0, 0);
        cur.addClear("c", kOpen, kClose);
    }
    XMLNode copy = root.deepCopy();
    EXPECT_TRUE(TreesEqual(root, copy));
    EXPECT_TRUE(TreeInvariantsHold(copy));
}

}  // namespace
