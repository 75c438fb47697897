// Releasing parsed and deep-copied records after edits.  A record written
// whole into a chunk is released without looking at its strings and arrays;
// every public mutator that stores a string or an array in such a record
// must take that mark away, or what it stored outside the chunk would leak
// (and a mark kept wrongly on a record would let a heap string go unfreed).
// Each edit of the table is applied to one element of a parsed document, or
// of its deep copy, and the whole is released in several ways, under the
// allocation hook: every block allocated while it was armed must be freed.
#include <gtest/gtest.h>

#include <string>

#include "alloc_hook.h"
#include "internals.h"
#include "tree_compare.h"

using namespace xml_internal;

namespace {

NodeData* D(const XMLNode& n) { return NodeAccess::data(n); }

// `e` has every kind of string and array: name, attributes with and
// without value, texts, a clear tag and children.
const char* const kDocument =
    "<r><e a=\"1\" b=\"2\" n>t0<![CDATA[c0]]>t1<c k=\"v\">ct</c><d/>t2</e>"
    "<s x=\"y\">u<![CDATA[w]]></s></r>";

struct Edit {
    const char* what;
    void (*apply)(XMLNode& e, XMLNode& other);  // `other`: a root of another document
};

char* dup(const char* s) { return stringDup(s); }

const Edit kEdits[] = {
    // The name.
    {"updateName", [](XMLNode& e, XMLNode&) { e.updateName("renamed"); }},
    {"updateName_WOSD", [](XMLNode& e, XMLNode&) { e.updateName_WOSD(dup("renamed")); }},
    // Attributes.
    {"addAttribute", [](XMLNode& e, XMLNode&) { e.addAttribute("z", "9"); }},
    {"addAttribute without value", [](XMLNode& e, XMLNode&) { e.addAttribute("z", nullptr); }},
    {"addAttribute_WOSD", [](XMLNode& e, XMLNode&) { e.addAttribute_WOSD(dup("z"), dup("9")); }},
    {"updateAttribute by index", [](XMLNode& e, XMLNode&) { e.updateAttribute("v", nullptr, 1); }},
    {"updateAttribute by index, renamed",
     [](XMLNode& e, XMLNode&) { e.updateAttribute("v", "bb", 1); }},
    {"updateAttribute of the one without value",
     [](XMLNode& e, XMLNode&) { e.updateAttribute("v", nullptr, 2); }},
    {"updateAttribute by index past the end, added",
     [](XMLNode& e, XMLNode&) { e.updateAttribute("v", "z", 7); }},
    {"updateAttribute by old name",
     [](XMLNode& e, XMLNode&) { e.updateAttribute("v", "aa", "a"); }},
    {"updateAttribute by old name not present",
     [](XMLNode& e, XMLNode&) { e.updateAttribute("v", nullptr, "zz"); }},
    {"updateAttribute by record",
     [](XMLNode& e, XMLNode&) {
         XMLAttribute now = {"q", "w"};
         XMLAttribute old = e.getAttribute(0);
         e.updateAttribute(&now, &old);
     }},
    {"updateAttribute by record, no old record",
     [](XMLNode& e, XMLNode&) {
         XMLAttribute now = {"q", "w"};
         e.updateAttribute(&now, nullptr);
     }},
    {"updateAttribute_WOSD by index",
     [](XMLNode& e, XMLNode&) { e.updateAttribute_WOSD(dup("v"), dup("aa"), 0); }},
    {"updateAttribute_WOSD by old name",
     [](XMLNode& e, XMLNode&) { e.updateAttribute_WOSD(dup("v"), nullptr, "b"); }},
    {"updateAttribute_WOSD by record",
     [](XMLNode& e, XMLNode&) {
         XMLAttribute now = {dup("q"), dup("w")};
         XMLAttribute old = e.getAttribute(1);
         e.updateAttribute_WOSD(&now, &old);
     }},
    {"deleteAttribute, then addAttribute",
     [](XMLNode& e, XMLNode&) {
         e.deleteAttribute(0);
         e.addAttribute("z", "9");
     }},
    // Texts.
    {"addText", [](XMLNode& e, XMLNode&) { e.addText("t3"); }},
    {"addText at the front", [](XMLNode& e, XMLNode&) { e.addText("t3", 0); }},
    {"addText_WOSD", [](XMLNode& e, XMLNode&) { e.addText_WOSD(dup("t3"), 2); }},
    {"updateText by index", [](XMLNode& e, XMLNode&) { e.updateText("new", 1); }},
    {"updateText by index past the end, added",
     [](XMLNode& e, XMLNode&) { e.updateText("new", 9); }},
    {"updateText by stored text", [](XMLNode& e, XMLNode&) { e.updateText("new", e.getText(2)); }},
    {"updateText_WOSD by index", [](XMLNode& e, XMLNode&) { e.updateText_WOSD(dup("new"), 0); }},
    {"updateText_WOSD by stored text",
     [](XMLNode& e, XMLNode&) { e.updateText_WOSD(dup("new"), e.getText(0)); }},
    {"deleteText, then addText",
     [](XMLNode& e, XMLNode&) {
         e.deleteText(2);
         e.addText("t3");
     }},
    // Clear tags.
    {"addClear", [](XMLNode& e, XMLNode&) { e.addClear("c1"); }},
    {"addClear with delimiters", [](XMLNode& e, XMLNode&) { e.addClear("c1", "<!--", "-->", 0); }},
    {"addClear_WOSD", [](XMLNode& e, XMLNode&) { e.addClear_WOSD(dup("c1")); }},
    {"updateClear by index", [](XMLNode& e, XMLNode&) { e.updateClear("new", 0); }},
    {"updateClear by index past the end, added",
     [](XMLNode& e, XMLNode&) { e.updateClear("new", 4); }},
    {"updateClear by stored value",
     [](XMLNode& e, XMLNode&) { e.updateClear("new", e.getClear(0).value); }},
    {"updateClear by record",
     [](XMLNode& e, XMLNode&) {
         XMLClear now = {"new", "<!--", "-->"};
         XMLClear old = e.getClear(0);
         e.updateClear(&now, &old);
     }},
    {"updateClear by record, no old record",
     [](XMLNode& e, XMLNode&) {
         XMLClear now = {"new", "<!--", "-->"};
         e.updateClear(&now, nullptr);
     }},
    {"updateClear_WOSD by index", [](XMLNode& e, XMLNode&) { e.updateClear_WOSD(dup("new"), 0); }},
    {"updateClear_WOSD by stored value",
     [](XMLNode& e, XMLNode&) { e.updateClear_WOSD(dup("new"), e.getClear(0).value); }},
    {"updateClear_WOSD by record",
     [](XMLNode& e, XMLNode&) {
         XMLClear now = {dup("new"), nullptr, nullptr};
         XMLClear old = e.getClear(0);
         e.updateClear_WOSD(&now, &old);
     }},
    {"deleteClear, then addClear",
     [](XMLNode& e, XMLNode&) {
         e.deleteClear(0);
         e.addClear("c1");
     }},
    // Children: the children and order arrays grow out of the chunk.
    {"addChild_WOSD", [](XMLNode& e, XMLNode&) { e.addChild_WOSD(dup("k"), 0, 1); }},
    {"addChild of a node of another document",
     [](XMLNode& e, XMLNode& other) { e.addChild(other.getChildNode(0)); }},
    {"addChild of a nameless node's children",
     [](XMLNode& e, XMLNode&) {
         XMLNode holder = XMLNode::createXMLTopNode(nullptr);
         holder.addChild_WOSD(dup("k1"));
         holder.addChild_WOSD(dup("k2"));
         e.addChild(holder, 0);
     }},
    {"addChild moving a child within its parent",
     [](XMLNode& e, XMLNode&) { e.addChild(e.getChildNode(1), 0); }},
    {"addChild moving a sibling",
     [](XMLNode& e, XMLNode&) { e.addChild(e.getParentNode().getChildNode(1)); }},
    {"deleteNodeContent of a child, then addChild_WOSD",
     [](XMLNode& e, XMLNode&) {
         e.getChildNode(0).deleteNodeContent();
         e.addChild_WOSD(dup("k"));
     }},
    // Trimming after deletions keeps the arrays where they are.
    {"deletions, then exactMemory",
     [](XMLNode& e, XMLNode&) {
         e.deleteText(0);
         e.deleteAttribute(1);
         NodeAccess::exactMemory(D(e));
     }},
    // An emptied shell given new content.
    {"deleteNodeContent, then every kind added",
     [](XMLNode& e, XMLNode&) {
         e.deleteNodeContent();
         e.updateName("back");
         e.addAttribute("z", "9");
         e.addText("t");
         e.addClear("c");
         e.addChild_WOSD(dup("k"));
     }},
};

// How the document holding the edited element goes.
enum class Release { document, elementOutlivesIt, elementEmptiedFirst };

struct Source {
    bool deepCopied;
    Release release;
};

class EditedThenReleased : public ::testing::TestWithParam<Source> {};

// The edited element `e` lies in a parsed document, or in its deep copy.
XMLNode documentOf(const Source& s) {
    XMLNode parsed = XMLNode::parseString(kDocument, nullptr, nullptr);
    return s.deepCopied ? parsed.deepCopy() : parsed;
}

TEST_P(EditedThenReleased, FreesEverythingItAllocated) {
    const Source source = GetParam();
    for (const Edit& edit : kEdits) {
        SCOPED_TRACE(edit.what);
        long live;
        {
            alloc_hook::Scope hook;
            {
                XMLNode doc = documentOf(source);
                XMLNode other = XMLNode::parseString("<o><m p=\"q\">mt</m></o>", nullptr, nullptr);
                ASSERT_FALSE(doc.isEmpty());
                XMLNode e = doc.getChildNode("e");
                XMLNode s = doc.getChildNode("s");
                ASSERT_TRUE(D(e)->wholeInChunk);
                edit.apply(e, other);
                ASSERT_TRUE(TreeInvariantsHold(doc));
                // Only the nodes that were stored into lose their mark.
                EXPECT_TRUE(D(s)->wholeInChunk);
                switch (source.release) {
                    case Release::document:
                        e = XMLNode();
                        doc = XMLNode();
                        break;
                    case Release::elementOutlivesIt:
                        doc = XMLNode();
                        ASSERT_TRUE(e.getParentNode().isEmpty());
                        break;
                    case Release::elementEmptiedFirst:
                        e.deleteNodeContent();
                        EXPECT_EQ(e.nElement(), 0);
                        doc = XMLNode();
                        break;
                }
            }
            if (hook.calls() == 0) GTEST_SKIP() << "allocation hook not linked into the library";
            live = hook.live();
        }
        EXPECT_EQ(live, 0) << "blocks left allocated";
    }
}

const Source kSources[] = {
    {false, Release::document},
    {false, Release::elementOutlivesIt},
    {false, Release::elementEmptiedFirst},
    {true, Release::document},
    {true, Release::elementOutlivesIt},
    {true, Release::elementEmptiedFirst},
};

std::string sourceName(const ::testing::TestParamInfo<Source>& info) {
    static const char* const kRelease[] = {"Document", "ElementOutlivesIt", "ElementEmptiedFirst"};
    return std::string(info.param.deepCopied ? "DeepCopy" : "Parsed") +
           kRelease[static_cast<int>(info.param.release)];
}

INSTANTIATE_TEST_SUITE_P(Mutators, EditedThenReleased, ::testing::ValuesIn(kSources), sourceName);

// The strings an edit stored stay readable until the edited node goes, and
// a record that was not stored into keeps its strings where the chunk has
// them: the mark changes nothing that a reader sees.
TEST(ReleaseMarks, EditedNodesReadBackWhatWasStored) {
    XMLNode doc = XMLNode::parseString(kDocument, nullptr, nullptr);
    XMLNode e = doc.getChildNode("e");
    e.updateText("new", 1);
    e.updateAttribute_WOSD(dup("v"), nullptr, "b");
    e.addClear("c1");
    XMLNode copy = doc.deepCopy();
    XMLNode held = e;
    doc = XMLNode();
    EXPECT_STREQ(held.getText(1), "new");
    EXPECT_STREQ(held.getAttributeValue(1), "v");
    EXPECT_STREQ(held.getClear(1).value, "c1");
    XMLNode ce = copy.getChildNode("e");
    EXPECT_TRUE(D(ce)->wholeInChunk);  // a deep copy is written whole, edits and all
    EXPECT_STREQ(ce.getText(1), "new");
    EXPECT_STREQ(ce.getAttributeValue(1), "v");
    EXPECT_STREQ(ce.getClear(1).value, "c1");
}

}  // namespace
