// The serializer: both layouts byte for byte, the effective-level rules, the
// length pass agreeing with the write pass, deep trees and oversize texts,
// the growing block and its failures.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "alloc_hook.h"
#include "settings_guard.h"

namespace {

using xml_internal::NodeAccess;
using xml_internal::NodeData;

// Writes the node through the internal writer into a buffer of exactly the
// counted size (no terminator: the sanitizers catch a write past it).
std::string writeRaw(const XMLNode& node, int level) {
    NodeData* d = NodeAccess::data(node);
    int counted = NodeAccess::CreateXMLStringR(d, nullptr, level);
    EXPECT_GE(counted, 0);
    if (counted < 0) return std::string();
    char* out = static_cast<char*>(std::malloc(static_cast<size_t>(counted) + 1));
    int written = NodeAccess::CreateXMLStringR(d, out, level);
    EXPECT_EQ(counted, written);
    std::string s(out, static_cast<size_t>(counted));
    std::free(out);
    return s;
}

// createXMLString, checked against its size and against the internal writer.
std::string render(const XMLNode& node, int format) {
    int size = -1;
    char* text = node.createXMLString(format, &size);
    EXPECT_NE(nullptr, text);
    if (!text) return std::string();
    EXPECT_EQ(static_cast<size_t>(size), std::strlen(text));
    std::string s(text, static_cast<size_t>(size));
    freeXMLString(text);
    int level = (xml_internal::dropWhiteSpace && format) ? 0 : -1;
    EXPECT_EQ(s, writeRaw(node, level));
    return s;
}

XMLNode firstExample() {
    XMLNode top = XMLNode::createXMLTopNode(nullptr);
    top.addChild("xml", 1).addAttribute("version", "1.0");
    XMLNode a = top.addChild("a");
    a.addAttribute("k", "1<2");
    a.addText("hi");
    a.addChild("b");
    return top;
}

XMLNode secondExample() {
    XMLNode top = XMLNode::createXMLTopNode(nullptr);
    top.addClear("x", "<!--", "-->");
    XMLNode r = top.addChild("r");
    r.addChild("s").addText("t");
    r.addClear("y", "<![CDATA[", "]]>");
    return top;
}

class SerializerTest : public SettingsGuard {};

TEST_F(SerializerTest, FirstWorkedExample) {
    XMLNode top = firstExample();
    EXPECT_EQ(
        "<?xml version=\"1.0\"?>\n"
        "<a k=\"1&lt;2\">\n"
        "\thi\n"
        "\t<b/>\n"
        "</a>\n",
        render(top, 1));
    EXPECT_EQ("<?xml version=\"1.0\"?><a k=\"1&lt;2\">hi<b/></a>", render(top, 0));
}

TEST_F(SerializerTest, SecondWorkedExample) {
    XMLNode top = secondExample();
    EXPECT_EQ(
        "\t<!--x-->\n"
        "<r>\n"
        "\t<s>t</s>\n"
        "\t<![CDATA[y]]>\n"
        "</r>\n",
        render(top, 1));
    EXPECT_EQ("<!--x--><r><s>t</s><![CDATA[y]]></r>", render(top, 0));
}

TEST_F(SerializerTest, FormattingNeedsDropWhiteSpace) {
    XMLNode top = firstExample();
    XMLNode::setGlobalOptions(xml_internal::characterEncoding, 1, 0, 1);
    EXPECT_EQ("<?xml version=\"1.0\"?><a k=\"1&lt;2\">hi<b/></a>", render(top, 1));
}

TEST_F(SerializerTest, EmptyNodeGivesNullAndSizeZero) {
    int size = 123;
    EXPECT_EQ(nullptr, XMLNode().createXMLString(1, &size));
    EXPECT_EQ(0, size);
    EXPECT_EQ(nullptr, XMLNode::emptyNode().createXMLString(0));
}

// Each case builds a tree under a root element and gives its formatted and
// compact text.
struct LayoutCase {
    const char* what;
    std::function<XMLNode()> build;
    const char* formatted;
    const char* compact;
};

XMLNode rootWith(const std::function<void(XMLNode&)>& fill) {
    XMLNode r = XMLNode::createXMLTopNode("r");
    fill(r);
    return r;
}

const LayoutCase kLayouts[] = {
    {"attributes: null value, empty value, escaped quotes",
     [] {
         return rootWith([](XMLNode& r) {
             r.addAttribute("bare", nullptr);
             r.addAttribute("empty", "");
             r.addAttribute("q", "\"'&>");
         });
     },
     "<r bare empty=\"\" q=\"&quot;&apos;&amp;&gt;\"/>\n",
     "<r bare empty=\"\" q=\"&quot;&apos;&amp;&gt;\"/>"},
    {"attributes with empty or null names are left out with their space",
     [] {
         return rootWith([](XMLNode& r) {
             r.addAttribute("", "v");
             r.addAttribute("k", "v");
             r.addAttribute("gone", "v");
             NodeData* d = NodeAccess::data(r);
             xml_internal::freeOwned(d->attributes[2].name);
             d->attributes[2].name = nullptr;
         });
     },
     "<r k=\"v\"/>\n", "<r k=\"v\"/>"},
    {"only skipped attributes",
     [] { return rootWith([](XMLNode& r) { r.addAttribute("", "v"); }); }, "<r/>\n", "<r/>"},
    {"single empty text: start and end tag",
     [] { return rootWith([](XMLNode& r) { r.addText(""); }); }, "<r></r>\n", "<r></r>"},
    {"single text: one line, escaped",
     [] { return rootWith([](XMLNode& r) { r.addText("a<b\tc"); }); }, "<r>a&lt;b\tc</r>\n",
     "<r>a&lt;b\tc</r>"},
    {"empty text among several items writes nothing",
     [] {
         return rootWith([](XMLNode& r) {
             r.addText("");
             r.addText("x");
             r.addChild("c");
         });
     },
     "<r>\n\tx\n\t<c/>\n</r>\n", "<r>x<c/></r>"},
    {"clear tag with three empty strings still ends its line",
     [] {
         return rootWith([](XMLNode& r) {
             r.addClear("", "", "");
             r.addChild("c");
         });
     },
     "<r>\n\n\t<c/>\n</r>\n", "<r><c/></r>"},
    {"clear tag with null strings and a single clear tag",
     [] {
         return rootWith([](XMLNode& r) {
             XMLClear* c = r.addClear("v");
             xml_internal::freeOwned(c->value);
             c->value = nullptr;
             c->closeTag = nullptr;
         });
     },
     "<r>\n\t<![CDATA[\n</r>\n", "<r><![CDATA[</r>"},
    {"clear tag content is never escaped",
     [] { return rootWith([](XMLNode& r) { r.addClear("a<b&'", "<!--", "-->"); }); },
     "<r>\n\t<!--a<b&'-->\n</r>\n", "<r><!--a<b&'--></r>"},
    {"nested levels indent by one TAB each",
     [] {
         return rootWith([](XMLNode& r) {
             XMLNode a = r.addChild("a");
             a.addChild("b").addChild("c").addText("t");
             a.addChild("d").addAttribute("k", "v");
             r.addText("tail");
         });
     },
     "<r>\n\t<a>\n\t\t<b>\n\t\t\t<c>t</c>\n\t\t</b>\n\t\t<d k=\"v\"/>\n\t</a>\n\ttail\n</r>\n",
     "<r><a><b><c>t</c></b><d k=\"v\"/></a>tail</r>"},
    {"mixed content keeps document order",
     [] {
         return rootWith([](XMLNode& r) {
             r.addText("two");
             r.addChild("c", 0, 0);
             r.addText("one", 0);
         });
     },
     "<r>\n\tone\n\t<c/>\n\ttwo\n</r>\n", "<r>one<c/>two</r>"},
    {"element with an empty name writes only its content, at its own level",
     [] {
         return rootWith([](XMLNode& r) {
             XMLNode e = r.addChild("");
             e.addText("t");
             e.addChild("c");
         });
     },
     "<r>\n\t\tt\n\t<c/>\n</r>\n", "<r>t<c/></r>"},
    {"declaration with content: no end tag, children at its own level",
     [] {
         return rootWith([](XMLNode& r) {
             XMLNode d = r.addChild("pi", 1);
             d.addText("t");
             d.addChild("c");
         });
     },
     "<r>\n\t<?pi?>\n\t\tt\n\t<c/>\n</r>\n", "<r><?pi?>t<c/></r>"},
    {"declaration with a single text is not put on one line",
     [] { return rootWith([](XMLNode& r) { r.addChild("pi", 1).addText("t"); }); },
     "<r>\n\t<?pi?>\n\t\tt\n</r>\n", "<r><?pi?>t</r>"},
    {"element names are never escaped",
     [] { return rootWith([](XMLNode& r) { r.addChild("a&b"); }); }, "<r>\n\t<a&b/>\n</r>\n",
     "<r><a&b/></r>"},
    {"multibyte text copied whole",
     [] { return rootWith([](XMLNode& r) { r.addText("\xC3\xA9t\xC3\xA9<"); }); },
     "<r>\xC3\xA9t\xC3\xA9&lt;</r>\n", "<r>\xC3\xA9t\xC3\xA9&lt;</r>"},
};

TEST_F(SerializerTest, LayoutCases) {
    for (const LayoutCase& c : kLayouts) {
        SCOPED_TRACE(c.what);
        XMLNode n = c.build();
        EXPECT_EQ(std::string(c.formatted), render(n, 1));
        EXPECT_EQ(std::string(c.compact), render(n, 0));
    }
}

TEST_F(SerializerTest, NamelessNodes) {
    XMLNode onlyText = XMLNode::createXMLTopNode(nullptr);
    onlyText.addText("a<b");
    EXPECT_EQ("a&lt;b", render(onlyText, 1));

    XMLNode nothing = XMLNode::createXMLTopNode(nullptr);
    EXPECT_EQ("", render(nothing, 1));
    EXPECT_EQ("", render(nothing, 0));

    XMLNode texts = XMLNode::createXMLTopNode(nullptr);
    texts.addText("a");
    texts.addText("b");
    EXPECT_EQ("\ta\n\tb\n", render(texts, 1));
    EXPECT_EQ("ab", render(texts, 0));
}

// Nodes holding one kind of item only, built by inserting at positions and
// deleting, are written in document order.
TEST_F(SerializerTest, SingleKindNodesKeepDocumentOrder) {
    XMLNode texts = XMLNode::createXMLTopNode("t");
    texts.addText("c");
    texts.addText("a", 0);
    texts.addText("b", 1);
    texts.addText("x", 0);
    texts.deleteText(0);
    EXPECT_EQ("<t>abc</t>", render(texts, 0));

    XMLNode children = XMLNode::createXMLTopNode("p");
    children.addChild("c");
    children.addChild("a", 0, 0);
    children.addChild("b", 0, 1);
    children.addChild("x", 0, 0).deleteNodeContent();
    EXPECT_EQ("<p><a/><b/><c/></p>", render(children, 0));

    XMLNode clears = XMLNode::createXMLTopNode("q");
    clears.addClear("2");
    clears.addClear("1", nullptr, nullptr, 0);
    EXPECT_EQ("<q><![CDATA[1]]><![CDATA[2]]></q>", render(clears, 0));
}

// A child written on its own starts at level 0 even though it has a parent.
TEST_F(SerializerTest, SubtreeIsWrittenFromItsOwnLevel) {
    XMLNode top = secondExample();
    XMLNode r = top.getChildNode(0);
    EXPECT_EQ("<r>\n\t<s>t</s>\n\t<![CDATA[y]]>\n</r>\n", render(r, 1));
    EXPECT_EQ("<s>t</s>", render(r.getChildNode(0), 0));
    EXPECT_EQ("\t\t<s>t</s>\n", writeRaw(r.getChildNode(0), 2));
}

// A deterministic generator of varied trees built with the adders.
struct Lcg {
    uint32_t state;
    uint32_t next(uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    }
};

const char* const kTexts[] = {"",
                              "x",
                              "a<b&c>d",
                              "\"'",
                              " sp ",
                              "\n\t",
                              "\xC3\xA9\xE2\x82\xAC",
                              "\xF0\x9F\x98\x80&",
                              "&&&&",
                              "long text with several words in it"};
const char* const kNames[] = {"a", "item", "x-y", "", "\xC3\xA9l"};
const char* const kDelims[] = {"<!--", "-->", "", "<![CDATA[", "]]>", "<!DOCTYPE", ">"};

std::string withoutLayout(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '\t' && c != '\n') out += c;
    return out;
}

void grow(XMLNode node, Lcg& rng, int depth) {
    int items = static_cast<int>(rng.next(6));
    int attributes = static_cast<int>(rng.next(4));
    for (int i = 0; i < attributes; i++)
        node.addAttribute(kNames[rng.next(5)], rng.next(4) ? kTexts[rng.next(10)] : nullptr);
    for (int i = 0; i < items; i++) {
        int position = rng.next(3) ? -1 : static_cast<int>(rng.next(4));
        switch (rng.next(3)) {
            case 0: node.addText(kTexts[rng.next(10)], position); break;
            case 1:
                node.addClear(kTexts[rng.next(10)], kDelims[rng.next(7)], kDelims[rng.next(7)],
                              position);
                break;
            default: {
                XMLNode child = node.addChild(kNames[rng.next(5)], rng.next(8) == 0, position);
                if (depth < 6) grow(child, rng, depth + 1);  // test helper: shallow trees
                break;
            }
        }
    }
}

TEST_F(SerializerTest, LengthPassAgreesWithWritePassOnVariedTrees) {
    const XMLNode::XMLCharEncoding encodings[] = {XMLNode::charEncodingUTF8,
                                                  XMLNode::charEncodingShiftJIS};
    for (XMLNode::XMLCharEncoding e : encodings) {
        useEncoding(e);
        for (uint32_t seed = 1; seed <= 200; seed++) {
            SCOPED_TRACE("seed " + std::to_string(seed));
            Lcg rng{seed};
            XMLNode top = XMLNode::createXMLTopNode(seed % 2 ? nullptr : "top", seed % 7 == 0);
            grow(top, rng, 0);
            std::string formatted = render(top, 1);
            std::string compact = render(top, 0);
            EXPECT_EQ(formatted, writeRaw(top, 0));
            EXPECT_EQ(compact, writeRaw(top, -1));
            writeRaw(top, 3);
            // The two layouts differ only in the TABs and line feeds added.
            EXPECT_EQ(withoutLayout(compact), withoutLayout(formatted));
        }
    }
}

XMLNode chain(int depth) {
    XMLNode root = XMLNode::createXMLTopNode("a");
    XMLNode n = root;
    for (int i = 1; i < depth; i++) n = n.addChild("a");
    return root;
}

// A million nested elements: the writer keeps its stack on the heap.
TEST_F(SerializerTest, MillionDeepTreeCompact) {
    const int depth = 1000000;
    XMLNode root = chain(depth);
    int size = 0;
    char* text = root.createXMLString(0, &size);
    ASSERT_NE(nullptr, text);
    ASSERT_EQ(7 * (depth - 1) + 4, size);
    EXPECT_EQ(0, std::strncmp(text, "<a><a><a>", 9));
    EXPECT_EQ(0, std::strncmp(text + 3 * (depth - 1), "<a/></a></a>", 12));
    EXPECT_EQ(0, std::strcmp(text + size - 8, "</a></a>"));
    freeXMLString(text);
}

// Formatted, the same tree needs about 10^12 TABs: more than INT_MAX bytes,
// which is refused instead of wrapping around.
TEST_F(SerializerTest, TextBeyondIntMaxIsRefused) {
    XMLNode root = chain(1000000);
    int size = 42;
    EXPECT_EQ(nullptr, root.createXMLString(1, &size));
    EXPECT_EQ(0, size);
    EXPECT_EQ(-1, NodeAccess::CreateXMLStringR(NodeAccess::data(root), nullptr, 0));
    char one = 'x';
    EXPECT_EQ(-1, NodeAccess::CreateXMLStringR(NodeAccess::data(root), &one, 0));
    EXPECT_EQ('x', one);  // nothing written
}

TEST_F(SerializerTest, DeepFormattedTreeWithinLimits) {
    const int depth = 3000;
    XMLNode root = chain(depth);
    std::string s = render(root, 1);
    // Each of the first depth-1 elements writes d TABs twice plus "<a>\n" and
    // "</a>\n"; the innermost writes its TABs and "<a/>\n".
    size_t expected = 0;
    for (size_t d = 0; d + 1 < static_cast<size_t>(depth); d++) expected += 2 * d + 9;
    expected += static_cast<size_t>(depth - 1) + 5;
    EXPECT_EQ(expected, s.size());
    EXPECT_EQ("<a>\n\t<a>\n\t\t<a>\n", s.substr(0, 15));
    EXPECT_EQ("\t</a>\n</a>\n", s.substr(s.size() - 11));
}

// The text is written into a block that grows with it.  Texts that end just
// before, at and just after the block's sizes, and strings to escape around
// the length up to which they are escaped straight into the block, come out
// the same as the text written into a buffer of the counted size (render).
TEST_F(SerializerTest, GrowingTextAtTheBlockBoundaries) {
    struct Case {
        size_t textLength;
        char fill;
    } cases[] = {{1013, 'x'}, {1014, 'x'}, {1015, 'x'}, {2037, 'x'},   {4095, '&'},
                 {4096, '&'}, {4097, '&'}, {4096, 'x'}, {100000, '"'}, {300000, 'y'}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.textLength);
        XMLNode root = XMLNode::createXMLTopNode("r");  // "<r>" and "</r>" around the text
        root.addText(std::string(c.textLength, c.fill).c_str());
        const std::string s = render(root, 0);
        const size_t escaped = c.fill == '&' ? 5 : c.fill == '"' ? 6 : 1;
        EXPECT_EQ(s.size(), 7 + c.textLength * escaped);
        EXPECT_EQ(s.substr(s.size() - 4), "</r>");
    }
    // Many small pieces: the block doubles many times on the way.
    XMLNode wide = XMLNode::createXMLTopNode("w");
    for (int i = 0; i < 20000; i++) {
        XMLNode c = wide.addChild("c");
        c.addAttribute("k", i % 3 ? "v" : "a<b");
        c.addText(std::to_string(i).c_str());
    }
    // Formatted, each child gains its TAB and line feed, the root two line feeds.
    EXPECT_EQ(render(wide, 0).size() + 2 * 20000 + 2, render(wide, 1).size());
}

// A text of more than 64 MB is counted over the whole tree once it passes
// that size, and the block grown to exactly what it needs: the bytes are
// the same.
TEST_F(SerializerTest, LargeTextIsWrittenWhole) {
    const size_t part = size_t(36) << 20;
    XMLNode root = XMLNode::createXMLTopNode("r");
    root.addChild("a").addText((std::string(part, 'x') + "&").c_str());
    root.addChild("b").addText((std::string(part, 'y') + "<").c_str());
    root.addChild("c").addAttribute("k", "\"");
    int size = 0;
    char* text = root.createXMLString(0, &size);
    ASSERT_NE(text, nullptr);
    const std::string expectedStart = "<r><a>" + std::string(10, 'x');
    ASSERT_EQ(static_cast<size_t>(size), 2 * part + 45);
    EXPECT_EQ(std::strlen(text), static_cast<size_t>(size));
    EXPECT_EQ(std::string(text, expectedStart.size()), expectedStart);
    EXPECT_EQ(std::string(text + 6 + part, 15), "&amp;</a><b>yyy");
    EXPECT_EQ(std::string(text + size - 27), "&lt;</b><c k=\"&quot;\"/></r>");
    freeXMLString(text);
}

// Every allocation of a write may fail: of the frame stack of a tree deeper
// than the walk's own frames, of the block and of each of its growths, of the
// final trim.  The write then gives null and size 0 (or, when only the trim
// failed, the whole text), and nothing leaks.
TEST_F(SerializerTest, EveryAllocationOfAWriteMayFail) {
    XMLNode root = XMLNode::createXMLTopNode("r");
    XMLNode n = root;
    for (int i = 0; i < 100; i++) n = n.addChild("deep");
    for (int i = 0; i < 3000; i++) n.addChild("c").addText("some text & more");
    const std::string expected = render(root, 0);
    ASSERT_GT(expected.size(), size_t(64) << 10);

    long calls = 0;
    {
        alloc_hook::Scope hook;
        int size = 0;
        freeXMLString(root.createXMLString(0, &size));
        calls = hook.calls();
        if (calls == 0) GTEST_SKIP() << "allocation hook not linked into the library";
        EXPECT_EQ(hook.live(), 0);
    }
    EXPECT_GE(calls, 7);  // the stack, the block, its doublings, the trim
    for (long k = 0; k < calls; k++) {
        SCOPED_TRACE(k);
        alloc_hook::Scope hook(k);
        int size = -1;
        char* text = root.createXMLString(0, &size);
        EXPECT_TRUE(hook.failed());
        if (text) {
            EXPECT_EQ(std::string(text, static_cast<size_t>(size)), expected);
            freeXMLString(text);
        } else {
            EXPECT_EQ(size, 0);
        }
        EXPECT_EQ(hook.live(), 0);
    }
}

}  // namespace
