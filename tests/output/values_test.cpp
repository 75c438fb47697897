// Conversion helpers: missing and empty strings, partial and failed parses,
// bases, range and truncation to the narrower types.
#include <gtest/gtest.h>

#include <climits>

#include "xmlParser.h"

namespace {

TEST(ValueConversion, XmltoaReturnsTheStringItselfOrTheDefault) {
    const char* dflt = "dflt";
    const char* empty = "";
    const char* text = "abc";
    EXPECT_EQ(xmltoa(nullptr, dflt), dflt);
    EXPECT_EQ(xmltoa(empty, dflt), empty);  // empty is not missing for xmltoa
    EXPECT_EQ(xmltoa(text, dflt), text);    // same pointer, not a copy
    EXPECT_STREQ(xmltoa(nullptr), "");
}

TEST(ValueConversion, XmltocTakesTheFirstByteUnchanged) {
    EXPECT_EQ(xmltoc("xyz", 'd'), 'x');
    EXPECT_EQ(xmltoc("", 'd'), 'd');
    EXPECT_EQ(xmltoc(nullptr, 'd'), 'd');
    EXPECT_EQ(xmltoc("&amp;", 'd'), '&');                         // no entity decoding
    EXPECT_EQ(xmltoc("\xC3\xA9", 'd'), static_cast<char>(0xC3));  // lead byte only
    EXPECT_EQ(xmltoc(" a", 'd'), ' ');                            // nothing skipped
}

struct LongCase {
    const char* text;
    long expected;
};

TEST(ValueConversion, XmltolParsesBaseTenAndIgnoresTrailingText) {
    const LongCase cases[] = {
        {"42", 42},
        {"  42", 42},
        {"\t\n42", 42},
        {"-7x", -7},
        {"+5", 5},
        {"abc", 0},
        {"12abc", 12},
        {"08", 8},
        {"0x10", 0},
        {"1e3", 1},
        {"-", 0},
        {" ", 0},
        {"9223372036854775807", LONG_MAX},
        {"99999999999999999999", LONG_MAX},  // saturated by strtol
        {"-99999999999999999999", LONG_MIN},
    };
    for (const LongCase& c : cases) EXPECT_EQ(xmltol(c.text, 99), c.expected) << c.text;
    EXPECT_EQ(xmltol(nullptr, 99), 99);
    EXPECT_EQ(xmltol("", 99), 99);
}

TEST(ValueConversion, XmltoiKeepsTheLowThirtyTwoBits) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"  42", 42},
        {"-7x", -7},
        {"abc", 0},
        {"0x10", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MIN},  // low 32 bits of the long value
        {"4294967297", 1},
        {"-4294967296", 0},
        {"99999999999999999999", -1},  // LONG_MAX saturated, then truncated
    };
    for (const auto& c : cases) EXPECT_EQ(xmltoi(c.text, 99), c.expected) << c.text;
    EXPECT_EQ(xmltoi(nullptr, 99), 99);
    EXPECT_EQ(xmltoi("", 99), 99);
}

TEST(ValueConversion, XmltobIsADecimalParseTakenAsAChar) {
    const struct {
        const char* text;
        char expected;
    } cases[] = {
        {"1", 1},    {"0", 0},   {"2", 2},
        {"true", 0}, {"yes", 0}, {"on", 0},
        {"256", 0},  {"257", 1}, {"-1", static_cast<char>(-1)},
        {" 1", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(xmltob(c.text, 5), c.expected) << c.text;
    EXPECT_EQ(xmltob(nullptr, 5), 5);
    EXPECT_EQ(xmltob("", 5), 5);
}

TEST(ValueConversion, XmltofFollowsStrtod) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"1.5e3", 1500.0}, {"  2.5x", 2.5}, {"-0.25", -0.25}, {"abc", 0.0}, {"7", 7.0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(xmltof(c.text, 9.0), c.expected) << c.text;
    EXPECT_DOUBLE_EQ(xmltof(nullptr, 9.0), 9.0);
    EXPECT_DOUBLE_EQ(xmltof("", 9.0), 9.0);
}

}  // namespace
