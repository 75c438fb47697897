// Deep copies: equal content, nothing shared but the clear-tag delimiters,
// independence from the source, exact arrays, and any depth.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "internals.h"
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

// A parsed node holds all its strings in its chunk, and its copy takes them
// as one run, from the first in memory to the end of the last.  Deletions
// leave the deleted strings in the run, at its start, in its middle or at
// its end: each copy (and the copy of the copy) holds exactly what is left.
TEST(DeepCopy, ParsedNodeAfterDeletions) {
    const char doc[] = "<a x=\"1\" y=\"22\" z>t0<!--c--><b k='v'/>t1<![CDATA[d]]>t2</a>";
    const struct {
        const char* what;
        void (*edit)(XMLNode& a);
    } cases[] = {
        {"nothing", [](XMLNode&) {}},
        {"first attribute", [](XMLNode& a) { a.deleteAttribute(0); }},
        {"last attribute", [](XMLNode& a) { a.deleteAttribute(2); }},
        {"every attribute",
         [](XMLNode& a) {
             while (a.nAttribute()) a.deleteAttribute(0);
         }},
        {"first text", [](XMLNode& a) { a.deleteText(0); }},
        {"last text", [](XMLNode& a) { a.deleteText(2); }},
        {"clear tags",
         [](XMLNode& a) {
             a.deleteClear(1);
             a.deleteClear(0);
         }},
        {"everything but the name",
         [](XMLNode& a) {
             while (a.nAttribute()) a.deleteAttribute(0);
             while (a.nText()) a.deleteText(0);
             while (a.nClear()) a.deleteClear(0);
             a.getChildNode(0).deleteNodeContent();
         }},
        {"the child's content", [](XMLNode& a) { a.getChildNode(0).deleteNodeContent(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        XMLNode top = XMLNode::parseString(doc);
        XMLNode a = top.getChildNode(0);
        ASSERT_TRUE(D(a)->wholeInChunk);
        c.edit(a);
        XMLNode copy = a.deepCopy();
        EXPECT_TRUE(D(copy)->wholeInChunk);
        EXPECT_TRUE(TreesEqual(a, copy));
        EXPECT_TRUE(TreesEqual(a, copy.deepCopy()));
        expectNothingSharedButDelimiters(D(a), D(copy));
    }
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

// Exhaustion of memory part-way through a copy: the address-space limit is
// lowered step by step so that malloc fails at various points inside the
// copy; each copy then gives the empty node (its partial tree released) or a
// full copy, and the source stays intact.  Runs in a fresh process (memory
// freed by earlier tests would absorb the limit) and not under the address
// or thread sanitizer, which reserve address space of their own.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
long addressSpaceBytes() {
    long pages = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    if (std::fscanf(f, "%ld", &pages) != 1) pages = -1;
    std::fclose(f);
    return pages < 0 ? -1 : pages * 4096;
}

// 0 when every copy was empty or whole and at least one limit struck.
int exhaustionScenario() {
    XMLNode src = XMLNode::createXMLTopNode("root");
    for (int i = 0; i < 2000; i++) {
        XMLNode c = src.addChild("child");
        c.addAttribute("name", "value");
        c.addText("some text of a child");
        c.addClear("clear", kOpen, kClose);
        c.addChild("grandchild").addText("deeper text");
    }
    XMLNode reference = src.deepCopy();
    if (!TreesEqual(src, reference)) return 2;

    struct rlimit old;
    if (getrlimit(RLIMIT_AS, &old) != 0) return 3;
    int failed = 0;
    for (long headroom = 0; headroom <= (2L << 20); headroom += (64L << 10)) {
        const long now = addressSpaceBytes();
        if (now <= 0) return 3;
        struct rlimit low = old;
        low.rlim_cur = static_cast<rlim_t>(now + headroom);
        if (old.rlim_cur != RLIM_INFINITY && low.rlim_cur > old.rlim_cur) break;
        if (setrlimit(RLIMIT_AS, &low) != 0) return 3;
        XMLNode copy = src.deepCopy();
        if (setrlimit(RLIMIT_AS, &old) != 0) return 3;
        const bool empty = copy.isEmpty() != 0;
        const bool whole = empty || TreesEqual(src, copy);
        copy = XMLNode();
        if (!whole) return 4;
        if (empty) failed++;
    }
    if (failed == 0) return 1;
    if (!TreesEqual(src, reference) || !TreesEqual(src, src.deepCopy())) return 5;
    return 0;
}

class DeepCopyExhaustion : public ::testing::Test {
protected:
    void SetUp() override {
        savedStyle = GTEST_FLAG_GET(death_test_style);
        GTEST_FLAG_SET(death_test_style, "threadsafe");  // re-executes: a fresh heap
    }
    void TearDown() override { GTEST_FLAG_SET(death_test_style, savedStyle); }
    std::string savedStyle;
};

TEST_F(DeepCopyExhaustion, GivesTheEmptyNodeAndKeepsTheSource) {
    EXPECT_EXIT(std::_Exit(exhaustionScenario()), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
