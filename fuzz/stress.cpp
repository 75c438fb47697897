// stress.cpp - the hostile inputs, timed and measured.
//
// First the shapes that strain the tree itself (a million levels, closed or
// left open, repaired end tags, a million processing instructions or
// siblings): each is parsed, written compact, deep-copied and released, with
// the time of each step (CPU time of the thread), the peak of the heap bytes
// that the library held during the parse and the bytes its tree holds
// afterwards, both as multiples of the input's size.  The goal is at most 40
// times the input held and under a second for the four steps; the table says
// where it is met (the exit status is 1 when one is missed).
//
// Then every input of the hostile-input catalogue at sizes N, 2N and 4N,
// parsed (and, where the parse keeps a tree, written compact, deep-copied
// and released), with the ratio of the 4N time to the N time (about 4 for
// linear work, about 16 for quadratic).
//
// Built with the test suite (xml_stress) but not run by it:
//     build/tests/xml_stress [scale]
// The library's heap calls are counted through the linker's wrapping of
// malloc, realloc and free (see tests/CMakeLists.txt): the usable size of
// every live block, as the allocator reports it.
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>

#include "xmlParser.h"

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_realloc(void* p, size_t size);
extern "C" void __real_free(void* p);

namespace {

int64_t heldBytes = 0;  // by the library's live blocks
int64_t peakBytes = 0;

void added(void* p) {
    if (!p) return;
    heldBytes += static_cast<int64_t>(malloc_usable_size(p));
    if (heldBytes > peakBytes) peakBytes = heldBytes;
}

}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
    void* p = __real_malloc(size);
    added(p);
    return p;
}

extern "C" void* __wrap_realloc(void* p, size_t size) {
    const int64_t before = p ? static_cast<int64_t>(malloc_usable_size(p)) : 0;
    void* q = __real_realloc(p, size);
    if (q || size == 0) heldBytes -= before;
    added(q);
    return q;
}

extern "C" void __wrap_free(void* p) {
    if (p) heldBytes -= static_cast<int64_t>(malloc_usable_size(p));
    __real_free(p);
}

namespace {

std::string repeat(const std::string& piece, size_t count) {
    std::string s;
    s.reserve(piece.size() * count);
    for (size_t i = 0; i < count; i++) s += piece;
    return s;
}

// CPU time of this thread (the library runs in the caller's thread): on a
// machine shared with other work it moves much less than wall-clock time.
double now() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double seconds(const std::function<void()>& work) {
    const double start = now();
    work();
    return now() - start;
}

// Parses the text and runs the operations that follow a parse on its tree.
void parseAndUse(const std::string& text) {
    XMLResults r;
    XMLNode tree = XMLNode::parseString(text.c_str(), nullptr, &r);
    if (tree.isEmpty()) return;
    int size = 0;
    freeXMLString(tree.createXMLString(0, &size));
    XMLNode copy = tree.deepCopy();
}

struct Shape {
    const char* name;
    std::string text;
};

bool shapes(double scale) {
    const size_t million = static_cast<size_t>(1000000 * scale);
    const Shape list[] = {
        {"1,000,000 nested, closed", repeat("<a>", million) + repeat("</a>", million)},
        {"1,000,000 nested, never closed", repeat("<a>", million)},
        {"<a k='v'> 1,000,000 times, never closed", repeat("<a k='v'>", million)},
        {"<a><b><c></a> 300,000 times", repeat("<a><b><c></a>", million * 3 / 10)},
        {"<?a?> 1,000,000 times", repeat("<?a?>", million)},
        {"1,000,000 siblings", "<r>" + repeat("<a/>", million) + "</r>"},
    };
    std::printf(
        "| shape | input MB | parse s | write s | copy s | release s | total s "
        "| peak in parse (x input) | held by the tree (x input) | goal |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---|\n");
    bool all = true;
    for (const Shape& s : list) {
        const double size = static_cast<double>(s.text.size());
        heldBytes = peakBytes = 0;
        XMLNode* tree = nullptr;
        const double parse = seconds(
            [&] { tree = new XMLNode(XMLNode::parseString(s.text.c_str(), nullptr, nullptr)); });
        const double peak = static_cast<double>(peakBytes) / size;
        const double held = static_cast<double>(heldBytes) / size;
        int length = 0;
        char* out = nullptr;
        const double write = seconds([&] { out = tree->createXMLString(0, &length); });
        freeXMLString(out);
        XMLNode* copy = nullptr;
        const double copying = seconds([&] { copy = new XMLNode(tree->deepCopy()); });
        const double release = seconds([&] {
            delete copy;
            delete tree;
        });
        const double total = parse + write + copying + release;
        const bool met = held <= 40 && total < 1;
        all = all && met;
        std::printf("| %s | %.1f | %.3f | %.3f | %.3f | %.3f | %.3f | %.1f | %.1f | %s |\n", s.name,
                    size / 1e6, parse, write, copying, release, total, peak, held,
                    met ? "met" : "MISSED");
    }
    std::printf("\n");
    return all;
}

struct Case {
    const char* name;
    size_t n;  // the base size N, in repetitions of the case's unit
    std::function<std::string(size_t)> build;
};

void linearity(double scale) {
    const Case cases[] = {
        {"nesting <a>..</a>", 250000,
         [](size_t n) { return repeat("<a>", n) + "x" + repeat("</a>", n); }},
        {"nesting never closed", 250000, [](size_t n) { return repeat("<a k='v'>", n); }},
        {"nesting, end tag recovery", 250000,
         [](size_t n) { return "<r>" + repeat("<a>", n) + "</r>"; }},
        {"nesting, unmatched end tag", 250000, [](size_t n) { return repeat("<a>", n) + "</b>"; }},
        {"siblings", 250000, [](size_t n) { return "<r>" + repeat("<a/>", n) + "</r>"; }},
        {"texts joined across comments", 250000,
         [](size_t n) { return "<r>" + repeat("t<!--c-->", n) + "</r>"; }},
        {"attributes on one element", 25000,
         [](size_t n) {
             std::string s = "<r";
             for (size_t i = 0; i < n; i++) s += " a" + std::to_string(i) + "='v'";
             return s + "/>";
         }},
        {"text (bytes)", 25u << 20,
         [](size_t n) { return "<r>" + std::string(n, 'x') + "&amp;</r>"; }},
        {"unterminated CDATA (bytes)", 25u << 20,
         [](size_t n) { return "<r><![CDATA[" + std::string(n, 'x'); }},
        {"unterminated comment (bytes)", 25u << 20,
         [](size_t n) { return "<r><!--" + std::string(n, '-'); }},
        {"unterminated DOCTYPE (bytes)", 25u << 20,
         [](size_t n) { return "<r><!DOCTYPE [" + std::string(n, ']'); }},
        {"unterminated quoted value (bytes)", 25u << 20,
         [](size_t n) { return "<r a='" + std::string(n, 'x'); }},
        {"lone & at the end (bytes)", 25u << 20,
         [](size_t n) { return "<r>" + std::string(n, 'x') + "&"; }},
        {"lead byte at the end (bytes)", 25u << 20,
         [](size_t n) { return "<r>" + std::string(n, '\n') + "\xF0"; }},
        {"only white space and a NUL (bytes)", 25u << 20,
         [](size_t n) { return std::string(n, ' ') + std::string(1, '\0') + "<r/>"; }},
    };

    std::printf("%-36s %10s %9s %9s %9s %7s\n", "input", "N", "t(N) s", "t(2N) s", "t(4N) s",
                "4N/N");
    for (const Case& c : cases) {
        const size_t n = static_cast<size_t>(static_cast<double>(c.n) * scale);
        double t[3];
        for (int k = 0; k < 3; k++) {
            const std::string text = c.build(n << k);
            t[k] = seconds([&] { parseAndUse(text); });
        }
        std::printf("%-36s %10zu %9.3f %9.3f %9.3f %7.1f\n", c.name, n, t[0], t[1], t[2],
                    t[0] > 0 ? t[2] / t[0] : 0.0);
    }

    // Base64 of n bytes, both ways.
    const size_t n = static_cast<size_t>(static_cast<double>(25u << 20) * scale);
    double t[3];
    for (int k = 0; k < 3; k++) {
        std::string bytes(n << k, '\x5a');
        t[k] = seconds([&] {
            XMLParserBase64Tool tool;
            std::string text = tool.encode(reinterpret_cast<unsigned char*>(&bytes[0]),
                                           static_cast<unsigned>(bytes.size()), 1);
            int size = 0;
            tool.decode(text.c_str(), &size);
        });
    }
    std::printf("%-36s %10zu %9.3f %9.3f %9.3f %7.1f\n", "Base64 encode+decode (bytes)", n, t[0],
                t[1], t[2], t[0] > 0 ? t[2] / t[0] : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const bool met = shapes(scale);
    linearity(scale);
    return met ? 0 : 1;
}
