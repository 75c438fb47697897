// Joining texts across removed comments: found quadratic while hardening.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "internals.h"

namespace {

// Each join used to measure the kept text again and reallocate it to its new
// exact size, so a run of n comments between texts took time proportional to
// n squared (three million joins: tens of seconds; under the sanitizers,
// whose realloc always moves the block, far longer).  The joined text must be
// right, exactly sized, and come in linear time.
TEST(TextJoinRegression, LongRunOfCommentsBetweenTextsIsLinear) {
    const int count = 3000000;
    std::string text = "<r>";
    text.reserve(static_cast<size_t>(count) * 11 + 8);
    for (int i = 0; i < count; i++) text += "ab<!--c-->";
    text += "z</r>";
    const auto start = std::chrono::steady_clock::now();
    XMLResults r;
    XMLNode n = XMLNode::parseString(text.c_str(), nullptr, &r);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(r.errorCode, errorNone);
    ASSERT_EQ(n.nText(), 1);
    ASSERT_EQ(n.nClear(), 0);
    const std::string joined = n.getText(0);
    ASSERT_EQ(joined.size(), static_cast<size_t>(count) * 2 + 1);
    EXPECT_EQ(joined.compare(0, 6, "ababab"), 0);
    EXPECT_EQ(joined.back(), 'z');
    // The joined text is written at its exact size with its node.
    const xml_internal::NodeData* d = xml_internal::NodeAccess::data(n);
    EXPECT_TRUE(inNodeBlock(d, d->texts[0]));
    EXPECT_LT(seconds, 60.0);
}

}  // namespace
