// Encoding detection and wide characters: the wide-text test, the guess of
// an 8-bit encoding from the bytes and the declaration, and the conversion
// of wide text to the locale's multibyte text.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "internals.h"
#include "settings_guard.h"

namespace {

using xml_internal::myIsTextWideChar;
using xml_internal::myWideCharToMultiByte;

// Restores the process-wide settings after each test.
class EncodingTest : public SettingsGuard {
protected:
    static void setGuessWide(char on) {
        XMLNode::setGlobalOptions(xml_internal::characterEncoding, on, xml_internal::dropWhiteSpace,
                                  xml_internal::removeCommentsInMiddleOfText);
    }
};

// An exactly sized heap copy, so that a read past the length is caught.
std::vector<unsigned char> bytesOf(const std::string& s) {
    return std::vector<unsigned char>(s.begin(), s.end());
}

XMLNode::XMLCharEncoding guess(const std::string& text, char useDeclaration = 1) {
    std::vector<unsigned char> copy = bytesOf(text);
    return XMLNode::guessCharEncoding(copy.empty() ? nullptr : copy.data(),
                                      static_cast<int>(copy.size()), useDeclaration);
}

// UTF-32 little-endian (the platform's wide units) of an ASCII string.
std::string utf32le(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out.append(3, '\0');
    }
    return out;
}

char isWide(const std::string& bytes) {
    std::vector<unsigned char> copy = bytesOf(bytes);
    return myIsTextWideChar(copy.empty() ? nullptr : copy.data(), static_cast<int>(copy.size()));
}

// A wide unit stored as four little-endian bytes.
std::string unit(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; i++) s[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
    return s;
}

const std::string kPlain = "<?xml version=\"1.0\"?><root>text</root>";

// ---------------------------------------------------------------------------
// Wide-text test
// ---------------------------------------------------------------------------

TEST_F(EncodingTest, WideTextTest) {
    const struct {
        const char* label;
        std::string bytes;
        char wide;
    } cases[] = {
        {"UTF-32LE ASCII", utf32le(kPlain), 1},
        {"UTF-32LE, 4 bytes", utf32le("a"), 1},
        {"8-bit text", kPlain, 0},
        {"too short", std::string("\xFF\xFE", 2), 0},
        {"3 bytes", std::string("a\0\0", 3), 0},
        {"odd length", utf32le("abc") + "x", 0},
        {"mark FF FE", std::string("\xFF\xFE") + "abcdefgh", 1},
        {"mark FE FF", std::string("\xFE\xFF") + "ab", 1},
        {"mark, odd length", std::string("\xFF\xFE") + "abc", 0},
        // 5 of 8 units small: more than half.
        {"5 of 8 small", unit(65) + unit(66) + unit(67) + unit(68) + unit(255) + "abcdabcdabcd", 1},
        // 4 of 8: not more than half, and no zero unit.
        {"4 of 8 small", unit(65) + unit(66) + unit(67) + unit(68) + "abcdabcdabcdabcd", 0},
        {"4 of 8, 256 is not small",
         unit(65) + unit(66) + unit(67) + unit(256) + unit(68) + "abcdabcdabcd", 0},
        // A single zero unit among 8-bit text.
        {"a zero unit", std::string("abcdefgh") + unit(0) + "ijklmnop", 1},
        // Three zero bytes not aligned on a unit are no zero unit.
        {"unaligned zeros", std::string("abcdef") + std::string(3, '\0') + "ghijklm", 0},
        // Negative units are not small: 8-bit text with many high bytes.
        {"negative units", std::string(64, '\xD0'), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(isWide(c.bytes), c.wide) << c.label;
    EXPECT_EQ(myIsTextWideChar(nullptr, 8), 0);
    EXPECT_EQ(myIsTextWideChar("abcd", -4), 0);
}

// Only the first 256 units (1024 bytes) are sampled.
TEST_F(EncodingTest, WideTextTestSamplesTheFirst256Units) {
    std::string text(1024, 'x');
    EXPECT_EQ(isWide(text + std::string(4096, '\0')), 0);
    EXPECT_EQ(isWide(text.substr(0, 1020) + unit(0) + std::string(4096, 'y')), 1);
    EXPECT_EQ(isWide(utf32le(std::string(200, 'a')) + std::string(4000, 'z')), 1);
}

// Cyrillic and CJK UTF-8 have a byte of 0x80 or above in nearly every unit;
// they are 8-bit text, not wide text.
TEST_F(EncodingTest, NonLatinUtf8IsNotWideText) {
    std::string cyrillic = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>";
    for (int i = 0; i < 60; i++) cyrillic += "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    cyrillic += "</r>";
    if (cyrillic.size() % 2) cyrillic += ' ';
    EXPECT_EQ(isWide(cyrillic), 0);
    EXPECT_EQ(guess(cyrillic), XMLNode::charEncodingUTF8);

    std::string cjk = "<r>";
    for (int i = 0; i < 100; i++) cjk += "\xE4\xB8\xAD\xE6\x96\x87";
    cjk += "</r>";
    if (cjk.size() % 2) cjk += ' ';
    EXPECT_EQ(isWide(cjk), 0);
    EXPECT_EQ(guess(cjk), XMLNode::charEncodingUTF8);
}

// ---------------------------------------------------------------------------
// Encoding guess
// ---------------------------------------------------------------------------

TEST_F(EncodingTest, MinimumLength) {
    EXPECT_EQ(guess(std::string(24, 'a')), XMLNode::charEncodingError);
    EXPECT_EQ(guess(std::string(25, 'a')), XMLNode::charEncodingUTF8);
    EXPECT_EQ(XMLNode::guessCharEncoding(nullptr, 100), XMLNode::charEncodingError);
    EXPECT_EQ(guess(""), XMLNode::charEncodingError);
}

TEST_F(EncodingTest, DeclaredEncodings) {
    const struct {
        const char* text;
        XMLNode::XMLCharEncoding expected;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>", XMLNode::charEncodingLegacy},
        {"<?xml version='1.0' encoding='UTF-8'?><a/>", XMLNode::charEncodingUTF8},
        {"<?xml version='1.0' encoding='utf8'?><a/>", XMLNode::charEncodingUTF8},
        {"<?xml version=\"1.0\" encoding = \"Shift_JIS\"?><a/>", XMLNode::charEncodingLegacy},
        {"<?xml version=\"1.0\" encoding=\"sjis\"?><a/>", XMLNode::charEncodingShiftJIS},
        {"<?xml version=\"1.0\" encoding=\"SHIFT-JIS\"?><a/>", XMLNode::charEncodingShiftJIS},
        {"<?xml version=\"1.0\" encoding=\"ShiftJIS\"?><a/>", XMLNode::charEncodingShiftJIS},
        {"<?xml version=\"1.0\" encoding=\"gbk\"?><a/>", XMLNode::charEncodingGBK},
        {"<?xml version=\"1.0\" encoding=\"gb2312\"?><a/>", XMLNode::charEncodingGB2312},
        {"<?xml version=\"1.0\" encoding=\"big5\"?><a/>", XMLNode::charEncodingBig5},
        {"<?xml version=\"1.0\" encoding=\"BIG5-HKSCS\"?><a/>", XMLNode::charEncodingBig5},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><a/>", XMLNode::charEncodingLegacy},
        {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", XMLNode::charEncodingLegacy},
        {"<?xml version=\"1.0\" encoding=\"\"?><a/>", XMLNode::charEncodingLegacy},
        // White space of all four kinds around "=" and inside the quote.
        {"<?xml version=\"1.0\" encoding\t\r\n=\n ' gbk'?><a/>", XMLNode::charEncodingGBK},
        // No "=" or no quote after the word: the walk decides.
        {"<?xml version=\"1.0\" encoding:\"gbk\"?><a/><b/>", XMLNode::charEncodingUTF8},
        {"<?xml version=\"1.0\" encoding=gbk?><a/><b/><c/>", XMLNode::charEncodingUTF8},
        // The word is looked for anywhere, exactly and case-sensitively.
        {"<a><!-- encoding='gbk' --></a><b/><c/><d/>", XMLNode::charEncodingGBK},
        {"<?xml version=\"1.0\" ENCODING=\"gbk\"?><a/>", XMLNode::charEncodingUTF8},
    };
    for (const auto& c : cases) EXPECT_EQ(guess(c.text), c.expected) << c.text;
}

TEST_F(EncodingTest, DeclarationIsIgnoredWhenAskedTo) {
    EXPECT_EQ(guess("<?xml version=\"1.0\" encoding=\"gbk\"?><a/>", 0), XMLNode::charEncodingUTF8);
    EXPECT_EQ(guess("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xE9t\xE9</a>", 0),
              XMLNode::charEncodingLegacy);
}

// Only the first 200 bytes are searched; a zero byte ends the search early.
TEST_F(EncodingTest, DeclarationSearchIsBounded) {
    std::string decl = "encoding=\"gbk\"";
    std::string inside = std::string(200 - decl.size(), ' ') + decl + "<a/>";
    EXPECT_EQ(guess(inside), XMLNode::charEncodingGBK);
    // The value cut after "gb" no longer reads as GBK.
    std::string valueCut = std::string(200 - decl.size() + 2, ' ') + decl + "<a/>";
    EXPECT_EQ(guess(valueCut), XMLNode::charEncodingLegacy);
    // The "=" beyond the first 200 bytes: the walk decides.
    std::string wordCut = std::string(192, ' ') + decl + "<a/>";
    EXPECT_EQ(guess(wordCut), XMLNode::charEncodingUTF8);
    std::string beyond = std::string(300, ' ') + decl;
    EXPECT_EQ(guess(beyond), XMLNode::charEncodingUTF8);

    setGuessWide(0);  // a zero unit would otherwise make it wide text
    std::string afterZero = std::string("<a/>") + std::string(1, '\0') + "<?xml encoding='gbk'?>";
    EXPECT_EQ(guess(afterZero), XMLNode::charEncodingUTF8);
}

TEST_F(EncodingTest, ByteOrderMarkDecides) {
    EXPECT_EQ(guess("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"gbk\"?><a/>"),
              XMLNode::charEncodingUTF8);
    // Even over bytes that are not UTF-8.
    EXPECT_EQ(guess("\xEF\xBB\xBF<?xml version=\"1.0\"?><a>\xE9t\xE9</a>"),
              XMLNode::charEncodingUTF8);
}

TEST_F(EncodingTest, Utf8Walk) {
    const struct {
        const char* label;
        std::string text;
        char declared;
        XMLNode::XMLCharEncoding expected;
    } cases[] = {
        {"Latin-1", "<root>caf\xE9 au lait</root>      ", 0, XMLNode::charEncodingLegacy},
        {"Latin-1 declared UTF-8", "<?xml encoding='UTF-8'?><r>caf\xE9 bar</r>", 1,
         XMLNode::charEncodingError},
        {"valid UTF-8", "<root>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</root>", 0,
         XMLNode::charEncodingUTF8},
        {"valid UTF-8 declared", "<?xml encoding='utf-8'?><r>caf\xC3\xA9</r>", 1,
         XMLNode::charEncodingUTF8},
        {"cut 2-byte at end", "<root>some text here</root>\xC3", 0, XMLNode::charEncodingUTF8},
        {"cut 3-byte at end", "<root>some text here</root>\xE2\x82", 0, XMLNode::charEncodingUTF8},
        {"cut 4-byte at end", "<root>some text here</root>\xF0\x9F\x98", 0,
         XMLNode::charEncodingUTF8},
        {"bad continuation", "<root>some text \xE2\x82x here</root>", 0,
         XMLNode::charEncodingLegacy},
        {"bad last continuation", "<root>some text \xF0\x9F\x98x here</root>", 0,
         XMLNode::charEncodingLegacy},
        {"stray continuation", "<root>some text \x80\xBF here</root>", 0,
         XMLNode::charEncodingUTF8},
        {"C0 C1 F5-FF single", "<root>some \xC0 \xC1 \xF5 \xFF here</root>", 0,
         XMLNode::charEncodingUTF8},
    };
    for (const auto& c : cases) EXPECT_EQ(guess(c.text, c.declared), c.expected) << c.label;
}

// A cut sequence at the end of the length is valid, whatever lies beyond.
TEST_F(EncodingTest, Utf8WalkStopsAtTheLength) {
    std::string text = "<root>some text here</root>\xE2\x82\x41\x41";
    std::vector<unsigned char> copy = bytesOf(text);
    EXPECT_EQ(XMLNode::guessCharEncoding(copy.data(), static_cast<int>(text.size()) - 2, 0),
              XMLNode::charEncodingUTF8);
    EXPECT_EQ(XMLNode::guessCharEncoding(copy.data(), static_cast<int>(text.size()), 0),
              XMLNode::charEncodingLegacy);
}

// A zero byte ends the walk (reachable only with the wide test off, since a
// zero unit makes the buffer wide text).
TEST_F(EncodingTest, ZeroByteEndsTheWalk) {
    setGuessWide(0);
    std::string text = std::string("<root>text</root>") + std::string(4, '\0') + "\xE9x\xE9x\xE9x";
    EXPECT_EQ(guess(text, 0), XMLNode::charEncodingUTF8);
}

TEST_F(EncodingTest, WideTextGivesNoGuessUnlessDisabled) {
    std::string wide = utf32le("<?xml version=\"1.0\"?><root>text</root>");
    EXPECT_EQ(guess(wide), XMLNode::charEncodingError);
    EXPECT_EQ(guess(std::string("\xFF\xFE") + kPlain + (kPlain.size() % 2 ? "" : "x")),
              XMLNode::charEncodingUTF8);  // odd length: not wide
    EXPECT_EQ(guess(std::string("\xFF\xFE") + kPlain + (kPlain.size() % 2 ? "x" : "")),
              XMLNode::charEncodingError);  // even length with a mark: wide
    setGuessWide(0);
    // Read as bytes, the first zero byte ends the walk.
    EXPECT_EQ(guess(wide), XMLNode::charEncodingUTF8);
}

TEST_F(EncodingTest, GuessChangesNoSetting) {
    XMLNode::setGlobalOptions(XMLNode::charEncodingLegacy, 1, 0, 1);
    EXPECT_EQ(guess("<?xml version=\"1.0\" encoding=\"gbk\"?><a/>"), XMLNode::charEncodingGBK);
    EXPECT_EQ(xml_internal::characterEncoding, XMLNode::charEncodingLegacy);
    EXPECT_EQ(xml_internal::XML_ByteTable, xml_internal::XML_legacyByteTable);
    EXPECT_EQ(xml_internal::dropWhiteSpace, 0);
}

// ---------------------------------------------------------------------------
// Wide to multibyte
// ---------------------------------------------------------------------------

// Sets a locale for the test and restores the previous one.
class WideConversionTest : public EncodingTest {
protected:
    void SetUp() override {
        EncodingTest::SetUp();
        const char* current = std::setlocale(LC_ALL, nullptr);
        savedLocale = current ? current : "C";
    }
    void TearDown() override {
        std::setlocale(LC_ALL, savedLocale.c_str());
        EncodingTest::TearDown();
    }
    static bool useUtf8Locale() {
        return std::setlocale(LC_ALL, "C.UTF-8") || std::setlocale(LC_ALL, "C.utf8");
    }
    std::string savedLocale;
};

TEST_F(WideConversionTest, ConvertsToTheLocalesMultibyteText) {
    ASSERT_TRUE(useUtf8Locale());
    const wchar_t text[] = {L'<', L'a', L'>', 0xE9, 0x20AC, 0x1F600, L'<', L'/', L'a', L'>', 0};
    char* out = myWideCharToMultiByte(text);
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, "<a>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</a>");
    freeXMLString(out);

    out = myWideCharToMultiByte(L"");
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, "");
    freeXMLString(out);
}

TEST_F(WideConversionTest, UnrepresentableCharacterGivesNull) {
    ASSERT_TRUE(useUtf8Locale());
    const wchar_t surrogate[] = {L'a', 0xD800, L'b', 0};
    EXPECT_EQ(myWideCharToMultiByte(surrogate), nullptr);
    const wchar_t negative[] = {static_cast<wchar_t>(-5), 0};
    EXPECT_EQ(myWideCharToMultiByte(negative), nullptr);

    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    const wchar_t latin[] = {L'a', 0x4E2D, 0};
    EXPECT_EQ(myWideCharToMultiByte(latin), nullptr);
    char* ascii = myWideCharToMultiByte(L"plain");
    ASSERT_NE(ascii, nullptr);
    EXPECT_STREQ(ascii, "plain");
    freeXMLString(ascii);
    EXPECT_EQ(myWideCharToMultiByte(nullptr), nullptr);
}

}  // namespace
