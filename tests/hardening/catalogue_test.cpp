// A catalogue of hostile inputs, each with the code it must give.  Every
// text sits in a heap block of exactly its size (so the sanitizer build sees
// any read past the terminating zero); every parse runs inside the
// allocation hook, which checks that the parse, the checks, the writing and
// the release together leave no block allocated.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "alloc_hook.h"
#include "internals.h"
#include "sanitized.h"
#include "tree_compare.h"

namespace {

using xml_internal::NodeAccess;
using xml_internal::NodeData;

class Catalogue : public ::testing::Test {
protected:
    void TearDown() override { XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1); }
};

// A heap copy of the bytes of `text` with one zero byte after them, in a
// block of exactly that size.
struct ExactText {
    char* p;
    explicit ExactText(const std::string& text) {
        p = static_cast<char*>(std::malloc(text.size() + 1));
        std::memcpy(p, text.data(), text.size());
        p[text.size()] = 0;
    }
    ~ExactText() { std::free(p); }
    ExactText(const ExactText&) = delete;
    ExactText& operator=(const ExactText&) = delete;
};

// Parses `text`, expects `code`, checks the tree, writes it both ways, and
// hands the tree to `inspect` before releasing it; no block may stay
// allocated afterwards.  The formatted text of a deep tree holds a TAB per
// level on every line and so grows with the square of the depth: past
// INT_MAX bytes it is refused (null, size 0), which `deep` allows.
template <typename Inspect>
void expectParse(const std::string& text, XMLError code, Inspect inspect, bool deep = false) {
    ExactText exact(text);
    alloc_hook::Scope hook;
    {
        XMLResults r;
        XMLNode tree = XMLNode::parseString(exact.p, nullptr, &r);
        ASSERT_EQ(r.errorCode, code) << XMLNode::getError(r.errorCode);
        ASSERT_EQ(tree.isEmpty() != 0, code >= errorNoXMLData);
        if (!tree.isEmpty()) {
            ASSERT_TRUE(TreeInvariantsHold(tree));
            for (int format : {0, 1}) {
                int size = -1;
                char* written = tree.createXMLString(format, &size);
                if (deep && format && !written) {
                    EXPECT_EQ(size, 0);
                    continue;
                }
                ASSERT_NE(written, nullptr);
                EXPECT_LE(std::strlen(written), static_cast<size_t>(size));
                freeXMLString(written);
            }
            inspect(tree);
        }
    }
    EXPECT_EQ(hook.live(), 0) << "blocks left allocated";
}

void expectParse(const std::string& text, XMLError code, bool deep = false) {
    expectParse(
        text, code, [](const XMLNode&) {}, deep);
}

std::string repeat(const std::string& piece, size_t count) {
    std::string s;
    s.reserve(piece.size() * count);
    for (size_t i = 0; i < count; i++) s += piece;
    return s;
}

TEST_F(Catalogue, MillionDeepNesting) {
    const size_t depth = 1000000;
    expectParse(
        repeat("<a>", depth) + "x" + repeat("</a>", depth), errorNone,
        [&](const XMLNode& tree) {
            size_t levels = 1;
            const NodeData* d = NodeAccess::data(tree);
            while (d->childCount) {
                d = d->children[0];
                levels++;
            }
            EXPECT_EQ(levels, depth);
            EXPECT_STREQ(d->texts[0], "x");
        },
        true);
    // Never closed: every level is closed by the end of the text.
    expectParse(repeat("<a k='v'>", depth), warningUnmatchedEndTag, true);
    // Closed from the innermost element by an end tag naming the outermost.
    expectParse("<r>" + repeat("<a>", depth) + "</r>", warningUnmatchedEndTag, true);
    // An end tag that matches nothing, a million levels down.
    expectParse(repeat("<a>", depth) + "</b>", errorUnmatchedEndTag, true);
}


TEST_F(Catalogue, MillionSiblings) {
#ifdef XMLPARSER_SANITIZED
    // The sanitizer's realloc always moves the block, so the arrays' fixed
    // growth step of 50 records copies the whole children array every 50
    // children there (quadratic, minutes for a million); the Release build
    // runs the full count.
    const int count = 200000;
#else
    const int count = 1000000;
#endif
    expectParse("<r>" + repeat("<a/>", count) + "</r>", errorNone,
                [&](const XMLNode& tree) { EXPECT_EQ(tree.nChildNode(), count); });
    // Texts joined across a million removed comments.
    expectParse("<r>" + repeat("t<!--c-->", count) + "</r>", errorNone, [&](const XMLNode& tree) {
        ASSERT_EQ(tree.nText(), 1);
        EXPECT_EQ(std::strlen(tree.getText(0)), static_cast<size_t>(count));
    });
}

TEST_F(Catalogue, HundredThousandAttributes) {
    const int count = 100000;
    std::string text = "<r";
    for (int i = 0; i < count; i++) text += " a" + std::to_string(i) + "='v'";
    text += "/>";
    expectParse(text, errorNone, [&](const XMLNode& tree) {
        EXPECT_EQ(tree.nAttribute(), count);
        EXPECT_STREQ(tree.getAttributeName(count - 1), "a99999");
    });
}

TEST_F(Catalogue, HundredMegabyteText) {
    const size_t size = 100u << 20;
    std::string body(size, 'x');
    for (size_t i = 0; i < size; i += 4096) body.replace(i, 5, "&amp;");
    expectParse("<r>" + body + "</r>", errorNone, [&](const XMLNode& tree) {
        ASSERT_EQ(tree.nText(), 1);
        EXPECT_EQ(std::strlen(tree.getText(0)), size - (size / 4096) * 4);
    });
}

TEST_F(Catalogue, UnterminatedAtTheEnd) {
    const struct {
        const char* text;
        XMLError code;
    } cases[] = {
        {"<r><![CDATA[abc", errorUnmatchedClearTagEnd},
        {"<r><![CDATA[abc]]", errorUnmatchedClearTagEnd},
        {"<r><!-- abc", errorUnmatchedClearTagEnd},
        {"<r><!-- abc --", errorUnmatchedClearTagEnd},
        {"<r><!DOCTYPE r", errorUnmatchedClearTagEnd},
        {"<r><!DOCTYPE r [<!ENTITY e 'v'>]", errorUnmatchedClearTagEnd},
        // Without an element the code is the missing element's, whatever
        // else went wrong.
        {"<!DOCTYPE r", warningNoXMLTagFound},
        {"<r><PRE>abc</PRE", errorUnmatchedClearTagEnd},
        // An open quote is abandoned at the end: the value keeps the quote.
        {"<r a='abc", warningUnmatchedEndTag},
        {"<r a=\"abc", warningUnmatchedEndTag},
        {"<r a='", warningUnmatchedEndTag},
        {"<r a=", warningUnmatchedEndTag},
        {"<r a", warningUnmatchedEndTag},
        {"<r", warningUnmatchedEndTag},
        {"<r></r", errorMissingEndTagName},
        {"<r></", errorMissingEndTagName},
        {"<?xml version='1.0'", errorNone},
        {"<", warningNoXMLTagFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        expectParse(c.text, c.code);
    }
    expectParse("<r a='abc", warningUnmatchedEndTag,
                [](const XMLNode& tree) { EXPECT_STREQ(tree.getAttributeValue(0), "'abc"); });
}

TEST_F(Catalogue, LoneReferenceAtTheEnd) {
    const struct {
        const char* text;
        XMLError code;
    } cases[] = {
        {"<r>&", errorUnknownCharacterEntity},
        {"<r>&#", errorUnknownCharacterEntity},
        {"<r>&#x", errorUnknownCharacterEntity},
        {"<r>&#X1", errorUnknownCharacterEntity},
        {"<r>&amp", errorUnknownCharacterEntity},
        {"<r a=&", errorUnknownCharacterEntity},
        {"<r a='&#",
         errorUnknownCharacterEntity},  // Without an element the code is the missing element's.
        {"&", warningNoXMLTagFound},
        {"&#x", warningNoXMLTagFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        expectParse(c.text, c.code);
    }
}

// A lead byte of every length class of every encoding, as the very last byte
// of the text, in every place a scanner reads.
TEST_F(Catalogue, LeadByteAsTheLastByte) {
    const struct {
        XMLNode::XMLCharEncoding encoding;
        const char* leads;
    } encodings[] = {
        {XMLNode::charEncodingUTF8, "\xC3\xE6\xF0\x80\xFF"},
        {XMLNode::charEncodingLegacy, "\xC3\xE6"},
        {XMLNode::charEncodingShiftJIS, "\x81\xE0\xA5"},
        {XMLNode::charEncodingGB2312, "\xA1\xF7"},
        {XMLNode::charEncodingBig5, "\x81\xFE"},
        {XMLNode::charEncodingGBK, "\x81\xFE"},
    };
    const struct {
        const char* before;
        XMLError code;
    } places[] = {
        {"<r>x", warningUnmatchedEndTag},        // text
        {"<r", warningUnmatchedEndTag},          // element name
        {"<r a", warningUnmatchedEndTag},        // attribute name
        {"<r a=", warningUnmatchedEndTag},       // unquoted value
        {"<r a='", warningUnmatchedEndTag},      // quoted value
        {"<r></r", errorMissingEndTagName},      // end tag
        {"<r><!--", errorUnmatchedClearTagEnd},  // comment
        {"<r><![CDATA[", errorUnmatchedClearTagEnd},
        {"<r><!DOCTYPE ", errorUnmatchedClearTagEnd},  // character-stepped scan
        {"<r>&", errorUnknownCharacterEntity},         // reference
        {"<r>&#", errorUnknownCharacterEntity},
        {"<r>&#x", errorUnknownCharacterEntity},
        {"", warningNoXMLTagFound},  // the whole text
    };
    for (const auto& e : encodings) {
        XMLNode::setGlobalOptions(e.encoding, 1, 1, 1);
        for (const char* lead = e.leads; *lead; lead++) {
            for (const auto& place : places) {
                SCOPED_TRACE(::testing::Message() << "encoding " << e.encoding << " lead byte "
                                                  << (static_cast<unsigned char>(*lead) + 0)
                                                  << " after \"" << place.before << "\"");
                expectParse(std::string(place.before) + *lead, place.code);
            }
        }
    }
}

// A string ends at its first zero byte: whatever follows is never read.
TEST_F(Catalogue, NulBytesInside) {
    expectParse(std::string("<r>a</r>\0<x>", 12), errorNone,
                [](const XMLNode& tree) { EXPECT_EQ(tree.nChildNode(), 0); });
    expectParse(std::string("<r a='x\0'/>", 11), warningUnmatchedEndTag);
    expectParse(std::string("<r><!--\0-->", 11), errorUnmatchedClearTagEnd);
    expectParse(std::string("\0<r/>", 5), warningNoXMLTagFound);
}

TEST_F(Catalogue, OnlyAByteOrderMark) {
    expectParse("\xEF\xBB\xBF", warningNoXMLTagFound,
                [](const XMLNode& tree) { EXPECT_STREQ(tree.getText(0), "\xEF\xBB\xBF"); });
    expectParse("\xFF\xFE", warningNoXMLTagFound);
    expectParse("", warningNoXMLTagFound);
}

// Writes `bytes` to a file, parses it with parseFile and expects `code`; the
// parse and the release leave no block allocated.
void expectFile(const std::string& bytes, XMLError code, const char* text0 = nullptr) {
    // One file per test process: ctest runs the tests of this file at once.
    const std::string path =
        ::testing::TempDir() + "xmlparser_catalogue_" + std::to_string(::getpid()) + ".xml";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    alloc_hook::Scope hook;
    {
        XMLResults r;
        XMLNode n = XMLNode::parseFile(path.c_str(), nullptr, &r);
        EXPECT_EQ(r.errorCode, code) << XMLNode::getError(r.errorCode);
        EXPECT_EQ(n.isEmpty() != 0, code >= errorNoXMLData);
        if (text0) {
            EXPECT_STREQ(n.getText(0), text0);
        }
        EXPECT_TRUE(TreeInvariantsHold(n));
    }
    EXPECT_EQ(hook.live(), 0) << "blocks left allocated";
    std::remove(path.c_str());
}

TEST_F(Catalogue, NulBytesInsideAFile) {
    // The text ends at the first zero byte.
    expectFile(std::string("<r>a</r>\0\0<x>junk", 18), errorNone, "a");
    expectFile(std::string("<r>a\0</r>", 9), warningUnmatchedEndTag, "a");
    // Four zero bytes in step with 32-bit units make it look like wide
    // text, which does not convert.
    expectFile(std::string("<r>a</r>\0\0\0\0<x/>", 16), errorCharConversion);
    XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 0, 1, 1);
    expectFile(std::string("<r>a</r>\0\0\0\0<x/>", 16), errorNone, "a");
}

TEST_F(Catalogue, FileOfOnlyAByteOrderMark) {
    expectFile("\xEF\xBB\xBF", warningNoXMLTagFound);
    expectFile("\xFF\xFE", warningNoXMLTagFound, "\xFF\xFE");
    expectFile(std::string("\xFF\xFE\0\0", 4), warningNoXMLTagFound);
    expectFile("", errorNoXMLData);
    // Without the wide-character guess the mark is text.
    XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 0, 1, 1);
    expectFile("\xEF\xBB\xBF", warningNoXMLTagFound, "\xEF\xBB\xBF");
}

}  // namespace
