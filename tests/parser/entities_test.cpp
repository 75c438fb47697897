// The entity decoder: references, errors, multibyte stepping, bounds, and
// exactly one allocation per decoded string.
#include <gtest/gtest.h>

#include <string>

#include "alloc_hook.h"
#include "internals.h"

using namespace xml_internal;

namespace {

class EntitiesTest : public ::testing::Test {
protected:
    void TearDown() override { XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1); }
};

struct DecodeCase {
    const char* source;
    int length;            // -1: the whole string
    const char* expected;  // null: a decoding error
    XMLError error;
};

TEST_F(EntitiesTest, Decoding) {
    const DecodeCase cases[] = {
        {"a&lt;b", -1, "a<b", errorNone},
        {"&amp;&lt;&gt;&quot;&apos;", -1, "&<>\"'", errorNone},
        {"&AMP;&Quot;&aPoS;", -1, "&\"'", errorNone},
        {"&#65;&#x42;&#X43;", -1, "ABC", errorNone},
        {"&#x6a;&#x6A;&#0065;", -1, "jjA", errorNone},
        {"", -1, "", errorNone},
        {"abc", 0, "", errorNone},
        {"abc", -5, "", errorNone},
        {"abcdef", 3, "abc", errorNone},
        {"a&lt;b", 5, "a<", errorNone},
        {"a&lt;b", 4, nullptr, errorUnknownCharacterEntity},
        {"ab\0cd", 5, "ab", errorNone},  // stops at a zero byte
        {"x&#;y", -1, "x", errorNone},   // value 0 ends the string for readers
        {"&#x;", -1, "", errorNone},
        {"&#99999999999999999999;", -1, nullptr, errorCharacterCodeAbove255},
        {"&#12a;", -1, nullptr, errorUnknownCharacterEntity},
        {"&#999a;", -1, nullptr, errorUnknownCharacterEntity},  // digit test first
        {"&#xg;", -1, nullptr, errorUnknownCharacterEntity},
        {"&#65", -1, nullptr, errorUnknownCharacterEntity},
        {"&#65;", 4, nullptr, errorUnknownCharacterEntity},  // ";" outside the length
        {"&#", -1, nullptr, errorUnknownCharacterEntity},
        {"&#x", -1, nullptr, errorUnknownCharacterEntity},
        {"&foo;", -1, nullptr, errorUnknownCharacterEntity},
        {"a & b", -1, nullptr, errorUnknownCharacterEntity},
        {"&", -1, nullptr, errorUnknownCharacterEntity},
        {"&amp", 4, nullptr, errorUnknownCharacterEntity},
        {"&amp;", 4, nullptr, errorUnknownCharacterEntity},
        {"&lt;", 3, nullptr, errorUnknownCharacterEntity},
    };
    for (const DecodeCase& c : cases) {
        const int length = c.length == -1 ? static_cast<int>(std::strlen(c.source)) : c.length;
        XML x = {c.source, nullptr, 0, 0, errorNone, nullptr, 0, 0};
        char* out = fromXMLString(c.source, length, &x);
        if (c.expected) {
            ASSERT_NE(out, nullptr) << c.source;
            EXPECT_STREQ(out, c.expected) << c.source;
        } else {
            EXPECT_EQ(out, nullptr) << c.source;
        }
        EXPECT_EQ(x.error, c.error) << c.source;
        std::free(out);
    }
}

// A numeric reference is the UTF-8 sequence of its value in UTF-8 mode, and
// one byte in every other mode.
TEST_F(EntitiesTest, NumericReferencesFollowTheEncoding) {
    const struct {
        const char* source;
        const char* utf8;   // null: errorCharacterCodeAbove255
        const char* bytes;  // the other modes; null: errorCharacterCodeAbove255
    } cases[] = {
        {"&#65;", "A", "A"},
        {"&#127;", "\x7F", "\x7F"},
        {"&#128;", "\xC2\x80", "\x80"},
        {"&#233;", "\xC3\xA9", "\xE9"},
        {"&#xff;x", "\xC3\xBFx", "\xFFx"},
        {"&#255;", "\xC3\xBF", "\xFF"},
        {"&#256;", "\xC4\x80", nullptr},
        {"&#x7FF;", "\xDF\xBF", nullptr},
        {"&#x800;", "\xE0\xA0\x80", nullptr},
        {"&#8217;", "\xE2\x80\x99", nullptr},
        {"a&#x20AC;b",
         "a\xE2\x82\xAC"
         "b",
         nullptr},
        {"&#xD7FF;", "\xED\x9F\xBF", nullptr},
        {"&#xD800;", nullptr, nullptr},  // surrogates are no characters
        {"&#xDBFF;&#xDC00;", nullptr, nullptr},
        {"&#57343;", nullptr, nullptr},  // 0xDFFF
        {"&#xE000;", "\xEE\x80\x80", nullptr},
        {"&#xFFFF;", "\xEF\xBF\xBF", nullptr},
        {"&#x10000;", "\xF0\x90\x80\x80", nullptr},
        {"&#x1F600;", "\xF0\x9F\x98\x80", nullptr},
        {"&#1114111;", "\xF4\x8F\xBF\xBF", nullptr},  // 0x10FFFF
        {"&#x110000;", nullptr, nullptr},
        {"&#x0000000041;", "A", "A"},
        {"&#99999999999999999999;", nullptr, nullptr},
        {"&#xFFFFFFFFF;", nullptr, nullptr},  // wraps a 32-bit value unless saturated
        {"&#4294967361;", nullptr, nullptr},  // 2^32 + 65
        {"x&#0;y", "x", "x"},
        {"&#;", "", ""},
        {"&lt;&#x4e2d;&gt;", "<\xE4\xB8\xAD>", nullptr},
    };
    for (XMLNode::XMLCharEncoding e :
         {XMLNode::charEncodingUTF8, XMLNode::charEncodingLegacy, XMLNode::charEncodingShiftJIS,
          XMLNode::charEncodingGB2312, XMLNode::charEncodingBig5, XMLNode::charEncodingGBK}) {
        XMLNode::setGlobalOptions(e, 1, 1, 1);
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << "encoding " << e << " " << c.source);
            const char* expected = e == XMLNode::charEncodingUTF8 ? c.utf8 : c.bytes;
            XML x = {c.source, nullptr, 0, 0, errorNone, nullptr, 0, 0};
            size_t decoded = 0;
            char* out =
                fromXMLString(c.source, static_cast<int>(std::strlen(c.source)), &x, &decoded);
            if (expected) {
                ASSERT_NE(out, nullptr);
                EXPECT_STREQ(out, expected);
                EXPECT_EQ(decoded, std::strlen(expected));
                EXPECT_EQ(x.error, errorNone);
            } else {
                EXPECT_EQ(out, nullptr);
                EXPECT_EQ(x.error, errorCharacterCodeAbove255);
            }
            std::free(out);
        }
    }
}

TEST_F(EntitiesTest, NullSourceLeavesStateAlone) {
    XML x = {"", nullptr, 0, 0, warningUnmatchedEndTag, nullptr, 0, 0};
    EXPECT_EQ(fromXMLString(nullptr, 5, &x), nullptr);
    EXPECT_EQ(x.error, warningUnmatchedEndTag);
}

TEST_F(EntitiesTest, MultibyteCharactersAreCopiedWhole) {
    // In Shift-JIS, 0x83 0x26 is one character: its "&" is no reference.
    XMLNode::setGlobalOptions(XMLNode::charEncodingShiftJIS, 1, 1, 1);
    XML x = {"", nullptr, 0, 0, errorNone, nullptr, 0, 0};
    char* out = fromXMLString("\x83&lt;&amp;", 10, &x);
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, "\x83&lt;&");
    std::free(out);
    // In legacy mode the same bytes hold two references.
    XMLNode::setGlobalOptions(XMLNode::charEncodingLegacy, 1, 1, 1);
    out = fromXMLString("\x83&lt;&amp;", 10, &x);
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, "\x83<&");
    std::free(out);
}

TEST_F(EntitiesTest, LeadByteAtEndOfExactBuffer) {
    const XMLNode::XMLCharEncoding encodings[] = {
        XMLNode::charEncodingUTF8, XMLNode::charEncodingLegacy, XMLNode::charEncodingShiftJIS,
        XMLNode::charEncodingGB2312, XMLNode::charEncodingGBK};
    for (auto enc : encodings) {
        XMLNode::setGlobalOptions(enc, 1, 1, 1);
        for (int lead = 0x80; lead < 0x100; lead++) {
            for (int extra = 0; extra < 3; extra++) {
                std::string s = "a&lt;" + std::string(1, static_cast<char>(lead)) +
                                std::string(static_cast<size_t>(extra), '\x81');
                char* exact = new char[s.size() + 1];
                std::memcpy(exact, s.c_str(), s.size() + 1);
                XML x = {exact, nullptr, 0, 0, errorNone, nullptr, 0, 0};
                // The zero byte is inside the given length: both passes stop there.
                char* out = fromXMLString(exact, static_cast<int>(s.size()) + 1, &x);
                ASSERT_NE(out, nullptr);
                EXPECT_EQ(std::string(out), "a<" + s.substr(5));
                std::free(out);
                // A length that ends inside a multibyte character cuts it there.
                out = fromXMLString(exact, static_cast<int>(s.size()) - extra, &x);
                ASSERT_NE(out, nullptr);
                EXPECT_EQ(std::string(out), "a<" + std::string(1, static_cast<char>(lead)));
                std::free(out);
                delete[] exact;
            }
        }
    }
}

// A zero byte ends the source before the given length: nothing after it is
// read, even where the length would leave room to read a whole entity at once
// (the sanitizer build checks the reads of these exactly sized buffers).
TEST_F(EntitiesTest, ZeroByteEndsTheSourceBeforeItsLength) {
    const struct {
        const char* text;
        const char* decoded;  // null: unknown entity
    } cases[] = {{"a&quo", nullptr}, {"a&lt", nullptr}, {"&amp", nullptr},
                 {"x&gt;", "x>"},    {"&#65;", "A"},    {"a&", nullptr}};
    for (const auto& c : cases) {
        const size_t n = std::strlen(c.text) + 1;
        char* exact = new char[n];
        std::memcpy(exact, c.text, n);
        XML x = {exact, nullptr, 0, 0, errorNone, nullptr, 0, 0};
        char* out = fromXMLString(exact, 64, &x);
        if (c.decoded) {
            ASSERT_NE(out, nullptr) << c.text;
            EXPECT_STREQ(out, c.decoded);
        } else {
            EXPECT_EQ(out, nullptr) << c.text;
            EXPECT_EQ(x.error, errorUnknownCharacterEntity) << c.text;
        }
        std::free(out);
        delete[] exact;
    }
}

TEST_F(EntitiesTest, ExactlyOneAllocationPerString) {
    const char* sources[] = {"plain text", "a&lt;b&#65;&amp;", "", "&#x41;"};
    for (const char* s : sources) {
        XML x = {s, nullptr, 0, 0, errorNone, nullptr, 0, 0};
        char* out;
        long calls;
        {
            alloc_hook::Scope hook;
            out = fromXMLString(s, static_cast<int>(std::strlen(s)), &x);
            calls = hook.calls();
        }
        if (calls == 0) GTEST_SKIP() << "allocation hook not linked into the library";
        EXPECT_EQ(calls, 1) << s;
        ASSERT_NE(out, nullptr);
        std::free(out);
    }
    // A decoding error allocates nothing.
    XML x = {"", nullptr, 0, 0, errorNone, nullptr, 0, 0};
    alloc_hook::Scope hook;
    EXPECT_EQ(fromXMLString("ab&bad;", 7, &x), nullptr);
    EXPECT_EQ(hook.calls(), 0);
}

TEST_F(EntitiesTest, ExhaustionReportsNoDataAndReturnsNull) {
    XML x = {"", nullptr, 0, 0, errorNone, nullptr, 0, 0};
    char* out;
    {
        alloc_hook::Scope hook(0);
        out = fromXMLString("a&lt;b", 6, &x);
        if (!hook.failed()) GTEST_SKIP() << "allocation hook not linked into the library";
    }
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(x.error, errorNoXMLData);
}

}  // namespace
