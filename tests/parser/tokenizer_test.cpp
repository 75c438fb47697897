// The tokenizer: token kinds, lengths and positions, multibyte stepping in
// every encoding, and the tag-name comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "internals.h"

using namespace xml_internal;

namespace {

class TokenizerTest : public ::testing::Test {
protected:
    void TearDown() override { XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1); }
};

XML stateFor(const char* text) {
    XML x = {text, text, 0, 0, errorNone, nullptr, 0, 1};
    return x;
}

// The token stream of `text` in a readable form: "T:" text, "Q:" quoted
// text, "C:" clear-tag open string, and the markup tokens as written.
std::vector<std::string> tokens(const char* text) {
    XML x = stateFor(text);
    std::vector<std::string> out;
    for (int guard = 0; guard < 1000; guard++) {
        int length = -1;
        XMLTokenTypeTag type;
        TokenRef t = GetNextToken(&x, &length, &type);
        switch (type) {
            case textToken: out.push_back("T:" + std::string(t.start, length)); break;
            case quotedTextToken: out.push_back("Q:" + std::string(t.start, length)); break;
            case openAngleToken: out.push_back("<"); break;
            case closingTagToken: out.push_back("</"); break;
            case closeAngleToken: out.push_back(">"); break;
            case equalsToken: out.push_back("="); break;
            case declarationToken: out.push_back("<?"); break;
            case emptyElementEndToken: out.push_back("/>"); break;
            case clearTagToken:
                EXPECT_EQ(t.start[0], '<');
                out.push_back("C:" + std::string(t.clearTag->open));
                break;
            case endOfTextToken:
                EXPECT_EQ(t.start, nullptr);
                EXPECT_EQ(t.clearTag, nullptr);
                EXPECT_EQ(length, 0);
                return out;
        }
        if (type != clearTagToken) {
            EXPECT_EQ(t.clearTag, nullptr);
        }
    }
    ADD_FAILURE() << "no end of text";
    return out;
}

using V = std::vector<std::string>;

struct TokenCase {
    XMLNode::XMLCharEncoding encoding;
    const char* text;
    V expected;
};

TEST_F(TokenizerTest, TokenStreams) {
    const auto U = XMLNode::charEncodingUTF8;
    const auto L = XMLNode::charEncodingLegacy;
    const auto S = XMLNode::charEncodingShiftJIS;
    const auto G = XMLNode::charEncodingGB2312;
    const auto K = XMLNode::charEncodingGBK;
    const TokenCase cases[] = {
        {U, "", {}},
        {U, " \t\r\n ", {}},
        {U, "<a k='1'>hi</a>", {"<", "T:a", "T:k", "=", "Q:'1'", ">", "T:hi", "</", "T:a", ">"}},
        {U, "a='x>y'", {"T:a", "=", "Q:'x>y'"}},
        {U, "a='x<y'", {"T:a", "=", "T:'x", "<", "T:y'"}},
        {U, "a=\"x", {"T:a", "=", "T:\"x"}},
        {U, "'a\"b' \"\"", {"Q:'a\"b'", "Q:\"\""}},
        {U, "x\"y\" z", {"T:x\"y\"", "T:z"}},
        {U, "abc/>", {"T:abc", "/>"}},
        {U, "a/b / />", {"T:a/b", "T:/", "/>"}},
        {U, "/", {"T:/"}},
        {U, "name  =", {"T:name", "="}},
        {U, "< a", {"<", "T:a"}},
        {U, "a>b=c<d", {"T:a", ">", "T:b", "=", "T:c", "<", "T:d"}},
        {U, "&amp; ! ? #;", {"T:&amp;", "T:!", "T:?", "T:#;"}},
        {U, "a\tb\rc\nd", {"T:a", "T:b", "T:c", "T:d"}},
        {U, "</a ><?xml?>", {"</", "T:a", ">", "<?", "T:xml?", ">"}},
        {U, "<![CDATA[x]]>", {"C:<![CDATA[", "T:x]]", ">"}},
        {U, "<!DOCTYPE r>", {"C:<!DOCTYPE", "T:r", ">"}},
        {U, "<!-- c -->", {"C:<!--", "T:c", "T:--", ">"}},
        {U, "<PRE>x</PRE>", {"C:<PRE>", "T:x", "</", "T:PRE", ">"}},
        {U, "<pre>", {"<", "T:pre", ">"}},
        {U, "<!doctype r>", {"<", "T:!doctype", "T:r", ">"}},
        {U, "<!-", {"<", "T:!-"}},
        // Multibyte characters are stepped over whole: their trail bytes are
        // never taken for markup, whatever they are.
        {U, "\xE2\x82\xAC<", {"T:\xE2\x82\xAC", "<"}},
        {U, "\xE0<>x y", {"T:\xE0<>x", "T:y"}},
        {U, "x\xC3<", {"T:x\xC3<"}},
        {U, "\xF0<>= z", {"T:\xF0<>=", "T:z"}},
        {U, "\x80<\xC1<\xF5<", {"T:\x80", "<", "T:\xC1", "<", "T:\xF5", "<"}},
        {U, "'\xC3'x'", {"Q:'\xC3'x'"}},
        {S, "\x83\x3C", {"T:\x83\x3C"}},
        {S, "a\x83<b>", {"T:a\x83<b", ">"}},
        {S, "\xA0<\xE0<\xF0<", {"T:\xA0", "<", "T:\xE0<\xF0", "<"}},
        {S, "'\x83''", {"Q:'\x83''"}},
        {L, "\x83\x3C", {"T:\x83", "<"}},
        {L, "\xE0<", {"T:\xE0", "<"}},
        {G, "\xA1<\xA0<", {"T:\xA1<\xA0", "<"}},
        {G, "\xF8<", {"T:\xF8", "<"}},
        {K, "\x81<\x80<\xFF<", {"T:\x81<\x80", "<", "T:\xFF", "<"}},
        {XMLNode::charEncodingBig5, "\xFE/>", {"T:\xFE/", ">"}},
    };
    for (const TokenCase& c : cases) {
        XMLNode::setGlobalOptions(c.encoding, 1, 1, 1);
        EXPECT_EQ(tokens(c.text), c.expected) << "encoding " << c.encoding << " text " << c.text;
    }
}

TEST_F(TokenizerTest, IndexAfterEachToken) {
    const char* text = "name  = 'v'/>x";
    XML x = stateFor(text);
    int length;
    XMLTokenTypeTag type;
    const struct {
        XMLTokenTypeTag type;
        int start, length, indexAfter;
    } expected[] = {
        {textToken, 0, 4, 5},         // the ending space is consumed
        {equalsToken, 6, 1, 7},       // after skipping the second space
        {quotedTextToken, 8, 3, 11},  // both quotes counted
        {emptyElementEndToken, 11, 2, 13},
        {textToken, 13, 1, 14},
    };
    for (const auto& e : expected) {
        TokenRef t = GetNextToken(&x, &length, &type);
        EXPECT_EQ(type, e.type);
        EXPECT_EQ(t.start - text, e.start);
        EXPECT_EQ(length, e.length);
        EXPECT_EQ(x.index, e.indexAfter);
    }
    for (int i = 0; i < 3; i++) {
        TokenRef t = GetNextToken(&x, &length, &type);
        EXPECT_EQ(type, endOfTextToken);
        EXPECT_EQ(t.start, nullptr);
        EXPECT_EQ(length, 0);
        EXPECT_EQ(x.index, 14);  // stays on the zero byte
    }
}

TEST_F(TokenizerTest, TextBeforeEmptyElementEndStopsAtSlash) {
    const char* text = "abc/>";
    XML x = stateFor(text);
    int length;
    XMLTokenTypeTag type;
    GetNextToken(&x, &length, &type);
    EXPECT_EQ(x.index, 3);
}

TEST_F(TokenizerTest, ClearTagLeavesIndexAfterOpenStringAndLengthUntouched) {
    for (int row = 0; XMLClearTags[row].open; row++) {
        std::string text = std::string("  ") + XMLClearTags[row].open + "x";
        XML x = stateFor(text.c_str());
        int length = 12345;
        XMLTokenTypeTag type;
        TokenRef t = GetNextToken(&x, &length, &type);
        EXPECT_EQ(type, clearTagToken);
        EXPECT_EQ(t.clearTag, &XMLClearTags[row]);
        EXPECT_EQ(t.start, text.c_str() + 2);
        EXPECT_EQ(length, 12345);
        EXPECT_EQ(x.index, 2 + XMLClearTags[row].openLength);
    }
}

// A lead byte among the last bytes of a heap buffer of exactly the text's
// size: no scan may pass the terminating zero (the sanitizer build checks).
TEST_F(TokenizerTest, LeadByteAtEndOfExactBuffer) {
    const XMLNode::XMLCharEncoding encodings[] = {
        XMLNode::charEncodingUTF8, XMLNode::charEncodingLegacy, XMLNode::charEncodingShiftJIS,
        XMLNode::charEncodingGB2312, XMLNode::charEncodingGBK};
    const char* prefixes[] = {"", "a", "'", "\"x", "=", "/", "<", "a b"};
    for (auto enc : encodings) {
        XMLNode::setGlobalOptions(enc, 1, 1, 1);
        for (int lead = 0x80; lead < 0x100; lead++) {
            for (const char* prefix : prefixes) {
                for (int extra = 0; extra < 3; extra++) {
                    std::string s = std::string(prefix) + static_cast<char>(lead) +
                                    std::string(static_cast<size_t>(extra), '\x80');
                    std::vector<char> buf(s.begin(), s.end());
                    buf.push_back(0);
                    char* exact = new char[buf.size()];
                    std::memcpy(exact, buf.data(), buf.size());
                    XML x = stateFor(exact);
                    int length;
                    XMLTokenTypeTag type;
                    int n = 0;
                    do {
                        GetNextToken(&x, &length, &type);
                        ASSERT_LE(x.index, static_cast<int>(s.size()));
                    } while (type != endOfTextToken && ++n < 20);
                    EXPECT_EQ(type, endOfTextToken);
                    EXPECT_EQ(x.index, static_cast<int>(s.size()));
                    delete[] exact;
                }
            }
        }
    }
}

TEST(TagCompare, WholeNamesWithoutCase) {
    const struct {
        const char* name;
        const char* text;
        int expected;
    } cases[] = {
        {"Item", "ITEM>", 0}, {"Item", "Items>", 1}, {"Item", "Item", 1}, {nullptr, "a>", 1},
        {"a", "ab>", 1},      {"A", "a>", 0},        {"a", "a ", 0},      {"a", "a\n", 0},
        {"a", "a\r", 0},      {"a", "a\t", 0},       {"a", "a<", 0},      {"a", "a/", 0},
        {"a", "a=", 0},       {"a", "a?", 1},        {"a", "a'", 1},      {"ab", "a>", 1},
        {"", ">", 0},         {"x:y", "X:Y>", 0},    {"a", "", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(myTagCompare(c.name, c.text), c.expected)
            << (c.name ? c.name : "null") << " vs " << c.text;
}

}  // namespace
