// The element parser under stress: trimming of finished elements, nesting a
// million deep, memory exhaustion at every allocation, texts that end inside
// a multibyte character, and the allocations a parse makes.
#include <gtest/gtest.h>
#include <malloc.h>

#include <string>

#include "alloc_hook.h"
#include "internal.h"
#include "tree_compare.h"
#include "tree_dump.h"

using namespace xml_internal;

namespace {

class RobustnessTest : public ::testing::Test {
protected:
    void TearDown() override { XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1); }
};

NodeData* childData(const NodeData* d, int i) { return d->children[i]; }

// Whether an array holds no more than `count` records of `size` bytes (the
// allocator may hand out a block a little larger than asked, up to its
// smallest chunk size plus alignment, but never by a whole growth step).
bool exact(const void* array, int count, size_t size) {
    if (!array) return count == 0;
    return malloc_usable_size(const_cast<void*>(array)) < static_cast<size_t>(count) * size + 64;
}
bool roomy(const void* array, int records, size_t size) {
    return array && malloc_usable_size(const_cast<void*>(array)) >= records * size;
}

// Elements closed by "/>" or by their own end tag are trimmed; elements
// closed by an ancestor's end tag (which they did not read) or by the end of
// the text keep the growth-50 room.
TEST_F(RobustnessTest, TrimmingFollowsHowAnElementCloses) {
    XMLResults r;
    XMLNode top = XMLNode::parseString(
        "<r><a p='1' q='2'><x/><y/>t</a><b u='1'><x/><y/>t<c v='1'><z/></b></r>"
        "<s k='1'><x/>t<!--c-->",
        nullptr, &r);
    ASSERT_EQ(r.errorCode, warningUnmatchedEndTag);
    NodeData* t = NodeAccess::data(top);
    ASSERT_EQ(dumpTree(top),
              "#(r(a{p=1,q=2}(x,y,\"t\"),b{u=1}(x,y,\"t\",c{v=1}(z))),s{k=1}(x,\"t\",[<!--|c|-->]))");
    NodeData* rr = childData(t, 0);
    NodeData* a = childData(rr, 0);
    NodeData* b = childData(rr, 1);
    NodeData* c = childData(b, 2);
    NodeData* s = childData(t, 1);

    // r and a read their own end tags; c read "</b>" itself.
    for (NodeData* d : {rr, a, c}) {
        SCOPED_TRACE(d->name);
        EXPECT_TRUE(exact(d->children, d->childCount, sizeof(NodeData*)));
        EXPECT_TRUE(exact(d->attributes, d->attributeCount, sizeof(XMLAttribute)));
        EXPECT_TRUE(exact(d->texts, d->textCount, sizeof(char*)));
        EXPECT_TRUE(exact(d->order, orderCount(d), sizeof(int)));
    }
    // b was closed by the end tag its child read; s and the top node by the
    // end of the text.
    for (NodeData* d : {b, s}) {
        SCOPED_TRACE(d->name);
        EXPECT_TRUE(roomy(d->children, 50, sizeof(NodeData*)));
        EXPECT_TRUE(roomy(d->attributes, 50, sizeof(XMLAttribute)));
        EXPECT_TRUE(roomy(d->texts, 50, sizeof(char*)));
        EXPECT_TRUE(roomy(d->order, 150, sizeof(int)));
    }
    EXPECT_TRUE(roomy(s->clears, 50, sizeof(XMLClear)));
    EXPECT_TRUE(roomy(t->children, 50, sizeof(NodeData*)));
    // Leaves closed by "/>" have no arrays at all.
    NodeData* x = childData(a, 0);
    EXPECT_EQ(x->children, nullptr);
    EXPECT_EQ(x->order, nullptr);
}

TEST_F(RobustnessTest, TrimmingOfEmptyElementWithAttributes) {
    XMLNode n = XMLNode::parseString("<e a='1' b='2' c/>");
    NodeData* d = NodeAccess::data(n);
    ASSERT_EQ(d->attributeCount, 3);
    EXPECT_TRUE(exact(d->attributes, 3, sizeof(XMLAttribute)));
    // A top node closed by an end tag it read itself is trimmed too.
    XMLNode top = XMLNode::parseString("text</x>");
    d = NodeAccess::data(top);
    ASSERT_EQ(d->textCount, 1);
    EXPECT_TRUE(exact(d->texts, 1, sizeof(char*)));
    // Growth continues correctly past 50 records before the trim.
    std::string many = "<m>";
    for (int i = 0; i < 120; i++) many += "<c/>t<!--x--><![CDATA[y]]>";
    many += "</m>";
    XMLNode m = XMLNode::parseString(many.c_str());
    d = NodeAccess::data(m);
    EXPECT_EQ(d->childCount, 120);
    EXPECT_EQ(d->textCount, 120);
    EXPECT_EQ(d->clearCount, 240);
    EXPECT_TRUE(exact(d->clears, 240, sizeof(XMLClear)));
    EXPECT_TRUE(TreeInvariantsHold(m));
}

// ---------------------------------------------------------------------------
// Nesting a million deep: no recursion in the parse or the release.
// ---------------------------------------------------------------------------

const int kDeep = 1000000;

int depthOf(const XMLNode& node) {
    int depth = 0;
    for (const NodeData* d = NodeAccess::data(node); d; depth++)
        d = d->childCount ? d->children[0] : nullptr;
    return depth;
}

std::string repeat(const char* s, int n) {
    std::string out;
    out.reserve(std::strlen(s) * static_cast<size_t>(n));
    for (int i = 0; i < n; i++) out += s;
    return out;
}

TEST_F(RobustnessTest, MillionNestedElements) {
    const std::string text = repeat("<a>", kDeep) + "x" + repeat("</a>", kDeep);
    XMLResults r;
    XMLNode n = XMLNode::parseString(text.c_str(), nullptr, &r);
    EXPECT_EQ(r.errorCode, errorNone);
    EXPECT_EQ(depthOf(n), kDeep);
    n = XMLNode();  // released without recursion
}

TEST_F(RobustnessTest, MillionUnclosedStartTags) {
    const std::string text = repeat("<a>", kDeep);
    XMLResults r;
    XMLNode n = XMLNode::parseString(text.c_str(), nullptr, &r);
    EXPECT_EQ(r.errorCode, warningUnmatchedEndTag);
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(r.column, static_cast<int>(text.size()) + 1);
    EXPECT_EQ(depthOf(n), kDeep);
}

TEST_F(RobustnessTest, MillionDeepEndTagRecovery) {
    // The end tag is offered to every ancestor, up to the outermost element.
    const std::string text = "<r>" + repeat("<a>", kDeep) + "</r><z/>";
    XMLResults r;
    XMLNode n = XMLNode::parseString(text.c_str(), nullptr, &r);
    EXPECT_EQ(r.errorCode, warningUnmatchedEndTag);
    EXPECT_EQ(r.column, static_cast<int>(text.size()) - 3);
    EXPECT_EQ(n.nChildNode(), 2);
    EXPECT_EQ(depthOf(n.getChildNode(0)), kDeep + 1);

    // With no matching ancestor the parse fails and the tree is released.
    const std::string bad = repeat("<a>", kDeep) + "</b>";
    n = XMLNode::parseString(bad.c_str(), nullptr, &r);
    EXPECT_EQ(r.errorCode, errorUnmatchedEndTag);
    EXPECT_TRUE(n.isEmpty());
}

// ---------------------------------------------------------------------------
// Memory exhaustion
// ---------------------------------------------------------------------------

// Fails each allocation of the parse in turn: the result is either exactly
// the normal one (a failed shrink of a finished element is harmless) or the
// empty node with errorNoXMLData at line 0, column 0.  The sanitizer build
// checks that nothing leaks.
TEST_F(RobustnessTest, ExhaustionAtEveryAllocation) {
    std::string wide = "<w>";
    for (int i = 0; i < 55; i++) wide += "<c k='v'/>t<!--x-->";
    wide += "</w>";
    const std::string docs[] = {
        "<?xml version='1.0'?><r a='1' b=x c><!--c-->t1<!--d-->t2<![CDATA[z]]>"
        "<!DOCTYPE q [<x>]><c/><d e='&amp;'>x&lt;</d><PRE>p</PRE></r>",
        "<a><b></a><c>text",
        "a<!--x-->b<r/>",
        wide,
    };
    for (const std::string& doc : docs) {
        XMLResults want;
        XMLNode reference = XMLNode::parseString(doc.c_str(), nullptr, &want);
        bool reached = true;
        int failures = 0;
        for (long k = 0; reached; k++) {
            XMLResults r = {errorNone, -7, -7};
            XMLNode n;
            {
                alloc_hook::Scope hook(k);
                n = XMLNode::parseString(doc.c_str(), nullptr, &r);
                reached = hook.failed();
                if (k == 0 && !reached) GTEST_SKIP() << "allocation hook not linked into the library";
            }
            SCOPED_TRACE(::testing::Message() << doc << " failing allocation " << k);
            if (r.errorCode == errorNoXMLData) {
                failures++;
                EXPECT_TRUE(reached);
                EXPECT_TRUE(n.isEmpty());
                EXPECT_EQ(r.line, 0);
                EXPECT_EQ(r.column, 0);
            } else {
                EXPECT_EQ(r.errorCode, want.errorCode);
                EXPECT_TRUE(TreesEqual(n, reference));
                EXPECT_TRUE(TreeInvariantsHold(n));
            }
        }
        EXPECT_GT(failures, 0);
    }
}

// ---------------------------------------------------------------------------
// Texts ending inside a multibyte character
// ---------------------------------------------------------------------------

// Each text sits in a heap block of exactly its size and ends with a lead
// byte (and up to two more bytes) in every position the parser scans:
// content, names, attribute values, quoted strings, clear tags, end tags.
// The sanitizer build checks that no byte after the zero is read; every
// parse also computes a line and column over the whole text.
TEST_F(RobustnessTest, LeadByteAtEndOfExactBuffer) {
    const XMLNode::XMLCharEncoding encodings[] = {
        XMLNode::charEncodingUTF8, XMLNode::charEncodingLegacy, XMLNode::charEncodingShiftJIS,
        XMLNode::charEncodingGB2312, XMLNode::charEncodingGBK};
    const char* prefixes[] = {"",        "<",         "<a",          "<a>",      "<a>x",
                              "<a b",    "<a b=",     "<a b='",      "<a b=\"x", "</",
                              "<a></",   "<a></a",    "<!DOCTYPE ",  "<!-- ",    "<![CDATA[",
                              "<PRE>",   "<?",        "<a>&",        "<a>&#",    "<a>&#x",
                              "<a b=&",  "<a b='&l",  "\n"};
    const unsigned char leads[] = {0x81, 0xA1, 0xC3, 0xE0, 0xE3, 0xF0, 0xF4, 0xFE};
    for (auto enc : encodings) {
        XMLNode::setGlobalOptions(enc, 1, 1, 1);
        for (unsigned char lead : leads) {
            for (const char* prefix : prefixes) {
                for (int extra = 0; extra < 3; extra++) {
                    const std::string s = std::string(prefix) + static_cast<char>(lead) +
                                          std::string(static_cast<size_t>(extra), '\x8F');
                    char* exactText = new char[s.size() + 1];
                    std::memcpy(exactText, s.c_str(), s.size() + 1);
                    XMLResults r;
                    XMLNode n = XMLNode::parseString(exactText, nullptr, &r);
                    EXPECT_NE(r.errorCode, errorNoXMLData) << s;
                    if (r.errorCode != errorNone) {
                        EXPECT_GE(r.line, 1) << s;
                    }
                    delete[] exactText;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Allocations and a direct call
// ---------------------------------------------------------------------------

long allocationsFor(const std::string& doc) {
    alloc_hook::Scope hook;
    XMLNode n = XMLNode::parseString(doc.c_str());
    return hook.calls();
}

// Tokens that end up in one text cost nothing: the number of allocations
// does not depend on how many words, quotes or markup characters a text has.
TEST_F(RobustnessTest, NoAllocationPerToken) {
    const long one = allocationsFor("<a k='v'>word</a>");
    if (one == 0) GTEST_SKIP() << "allocation hook not linked into the library";
    const long many = allocationsFor("<a k='v'>" + repeat("w 'q' = > / ", 5000) + "</a>");
    // The text is stored once (one decode), the element trimmed once.
    EXPECT_EQ(one, many);
}

TEST_F(RobustnessTest, ElementParserOnANamedNode) {
    // The parser can be run on any element whose name has just been read:
    // it reads the start tag's rest and returns 1 when the element closes.
    const char* text = " k='1'>x<b/></A>rest";
    XMLNode a = XMLNode::createXMLTopNode("a");
    XML x = {text, text, 0, 0, errorNone, nullptr, 0, 0};
    NodeAccess access(a);
    EXPECT_EQ(access.ParseXMLElement(&x), 1);
    EXPECT_EQ(x.error, errorNone);
    EXPECT_EQ(dumpTree(a), "a{k=1}(\"x\",b)");
    EXPECT_EQ(std::string(x.document + x.index), "rest");
}

}  // namespace
