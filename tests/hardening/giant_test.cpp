// Sizes past the 32-bit offsets: a text of 2 GiB or more given to the parser
// is refused with errorNoXMLData at line 0, column 0, while one just below
// the limit parses; a tree whose text would exceed INT_MAX bytes gives no
// string (null, size 0) and a write error for files; Base64 sizes that would
// overflow are refused.  These probes need gigabytes: each one is skipped
// with a message when the machine has too little memory available, and the
// sanitizer build skips them all (they would take minutes there).
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

#include "sanitized.h"
#include "xmlParser.h"


namespace {

// Memory available to this process now, in bytes (0 when unknown).
unsigned long long availableMemory() {
    std::ifstream in("/proc/meminfo");
    std::string key;
    unsigned long long kb = 0;
    while (in >> key >> kb) {
        if (key == "MemAvailable:") return kb * 1024;
        in.ignore(1 << 10, '\n');
    }
    return 0;
}

const unsigned long long GiB = 1ull << 30;

#define SKIP_UNLESS_GIANT_OK(gib)                                                             \
    do {                                                                                      \
        if (XMLPARSER_SANITIZED_FLAG) GTEST_SKIP() << "giant probe skipped under sanitizers"; \
        if (availableMemory() < (gib)*GiB)                                                    \
            GTEST_SKIP() << "giant probe needs " << (gib) << " GiB of available memory";      \
    } while (0)

#ifdef XMLPARSER_SANITIZED
const bool XMLPARSER_SANITIZED_FLAG = true;
#else
const bool XMLPARSER_SANITIZED_FLAG = false;
#endif

struct Block {
    char* p;
    explicit Block(size_t n) : p(static_cast<char*>(std::malloc(n))) {}
    ~Block() { std::free(p); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
};

TEST(Giant, ParseStringAtAndAroundTheOffsetLimit) {
    SKIP_UNLESS_GIANT_OK(8);
    const size_t size = (size_t(1) << 31) + 1;  // 2 GiB of text and its zero
    Block text(size);
    ASSERT_NE(text.p, nullptr);
    std::memset(text.p, 'x', size);

    // 2 GiB, then exactly INT_MAX bytes: refused before anything is read.
    for (size_t length : {size_t(1) << 31, size_t(INT_MAX)}) {
        SCOPED_TRACE(length);
        text.p[length] = 0;
        XMLResults r = {errorNone, -7, -7};
        XMLNode n = XMLNode::parseString(text.p, nullptr, &r);
        EXPECT_TRUE(n.isEmpty());
        EXPECT_EQ(r.errorCode, errorNoXMLData);
        EXPECT_EQ(r.line, 0);
        EXPECT_EQ(r.column, 0);
    }

    // INT_MAX - 1 bytes: parsed, with markup up to the very last byte.
    const size_t length = size_t(INT_MAX) - 1;
    const char tail[] = "<!--c--></r>";
    std::memcpy(text.p, "<r>", 3);
    std::memcpy(text.p + length - (sizeof tail - 1), tail, sizeof tail);
    ASSERT_EQ(std::strlen(text.p), length);
    {
        XMLResults r;
        XMLNode n = XMLNode::parseString(text.p, nullptr, &r);
        ASSERT_EQ(r.errorCode, errorNone);
        ASSERT_EQ(n.nText(), 1);
        ASSERT_EQ(n.nClear(), 1);
        EXPECT_EQ(std::strlen(n.getText(0)), length - 3 - (sizeof tail - 1));
        std::free(text.p);
        text.p = nullptr;

        // Written compact it is as long as the text it came from, which
        // still fits; formatted it gains line feeds and TABs, which do not.
        int written = -1;
        char* compact = n.createXMLString(0, &written);
        ASSERT_NE(compact, nullptr);
        EXPECT_EQ(written, static_cast<int>(length));
        EXPECT_EQ(std::memcmp(compact + written - (sizeof tail - 1), tail, sizeof tail - 1), 0);
        freeXMLString(compact);
        char* formatted = n.createXMLString(1, &written);
        EXPECT_EQ(formatted, nullptr);
        EXPECT_EQ(written, 0);
    }
}

TEST(Giant, WriterRefusesTextsPastIntMax) {
    SKIP_UNLESS_GIANT_OK(4);
    // 430 million "&" escape to 2,150 million bytes: past INT_MAX.
    const size_t count = 430000000;
    Block text(count + 1);
    ASSERT_NE(text.p, nullptr);
    std::memset(text.p, '&', count);
    text.p[count] = 0;
    XMLNode root = XMLNode::createXMLTopNode("r");
    ASSERT_NE(root.addText_WOSD(text.p), nullptr);
    text.p = nullptr;  // the tree owns it now

    int size = -1;
    EXPECT_EQ(root.createXMLString(0, &size), nullptr);
    EXPECT_EQ(size, 0);
    size = -1;
    EXPECT_EQ(root.createXMLString(1, &size), nullptr);
    EXPECT_EQ(size, 0);
    const std::string path =
        ::testing::TempDir() + "xmlparser_giant_" + std::to_string(::getpid()) + ".xml";
    EXPECT_EQ(root.writeToFile(path.c_str()), errorCannotWriteFile);
    std::remove(path.c_str());

    EXPECT_EQ(ToXMLStringTool::lengthXMLString(root.getText(0)), -1);
    ToXMLStringTool tool;
    EXPECT_EQ(tool.toXML(root.getText(0)), nullptr);

    // The sum over several nodes, each of which fits on its own.
    XMLNode wide = XMLNode::createXMLTopNode("w");
    for (int i = 0; i < 3; i++) {
        char* part = static_cast<char*>(std::malloc(800000001));
        ASSERT_NE(part, nullptr);
        std::memset(part, 'x', 800000000);
        part[800000000] = 0;
        ASSERT_NE(wide.addChild("c").addText_WOSD(part), nullptr);
    }
    EXPECT_EQ(wide.createXMLString(0, &size), nullptr);
    EXPECT_EQ(size, 0);
}

TEST(Giant, Base64SizesThatWouldOverflow) {
    SKIP_UNLESS_GIANT_OK(4);
    // The largest input whose encoded size fits, and the first that does not.
    EXPECT_EQ(XMLParserBase64Tool::encodeLength(1610612733, 0), INT_MAX - 2);
    EXPECT_EQ(XMLParserBase64Tool::encodeLength(1610612736, 0), 0);
    EXPECT_EQ(XMLParserBase64Tool::encodeLength(INT_MAX, 1), 0);

    // Refused before the input is read (the block is never touched, so the
    // system does not even back it with memory).
    const unsigned int length = 1610612736u;
    Block input(length);
    ASSERT_NE(input.p, nullptr);
    XMLParserBase64Tool tool;
    EXPECT_EQ(tool.encode(reinterpret_cast<unsigned char*>(input.p), length, 0), nullptr);
    EXPECT_EQ(tool.encode(reinterpret_cast<unsigned char*>(input.p), 0xFFFFFFFFu, 1), nullptr);

    // A text whose decoded size would pass INT_MAX: size 0, nothing decoded.
    const size_t digits = 2900000000u;
    Block text(digits + 1);
    ASSERT_NE(text.p, nullptr);
    std::memset(text.p, 'A', digits);
    text.p[digits] = 0;
    XMLError error = errorNone;
    EXPECT_EQ(XMLParserBase64Tool::decodeSize(text.p, &error), 0);
    int size = -1;
    EXPECT_EQ(tool.decode(text.p, &size, &error), nullptr);
    EXPECT_EQ(size, 0);
}

}  // namespace
