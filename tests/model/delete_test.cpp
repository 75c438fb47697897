// Deleting attributes, texts and clear tags: renumbering of the later items
// of a kind, the order array, and release of a kind's array with its last
// record.
#include <gtest/gtest.h>

#include <vector>

#include "internals.h"
#include "tree_compare.h"

using namespace xml_internal;

namespace {

NodeData* D(const XMLNode& n) { return NodeAccess::data(n); }

// Contents: text 0, child 0, text 1, clear 0, text 2 (entries 2, 0, 6, 3, 10).
class Mixed : public ::testing::Test {
protected:
    void SetUp() override {
        n = XMLNode::createXMLTopNode("n");
        n.addText("t0");
        n.addChild("c");
        n.addText("t1");
        n.addClear("k0");
        n.addText("t2");
        ASSERT_EQ(orderOf(n), (std::vector<int>{2, 0, 6, 3, 10}));
    }
    XMLNode n;
};

TEST_F(Mixed, DeletingTheFirstTextRenumbersTheLaterTexts) {
    const char* t1 = n.getText(1);
    n.deleteText(0);
    EXPECT_EQ(orderOf(n), (std::vector<int>{0, 2, 3, 6}));
    EXPECT_EQ(n.nText(), 2);
    EXPECT_EQ(n.getText(0), t1);
    EXPECT_STREQ(n.getText(1), "t2");
    EXPECT_TRUE(TreeInvariantsHold(n));
}

TEST_F(Mixed, DeletingTheLastTextFreesItsArrayOnly) {
    n.deleteText(1);
    n.deleteText(0);
    n.deleteText(0);
    EXPECT_EQ(n.nText(), 0);
    EXPECT_EQ(D(n)->texts, nullptr);
    EXPECT_EQ(orderOf(n), (std::vector<int>{0, 3}));
    EXPECT_NE(D(n)->order, nullptr);
    EXPECT_EQ(n.positionOfClear(0), 1);
    EXPECT_TRUE(TreeInvariantsHold(n));

    n.deleteClear(0);
    EXPECT_EQ(D(n)->clears, nullptr);
    EXPECT_EQ(orderOf(n), (std::vector<int>{0}));
    EXPECT_TRUE(TreeInvariantsHold(n));
}

TEST_F(Mixed, ByPointer) {
    char copy[] = "t1";
    n.deleteText(copy);  // not a stored pointer: nothing
    EXPECT_EQ(n.nText(), 3);
    n.deleteText(n.getText(2));
    EXPECT_EQ(orderOf(n), (std::vector<int>{2, 0, 6, 3}));
    n.deleteText(static_cast<const char*>(nullptr));  // the first
    EXPECT_STREQ(n.getText(0), "t1");
    EXPECT_EQ(orderOf(n), (std::vector<int>{0, 2, 3}));

    n.deleteClear(static_cast<XMLClear*>(nullptr));  // nothing
    n.deleteClear("k0");                             // not stored: nothing
    EXPECT_EQ(n.nClear(), 1);
    XMLClear rec = n.getClear(0);
    n.deleteClear(&rec);
    EXPECT_EQ(n.nClear(), 0);
    EXPECT_EQ(orderOf(n), (std::vector<int>{0, 2}));
    n.addClear("a");
    n.addClear("b");
    n.deleteClear(static_cast<const char*>(nullptr));  // the first
    EXPECT_STREQ(n.getClear(0).value, "b");
    EXPECT_TRUE(TreeInvariantsHold(n));
}

TEST_F(Mixed, OutOfRangeAndEmptyNodeChangeNothing) {
    const std::vector<int> before = orderOf(n);
    n.deleteText(-1);
    n.deleteText(n.nText());
    n.deleteText(INT_MAX);
    n.deleteClear(-1);
    n.deleteClear(1);
    n.deleteAttribute(-1);
    n.deleteAttribute(0);
    n.deleteAttribute("none");
    n.deleteAttribute(static_cast<const char*>(nullptr));
    n.deleteAttribute(static_cast<XMLAttribute*>(nullptr));
    EXPECT_EQ(orderOf(n), before);
    EXPECT_EQ(n.nElement(), 5);

    XMLNode e;
    XMLAttribute a = {"a", "b"};
    XMLClear c = {"c", nullptr, nullptr};
    e.deleteAttribute(0);
    e.deleteAttribute("a");
    e.deleteAttribute(&a);
    e.deleteText(0);
    e.deleteText(static_cast<const char*>(nullptr));
    e.deleteClear(0);
    e.deleteClear(static_cast<const char*>(nullptr));
    e.deleteClear(&c);
    EXPECT_TRUE(e.isEmpty());
}

TEST(DeleteAttribute, ByIndexNameAndRecord) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addAttribute("x", "1");
    n.addAttribute("y", nullptr);
    n.addAttribute("X", "2");
    n.addAttribute("z", "3");

    // The record of the second x still removes the first one.
    XMLAttribute second = n.getAttribute(2);
    n.deleteAttribute(&second);
    ASSERT_EQ(n.nAttribute(), 3);
    EXPECT_STREQ(n.getAttributeName(0), "y");
    EXPECT_STREQ(n.getAttributeName(1), "X");

    n.deleteAttribute("Y");  // the one without value
    EXPECT_STREQ(n.getAttributeName(0), "X");
    n.deleteAttribute(1);
    EXPECT_EQ(n.nAttribute(), 1);
    EXPECT_STREQ(n.getAttributeValue(0), "2");
    EXPECT_EQ(D(n)->order, nullptr);  // attributes never touch the order

    // The record may point at the node's own name.
    XMLAttribute own = n.getAttribute(0);
    n.deleteAttribute(&own);
    EXPECT_EQ(n.nAttribute(), 0);
    EXPECT_EQ(D(n)->attributes, nullptr);
}

}  // namespace
