// Faults of the document model found by the fuzz targets (fuzz/), each kept
// as the smallest sequence of calls that showed it.
#include <gtest/gtest.h>

#include "internal.h"
#include "tree_compare.h"

namespace {

using xml_internal::NodeAccess;

// Moving the only child of a node within that node: the old slot's removal
// freed the children array that had just been grown for the new slot, and
// the child was then stored through a null array.
TEST(ModelFuzzRegression, MoveOnlyChildWithinItsParent) {
    for (int position : {-1, 0, 1, 5}) {
        SCOPED_TRACE(position);
        // The only handles on the tree, so that reference counts can be checked.
        XMLNode h[3];
        h[0] = XMLNode::createXMLTopNode("r");
        h[1] = h[0].addChild("c");
        h[0].addText("t");
        h[2] = h[0].addChild(h[1], position);
        EXPECT_EQ(NodeAccess::data(h[2]), NodeAccess::data(h[1]));
        ASSERT_EQ(h[0].nChildNode(), 1);
        EXPECT_EQ(NodeAccess::data(h[0].getChildNode(0)), NodeAccess::data(h[1]));
        // The position counts the contents without the moved child: [t].
        const int* order = NodeAccess::data(h[0])->order;
        EXPECT_EQ(order[position == 0 ? 0 : 1], elementChildNode);
        EXPECT_EQ(order[position == 0 ? 1 : 0], elementText);
        EXPECT_TRUE(ForestInvariantsHold(h, 3));
    }
}

}  // namespace
