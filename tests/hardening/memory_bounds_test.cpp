// Memory bounds of hostile shapes: the bytes a parsed tree (and its deep
// copy) holds stay within a fixed multiple of the input, and neither parsing
// a wide node nor building one through the public adders copies more than
// linearly many bytes when every realloc moves its block.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "alloc_hook.h"
#include "internals.h"
#include "sanitized.h"

namespace {

std::string repeat(const std::string& piece, size_t count) {
    std::string s;
    s.reserve(piece.size() * count);
    for (size_t i = 0; i < count; i++) s += piece;
    return s;
}

#ifdef XMLPARSER_SANITIZED
constexpr size_t kMillion = 100000;  // the sanitizers' heap is much slower
#else
constexpr size_t kMillion = 1000000;
#endif

struct Shape {
    const char* label;
    std::string text;
};

// The most bytes a tree may hold per byte of its text.
constexpr long long kMostBytesPerInputByte = 40;

TEST(MemoryBounds, HostileShapesHoldAFixedMultipleOfTheirInput) {
    const size_t n = kMillion;
    const Shape shapes[] = {
        {"nested, closed", repeat("<a>", n) + repeat("</a>", n)},
        {"nested, never closed", repeat("<a>", n)},
        {"attributes, never closed", repeat("<a k='v'>", n)},
        {"end tag recovery", repeat("<a><b><c></a>", n * 3 / 10)},
        {"declarations", repeat("<?a?>", n)},
        {"siblings", "<r>" + repeat("<a/>", n) + "</r>"},
    };
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.label);
        const long long input = static_cast<long long>(s.text.size());
        alloc_hook::Scope hook;
        {
            XMLResults r;
            XMLNode tree = XMLNode::parseString(s.text.c_str(), nullptr, &r);
            ASSERT_FALSE(tree.isEmpty());
            const long long parsed = hook.liveBytes();
            if (parsed == 0) GTEST_SKIP() << "allocation hook not linked into the library";
            EXPECT_LE(parsed, kMostBytesPerInputByte * input) << parsed << " bytes held";

            char* written = tree.createXMLString(0);
            ASSERT_NE(written, nullptr);
            freeXMLString(written);
            EXPECT_EQ(hook.liveBytes(), parsed);

            XMLNode copy = tree.deepCopy();
            ASSERT_FALSE(copy.isEmpty());
            const long long copied = hook.liveBytes() - parsed;
            EXPECT_LE(copied, kMostBytesPerInputByte * input)
                << copied << " bytes held by the copy";
        }
        EXPECT_EQ(hook.live(), 0) << "blocks left allocated";
    }
}

// Bytes that moving reallocs copy while `build` runs for n items.
template <typename Build>
long long bytesCopiedFor(size_t n, Build build) {
    alloc_hook::Scope hook;
    hook.moveOnRealloc();
    build(n);
    return hook.copiedBytes();
}

// Copying O(n) bytes in all: twice the items copy at most a little over
// twice the bytes, and a bounded number of bytes per item (an item here is a
// few records of several kinds, each array doubling as it grows).
template <typename Build>
void expectLinearCopying(Build build) {
    const size_t n = kMillion / 10;
    const long long once = bytesCopiedFor(n, build);
    const long long twice = bytesCopiedFor(2 * n, build);
    EXPECT_LE(twice, 2 * once + 4096) << once << " then " << twice;
    EXPECT_LE(twice, static_cast<long long>(2 * n) * 256) << twice << " bytes copied";
}

TEST(MemoryBounds, ParsingAWideNodeCopiesLinearlyMany) {
    expectLinearCopying([](size_t n) {
        const std::string text = "<r>" + repeat("<a k='v'/>t<!--c--><![CDATA[d]]>", n) + "</r>";
        XMLNode tree = XMLNode::parseString(text.c_str());
        ASSERT_EQ(tree.nChildNode(), static_cast<int>(n));
    });
}

TEST(MemoryBounds, PublicAdditionsCopyLinearlyMany) {
    expectLinearCopying([](size_t n) {
        XMLNode root = XMLNode::createXMLTopNode("r");
        for (size_t i = 0; i < n; i++) {
            root.addChild("a");
            root.addAttribute("k", "v");
            root.addText("t");
            root.addClear("c");
        }
        ASSERT_EQ(root.nChildNode(), static_cast<int>(n));
        ASSERT_EQ(root.nAttribute(), static_cast<int>(n));
    });
}

// Additions to a parsed node move its arrays out of the block once, then
// grow them geometrically.
TEST(MemoryBounds, AdditionsToAParsedNodeCopyLinearlyMany) {
    expectLinearCopying([](size_t n) {
        const std::string text = "<r>" + repeat("<a/>", n) + "</r>";
        XMLNode tree = XMLNode::parseString(text.c_str());
        for (size_t i = 0; i < n; i++) tree.addChild("b");
        ASSERT_EQ(tree.nChildNode(), static_cast<int>(2 * n));
    });
}

}  // namespace
