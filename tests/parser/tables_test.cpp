// The character-length tables, the settings and the result-code messages.
#include <gtest/gtest.h>

#include <cstring>

#include "internals.h"

using namespace xml_internal;

namespace {

struct TableCase {
    const char* name;
    const unsigned char* table;
    // Expected length of each byte from 0x80 up, by inclusive ranges.
    struct Range {
        int lo, hi, len;
    } ranges[4];
};

const TableCase kTables[] = {
    {"utf8", XML_utf8ByteTable, {{0xC2, 0xDF, 2}, {0xE0, 0xEF, 3}, {0xF0, 0xF4, 4}, {0, -1, 0}}},
    {"legacy", XML_legacyByteTable, {{0, -1, 0}, {0, -1, 0}, {0, -1, 0}, {0, -1, 0}}},
    {"sjis", XML_sjisByteTable, {{0x81, 0x9F, 2}, {0xE0, 0xEF, 2}, {0, -1, 0}, {0, -1, 0}}},
    {"gb2312", XML_gb2312ByteTable, {{0xA1, 0xF7, 2}, {0, -1, 0}, {0, -1, 0}, {0, -1, 0}}},
    {"gbk_big5", XML_gbk_big5_ByteTable, {{0x81, 0xFE, 2}, {0, -1, 0}, {0, -1, 0}, {0, -1, 0}}},
};

TEST(CharacterTables, EveryEntryFollowsItsEncoding) {
    for (const TableCase& c : kTables) {
        for (int b = 0; b < 256; b++) {
            int want = b == 0 ? 0 : 1;
            for (const auto& r : c.ranges)
                if (b >= r.lo && b <= r.hi) want = r.len;
            EXPECT_EQ(c.table[b], want) << c.name << " byte 0x" << std::hex << b;
        }
    }
}

// The quick tests of whether the byte at q starts a character, from the
// three bytes before it alone: a byte k bytes before q claims q exactly when
// its length in the table exceeds k.  The table's test says so exactly; the
// UTF-8 one, by byte values, may say "claims" for bytes that do not (the
// caller then walks the characters), never the other way.
TEST(CharacterTables, QuickStartTestsNeverMissALeadByte) {
    for (const TableCase& c : kTables) {
        for (int k = 1; k <= 3; k++) {
            for (int b = 1; b < 256; b++) {
                char text[] = "xyz&";
                text[3 - k] = static_cast<char>(b);
                const char* q = text + 3;
                const bool claims = c.table[b] > k;
                EXPECT_EQ(noLeadByteReaches(c.table, q), !claims)
                    << c.name << " byte 0x" << std::hex << b << " at -" << k;
                if (c.table == XML_utf8ByteTable && claims) {
                    EXPECT_FALSE(noUtf8LeadByteReaches(q)) << "byte 0x" << std::hex << b;
                }
            }
        }
    }
    // Plain text and the bytes of whole characters before q leave it alone.
    for (const char* text : {"xyz&", "\xC3\xA9 &", "\xE2\x82\xAC&", "\xF0\x9F\x98\x80&"}) {
        const char* q = text + std::strlen(text) - 1;
        EXPECT_TRUE(noUtf8LeadByteReaches(q)) << text;
        EXPECT_TRUE(noLeadByteReaches(XML_utf8ByteTable, q)) << text;
    }
}

class SettingsTest : public ::testing::Test {
protected:
    void TearDown() override { XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1); }
};

TEST_F(SettingsTest, LoadTimeValues) {
    EXPECT_EQ(characterEncoding, XMLNode::charEncodingUTF8);
    EXPECT_EQ(XML_ByteTable, XML_utf8ByteTable);
    EXPECT_EQ(guessWideCharChars, 1);
    EXPECT_EQ(dropWhiteSpace, 1);
    EXPECT_EQ(removeCommentsInMiddleOfText, 1);
}

TEST_F(SettingsTest, EachEncodingSelectsItsTable) {
    const struct {
        XMLNode::XMLCharEncoding enc;
        const unsigned char* table;
    } cases[] = {
        {XMLNode::charEncodingLegacy, XML_legacyByteTable},
        {XMLNode::charEncodingShiftJIS, XML_sjisByteTable},
        {XMLNode::charEncodingGB2312, XML_gb2312ByteTable},
        {XMLNode::charEncodingBig5, XML_gbk_big5_ByteTable},
        {XMLNode::charEncodingGBK, XML_gbk_big5_ByteTable},
        {XMLNode::charEncodingUTF8, XML_utf8ByteTable},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(XMLNode::setGlobalOptions(c.enc, 1, 1, 1), 0);
        EXPECT_EQ(characterEncoding, c.enc);
        EXPECT_EQ(XML_ByteTable, c.table);
    }
}

TEST_F(SettingsTest, RejectedEncodingStillStoresFlags) {
    XMLNode::setGlobalOptions(XMLNode::charEncodingShiftJIS, 1, 1, 1);
    EXPECT_EQ(XMLNode::setGlobalOptions(XMLNode::charEncodingError, 0, 0, 0), 1);
    EXPECT_EQ(characterEncoding, XMLNode::charEncodingShiftJIS);
    EXPECT_EQ(XML_ByteTable, XML_sjisByteTable);
    EXPECT_EQ(guessWideCharChars, 0);
    EXPECT_EQ(dropWhiteSpace, 0);
    EXPECT_EQ(removeCommentsInMiddleOfText, 0);
    EXPECT_EQ(XMLNode::setGlobalOptions(static_cast<XMLNode::XMLCharEncoding>(7), 1, 1, 1), 1);
    EXPECT_EQ(characterEncoding, XMLNode::charEncodingShiftJIS);
}

TEST(ErrorMessages, KnownAndUnknownCodes) {
    EXPECT_STREQ(XMLNode::getError(errorNone), "No error");
    EXPECT_STREQ(XMLNode::getError(errorCharacterCodeAbove255),
                 "Error: Character code above 255 is forbidden in MultiByte char mode.");
    EXPECT_STREQ(XMLNode::getError(errorBase64OutputTooSmall),
                 "Error: Base64 decode output buffer is too small");
    EXPECT_STREQ(XMLNode::getError(static_cast<XMLError>(21)), "Unknown");
    EXPECT_STREQ(XMLNode::getError(static_cast<XMLError>(1000)), "Unknown");
    EXPECT_STREQ(XMLNode::getError(static_cast<XMLError>(-1)), "Unknown");
}

TEST(Vocabulary, ClearTagsAndEntities) {
    EXPECT_STREQ(XMLClearTags[0].open, "<![CDATA[");
    EXPECT_EQ(XMLClearTags[0].open, cdataOpen);
    EXPECT_EQ(XMLClearTags[0].close, cdataClose);
    EXPECT_STREQ(XMLClearTags[1].open, "<!DOCTYPE");
    EXPECT_STREQ(XMLClearTags[2].close, "-->");
    EXPECT_STREQ(XMLClearTags[3].close, "</PRE>");
    EXPECT_EQ(XMLClearTags[4].open, nullptr);
    for (int i = 0; XMLClearTags[i].open; i++) {
        EXPECT_EQ(static_cast<size_t>(XMLClearTags[i].openLength), strlen(XMLClearTags[i].open));
        // The tokenizer compares the open strings only after a "<" and a
        // byte that mayOpenClearTag accepts, and their third bytes first.
        EXPECT_GT(XMLClearTags[i].openLength, 3);
        EXPECT_EQ(XMLClearTags[i].open[0], '<');
        EXPECT_TRUE(mayOpenClearTag(XMLClearTags[i].open[1])) << XMLClearTags[i].open;
    }
    for (int i = 0; XMLEntities[i].entity; i++)
        EXPECT_EQ(static_cast<size_t>(XMLEntities[i].length), strlen(XMLEntities[i].entity));
    EXPECT_EQ(XMLEntities[5].entity, nullptr);
    EXPECT_STREQ(XMLNode::getVersion(), "v2.39");
}

}  // namespace
