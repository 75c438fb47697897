// Round trips: a parsed document written compact (or formatted) and parsed
// again gives the same tree, and writing that tree again gives the same text.
#include <gtest/gtest.h>

#include <string>

#include "settings_guard.h"
#include "tree_compare.h"

namespace {

struct Document {
    const char* name;
    const char* text;
};

const Document kDocuments[] = {
    {"single element", "<a/>"},
    {"attributes of every form", "<a b c='1' d=x e='' f=\"q'uote\" g='d\"q'/>"},
    {"entities in values and texts",
     "<a t='x &amp; y &lt; z &gt; &quot; &apos;'>1 &lt; 2 &amp;&amp; 3 &gt; 2 \"'</a>"},
    {"mixed content", "<p>Hello <b>bold</b> and <i>italic</i> world.</p>"},
    {"nesting and siblings",
     "<r><a><b><c>deep</c></b></a><a id='2'/><a id='3'><x/><y/></a>tail</r>"},
    {"declaration holding the document",
     "<?xml version='1.0' encoding='UTF-8'?><root><x a='1'>t</x><y/></root>"},
    {"declaration inside an element", "<r><?pi a='1'?><c/>text</r>"},
    {"clear tags of every kind",
     "<!DOCTYPE r [<!ENTITY e 'v'>]><r><![CDATA[ <raw> & ]]><!-- note --><PRE> pre </PRE>x</r>"},
    {"comment kept beside other clear tags", "<r><!--a--><![CDATA[b]]><!--c--></r>"},
    {"top-level items", "<!-- head --><a/><b>t</b><!-- tail -->"},
    {"text without tags", "just text"},
    {"multibyte text", "<r lang='fr'>Élise Chêne — 木 🌳</r>"},
    {"empty texts and values", "<r><e></e><f a=''/></r>"},
    {"repaired end tags", "<a><b><c></a><d/>"},
    {"unclosed elements", "<a><b>text"},
    {"wide element", "<r><i/><i/><i/><i/><i/><i/><i/><i/><i/><i/><i/><i/><i/><i/></r>"},
};

class RoundTrip : public SettingsGuard {};

// Parses `text`, writes it with `format`, parses that, and compares.
void expectRoundTrip(const char* name, const char* text, int format) {
    XMLResults r1;
    XMLNode first = XMLNode::parseString(text, nullptr, &r1);
    ASSERT_FALSE(first.isEmpty()) << name << ": " << XMLNode::getError(r1.errorCode);
    int size = 0;
    char* written = first.createXMLString(format, &size);
    ASSERT_NE(written, nullptr) << name;
    XMLResults r2;
    XMLNode second = XMLNode::parseString(written, nullptr, &r2);
    EXPECT_LE(r2.errorCode, warningNoXMLTagFound) << name << ": " << written;
    EXPECT_TRUE(TreesEqual(first, second)) << name << " (format " << format << "):\n" << written;
    EXPECT_TRUE(TreeInvariantsHold(second)) << name;
    // Writing the re-parsed tree gives the very same text.
    char* again = second.createXMLString(format);
    ASSERT_NE(again, nullptr);
    EXPECT_STREQ(again, written) << name;
    freeXMLString(again);
    freeXMLString(written);
}

TEST_F(RoundTrip, CompactTextParsesToTheSameTree) {
    for (const Document& d : kDocuments) expectRoundTrip(d.name, d.text, 0);
}

TEST_F(RoundTrip, FormattedTextParsesToTheSameTreeWithDefaultSettings) {
    for (const Document& d : kDocuments) expectRoundTrip(d.name, d.text, 1);
}

TEST_F(RoundTrip, KeptWhiteSpaceSurvivesCompactWriting) {
    // With white space kept, formatting is off and texts keep every byte.
    XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 0, 0);
    const char* text = "<r>  a  <b> x </b>\n\t<!--c-->  d </r>";
    XMLNode first = XMLNode::parseString(text);
    EXPECT_EQ(first.nText(), 3);
    char* written = first.createXMLString(1);  // formatting needs dropWhiteSpace
    EXPECT_STREQ(written, text);
    XMLNode second = XMLNode::parseString(written);
    EXPECT_TRUE(TreesEqual(first, second));
    freeXMLString(written);
}

TEST_F(RoundTrip, DoubleByteEncodingsKeepTrailBytesThatLookLikeMarkup) {
    // 0x83 0x3C is one Shift-JIS character whose trail byte is "<"; 0x95 0x5C
    // has a trail byte "\".  Both must be written unescaped and read back whole.
    useEncoding(XMLNode::charEncodingShiftJIS);
    const char text[] = "<r a='\x83\x3C'>\x83\x3C\x95\x5C &amp; \x83\x3E</r>";
    for (int format : {0, 1}) expectRoundTrip("shift-jis", text, format);
    useEncoding(XMLNode::charEncodingGBK);
    const char gbk[] = "<r>\xB0\x3C\xC4\x3E</r>";
    for (int format : {0, 1}) expectRoundTrip("gbk", gbk, format);
}

TEST_F(RoundTrip, HandBuiltTreeSurvivesWritingAndParsing) {
    XMLNode top = XMLNode::createXMLTopNode(nullptr);
    XMLNode decl = top.addChild("xml", 1);
    decl.addAttribute("version", "1.0");
    XMLNode a = decl.addChild("a");
    a.addAttribute("k", "1<2 & \"3\"");
    a.addAttribute("flag", nullptr);
    a.addText("hi & bye");
    a.addChild("b").addText("inner");
    a.addClear("x", "<!--", "-->");
    a.addText("after");
    a.addClear(" data <here> ");
    for (int format : {0, 1}) {
        char* written = top.createXMLString(format);
        XMLNode parsed = XMLNode::parseString(written);
        // A nameless node with one item parses back as that item.
        EXPECT_TRUE(TreesEqual(decl, parsed)) << written;
        freeXMLString(written);
    }
}

}  // namespace
