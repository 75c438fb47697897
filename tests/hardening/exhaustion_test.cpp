// Memory exhaustion over a whole scenario: the k-th heap allocation fails,
// for every k from the first to the last allocation the scenario makes.  The
// scenario parses a mixed document, edits it (adders, moves, updates,
// deletions, a path that creates children), deep-copies it, writes it to
// memory and to a file, escapes a string, and encodes and decodes Base64.  For every k: no crash; the operation whose
// allocation failed gives exactly its documented empty result and leaves
// everything as it was (so the same operation, run again, succeeds and the
// scenario goes on as without the failure); and at the end, with every
// handle and tool released, the allocations and frees balance.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "alloc_hook.h"
#include "internals.h"
#include "tree_compare.h"
#include "tree_dump.h"

namespace {

const char kDocument[] =
    "<?xml version='1.0'?><r a='1' b=x c><!--c-->t1<!--d-->t2<![CDATA[z]]>"
    "<!DOCTYPE q [<x>]><c/><d e='&amp;&#65;'>x&lt;</d><PRE>p</PRE>"
    "<n><m k='v'>deep<o/></m></n><u>unclosed</r>";

enum Outcome { kFull, kEmpty, kWrong };

struct State {
    XMLNode doc;    // the parsed document
    XMLNode root;   // its element r
    XMLNode extra;  // a tree built by hand, later moved into the document
    XMLNode copy;   // a deep copy of the document
    std::string formatted, compact, file, escaped, encoded, decoded;
    ToXMLStringTool tool;
    XMLParserBase64Tool base64;
    std::string path;
};

// Everything the scenario has built so far, as text (std::string allocates
// through operator new, which the hook does not count).
std::string snapshot(const State& s) {
    return dumpTree(s.doc) + "\n" + dumpTree(s.extra) + "\n" + dumpTree(s.copy) + "\n" +
           s.formatted + "\n" + s.compact + "\n" + s.file + "\n" + s.escaped + "\n" + s.encoded +
           "\n" + s.decoded;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

struct Step {
    const char* name;
    std::function<Outcome(State&)> run;
};

Outcome written(State& s, int format, std::string* out) {
    int size = -1;
    char* text = s.doc.createXMLString(format, &size);
    if (!text) return size == 0 ? kEmpty : kWrong;
    *out = std::string(text, static_cast<size_t>(size));
    freeXMLString(text);
    return kFull;
}

std::vector<Step> scenario() {
    return {
        {"parse",
         [](State& s) {
             XMLResults r = {errorNone, -7, -7};
             XMLNode n = XMLNode::parseString(kDocument, nullptr, &r);
             if (r.errorCode == errorNoXMLData)
                 return n.isEmpty() && r.line == 0 && r.column == 0 ? kEmpty : kWrong;
             if (n.isEmpty() || r.errorCode != warningUnmatchedEndTag) return kWrong;
             s.doc = n;
             s.root = n.getChildNode(0);
             return kFull;
         }},
        {"createXMLTopNode",
         [](State& s) {
             XMLNode n = XMLNode::createXMLTopNode("extra");
             if (n.isEmpty()) return kEmpty;
             s.extra = n;
             return kFull;
         }},
        {"addAttribute",
         [](State& s) {
             XMLAttribute* a = s.extra.addAttribute("k", "v&<");
             return a == &XMLNode::emptyXMLAttribute ? kEmpty : kFull;
         }},
        {"addText", [](State& s) { return s.extra.addText("hello", -1) ? kFull : kEmpty; }},
        {"addClear at the front",
         [](State& s) {
             return s.extra.addClear("raw", nullptr, nullptr, 0) == &XMLNode::emptyXMLClear ? kEmpty
                                                                                            : kFull;
         }},
        {"addChild in the middle",
         [](State& s) { return s.extra.addChild("kid", 0, 1).isEmpty() ? kEmpty : kFull; }},
        {"updateName",
         [](State& s) {
             const char* n = s.extra.updateName("renamed");
             if (n) return kFull;
             return std::strcmp(s.extra.getName(), "extra") == 0 ? kEmpty : kWrong;
         }},
        {"move a root into the document",
         [](State& s) {
             s.root.addChild(s.extra, 2);
             return s.extra.getParentNode().isEmpty() ? kEmpty : kFull;
         }},
        {"move an attached node",
         [](State& s) {
             XMLNode kid = s.extra.getChildNode(0);
             s.root.addChild(kid, 0);
             return s.extra.nChildNode() == 1 ? kEmpty : kFull;
         }},
        {"addText at a position",
         [](State& s) { return s.root.addText("more", 3) ? kFull : kEmpty; }},
        {"updateAttribute appends",
         [](State& s) {
             // A failed copy of an argument gives null, a failed append the
             // address of the empty record: both store nothing.
             XMLAttribute* a = s.root.updateAttribute("new", nullptr, "fresh");
             return !a || a == &XMLNode::emptyXMLAttribute ? kEmpty : kFull;
         }},
        {"updateAttribute replaces",
         [](State& s) {
             XMLAttribute* a = s.root.updateAttribute("2", "A", "a");
             if (a && a != &XMLNode::emptyXMLAttribute) return kFull;
             return std::strcmp(s.root.getAttribute("a", 0), "1") == 0 ? kEmpty : kWrong;
         }},
        {"updateText", [](State& s) { return s.root.updateText("T1", 0) ? kFull : kEmpty; }},
        {"updateClear", [](State& s) { return s.root.updateClear("Z", 1) ? kFull : kEmpty; }},
        {"deletions",
         [](State& s) {
             // Deletions allocate nothing: they always succeed.
             s.root.deleteText(1);
             s.root.deleteClear(0);
             s.root.deleteAttribute("b");
             return kFull;
         }},
        {"path creating children",
         [](State& s) {
             XMLNode n = s.root.getChildNodeByPath("n/new/leaf", 1);
             if (!n.isEmpty()) return kFull;
             // A failure may leave the missing children created so far: the
             // path stops at the first child it cannot create.
             return s.root.getChildNodeByPath("n/new/leaf", 0).isEmpty() ? kEmpty : kWrong;
         }},
        {"deepCopy",
         [](State& s) {
             XMLNode c = s.doc.deepCopy();
             if (c.isEmpty()) return kEmpty;
             if (!TreesEqual(c, s.doc)) return kWrong;
             s.copy = c;
             return kFull;
         }},
        {"createXMLString formatted", [](State& s) { return written(s, 1, &s.formatted); }},
        {"createXMLString compact", [](State& s) { return written(s, 0, &s.compact); }},
        {"writeToFile",
         [](State& s) {
             XMLError e = s.doc.writeToFile(s.path.c_str(), nullptr, 1);
             s.file = readFile(s.path);
             if (e == errorCannotWriteFile) return kEmpty;
             return e == errorNone ? kFull : kWrong;
         }},
        {"toXML",
         [](State& s) {
             char* e = s.tool.toXML("a < b & c > \"d\" 'e' and some more text to grow the buffer");
             if (!e) return kEmpty;
             s.escaped = e;
             return kFull;
         }},
        {"Base64 encode",
         [](State& s) {
             unsigned char bytes[100];
             for (int i = 0; i < 100; i++) bytes[i] = static_cast<unsigned char>(i * 37);
             char* e = s.base64.encode(bytes, sizeof bytes, 1);
             if (!e) return kEmpty;
             s.encoded = e;
             return kFull;
         }},
        {"Base64 decode",
         [](State& s) {
             // A longer text than any before, so that the buffer must grow.
             std::string text = s.encoded + s.encoded.substr(0, 100) + "Zm9vYmFy";
             int size = -1;
             XMLError error = errorNone;
             unsigned char* d = s.base64.decode(text.c_str(), &size, &error);
             if (!d) return kEmpty;
             s.decoded.assign(reinterpret_cast<char*>(d), static_cast<size_t>(size));
             return kFull;
         }},
    };
}

TEST(Exhaustion, EveryAllocationOfAScenario) {
    const std::vector<Step> steps = scenario();
    const std::string path =
        ::testing::TempDir() + "xmlparser_exhaustion_" + std::to_string(::getpid()) + ".xml";

    // The reference run, without failures.
    std::vector<std::string> reference;
    long total = 0;
    {
        alloc_hook::Scope hook;
        {
            State s;
            s.path = path;
            for (const Step& step : steps) {
                ASSERT_EQ(step.run(s), kFull) << step.name;
                reference.push_back(snapshot(s));
            }
            EXPECT_TRUE(TreeInvariantsHold(s.doc));
        }
        total = hook.calls();
        if (total == 0) GTEST_SKIP() << "allocation hook not linked into the library";
        EXPECT_EQ(hook.live(), 0);
    }

    int emptyResults = 0;
    for (long k = 0; k < total; k++) {
        alloc_hook::Scope hook(k);
        {
            State s;
            s.path = path;
            for (size_t i = 0; i < steps.size(); i++) {
                SCOPED_TRACE(::testing::Message()
                             << "failing allocation " << k << " in step " << steps[i].name);
                const std::string before = snapshot(s);
                const bool earlier = hook.failed();
                Outcome o = steps[i].run(s);
                ASSERT_NE(o, kWrong);
                if (o == kEmpty) {
                    // Only the failing allocation may make an operation give up,
                    // and it must leave everything as it was.
                    ASSERT_TRUE(hook.failed() && !earlier);
                    emptyResults++;
                    if (std::strcmp(steps[i].name, "writeToFile") != 0) {
                        ASSERT_EQ(snapshot(s), before);  // a file keeps what was written
                    }
                    o = steps[i].run(s);
                    ASSERT_EQ(o, kFull) << "the operation run again";
                }
                ASSERT_EQ(snapshot(s), reference[i]);
                ASSERT_TRUE(TreeInvariantsHold(s.doc));
            }
        }
        EXPECT_TRUE(hook.failed());
        EXPECT_EQ(hook.live(), 0) << "failing allocation " << k;
    }
    // Most allocations are essential to their operation.
    EXPECT_GT(emptyResults, total / 2);
    std::remove(path.c_str());
}

}  // namespace
