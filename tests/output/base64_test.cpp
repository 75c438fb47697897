// Base64 tool: alphabet and decode classes, encoded lengths and line feeds,
// sizing, every outcome of group decoding, the tool's buffer policy and
// round trips of random binary data.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "alloc_hook.h"
#include "xmlParser.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string encodeBytes(XMLParserBase64Tool& tool, const std::string& bytes, char formatted) {
    std::vector<unsigned char> in(bytes.begin(), bytes.end());
    char* out = tool.encode(in.data(), static_cast<unsigned int>(in.size()), formatted);
    return out ? std::string(out) : std::string("(null)");
}

// The tool's private fields, read through a mirror of its layout.
struct ToolLayout {
    char* buffer;
    int capacity;
};
static_assert(std::is_standard_layout<XMLParserBase64Tool>::value, "mirror needs standard layout");
static_assert(sizeof(ToolLayout) == sizeof(XMLParserBase64Tool), "mirror layout");

ToolLayout peek(const XMLParserBase64Tool& tool) {
    ToolLayout layout;
    std::memcpy(&layout, static_cast<const void*>(&tool), sizeof layout);
    return layout;
}

// ---------------------------------------------------------------------------
// Encoding
// ---------------------------------------------------------------------------

TEST(Base64Encode, KnownVectors) {
    const struct {
        std::string in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"M", "TQ=="},
        {"Ma", "TWE="},
        {"Man", "TWFu"},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFB\xFF", "+/8="},
        {std::string(3, '\0'), "AAAA"},
        {"\xFF\xFF\xFF", "////"},
    };
    XMLParserBase64Tool tool;
    for (const auto& c : cases) {
        EXPECT_EQ(encodeBytes(tool, c.in, 0), c.out) << c.out;
        EXPECT_EQ(encodeBytes(tool, c.in, 1), c.out) << c.out;  // too short for a line feed
    }
}

TEST(Base64Encode, PublicAlphabetIsReadThroughThePointer) {
    EXPECT_STREQ(base64EncodeTable, kAlphabet);
    const char* saved = base64EncodeTable;
    base64EncodeTable = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    XMLParserBase64Tool tool;
    std::string out = encodeBytes(tool, "\xFB\xFF", 0);
    base64EncodeTable = saved;
    EXPECT_EQ(out, "-_8=");
}

TEST(Base64Encode, EncodeLengthFormula) {
    const struct {
        int n;
        char formatted;
        int expected;
    } cases[] = {
        {0, 0, 5},   {1, 0, 5},   {2, 0, 5},   {3, 0, 5},   {4, 0, 9},     {6, 0, 9},
        {54, 0, 73}, {54, 1, 74}, {55, 1, 78}, {53, 1, 73}, {108, 1, 147}, {0, 1, 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XMLParserBase64Tool::encodeLength(c.n, c.formatted), c.expected)
            << c.n << " formatted " << int(c.formatted);
}

long long referenceLength(long long n, bool formatted) {
    return 4 * ((n - 1) / 3) + 5 + (formatted ? n / 54 : 0);
}

// Lengths whose encoded size does not fit in an int, and negative ones, are
// refused with 0 instead of overflowing.
TEST(Base64Encode, EncodeLengthRefusesSizesBeyondInt) {
    for (char formatted = 0; formatted <= 1; formatted++) {
        // The largest length whose size still fits (the size grows with n).
        long long largest = 0, beyond = INT_MAX;
        while (beyond - largest > 1) {
            long long mid = largest + (beyond - largest) / 2;
            (referenceLength(mid, formatted) <= INT_MAX ? largest : beyond) = mid;
        }
        EXPECT_EQ(XMLParserBase64Tool::encodeLength(static_cast<int>(largest), formatted),
                  referenceLength(largest, formatted));
        EXPECT_EQ(XMLParserBase64Tool::encodeLength(static_cast<int>(largest + 1), formatted), 0);
        EXPECT_EQ(XMLParserBase64Tool::encodeLength(INT_MAX, formatted), 0);
        EXPECT_EQ(XMLParserBase64Tool::encodeLength(-1, formatted), 0);
        EXPECT_EQ(XMLParserBase64Tool::encodeLength(INT_MIN, formatted), 0);
    }
    EXPECT_EQ(XMLParserBase64Tool::encodeLength(1610612733, 0), 2147483645);
    EXPECT_EQ(XMLParserBase64Tool::encodeLength(1610612734, 0), 0);
}

// A length that cannot be encoded is refused before anything is read or
// written: the small input is never read past, the previous result survives.
TEST(Base64Encode, HugeLengthsAreRefusedWithoutTouchingTheBuffer) {
    XMLParserBase64Tool tool;
    unsigned char man[3] = {'M', 'a', 'n'};
    char* previous = tool.encode(man, 3);
    ASSERT_STREQ(previous, "TWFu");
    const unsigned int lengths[] = {1610612734u, 0x80000000u, UINT_MAX};
    for (unsigned int n : lengths) {
        EXPECT_EQ(tool.encode(man, n, 0), nullptr) << n;
        EXPECT_EQ(tool.encode(man, n, 1), nullptr) << n;
    }
    EXPECT_EQ(peek(tool).buffer, previous);
    EXPECT_EQ(peek(tool).capacity, 5);
    EXPECT_STREQ(previous, "TWFu");
    EXPECT_EQ(tool.encode(nullptr, 3), nullptr);  // no input to read
    EXPECT_STREQ(tool.encode(nullptr, 0), "");
}

TEST(Base64Encode, FormattedLineFeeds) {
    XMLParserBase64Tool tool;
    std::string out54 = encodeBytes(tool, std::string(54, 'x'), 1);
    EXPECT_EQ(out54.size(), 73u);
    EXPECT_EQ(out54.find('\n'), 72u);
    std::string out55 = encodeBytes(tool, std::string(55, 'x'), 1);
    EXPECT_EQ(out55.size(), 77u);
    EXPECT_EQ(out55.find('\n'), 72u);
    EXPECT_EQ(out55.substr(73), "eA==");

    // Every line but the last holds 72 characters; a line feed follows every
    // 18th full group, the last one included; no carriage returns; the exact
    // size used never exceeds encodeLength (and equals it from one byte up).
    std::mt19937 rng(7);
    for (int n = 0; n <= 400; n++) {
        std::string bytes(static_cast<size_t>(n), '\0');
        for (char& b : bytes) b = static_cast<char>(rng());
        std::string plain = encodeBytes(tool, bytes, 0);
        std::string formatted = encodeBytes(tool, bytes, 1);
        EXPECT_EQ(plain.find('\n'), std::string::npos);
        EXPECT_EQ(formatted.find('\r'), std::string::npos);
        std::string joined;
        size_t lineFeeds = 0, start = 0;
        for (size_t nl; (nl = formatted.find('\n', start)) != std::string::npos; start = nl + 1) {
            EXPECT_EQ(nl - start, 72u) << n;
            joined += formatted.substr(start, nl - start);
            lineFeeds++;
        }
        joined += formatted.substr(start);
        EXPECT_EQ(joined, plain) << n;
        EXPECT_EQ(lineFeeds, static_cast<size_t>(n / 54)) << n;
        EXPECT_EQ(formatted.empty() || formatted[0] != '\n', true);
        int expectedPlain = n ? XMLParserBase64Tool::encodeLength(n, 0) : 1;
        int expectedFormatted = n ? XMLParserBase64Tool::encodeLength(n, 1) : 1;
        EXPECT_EQ(static_cast<int>(plain.size()) + 1, expectedPlain) << n;
        EXPECT_EQ(static_cast<int>(formatted.size()) + 1, expectedFormatted) << n;
    }
}

// ---------------------------------------------------------------------------
// The decode table, byte by byte
// ---------------------------------------------------------------------------

TEST(Base64DecodeTable, EveryByteIsClassified) {
    for (int b = 1; b < 256; b++) {
        const char* digit = std::strchr(kAlphabet, b);
        bool isDigit = digit != nullptr;
        bool isPad = b == '=';
        bool isSpace = b == '\t' || b == '\n' || b == '\r' || b == ' ';
        std::string one(1, static_cast<char>(b));
        XMLError error = errorNone;
        int size = XMLParserBase64Tool::decodeSize(one.c_str(), &error);
        unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        if (isDigit) {
            int value = static_cast<int>(digit - kAlphabet);
            EXPECT_EQ(size, 0) << b;
            EXPECT_EQ(error, warningBase64DataSize) << b;
            std::string group = one + "AAA";
            EXPECT_EQ(XMLParserBase64Tool::decodeSize(group.c_str(), &error), 3) << b;
            EXPECT_EQ(XMLParserBase64Tool::decode(group.c_str(), out, 3, &error), 2) << b;
            EXPECT_EQ(out[0], value << 2) << b;
            std::string last = "AAA" + one;
            EXPECT_EQ(XMLParserBase64Tool::decode(last.c_str(), out, 3, &error), 2) << b;
            EXPECT_EQ(out[2], value) << b;
        } else if (isPad) {
            EXPECT_EQ(size, 0) << b;
            EXPECT_EQ(error, warningBase64DataSize) << b;
            std::string padded = "TWE" + one;
            EXPECT_EQ(XMLParserBase64Tool::decodeSize(padded.c_str(), &error), 2) << b;
            EXPECT_EQ(XMLParserBase64Tool::decode(padded.c_str(), out, 2, &error), 2) << b;
            EXPECT_EQ(std::memcmp(out, "Ma\xEE", 3), 0) << b;
        } else if (isSpace) {
            EXPECT_EQ(size, 0) << b;
            EXPECT_EQ(error, errorNone) << b;
            std::string spaced = "TW" + one + "Fu" + one;
            EXPECT_EQ(XMLParserBase64Tool::decodeSize(spaced.c_str(), &error), 3) << b;
            EXPECT_EQ(XMLParserBase64Tool::decode(spaced.c_str(), out, 3, &error), 2) << b;
            EXPECT_EQ(std::memcmp(out, "Man", 3), 0) << b;
        } else {
            EXPECT_EQ(size, 0) << b;
            EXPECT_EQ(error, errorBase64IllegalCharacter) << b;
            std::string inside = "TWFu" + one + "TWFu";
            EXPECT_EQ(XMLParserBase64Tool::decodeSize(inside.c_str(), &error), 0) << b;
            EXPECT_EQ(error, errorBase64IllegalCharacter) << b;
            EXPECT_EQ(XMLParserBase64Tool::decode(one.c_str(), out, 3, &error), 0) << b;
            EXPECT_EQ(error, errorBase64IllegalCharacter) << b;
        }
    }
}

// ---------------------------------------------------------------------------
// Decoded size
// ---------------------------------------------------------------------------

TEST(Base64DecodeSize, Cases) {
    const struct {
        const char* text;
        int size;
        XMLError error;
    } cases[] = {
        {"TWFu", 3, errorNone},
        {"TWE=", 2, errorNone},
        {"TQ==", 1, errorNone},
        {"", 0, errorNone},
        {" \t\r\n", 0, errorNone},
        {"====", 0, errorNone},  // padding only
        {"TWFu!", 0, errorBase64IllegalCharacter},
        {"TW\x80u", 0, errorBase64IllegalCharacter},
        {"TW\x0Bu", 0, errorBase64IllegalCharacter},
        {"TW\x0C", 0, errorBase64IllegalCharacter},
        {"TWE", 2, warningBase64DataSize},  // size still computed
        {"A", 0, warningBase64DataSize},
        {"TWFuTQ=", 4, warningBase64DataSize},
        {"TQ==\n", 3, errorNone},  // white space keeps the padding counted
        {"TQ= =", 2, errorNone},   // only the "=" right at the end comes off
        {" T W F u ", 3, errorNone},
        {"TWFu\nTWFu\n", 6, errorNone},
        {"TW==TWFu", 6, errorNone},  // padding inside is counted
    };
    for (const auto& c : cases) {
        XMLError error = errorCannotWriteFile;
        EXPECT_EQ(XMLParserBase64Tool::decodeSize(c.text, &error), c.size) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(XMLParserBase64Tool::decodeSize(c.text), c.size) << c.text;
    }
    XMLError error = errorCannotWriteFile;
    EXPECT_EQ(XMLParserBase64Tool::decodeSize(nullptr, &error), 0);
    EXPECT_EQ(error, errorNone);
}

// ---------------------------------------------------------------------------
// Decoding into a caller buffer: every cell of the outcome table
// ---------------------------------------------------------------------------

struct OutcomeCase {
    const char* cell;  // which value and column
    const char* text;
    int length;  // output length L
    unsigned char result;
    XMLError error;
    const char* written;  // the bytes written, in order
};

// Written against the first group (k = 0); each case is also run after one
// full group (k = 3) and with white space between all characters.
const OutcomeCase kOutcomes[] = {
    {"c1 illegal", "!AAA", 3, 0, errorBase64IllegalCharacter, ""},
    {"c1 end", "", 3, 2, errorNone, ""},
    {"c1 end, no room", "", 0, 2, errorNone, ""},
    {"c1 pad, output full", "=", 0, 2, errorNone, ""},
    {"c1 pad, room left", "=", 1, 1, warningBase64Truncated, ""},
    {"c2 illegal", "T!", 3, 0, errorBase64IllegalCharacter, ""},
    {"c2 end", "T", 3, 1, warningBase64Truncated, ""},
    {"c2 pad", "T=", 3, 1, warningBase64Truncated, ""},
    {"c2 pad, output full", "T=", 0, 1, warningBase64Truncated, ""},
    {"c2 digit, output full", "TW", 0, 0, errorBase64OutputTooSmall, ""},
    {"c3 illegal", "TW!", 3, 0, errorBase64IllegalCharacter, "M"},
    {"c3 end", "TW", 3, 1, warningBase64Truncated, "M"},
    {"c3 pad, output full", "TQ==", 1, 2, errorNone, "M"},
    {"c3 pad, room left", "TQ==", 2, 1, warningBase64Truncated, "M"},
    {"c3 digit, output full", "TWE", 1, 0, errorBase64OutputTooSmall, "M"},
    {"c4 illegal", "TWE!", 3, 0, errorBase64IllegalCharacter, "Ma"},
    {"c4 end", "TWE", 3, 1, warningBase64Truncated, "Ma"},
    {"c4 pad, output full", "TWE=", 2, 2, errorNone, "Ma"},
    {"c4 pad, room left", "TWE=", 3, 1, warningBase64Truncated, "Ma"},
    {"c4 digit, output full", "TWFu", 2, 0, errorBase64OutputTooSmall, "Ma"},
    {"c4 digit", "TWFu", 3, 2, errorNone, "Man"},
    {"c4 digit, room left", "TWFu", 5, 2, errorNone, "Man"},
};

// White space before every character (with `keepPadding`, not before "="
// so that the padding still ends the text), and optionally after the last.
std::string interleaveSpace(const std::string& text, bool trailing = true,
                            bool keepPadding = false) {
    static const char kSpaces[] = " \n\t\r";
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (!(keepPadding && text[i] == '=')) out += kSpaces[i % 4];
        out += text[i];
    }
    return trailing ? out + "\r\n" : out;
}

void checkOutcome(const OutcomeCase& c, const std::string& text, int length,
                  const std::string& written, const std::string& label) {
    // Exactly sized copies, so that any read past the terminating zero or
    // write past the output length is caught by the sanitizers.
    std::vector<char> input(text.begin(), text.end());
    input.push_back('\0');
    std::vector<unsigned char> output(static_cast<size_t>(length) + 4, 0xEE);
    XMLError error = errorCannotWriteFile;
    unsigned char result = XMLParserBase64Tool::decode(input.data(), output.data(), length, &error);
    EXPECT_EQ(result, c.result) << label;
    EXPECT_EQ(error, c.error) << label;
    for (size_t i = 0; i < output.size(); i++) {
        unsigned char expected = i < written.size() ? static_cast<unsigned char>(written[i]) : 0xEE;
        EXPECT_EQ(output[i], expected) << label << " byte " << i;
    }
    // Without an error record the outcome is the same.
    std::vector<unsigned char> again(static_cast<size_t>(length) + 1, 0);
    EXPECT_EQ(XMLParserBase64Tool::decode(input.data(), again.data(), length), c.result) << label;
}

TEST(Base64DecodeOutcome, EveryCell) {
    for (const OutcomeCase& c : kOutcomes) {
        checkOutcome(c, c.text, c.length, c.written, c.cell);
        checkOutcome(c, std::string("TWFu") + c.text, c.length + 3, std::string("Man") + c.written,
                     std::string(c.cell) + " after a group");
        checkOutcome(c, interleaveSpace(c.text), c.length, c.written,
                     std::string(c.cell) + " spaced");
    }
}

TEST(Base64DecodeOutcome, ConsequencesSpelledOut) {
    unsigned char out[8];
    XMLError error;
    // Decoding TQ== into a buffer of length 1 returns 2; of length 2, 1 with
    // the warning and one byte written.
    EXPECT_EQ(XMLParserBase64Tool::decode("TQ==", out, 1, &error), 2);
    EXPECT_EQ(error, errorNone);
    EXPECT_EQ(XMLParserBase64Tool::decode("TQ==", out, 2, &error), 1);
    EXPECT_EQ(error, warningBase64Truncated);
    // TWFu into a buffer of length 2 fails.
    EXPECT_EQ(XMLParserBase64Tool::decode("TWFu", out, 2, &error), 0);
    EXPECT_EQ(error, errorBase64OutputTooSmall);
    // A text that ends between groups is clean even with room left.
    EXPECT_EQ(XMLParserBase64Tool::decode("TWFu", out, 8, &error), 2);
    EXPECT_EQ(error, errorNone);
    // Nothing after padding at the right place is read: the output is full.
    EXPECT_EQ(XMLParserBase64Tool::decode("TQ==TWFu", out, 1, &error), 2);
}

// A missing output, a negative length or a missing text cannot make the tool
// write anywhere.
TEST(Base64DecodeOutcome, MissingBuffersAreNeverWritten) {
    XMLError error;
    EXPECT_EQ(XMLParserBase64Tool::decode("TWFu", nullptr, 3, &error), 0);
    EXPECT_EQ(error, errorBase64OutputTooSmall);
    unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(XMLParserBase64Tool::decode("TWFu", out, -1, &error), 0);
    EXPECT_EQ(error, errorBase64OutputTooSmall);
    EXPECT_EQ(XMLParserBase64Tool::decode("", out, -5, &error), 2);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(XMLParserBase64Tool::decode(nullptr, out, 3, &error), 2);
    EXPECT_EQ(error, errorNone);
    EXPECT_EQ(out[0], 0xEE);
}

// ---------------------------------------------------------------------------
// Decoding into the tool's buffer
// ---------------------------------------------------------------------------

TEST(Base64MemberDecode, Cases) {
    const struct {
        const char* text;
        const char* bytes;  // null: no result
        int size;
        XMLError error;
    } cases[] = {
        {"TWFu", "Man", 3, errorNone},
        {"TWE=", "Ma", 2, errorNone},
        {"TQ==", "M", 1, errorNone},
        {"TWE", "Ma", 2, warningBase64Truncated},  // unpadded
        {"AB", "\0", 1, warningBase64Truncated},   // count 2: 17 replaced by 19
        {"A", nullptr, 0, warningBase64DataSize},  // size 0: 17 survives
        {"", nullptr, 0, errorNone},
        {" \n", nullptr, 0, errorNone},
        {"====", nullptr, 0, errorNone},
        {"TW!u", nullptr, 0, errorBase64IllegalCharacter},
        {"TWFu\n", "Man", 3, errorNone},
        {"T W\tF\r\nu", "Man", 3, errorNone},
    };
    XMLParserBase64Tool tool;
    for (const auto& c : cases) {
        int size = -1;
        XMLError error = errorCannotWriteFile;
        unsigned char* out = tool.decode(c.text, &size, &error);
        EXPECT_EQ(size, c.size) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        if (!c.bytes) {
            EXPECT_EQ(out, nullptr) << c.text;
        } else {
            ASSERT_NE(out, nullptr) << c.text;
            EXPECT_EQ(std::memcmp(out, c.bytes, static_cast<size_t>(c.size)), 0) << c.text;
        }
        EXPECT_EQ(tool.decode(c.text) != nullptr, c.bytes != nullptr) << c.text;
    }
    EXPECT_EQ(tool.decode(nullptr), nullptr);
}

// "TQ==" and a line feed: the padding stays counted, so the size says 3
// while one byte decodes.  The two bytes after it are zero, never what an
// earlier result left in the buffer (nor uninitialised memory), and so is the
// spare byte.
TEST(Base64MemberDecode, ReportedSizeBeyondTheDecodedBytesIsZeroed) {
    XMLParserBase64Tool tool;
    unsigned char stale[64];
    std::memset(stale, 0xAB, sizeof stale);
    ASSERT_NE(tool.encode(stale, sizeof stale), nullptr);  // buffer full of text
    int size = 0;
    XMLError error = errorNone;
    unsigned char* out = tool.decode("TQ==\n", &size, &error);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(error, warningBase64Truncated);
    EXPECT_EQ(out[0], 'M');
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0);

    // The same from a fresh tool (uninitialised memory, caught by the
    // sanitizers if read).
    XMLParserBase64Tool fresh;
    out = fresh.decode("TQ==\n", &size, &error);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(peek(fresh).capacity, 4);
    unsigned sum = 0;
    for (int i = 0; i < 4; i++) sum += out[i];
    EXPECT_EQ(sum, static_cast<unsigned>('M'));
}

// ---------------------------------------------------------------------------
// Buffer policy
// ---------------------------------------------------------------------------

TEST(Base64Buffer, GrowsExactlyAndNeverShrinks) {
    XMLParserBase64Tool tool;
    EXPECT_EQ(peek(tool).buffer, nullptr);
    EXPECT_EQ(peek(tool).capacity, 0);
    tool.alloc(0);
    EXPECT_EQ(peek(tool).buffer, nullptr);
    tool.alloc(-3);
    EXPECT_EQ(peek(tool).buffer, nullptr);
    EXPECT_EQ(peek(tool).capacity, 0);

    tool.alloc(10);
    char* first = peek(tool).buffer;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(peek(tool).capacity, 10);
    tool.alloc(4);
    EXPECT_EQ(peek(tool).buffer, first);
    EXPECT_EQ(peek(tool).capacity, 10);
    tool.alloc(10);
    EXPECT_EQ(peek(tool).capacity, 10);
    tool.alloc(11);
    EXPECT_EQ(peek(tool).capacity, 11);

    tool.freeBuffer();
    EXPECT_EQ(peek(tool).buffer, nullptr);
    EXPECT_EQ(peek(tool).capacity, 0);
    tool.freeBuffer();  // twice is harmless

    // encode asks for encodeLength, decode for the decoded size plus one.
    unsigned char bytes[60] = {};
    EXPECT_STREQ(tool.encode(bytes, 0), "");
    EXPECT_EQ(peek(tool).capacity, 5);
    tool.encode(bytes, 60, 1);
    EXPECT_EQ(peek(tool).capacity, XMLParserBase64Tool::encodeLength(60, 1));
    char* big = peek(tool).buffer;
    tool.decode("TWFu");
    EXPECT_EQ(peek(tool).buffer, big);  // reused, not reallocated
    EXPECT_EQ(peek(tool).capacity, XMLParserBase64Tool::encodeLength(60, 1));
    tool.freeBuffer();
    tool.decode("TWFuTWFu");
    EXPECT_EQ(peek(tool).capacity, 7);
}

// When memory runs out the buffer stays as it was and the call gives null;
// the previous result is still readable.
TEST(Base64Buffer, MemoryExhaustionLeavesTheBufferAlone) {
    XMLParserBase64Tool tool;
    unsigned char bytes[30] = {'M', 'a', 'n'};
    {
        alloc_hook::Scope failFirst(0);
        EXPECT_EQ(tool.encode(bytes, 3), nullptr);
        EXPECT_TRUE(failFirst.failed());
    }
    EXPECT_EQ(peek(tool).buffer, nullptr);
    EXPECT_EQ(peek(tool).capacity, 0);
    {
        alloc_hook::Scope failFirst(0);
        int size = 0;
        EXPECT_EQ(tool.decode("TWFu", &size), nullptr);
        EXPECT_EQ(size, 3);
    }
    EXPECT_EQ(peek(tool).buffer, nullptr);

    char* small = tool.encode(bytes, 3);
    ASSERT_STREQ(small, "TWFu");
    {
        alloc_hook::Scope failFirst(0);  // the growth fails
        EXPECT_EQ(tool.encode(bytes, 30), nullptr);
    }
    {
        alloc_hook::Scope failFirst(0);
        EXPECT_EQ(tool.decode("TWFuTWFuTWFu"), nullptr);
    }
    {
        alloc_hook::Scope failFirst(0);
        tool.alloc(100);
        EXPECT_TRUE(failFirst.failed());
    }
    EXPECT_EQ(peek(tool).buffer, small);
    EXPECT_EQ(peek(tool).capacity, 5);
    EXPECT_STREQ(small, "TWFu");
    {
        alloc_hook::Scope counting;  // fits: no allocation at all
        EXPECT_STREQ(tool.encode(bytes, 2), "TWE=");
        EXPECT_NE(tool.decode("TWFu"), nullptr);
        EXPECT_EQ(counting.calls(), 0);
    }
}

TEST(Base64Buffer, ToolIsNotCopyable) {
    EXPECT_FALSE(std::is_copy_constructible<XMLParserBase64Tool>::value);
    EXPECT_FALSE(std::is_copy_assignable<XMLParserBase64Tool>::value);
}

// ---------------------------------------------------------------------------
// Round trips
// ---------------------------------------------------------------------------

TEST(Base64RoundTrip, RandomBinaryDataBothModesBothDecoders) {
    std::mt19937 rng(2026);
    XMLParserBase64Tool encoder;
    XMLParserBase64Tool decoder;
    for (int n = 0; n <= 400; n++) {
        std::vector<unsigned char> bytes(static_cast<size_t>(n));
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
        for (char formatted = 0; formatted <= 1; formatted++) {
            const char* text =
                encoder.encode(bytes.data(), static_cast<unsigned int>(n), formatted);
            ASSERT_NE(text, nullptr);
            std::string label = std::to_string(n) + (formatted ? " formatted" : " plain");

            XMLError error = errorCannotWriteFile;
            EXPECT_EQ(XMLParserBase64Tool::decodeSize(text, &error), n) << label;
            EXPECT_EQ(error, errorNone) << label;

            std::vector<unsigned char> out(static_cast<size_t>(n) + 1, 0xEE);
            EXPECT_EQ(XMLParserBase64Tool::decode(text, out.data(), n, &error), 2) << label;
            EXPECT_EQ(error, errorNone) << label;
            EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin())) << label;
            EXPECT_EQ(out[static_cast<size_t>(n)], 0xEE) << label;

            int size = -1;
            unsigned char* mine = decoder.decode(text, &size, &error);
            EXPECT_EQ(size, n) << label;
            EXPECT_EQ(error, errorNone) << label;
            if (n == 0) {
                EXPECT_EQ(mine, nullptr) << label;
            } else {
                ASSERT_NE(mine, nullptr) << label;
                EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), mine)) << label;
            }

            // Extra white space before and between the characters (CR LF,
            // tabs) changes nothing.
            std::string spaced = interleaveSpace(text, false, true);
            mine = decoder.decode(spaced.c_str(), &size, &error);
            EXPECT_EQ(size, n) << label;
            EXPECT_EQ(error, errorNone) << label;
            if (n) {
                ASSERT_NE(mine, nullptr) << label;
                EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), mine)) << label;
            }
        }
    }
}

}  // namespace
