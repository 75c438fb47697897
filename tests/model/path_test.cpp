// The path lookup: segments, creation of missing children, and the caller's
// buffer, which must come back byte for byte on every way out.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "internals.h"
#include "tree_compare.h"

using namespace xml_internal;

namespace {

NodeData* D(const XMLNode& n) { return NodeAccess::data(n); }

// root
//   a
//     b
//       c
//   a        (second a, with its own b)
//     b2
//   ""       (a child named by the empty string)
//     a
class PathTree : public ::testing::Test {
protected:
    void SetUp() override {
        root = XMLNode::createXMLTopNode("root");
        XMLNode a = root.addChild("a");
        b = a.addChild("b");
        c = b.addChild("c");
        XMLNode a2 = root.addChild("A");
        a2.addChild("b2");
        XMLNode unnamed = root.addChild("");
        underEmpty = unnamed.addChild("a");
    }

    // Runs the in-place lookup on a writable copy of `path` and checks that
    // the whole buffer, terminator included, is unchanged afterwards.
    XMLNode run(XMLNode node, const char* path, char create, char sep = '/') {
        std::string original(path, std::strlen(path) + 1);
        std::string buffer = original;
        XMLNode r = node.getChildNodeByPathNonConst(&buffer[0], create, sep);
        EXPECT_EQ(buffer, original) << "buffer changed for path '" << path << "'";
        return r;
    }

    XMLNode root, b, c, underEmpty;
};

TEST_F(PathTree, FindsAndRestoresTheBufferOnEveryWayOut) {
    struct Case {
        const char* path;
        const char* wantName;  // null: the empty node
    } cases[] = {
        {"a", "a"},         {"a/b", "b"},     {"A/B/C", "c"},    {"a/b/c/d", nullptr},
        {"a/x/c", nullptr}, {"x/b", nullptr}, {"a/b2", nullptr},  // only the first a is tried
        {"/a", "a"},        {"a/", nullptr},  {"a//b", nullptr}, {"a/b/", nullptr},
    };
    for (const Case& k : cases) {
        XMLNode r = run(root, k.path, 0);
        if (k.wantName)
            EXPECT_STREQ(r.getName(), k.wantName) << k.path;
        else
            EXPECT_TRUE(r.isEmpty()) << k.path;
        // The copying variant answers the same.
        EXPECT_EQ(D(root.getChildNodeByPath(k.path, 0, '/')), D(r)) << k.path;
    }
    EXPECT_EQ(D(run(root, "a/b/c", 0)), D(c));
    EXPECT_EQ(D(run(root, "/a", 0)), D(underEmpty));
    XMLNode nothing = XMLNode::createXMLTopNode("n");
    EXPECT_TRUE(run(nothing, "/a", 0).isEmpty());  // no child named ""
}

TEST_F(PathTree, NullOrEmptyPathIsTheNodeItself) {
    EXPECT_EQ(D(root.getChildNodeByPathNonConst(nullptr, 0, '/')), D(root));
    EXPECT_EQ(D(root.getChildNodeByPath(nullptr, 1, '/')), D(root));
    EXPECT_EQ(D(run(root, "", 1)), D(root));
    EXPECT_EQ(D(root.getChildNodeByPath("", 0, '/')), D(root));
    EXPECT_EQ(root.nChildNode(), 3);
}

TEST_F(PathTree, CreatesMissingSegmentsAndRestoresTheBuffer) {
    // The first a exists, b exists, the rest is created.
    XMLNode r = run(root, "a/B/x/y", 1);
    ASSERT_FALSE(r.isEmpty());
    EXPECT_STREQ(r.getName(), "y");
    EXPECT_STREQ(r.getParentNode().getName(), "x");
    EXPECT_EQ(D(r.getParentNode().getParentNode()), D(b));
    EXPECT_EQ(b.positionOfChildNode("x", 0), 1);  // appended after c
    EXPECT_EQ(r.isDeclaration(), 0);
    // A second call finds what the first one made.
    EXPECT_EQ(D(run(root, "a/b/x/y", 1)), D(r));

    // Only the first child of a name is tried: b2 is created under the first a.
    XMLNode made = run(root, "a/b2", 1);
    EXPECT_EQ(D(made.getParentNode()), D(root.getChildNode(0)));
    EXPECT_EQ(root.getChildNode(1).nChildNode(), 1);

    // A trailing separator names a child called by the empty string.
    XMLNode trailing = run(root, "a/b/", 1);
    EXPECT_STREQ(trailing.getName(), "");
    EXPECT_EQ(D(trailing.getParentNode()), D(b));
    EXPECT_TRUE(TreeInvariantsHold(root));
}

TEST(PathLookup, AllSegmentsMissingCreatesAChain) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    char path[] = "a/b";
    XMLNode r = n.getChildNodeByPathNonConst(path, 0, '/');
    EXPECT_TRUE(r.isEmpty());
    EXPECT_STREQ(path, "a/b");
    EXPECT_EQ(n.nChildNode(), 0);

    r = n.getChildNodeByPathNonConst(path, 1, '/');
    EXPECT_STREQ(path, "a/b");
    ASSERT_EQ(n.nChildNode(), 1);
    XMLNode a = n.getChildNode(0);
    EXPECT_STREQ(a.getName(), "a");
    ASSERT_EQ(a.nChildNode(), 1);
    EXPECT_EQ(D(a.getChildNode(0)), D(r));
    EXPECT_STREQ(r.getName(), "b");
    // The names are copies, not pointers into the buffer.
    EXPECT_NE(r.getName(), path + 2);
}

TEST(PathLookup, EmptyNodeYieldsTheEmptyNode) {
    XMLNode e;
    for (char create : {0, 1}) {
        char path[] = "a/b";
        EXPECT_TRUE(e.getChildNodeByPathNonConst(path, create, '/').isEmpty());
        EXPECT_STREQ(path, "a/b");
        EXPECT_TRUE(e.getChildNodeByPath("a", create, '/').isEmpty());
        EXPECT_TRUE(e.getChildNodeByPath("", create, '/').isEmpty());
    }
}

TEST(PathLookup, OtherSeparatorsAndTheZeroSeparator) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    XMLNode ab = n.addChild("a/b");
    XMLNode x = n.addChild("a").addChild("b");
    EXPECT_EQ(D(n.getChildNodeByPath("a.b", 0, '.')), D(x));
    EXPECT_EQ(D(n.getChildNodeByPath("a/b", 0, '.')), D(ab));
    // A zero separator: the whole path is one name.
    char path[] = "a/b";
    EXPECT_EQ(D(n.getChildNodeByPathNonConst(path, 0, 0)), D(ab));
    EXPECT_STREQ(path, "a/b");
    XMLNode made = n.getChildNodeByPathNonConst(path + 2, 1, 0);
    EXPECT_STREQ(made.getName(), "b");
    EXPECT_EQ(D(made.getParentNode()), D(n));
    EXPECT_EQ(std::memcmp(path, "a/b", 4), 0);
}

// The trail byte of a multibyte character is never taken for the separator.
class PathShiftJIS : public ::testing::Test {
protected:
    void SetUp() override { XMLNode::setGlobalOptions(XMLNode::charEncodingShiftJIS); }
    void TearDown() override { XMLNode::setGlobalOptions(); }
};

TEST_F(PathShiftJIS, TrailByteIsNotASeparator) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    XMLNode hyo = n.addChild("\x95\x5c");  // one character whose trail byte is '\'
    XMLNode inner = hyo.addChild("b");
    char path[] = "\x95\x5c\\b";
    EXPECT_EQ(D(n.getChildNodeByPathNonConst(path, 0, '\\')), D(inner));
    EXPECT_EQ(std::memcmp(path, "\x95\x5c\\b", 5), 0);
    // A lead byte cut short by the end of the path ends the scan safely.
    char cut[] = "\x95\x5c\\\x95";
    EXPECT_TRUE(n.getChildNodeByPathNonConst(cut, 0, '\\').isEmpty());
    EXPECT_EQ(std::memcmp(cut, "\x95\x5c\\\x95", 5), 0);
    XMLNode made = n.getChildNodeByPathNonConst(cut, 1, '\\');
    EXPECT_STREQ(made.getName(), "\x95");
    EXPECT_EQ(D(made.getParentNode()), D(hyo));
}

}  // namespace
