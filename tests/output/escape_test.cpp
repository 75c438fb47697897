// Entity escaping: the five entities, multibyte characters per encoding,
// strings cut inside a character, and the tool's reusable buffer.
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings_guard.h"

namespace {

using Enc = XMLNode::XMLCharEncoding;

struct EscapeCase {
    Enc encoding;
    const char* source;
    const char* expected;
};

const EscapeCase kCases[] = {
    {XMLNode::charEncodingUTF8, "", ""},
    {XMLNode::charEncodingUTF8, "plain text", "plain text"},
    {XMLNode::charEncodingUTF8, "1<2", "1&lt;2"},
    {XMLNode::charEncodingUTF8, "&<>\"'", "&amp;&lt;&gt;&quot;&apos;"},
    {XMLNode::charEncodingUTF8, "a&&b", "a&amp;&amp;b"},
    {XMLNode::charEncodingUTF8, "\x01\t\n\r\x7f", "\x01\t\n\r\x7f"},
    // Whole characters of two, three and four bytes are copied unchanged.
    {XMLNode::charEncodingUTF8, "\xC3\xA9<", "\xC3\xA9&lt;"},
    {XMLNode::charEncodingUTF8, "\xE2\x80\x9C&", "\xE2\x80\x9C&amp;"},
    {XMLNode::charEncodingUTF8, "\xF0\x9F\x98\x80>", "\xF0\x9F\x98\x80&gt;"},
    // A byte after a lead byte belongs to the character and is not escaped.
    {XMLNode::charEncodingUTF8, "\xC3<x", "\xC3<x"},
    {XMLNode::charEncodingUTF8, "\xE2<&x", "\xE2<&x"},
    // Stray continuation bytes and invalid leads are single characters.
    {XMLNode::charEncodingUTF8, "\x80<\xC0<\xF5<", "\x80&lt;\xC0&lt;\xF5&lt;"},
    {XMLNode::charEncodingLegacy, "\x83<\xE9&", "\x83&lt;\xE9&amp;"},
    {XMLNode::charEncodingShiftJIS, "\x83<\xE0&\xA0<", "\x83<\xE0&\xA0&lt;"},
    {XMLNode::charEncodingGB2312, "\xA1&\xA0&\xF8'", "\xA1&\xA0&amp;\xF8&apos;"},
    {XMLNode::charEncodingGBK, "\x81\"\x80\"\xFF>", "\x81\"\x80&quot;\xFF&gt;"},
    {XMLNode::charEncodingBig5, "\xFE<<", "\xFE<&lt;"},
};

class EscapeTest : public SettingsGuard {};

TEST_F(EscapeTest, AllThreeEntryPointsAgreeOnEveryCase) {
    for (const EscapeCase& c : kCases) {
        SCOPED_TRACE(std::string("encoding ") + std::to_string(c.encoding) + ", source \"" +
                     c.source + "\"");
        useEncoding(c.encoding);
        const int expectedLength = static_cast<int>(std::strlen(c.expected));
        EXPECT_EQ(expectedLength, ToXMLStringTool::lengthXMLString(c.source));

        // Exactly the announced room: the sanitizers catch a write beyond it.
        char* out = static_cast<char*>(std::malloc(static_cast<size_t>(expectedLength) + 1));
        ASSERT_NE(nullptr, out);
        EXPECT_EQ(out, ToXMLStringTool::toXMLUnSafe(out, c.source));
        EXPECT_EQ(std::string(c.expected), std::string(out, static_cast<size_t>(expectedLength)));
        EXPECT_EQ('\0', out[expectedLength]);
        std::free(out);

        ToXMLStringTool tool;
        const char* viaTool = tool.toXML(c.source);
        ASSERT_NE(nullptr, viaTool);
        EXPECT_STREQ(c.expected, viaTool);
    }
}

// A string that ends inside a multibyte character stops at its terminating
// zero: the heap copies below are exactly as long as the string, so reading
// past the zero is caught by the address sanitizer.
TEST_F(EscapeTest, StringCutInsideCharacterStopsAtTerminator) {
    struct Cut {
        Enc encoding;
        const char* source;
    };
    const Cut cuts[] = {
        {XMLNode::charEncodingUTF8, "a\xC3"},     {XMLNode::charEncodingUTF8, "a\xE2"},
        {XMLNode::charEncodingUTF8, "a\xE2\x80"}, {XMLNode::charEncodingUTF8, "<\xF0"},
        {XMLNode::charEncodingUTF8, "<\xF0\x9F"}, {XMLNode::charEncodingUTF8, "<\xF0\x9F\x98"},
        {XMLNode::charEncodingShiftJIS, "&\x83"}, {XMLNode::charEncodingShiftJIS, "\xEF"},
        {XMLNode::charEncodingGB2312, "'\xA1"},   {XMLNode::charEncodingGBK, "\"\x81"},
        {XMLNode::charEncodingBig5, "\xFE"},
    };
    for (const Cut& c : cuts) {
        SCOPED_TRACE(std::string("encoding ") + std::to_string(c.encoding));
        useEncoding(c.encoding);
        const size_t n = std::strlen(c.source);
        char* exact = static_cast<char*>(std::malloc(n + 1));
        ASSERT_NE(nullptr, exact);
        std::memcpy(exact, c.source, n + 1);

        // The first byte is the only one that may be an entity character.
        std::string expected = c.source;
        switch (expected[0]) {
            case '<': expected.replace(0, 1, "&lt;"); break;
            case '&': expected.replace(0, 1, "&amp;"); break;
            case '\'': expected.replace(0, 1, "&apos;"); break;
            case '"': expected.replace(0, 1, "&quot;"); break;
            default: break;
        }

        EXPECT_EQ(static_cast<int>(expected.size()), ToXMLStringTool::lengthXMLString(exact));
        ToXMLStringTool tool;
        const char* out = tool.toXML(exact);
        ASSERT_NE(nullptr, out);
        EXPECT_EQ(expected, std::string(out));
        std::free(exact);
    }
}

// The tool's private fields, read through a mirror of its layout.
struct ToolState {
    char* buffer;
    int capacity;
};
ToolState stateOf(const ToXMLStringTool& tool) {
    static_assert(sizeof(ToolState) == sizeof(ToXMLStringTool), "layout mirror");
    ToolState s;
    std::memcpy(static_cast<void*>(&s), static_cast<const void*>(&tool), sizeof s);
    return s;
}

TEST(ToXMLStringToolBuffer, GrowsExactlyAndIsReused) {
    ToXMLStringTool tool;
    EXPECT_EQ(nullptr, stateOf(tool).buffer);
    EXPECT_EQ(0, stateOf(tool).capacity);

    char* first = tool.toXML("a<b");  // "a&lt;b": 6 bytes + zero
    ASSERT_NE(nullptr, first);
    EXPECT_STREQ("a&lt;b", first);
    EXPECT_EQ(7, stateOf(tool).capacity);

    char* shorter = tool.toXML("x");
    EXPECT_EQ(first, shorter);
    EXPECT_STREQ("x", shorter);
    EXPECT_EQ(7, stateOf(tool).capacity);  // never shrinks

    char* longer = tool.toXML("\"quoted\"");  // 6 + 6 + 6 bytes
    ASSERT_NE(nullptr, longer);
    EXPECT_STREQ("&quot;quoted&quot;", longer);
    EXPECT_EQ(19, stateOf(tool).capacity);

    tool.freeBuffer();
    EXPECT_EQ(nullptr, stateOf(tool).buffer);
    EXPECT_EQ(0, stateOf(tool).capacity);
    tool.freeBuffer();  // twice is harmless

    char* empty = tool.toXML("");
    ASSERT_NE(nullptr, empty);
    EXPECT_STREQ("", empty);
    EXPECT_EQ(1, stateOf(tool).capacity);
}

TEST(ToXMLStringToolBuffer, LongRunsOfPlainBytesAroundEntities) {
    std::string source, expected;
    for (int i = 0; i < 1000; i++) {
        source += std::string(static_cast<size_t>(i % 37), 'x') + "<";
        expected += std::string(static_cast<size_t>(i % 37), 'x') + "&lt;";
    }
    ToXMLStringTool tool;
    EXPECT_EQ(static_cast<int>(expected.size()), ToXMLStringTool::lengthXMLString(source.c_str()));
    EXPECT_EQ(expected, std::string(tool.toXML(source.c_str())));
}

// A null source, such as the value of a missing attribute, is the empty
// string to all three calls.
TEST(ToXMLStringToolBuffer, NullSourceIsTheEmptyString) {
    XMLNode node = XMLNode::parseString("<a b='x&amp;y'/>");
    ToXMLStringTool tool;
    char* present = tool.toXML(node.getAttribute("b"));
    ASSERT_NE(nullptr, present);
    EXPECT_STREQ("x&amp;y", present);
    char* missing = tool.toXML(node.getAttribute("missing"));
    ASSERT_NE(nullptr, missing);
    EXPECT_STREQ("", missing);
    EXPECT_EQ(present, missing);  // the same buffer, reused

    ToXMLStringTool fresh;
    char* empty = fresh.toXML(nullptr);
    ASSERT_NE(nullptr, empty);
    EXPECT_STREQ("", empty);
    EXPECT_EQ(1, stateOf(fresh).capacity);

    EXPECT_EQ(0, ToXMLStringTool::lengthXMLString(nullptr));
    char out[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(out, ToXMLStringTool::toXMLUnSafe(out, nullptr));
    EXPECT_EQ(0, out[0]);
    EXPECT_EQ('x', out[1]);  // nothing beyond the terminator is written
}

TEST(FreeXMLString, NullDoesNothing) { freeXMLString(nullptr); }

}  // namespace
