// Trees on several threads, as the library allows them: each tree (and every
// handle into it) belongs to one thread at a time, and separate trees are
// used on separate threads at once.  These cases run in every build; the
// ThreadSanitizer build (make tsan) is what turns a hidden race between two
// trees (memory they share behind the caller's back) into a failure.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "xmlParser.h"

namespace {

const char kDocument[] =
    "<?xml version='1.0'?><r a='1' b='x&amp;y'><!--c-->t1<![CDATA[z]]>"
    "<c k='v'>text &lt;here&gt;</c><d><e/><f g='h'>deep</f></d>t2<u>unclosed</r>";

const int kThreads = 4;

// Starts `count` threads that each run `work(i)` once all of them have
// started, so their work overlaps, and waits for them.
void runTogether(int count, const std::function<void(int)>& work) {
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; i++)
        threads.emplace_back([&, i] {
            ready++;
            while (ready.load() < count) std::this_thread::yield();
            work(i);
        });
    for (std::thread& t : threads) t.join();
}

std::string text(const XMLNode& n, int format) {
    int size = 0;
    char* s = n.createXMLString(format, &size);
    std::string out = s ? std::string(s, static_cast<size_t>(size)) : std::string("(null)");
    freeXMLString(s);
    return out;
}

// The whole life of one document: parse, edit, copy, write, release.  The
// same on every thread, so every thread's result must equal a run alone.
std::string lifeOfADocument(int rounds) {
    std::string all;
    for (int round = 0; round < rounds; round++) {
        XMLResults results;
        XMLNode doc = XMLNode::parseString(kDocument, nullptr, &results);
        XMLNode r = doc.getChildNode("r");
        for (int i = 0; i < 20; i++) {
            XMLNode c = r.addChild("added", 0, i % 3);
            c.addAttribute("i", std::to_string(i).c_str());
            c.addText("x & y");
            c.addClear("raw");
        }
        r.updateAttribute("2", nullptr, "a");
        r.getChildNode("d").deleteNodeContent();
        XMLNode copy = doc.deepCopy();
        copy.getChildNode("r").addChild("onlyInTheCopy");
        all += text(doc, 1) + text(copy, 0);
    }
    return all;
}

TEST(Threads, SeparateDocumentsAtOnce) {
    const int rounds = 30;
    const std::string alone = lifeOfADocument(rounds);
    std::vector<std::string> results(kThreads);
    runTogether(kThreads,
                [&](int i) { results[static_cast<size_t>(i)] = lifeOfADocument(rounds); });
    for (int i = 0; i < kThreads; i++) EXPECT_EQ(results[static_cast<size_t>(i)], alone) << i;
}

// A tree made on one thread and handed, with every handle into it, to
// another, which edits, writes and releases it; a subtree handed on its own
// outlives the document it came from.  The first thread keeps no handle.
struct Handed {
    XMLNode document, subtree;
    std::string written;
};

TEST(Threads, TreeHandedToAnotherThread) {
    for (int round = 0; round < 20; round++) {
        std::promise<Handed*> handOver;
        std::future<Handed*> received = handOver.get_future();
        std::thread maker([&] {
            Handed* h = new Handed;
            h->document = XMLNode::parseString(kDocument);
            XMLNode r = h->document.getChildNode("r");
            r.addChild("made").addText("on the first thread");
            h->subtree = r.getChildNode("d");
            r = XMLNode();
            h->written = text(h->document, 0);
            handOver.set_value(h);
        });
        std::string written, writtenSubtree, expected;
        std::thread user([&] {
            Handed* h = received.get();
            expected = h->written;
            written = text(h->document, 0);
            h->document.getChildNode("r").addChild("used").addText("on the second thread");
            h->document = XMLNode();  // the document goes; the subtree stays
            h->subtree.addChild("after");
            writtenSubtree = text(h->subtree, 0);
            delete h;
        });
        maker.join();
        user.join();
        EXPECT_EQ(written, expected);
        EXPECT_EQ(writtenSubtree, "<d><e/><f g=\"h\">deep</f><after/></d>");
    }
}

// Nodes parsed into one document and moved into another; the two documents
// are then released on two threads at the same time.  Whatever memory the
// moved nodes still share with the document they came from must be released
// safely from either side.
TEST(Threads, MovedNodesReleasedOnTwoThreads) {
    for (int round = 0; round < 50; round++) {
        std::vector<XMLNode> from(2), to(2);
        for (int pair = 0; pair < 2; pair++) {
            from[static_cast<size_t>(pair)] = XMLNode::parseString(kDocument);
            to[static_cast<size_t>(pair)] = XMLNode::parseString("<target><x/></target>");
        }
        // Moves both ways: from the first document into the second and back.
        XMLNode a = from[0].getChildNode("r"), b = to[0];
        while (a.nChildNode() > 1) b.addChild(a.getChildNode(0));
        b.getChildNode("x").addChild(a.getChildNode(0));
        a.addChild(b.getChildNode(0), 0);
        // The second pair: a deep copy moved across, then a moved subtree kept
        // by a handle that goes with the other document's thread.
        XMLNode kept = from[1].getChildNode("r").getChildNode("d");
        to[1].addChild(from[1].getChildNode("r").getChildNode("c").deepCopy());
        to[1].addChild(kept);

        const std::string first = text(from[0], 0) + text(from[1], 0);
        const std::string second = text(to[0], 0) + text(to[1], 0);
        std::string writtenFirst, writtenSecond;
        a = b = XMLNode();
        runTogether(2, [&](int side) {
            if (side == 0) {
                writtenFirst = text(from[0], 0) + text(from[1], 0);
                from[0] = from[1] = XMLNode();
            } else {
                writtenSecond = text(to[0], 0) + text(to[1], 0);
                kept.addAttribute("k", "v");
                kept = XMLNode();
                to[0] = to[1] = XMLNode();
            }
        });
        EXPECT_EQ(writtenFirst, first);
        EXPECT_EQ(writtenSecond, second);
    }
}

// Nodes made by the copying adders of one thread share the blocks that
// thread fills.  Some are moved into two documents that two other threads
// edit and release at once, while the first thread goes on adding to the
// block's other nodes: what the other threads store on the moved nodes must
// never come from the block the first thread is filling.
TEST(Threads, NodesOfOneAdderBlockUsedOnThreeThreads) {
    const int moved = 40;
    std::string expected[2];
    for (int side = 0; side < 2; side++) {
        expected[side] = side ? "<b>" : "<a>";
        for (int i = 0; i < moved / 2; i++) expected[side] += "<n side=\"x\">t</n>";
        expected[side] += side ? "</b>" : "</a>";
    }
    for (int round = 0; round < 50; round++) {
        XMLNode made = XMLNode::createXMLTopNode("made");
        for (int i = 0; i < 2 * moved; i++) made.addChild("n").addText("t");
        XMLNode docs[2] = {XMLNode::createXMLTopNode("a"), XMLNode::createXMLTopNode("b")};
        for (int i = 0; i < moved; i++) docs[i % 2].addChild(made.getChildNode(0));
        std::string written[2];
        std::atomic<int> ready{0};
        auto use = [&](int side) {
            ready++;
            while (ready.load() < 3) std::this_thread::yield();
            XMLNode& d = docs[side];
            for (int i = 0; i < d.nChildNode(); i++) d.getChildNode(i).addAttribute("side", "x");
            written[side] = text(d, 0);
            d = XMLNode();
        };
        std::thread first(use, 0), second(use, 1);
        ready++;
        while (ready.load() < 3) std::this_thread::yield();
        for (int i = 0; i < moved; i++) {
            made.getChildNode(i).addAttribute("k", "v");
            made.addChild("m").addText("more");
        }
        first.join();
        second.join();
        EXPECT_EQ(written[0], expected[0]);
        EXPECT_EQ(written[1], expected[1]);
        EXPECT_EQ(made.nChildNode(), 2 * moved);
    }
}

// Nodes made on a thread that has ended are released on two other threads
// at once: the block that thread was filling goes with the last of them.
TEST(Threads, NodesOfAnEndedThreadReleasedOnTwoThreads) {
    for (int round = 0; round < 50; round++) {
        XMLNode docs[2];
        std::thread maker([&] {
            for (int side = 0; side < 2; side++) {
                docs[side] = XMLNode::createXMLTopNode("d");
                for (int i = 0; i < 30; i++) docs[side].addChild("n").addAttribute("i", "v");
            }
            // Moves across, so that each document holds nodes of the other's
            // making too.
            docs[0].addChild(docs[1].getChildNode(0));
            docs[1].addChild(docs[0].getChildNode(0));
        });
        maker.join();
        runTogether(2, [&](int side) {
            EXPECT_EQ(docs[side].nChildNode(), 30);
            docs[side] = XMLNode();
        });
    }
}

// A node made by the destructor of a thread-local object that outlives the
// library's own state for the thread (constructed before it, so destroyed
// after it), then released on another thread, is freed with its last
// reference: the leak check of `make asan` reports it otherwise.
XMLNode madeAsAThreadEnds;

TEST(Threads, NodeMadeAsItsThreadEndsIsFreedElsewhere) {
    struct MakesAtItsEnd {
        ~MakesAtItsEnd() {
            madeAsAThreadEnds = XMLNode::createXMLTopNode("d");
            madeAsAThreadEnds.addChild("late").addAttribute("k", "v");
        }
    };
    std::thread maker([] {
        static thread_local MakesAtItsEnd last;
        static_cast<void>(last);
        XMLNode early = XMLNode::createXMLTopNode("e");
        early.addChild("x");
        early.addChild("y");
    });
    maker.join();
    ASSERT_EQ(madeAsAThreadEnds.nChildNode(), 1);
    EXPECT_STREQ(madeAsAThreadEnds.getChildNode(0).getAttribute("k"), "v");
    madeAsAThreadEnds = XMLNode();
}

}  // namespace
