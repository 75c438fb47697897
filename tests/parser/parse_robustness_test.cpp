// The element parser under stress: trimming of finished elements, nesting a
// million deep, memory exhaustion at every allocation, texts that end inside
// a multibyte character, and the allocations a parse makes.
#include <gtest/gtest.h>

#include <string>

#include "alloc_hook.h"
#include "internals.h"
#include "tree_compare.h"
#include "tree_dump.h"

using namespace xml_internal;

namespace {

class RobustnessTest : public ::testing::Test {
protected:
    void TearDown() override { XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1); }
};

NodeData* childData(const NodeData* d, int i) { return d->children[i]; }

// Whether every array and string of `d` lies in the block it holds: written
// once, at its exact size, with the record.
void expectWrittenInItsBlock(const NodeData* d) {
    SCOPED_TRACE(d->name ? d->name : "(nameless)");
    ASSERT_NE(d->block, nullptr);
    for (const void* array :
         {static_cast<const void*>(d->children), static_cast<const void*>(d->attributes),
          static_cast<const void*>(d->texts), static_cast<const void*>(d->clears),
          static_cast<const void*>(d->order)})
        EXPECT_TRUE(!array || inNodeBlock(d, array));
    EXPECT_EQ(roomOf(d, d->children, d->childCount), static_cast<size_t>(d->childCount));
    EXPECT_TRUE(!d->name || inNodeBlock(d, d->name));
    for (int i = 0; i < d->attributeCount; i++) {
        EXPECT_TRUE(inNodeBlock(d, d->attributes[i].name));
        EXPECT_TRUE(!d->attributes[i].value || inNodeBlock(d, d->attributes[i].value));
    }
    for (int i = 0; i < d->textCount; i++) EXPECT_TRUE(inNodeBlock(d, d->texts[i]));
    for (int i = 0; i < d->clearCount; i++) EXPECT_TRUE(inNodeBlock(d, d->clears[i].value));
}

// Every element is written at its exact size however it closes: by "/>", by
// its own end tag, by an ancestor's end tag it did not read, or by the end
// of the text; the top node's contents too.
TEST_F(RobustnessTest, EveryElementIsWrittenExactlyWhateverClosesIt) {
    XMLResults r;
    XMLNode top = XMLNode::parseString(
        "<r><a p='1' q='2'><x/><y/>t</a><b u='1'><x/><y/>t<c v='1'><z/></b></r>"
        "<s k='1'><x/>t<!--c-->",
        nullptr, &r);
    ASSERT_EQ(r.errorCode, warningUnmatchedEndTag);
    NodeData* t = NodeAccess::data(top);
    ASSERT_EQ(
        dumpTree(top),
        "#(r(a{p=1,q=2}(x,y,\"t\"),b{u=1}(x,y,\"t\",c{v=1}(z))),s{k=1}(x,\"t\",[<!--|c|-->]))");
    struct Check {
        bool enter(NodeData* d) {
            expectWrittenInItsBlock(d);
            return true;
        }
        void item(NodeData*, XMLElementType, int) {}
        void leave(NodeData*) {}
    } check;
    EXPECT_TRUE(readWalk(t, check));
    // Leaves closed by "/>" have no arrays at all.
    NodeData* x = childData(childData(childData(t, 0), 0), 0);
    EXPECT_EQ(x->children, nullptr);
    EXPECT_EQ(x->order, nullptr);
    EXPECT_TRUE(TreeInvariantsHold(top));
}

TEST_F(RobustnessTest, WideElementsAreWrittenExactly) {
    XMLNode n = XMLNode::parseString("<e a='1' b='2' c/>");
    NodeData* d = NodeAccess::data(n);
    ASSERT_EQ(d->attributeCount, 3);
    expectWrittenInItsBlock(d);
    // A top node closed by an end tag it read itself.
    XMLNode top = XMLNode::parseString("text</x>");
    d = NodeAccess::data(top);
    ASSERT_EQ(d->textCount, 1);
    expectWrittenInItsBlock(d);
    // Many records of every kind in one element.
    std::string many = "<m>";
    for (int i = 0; i < 120; i++) many += "<c/>t<!--x--><![CDATA[y]]>";
    many += "</m>";
    XMLNode m = XMLNode::parseString(many.c_str());
    d = NodeAccess::data(m);
    EXPECT_EQ(d->childCount, 120);
    EXPECT_EQ(d->textCount, 120);
    EXPECT_EQ(d->clearCount, 240);
    expectWrittenInItsBlock(d);
    EXPECT_TRUE(TreeInvariantsHold(m));
    // An edit moves the array it grows to the heap, with room to spare,
    // and leaves the rest in the block.
    m.addChild("late");
    EXPECT_FALSE(inNodeBlock(d, d->children));
    EXPECT_GE(roomOf(d, d->children, d->childCount), static_cast<size_t>(d->childCount));
    EXPECT_TRUE(inNodeBlock(d, d->texts));
    EXPECT_EQ(std::string(m.getChildNode(120).getName()), "late");
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
                if (k == 0 && !reached)
                    GTEST_SKIP() << "allocation hook not linked into the library";
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
    const char* prefixes[] = {"",           "<",      "<a",        "<a>",      "<a>x",  "<a b",
                              "<a b=",      "<a b='", "<a b=\"x",  "</",       "<a></", "<a></a",
                              "<!DOCTYPE ", "<!-- ",  "<![CDATA[", "<PRE>",    "<?",    "<a>&",
                              "<a>&#",      "<a>&#x", "<a b=&",    "<a b='&l", "\n"};
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
// Only the parse's stacks grow with the text, doubling: a text twice as long
// takes at most two more allocations.
TEST_F(RobustnessTest, NoAllocationPerToken) {
    const long one = allocationsFor("<a k='v'>word</a>");
    if (one == 0) GTEST_SKIP() << "allocation hook not linked into the library";
    const long many = allocationsFor("<a k='v'>" + repeat("w 'q' = > / ", 5000) + "</a>");
    const long twice = allocationsFor("<a k='v'>" + repeat("w 'q' = > / ", 10000) + "</a>");
    EXPECT_LE(many, one + 20);
    EXPECT_LE(twice, many + 2);
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
