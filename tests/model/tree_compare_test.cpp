// The test helpers themselves must see differences, or every test built on
// them would pass vacuously.
#include <gtest/gtest.h>

#include "tree_compare.h"

namespace {

XMLNode sample() {
    XMLNode r = XMLNode::createXMLTopNode("r");
    XMLNode a = r.addChild("a");
    a.addAttribute("k", "v");
    a.addText("t");
    r.addChild("b").addClear("c", "<!--", "-->");
    return r;
}

TEST(TreesEqualHelper, SeesEveryKindOfDifference) {
    EXPECT_TRUE(TreesEqual(sample(), sample()));
    EXPECT_TRUE(TreesEqual(XMLNode(), XMLNode()));
    EXPECT_FALSE(TreesEqual(sample(), XMLNode()));

    XMLNode x = sample();
    x.getChildNode(0).updateText("other", 0);
    ::testing::AssertionResult r = TreesEqual(sample(), x);
    EXPECT_FALSE(r);
    EXPECT_NE(std::string(r.message()).find("/a[0]"), std::string::npos) << r.message();

    x = sample();
    x.getChildNode(0).updateAttribute(nullptr, nullptr, 0);  // value removed
    EXPECT_FALSE(TreesEqual(sample(), x));
    x = sample();
    x.getChildNode(1).updateClear("d", 0);
    EXPECT_FALSE(TreesEqual(sample(), x));
    x = sample();
    x.getChildNode(1).addChild("extra");
    EXPECT_FALSE(TreesEqual(sample(), x));
    x = sample();
    x.getChildNode(0).updateName("A");
    EXPECT_FALSE(TreesEqual(sample(), x));
}

TEST(TreesEqualHelper, DeepChainsCompareInLinearTime) {
    XMLNode a = XMLNode::createXMLTopNode("n"), b = XMLNode::createXMLTopNode("n");
    XMLNode ca = a, cb = b;
    for (int i = 0; i < 200000; i++) {
        ca = ca.addChild("n");
        cb = cb.addChild("n");
    }
    EXPECT_TRUE(TreesEqual(a, b));
    cb.addText("leaf");
    EXPECT_FALSE(TreesEqual(a, b));
    EXPECT_TRUE(TreeInvariantsHold(a));
}

}  // namespace
