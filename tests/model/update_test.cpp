// Updates of attributes, texts and clear tags.  The owning (_WOSD) variants
// are handed heap strings on every path (replaced, appended, refused, empty
// node): the sanitizer build reports any string that is leaked or freed
// twice.
#include <gtest/gtest.h>

#include <cstring>

#include "internals.h"
#include "tree_compare.h"

using namespace xml_internal;

namespace {

char* H(const char* s) { return stringDup(s); }
NodeData* D(const XMLNode& n) { return NodeAccess::data(n); }

// ---------------------------------------------------------------------------
// Attributes
// ---------------------------------------------------------------------------

TEST(UpdateAttribute, ByIndexOutOfRangeAppendsOnlyWithAName) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    XMLAttribute* r = n.updateAttribute("v", "n", 0);
    ASSERT_EQ(n.nAttribute(), 1);
    EXPECT_EQ(r, D(n)->attributes);
    EXPECT_STREQ(n.getAttributeName(0), "n");
    EXPECT_STREQ(n.getAttributeValue(0), "v");

    EXPECT_EQ(n.updateAttribute("v", nullptr, 5), nullptr);
    EXPECT_EQ(n.updateAttribute_WOSD(H("v"), nullptr, -1), nullptr);  // value freed
    EXPECT_EQ(n.nAttribute(), 1);

    r = n.updateAttribute_WOSD(H("w"), H("m"), 1);
    EXPECT_EQ(n.nAttribute(), 2);
    EXPECT_STREQ(r->name, "m");
    r = n.updateAttribute_WOSD(nullptr, H("k"), -3);  // appends without value
    EXPECT_STREQ(r->name, "k");
    EXPECT_EQ(r->value, nullptr);
    EXPECT_EQ(n.nAttribute(), 3);
}

TEST(UpdateAttribute, ByIndexReplacesValueAndOptionallyName) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addAttribute("a", "1");
    n.addAttribute("b", "2");

    XMLAttribute* r = n.updateAttribute_WOSD(H("10"), nullptr, 0);
    EXPECT_EQ(r, D(n)->attributes);
    EXPECT_STREQ(n.getAttributeName(0), "a");
    EXPECT_STREQ(n.getAttributeValue(0), "10");

    r = n.updateAttribute_WOSD(H("20"), H("B2"), 1);
    EXPECT_STREQ(r->name, "B2");
    EXPECT_STREQ(r->value, "20");

    // A null value is stored: the attribute keeps its name, without value.
    r = n.updateAttribute(nullptr, nullptr, 0);
    EXPECT_STREQ(n.getAttributeName(0), "a");
    EXPECT_EQ(n.getAttributeValue(0), nullptr);
    // And a value can be given back to it.
    n.updateAttribute("back", nullptr, 0);
    EXPECT_STREQ(n.getAttributeValue(0), "back");
    EXPECT_EQ(n.nAttribute(), 2);
}

TEST(UpdateAttribute, VeryPointersAreKeptNotFreed) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addAttribute("a", "1");
    XMLAttribute before = n.getAttribute(0);
    XMLAttribute* r =
        n.updateAttribute_WOSD(const_cast<char*>(before.value), const_cast<char*>(before.name), 0);
    EXPECT_EQ(r->name, before.name);
    EXPECT_EQ(r->value, before.value);
    EXPECT_STREQ(r->value, "1");  // still alive
    // The same value pointer with a new name: only the name changes.
    r = n.updateAttribute_WOSD(const_cast<char*>(before.value), H("z"), 0);
    EXPECT_EQ(r->value, before.value);
    EXPECT_STREQ(r->name, "z");
}

TEST(UpdateAttribute, ByOldNameSetsIgnoringCase) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addAttribute("WIDTH", "1");
    n.addAttribute("width", "9");
    XMLAttribute* r = n.updateAttribute("2", nullptr, "width");
    EXPECT_EQ(r, D(n)->attributes);
    EXPECT_STREQ(n.getAttributeName(0), "WIDTH");
    EXPECT_STREQ(n.getAttributeValue(0), "2");
    EXPECT_STREQ(n.getAttributeValue(1), "9");

    r = n.updateAttribute_WOSD(H("3"), H("w"), "Width");
    EXPECT_STREQ(n.getAttributeName(0), "w");
    EXPECT_STREQ(n.getAttributeValue(0), "3");

    // Absent: appended under a copy of the old name, or under the new name.
    const char old[] = "height";
    r = n.updateAttribute_WOSD(H("5"), nullptr, old);
    ASSERT_EQ(n.nAttribute(), 3);
    EXPECT_STREQ(r->name, "height");
    EXPECT_NE(r->name, old);
    r = n.updateAttribute("6", "depth", "nothing");
    EXPECT_EQ(n.nAttribute(), 4);
    EXPECT_STREQ(r->name, "depth");
    EXPECT_STREQ(r->value, "6");
    EXPECT_EQ(n.isAttributeSet("nothing"), 0);
}

// The old name may be the stored name itself; it is read before it is freed.
TEST(UpdateAttribute, OldNameMayBeTheStoredName) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addAttribute("a", "1");
    n.updateAttribute_WOSD(H("2"), H("b"), n.getAttributeName(0));
    EXPECT_STREQ(n.getAttributeName(0), "b");
    EXPECT_STREQ(n.getAttributeValue(0), "2");
    EXPECT_EQ(n.nAttribute(), 1);
}

TEST(UpdateAttribute, NullOldNameGoesAsAMissingIndex) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addAttribute("a", "1");
    const char* none = nullptr;
    EXPECT_EQ(n.updateAttribute_WOSD(H("v"), nullptr, none), nullptr);
    XMLAttribute* r = n.updateAttribute_WOSD(H("v"), H("k"), none);
    EXPECT_STREQ(r->name, "k");
    EXPECT_EQ(n.nAttribute(), 2);
    EXPECT_STREQ(n.getAttributeValue(0), "1");
}

TEST(UpdateAttribute, ByRecordMatchesTheOldRecordsName) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addAttribute("x", "1");
    n.addAttribute("x", "2");
    XMLAttribute second = n.getAttribute(1);
    XMLAttribute fresh = {"y", "new"};
    XMLAttribute* r = n.updateAttribute(&fresh, &second);
    EXPECT_EQ(r, D(n)->attributes);  // the first x, by name
    EXPECT_STREQ(n.getAttributeName(0), "y");
    EXPECT_STREQ(n.getAttributeValue(1), "2");

    // Owning variant: the strings of the new record are taken over.
    XMLAttribute owned = {H("q"), H("7")};
    XMLAttribute old = {"Y", nullptr};
    r = n.updateAttribute_WOSD(&owned, &old);
    EXPECT_EQ(r->name, owned.name);
    EXPECT_EQ(r->value, owned.value);

    // A null old record appends.
    XMLAttribute add = {H("z"), H("9")};
    r = n.updateAttribute_WOSD(&add, nullptr);
    EXPECT_EQ(n.nAttribute(), 3);
    EXPECT_EQ(r->name, add.name);
    XMLAttribute addCopy = {"c", nullptr};
    r = n.updateAttribute(&addCopy, nullptr);
    EXPECT_EQ(n.nAttribute(), 4);
    EXPECT_STREQ(r->name, "c");
    EXPECT_NE(r->name, addCopy.name);

    // A record not present appends under the new name, or its old name.
    XMLAttribute missing = {"m", "1"};
    XMLAttribute nameless = {nullptr, H("8")};
    r = n.updateAttribute_WOSD(&nameless, &missing);
    EXPECT_STREQ(r->name, "m");
    EXPECT_STREQ(r->value, "8");
    EXPECT_EQ(n.nAttribute(), 5);

    // A null new record changes nothing.
    EXPECT_EQ(n.updateAttribute_WOSD(static_cast<XMLAttribute*>(nullptr), &second), nullptr);
    EXPECT_EQ(n.updateAttribute(static_cast<XMLAttribute*>(nullptr), nullptr), nullptr);
    EXPECT_EQ(n.nAttribute(), 5);
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

// Contents: text 0, child 0, text 1.
class TextUpdates : public ::testing::Test {
protected:
    void SetUp() override {
        n = XMLNode::createXMLTopNode("n");
        n.addText("t0");
        n.addChild("c");
        n.addText("t1");
    }
    XMLNode n;
};

TEST_F(TextUpdates, InRangeKeepsThePosition) {
    const char* r = n.updateText("new", 1);
    EXPECT_STREQ(r, "new");
    EXPECT_EQ(n.getText(1), r);
    EXPECT_EQ(n.positionOfText(1), 2);
    EXPECT_EQ(n.nText(), 2);
    r = n.updateText_WOSD(H("first"), 0);
    EXPECT_EQ(n.getText(0), r);
    EXPECT_EQ(n.positionOfText(0), 0);
    EXPECT_TRUE(TreeInvariantsHold(n));
}

TEST_F(TextUpdates, OutOfRangeAppendsAtTheEnd) {
    for (int index : {2, 9, -1}) {
        const int before = n.nElement();
        const char* r = n.updateText_WOSD(H("end"), index);
        EXPECT_EQ(n.nElement(), before + 1) << index;
        EXPECT_EQ(n.getText(n.nText() - 1), r);
        EXPECT_EQ(n.positionOfText(r), n.nElement() - 1);
    }
    EXPECT_STREQ(n.updateText("copy", 100), "copy");
    EXPECT_EQ(n.positionOfText(100), n.nElement() - 1);
    EXPECT_TRUE(TreeInvariantsHold(n));
}

TEST_F(TextUpdates, VeryPointerFreesNothing) {
    char* t = const_cast<char*>(n.getText(0));
    EXPECT_EQ(n.updateText_WOSD(t, static_cast<const char*>(t)), t);
    EXPECT_EQ(n.updateText_WOSD(t, 0), t);
    EXPECT_STREQ(n.getText(0), "t0");
}

TEST_F(TextUpdates, ByStoredPointerIsByAddress) {
    const char* t1 = n.getText(1);
    const char* r = n.updateText("T1", t1);
    EXPECT_EQ(n.getText(1), r);
    EXPECT_EQ(n.nText(), 2);
    // Same characters at another address: appended, not replaced.
    char same[] = "T1";
    r = n.updateText_WOSD(H("other"), same);
    EXPECT_EQ(n.nText(), 3);
    EXPECT_EQ(n.getText(2), r);
    EXPECT_STREQ(n.getText(1), "T1");
    // A null stored pointer selects the first text.
    r = n.updateText("zero", static_cast<const char*>(nullptr));
    EXPECT_EQ(n.getText(0), r);
    EXPECT_EQ(n.nText(), 3);
    // ... and on a node without texts appends one.
    XMLNode bare = XMLNode::createXMLTopNode("b");
    r = bare.updateText_WOSD(H("only"), static_cast<const char*>(nullptr));
    EXPECT_EQ(bare.getText(0), r);
}

// A null new text never replaces a stored text: refused, the old one stays.
TEST_F(TextUpdates, NullNewTextIsRefused) {
    const char* t0 = n.getText(0);
    EXPECT_EQ(n.updateText_WOSD(nullptr, 0), nullptr);
    EXPECT_EQ(n.updateText(nullptr, 1), nullptr);
    EXPECT_EQ(n.updateText(nullptr, t0), nullptr);
    EXPECT_EQ(n.updateText_WOSD(nullptr, 5), nullptr);  // nothing to append
    EXPECT_EQ(n.getText(0), t0);
    EXPECT_EQ(n.nText(), 2);
    EXPECT_TRUE(TreeInvariantsHold(n));
}

// ---------------------------------------------------------------------------
// Clear tags
// ---------------------------------------------------------------------------

TEST(UpdateClear, ValueOnlyDelimitersStay) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addClear("c0", "<!--", "-->");
    n.addText("t");
    XMLClear* r = n.updateClear("new", 0);
    EXPECT_EQ(r, D(n)->clears);
    EXPECT_STREQ(r->value, "new");
    EXPECT_STREQ(r->openTag, "<!--");
    EXPECT_STREQ(r->closeTag, "-->");
    EXPECT_EQ(n.positionOfClear(0), 0);

    // Appending uses the default delimiters.
    r = n.updateClear_WOSD(H("app"), 3);
    ASSERT_EQ(n.nClear(), 2);
    EXPECT_STREQ(r->value, "app");
    EXPECT_EQ(r->openTag, cdataOpen);
    EXPECT_EQ(r->closeTag, cdataClose);
    EXPECT_EQ(n.positionOfClear(1), 2);

    // A null value is stored: the clear tag has no value.
    r = n.updateClear_WOSD(nullptr, 0);
    EXPECT_EQ(r->value, nullptr);
    EXPECT_STREQ(r->openTag, "<!--");
    EXPECT_EQ(n.nClear(), 2);
    // Appending a null value stores nothing.
    EXPECT_EQ(n.updateClear(nullptr, -1), &XMLNode::emptyXMLClear);
    EXPECT_EQ(n.nClear(), 2);
    EXPECT_TRUE(TreeInvariantsHold(n));
}

TEST(UpdateClear, ByStoredValueAndVeryPointer) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addClear("a");
    n.addClear("b");
    char* b = const_cast<char*>(n.getClear(1).value);
    EXPECT_EQ(n.updateClear_WOSD(b, static_cast<const char*>(b))->value, b);
    XMLClear* r = n.updateClear("B", static_cast<const char*>(b));
    EXPECT_EQ(r, D(n)->clears + 1);
    r = n.updateClear_WOSD(H("A"), static_cast<const char*>(nullptr));  // the first
    EXPECT_EQ(r, D(n)->clears);
    EXPECT_STREQ(r->value, "A");
    r = n.updateClear("c", "B");  // not a stored pointer: appended
    EXPECT_EQ(n.nClear(), 3);
    EXPECT_STREQ(r->value, "c");
}

TEST(UpdateClear, ByRecord) {
    XMLNode n = XMLNode::createXMLTopNode("n");
    n.addClear("a", "<x>", "</x>");
    n.addClear("b", "<y>", "</y>");
    XMLClear old = n.getClear(1);
    XMLClear fresh = {"B", "<ignored>", "</ignored>"};
    XMLClear* r = n.updateClear(&fresh, &old);
    EXPECT_EQ(r, D(n)->clears + 1);
    EXPECT_STREQ(r->value, "B");
    EXPECT_STREQ(r->openTag, "<y>");

    XMLClear owned = {H("A"), nullptr, nullptr};
    old = n.getClear(0);
    r = n.updateClear_WOSD(&owned, &old);
    EXPECT_EQ(r->value, owned.value);
    EXPECT_STREQ(r->openTag, "<x>");

    // A null old record selects nothing: the value is appended with the
    // default delimiters (and taken over by the owning variant).
    XMLClear added = {H("new"), "<z>", "</z>"};
    r = n.updateClear_WOSD(&added, nullptr);
    ASSERT_EQ(n.nClear(), 3);
    EXPECT_EQ(r->value, added.value);
    EXPECT_EQ(r->openTag, cdataOpen);
    r = n.updateClear(&fresh, nullptr);
    EXPECT_EQ(n.nClear(), 4);
    EXPECT_NE(r->value, fresh.value);

    // A null new record changes nothing.
    EXPECT_EQ(n.updateClear_WOSD(static_cast<XMLClear*>(nullptr), &old), nullptr);
    EXPECT_EQ(n.updateClear(static_cast<XMLClear*>(nullptr), nullptr), nullptr);
    EXPECT_EQ(n.nClear(), 4);
    EXPECT_TRUE(TreeInvariantsHold(n));
}

// ---------------------------------------------------------------------------
// The empty node: every owning variant frees what it was handed
// ---------------------------------------------------------------------------

TEST(UpdateOnEmptyNode, OwningVariantsFreeAndAnswerTheEmptyResult) {
    XMLNode e;
    EXPECT_EQ(e.updateAttribute_WOSD(H("v"), H("n"), 0), nullptr);
    EXPECT_EQ(e.updateAttribute_WOSD(H("v"), nullptr, 3), nullptr);
    EXPECT_EQ(e.updateAttribute_WOSD(H("v"), H("n"), "old"), &XMLNode::emptyXMLAttribute);
    EXPECT_EQ(e.updateAttribute_WOSD(H("v"), nullptr, "old"), &XMLNode::emptyXMLAttribute);
    XMLAttribute rec = {H("n"), H("v")};
    EXPECT_EQ(e.updateAttribute_WOSD(&rec, nullptr), &XMLNode::emptyXMLAttribute);
    XMLAttribute rec2 = {H("n"), H("v")};
    XMLAttribute old = {"o", nullptr};
    EXPECT_EQ(e.updateAttribute_WOSD(&rec2, &old), &XMLNode::emptyXMLAttribute);

    EXPECT_EQ(e.updateText_WOSD(H("t"), 0), nullptr);
    EXPECT_EQ(e.updateText_WOSD(H("t"), static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(e.updateClear_WOSD(H("c"), 0), nullptr);
    EXPECT_EQ(e.updateClear_WOSD(H("c"), static_cast<const char*>(nullptr)), nullptr);
    XMLClear crec = {H("c"), nullptr, nullptr};
    EXPECT_EQ(e.updateClear_WOSD(&crec, nullptr), nullptr);
    XMLClear crec2 = {H("c"), nullptr, nullptr};
    XMLClear cold = {"x", nullptr, nullptr};
    EXPECT_EQ(e.updateClear_WOSD(&crec2, &cold), nullptr);
}

TEST(UpdateOnEmptyNode, CopyingVariantsLeakNothing) {
    XMLNode e;
    XMLAttribute rec = {"n", "v"};
    XMLClear crec = {"c", nullptr, nullptr};
    EXPECT_EQ(e.updateAttribute("v", "n", 0), nullptr);
    EXPECT_EQ(e.updateAttribute("v", "n", "old"), &XMLNode::emptyXMLAttribute);
    EXPECT_EQ(e.updateAttribute(&rec, nullptr), &XMLNode::emptyXMLAttribute);
    EXPECT_EQ(e.updateAttribute(&rec, &rec), &XMLNode::emptyXMLAttribute);
    EXPECT_EQ(e.updateText("t", 0), nullptr);
    EXPECT_EQ(e.updateText("t", "x"), nullptr);
    EXPECT_EQ(e.updateClear("c", 0), nullptr);
    EXPECT_EQ(e.updateClear("c", "x"), nullptr);
    EXPECT_EQ(e.updateClear(&crec, nullptr), nullptr);
    EXPECT_EQ(e.updateClear(&crec, &crec), nullptr);
}

}  // namespace
