// The escaping walk (which searches for the entity characters and copies the
// runs between them whole) against a plain character-by-character reference,
// on random strings in every encoding: multibyte characters whose trail byte
// is an entity character (Shift-JIS, GBK), characters cut short by the
// terminating zero, and long runs; and the writer's escaping of the same
// strings.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "internals.h"

using namespace xml_internal;

namespace {

class EscapeWalkTest : public ::testing::Test {
protected:
    void TearDown() override { XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1); }
};

std::string reference(const char* s) {
    std::string out;
    const unsigned char* table = XML_ByteTable;
    while (*s) {
        const EntityRow* hit = nullptr;
        for (const EntityRow* row = XMLEntities; row->entity; ++row)
            if (row->character == *s) {
                hit = row;
                break;
            }
        if (hit) {
            out += hit->entity;
            s++;
            continue;
        }
        int n = table[static_cast<unsigned char>(*s)];
        for (int i = 0; i < n && s[0]; i++) out += *s++;
    }
    return out;
}

const char* const kPieces[] = {"a",
                               "bc",
                               " ",
                               "&",
                               "<",
                               ">",
                               "\"",
                               "'",
                               "\x83&",
                               "\x81<",
                               "\xE0&",
                               "\xC3\xA9",
                               "\xE6\x97\xA5",
                               "\xF0\x9F\x98\x80",
                               "\xFF",
                               "\x80",
                               "\xA1",
                               "0123456789abcdef"};

TEST_F(EscapeWalkTest, MatchesCharacterWalk) {
    const XMLNode::XMLCharEncoding encodings[] = {
        XMLNode::charEncodingUTF8, XMLNode::charEncodingLegacy, XMLNode::charEncodingShiftJIS,
        XMLNode::charEncodingGB2312, XMLNode::charEncodingGBK};
    uint64_t seed = 99;
    for (XMLNode::XMLCharEncoding e : encodings) {
        XMLNode::setGlobalOptions(e, 1, 1, 1);
        for (int round = 0; round < 3000; round++) {
            std::string s;
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            unsigned pieces = 1 + static_cast<unsigned>((seed >> 33) % 20);
            for (unsigned i = 0; i < pieces; i++) {
                seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
                s += kPieces[(seed >> 33) % (sizeof kPieces / sizeof *kPieces)];
            }
            // Sometimes end on a bare multibyte lead byte, cut short by the zero.
            if ((seed >> 40) % 4 == 0) s += "\xE6";
            const std::string expected = reference(s.c_str());
            SCOPED_TRACE(::testing::Message()
                         << "encoding " << e << " source " << ::testing::PrintToString(s));
            ASSERT_EQ(ToXMLStringTool::lengthXMLString(s.c_str()),
                      static_cast<int>(expected.size()));
            std::string out(expected.size() + 1, '#');
            ToXMLStringTool::toXMLUnSafe(&out[0], s.c_str());
            ASSERT_EQ(std::string(out.c_str()), expected);
            // The writer escapes with the string's length known (sixteen bytes
            // at a time): the same bytes, in attribute values and texts.
            XMLNode node = XMLNode::createXMLTopNode("r");
            node.addAttribute("k", s.c_str());
            node.addText(s.c_str());
            int size = 0;
            char* written = node.createXMLString(0, &size);
            ASSERT_NE(written, nullptr);
            EXPECT_EQ(std::string(written, static_cast<size_t>(size)),
                      "<r k=\"" + expected + "\">" + expected + "</r>");
            freeXMLString(written);
        }
    }
}

// The search looks at the first and last bytes of a short string together
// (their words may overlap) and at a long string's tail through its last
// sixteen bytes: every length up to 40, with one or two characters to replace
// at every pair of positions, finds the first of them.
TEST_F(EscapeWalkTest, FindsTheFirstCharacterToReplaceAtEveryPosition) {
    for (size_t length = 1; length <= 40; length++) {
        for (size_t first = 0; first <= length; first++) {
            for (size_t second = first; second <= length; second++) {
                std::string s(length, 'x');
                if (first < length) s[first] = '&';
                if (second < length) s[second] = '<';
                SCOPED_TRACE(::testing::Message() << "source " << s);
                const std::string expected = reference(s.c_str());
                std::string out(expected.size() + 1, '#');
                ToXMLStringTool::toXMLUnSafe(&out[0], s.c_str());
                ASSERT_EQ(std::string(out.c_str()), expected);
                ASSERT_EQ(ToXMLStringTool::lengthXMLString(s.c_str()),
                          static_cast<int>(expected.size()));
            }
        }
    }
}

}  // namespace
