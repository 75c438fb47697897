// stress.cpp - shows that each input of the hostile-input catalogue is
// handled in time linear in its size: every input is built at sizes N, 2N
// and 4N, parsed (and, where the parse keeps a tree, written compact,
// deep-copied and released), and the times are printed with the ratio of the
// 4N time to the N time (about 4 for linear work, about 16 for quadratic).
// Built with the test suite (xml_stress) but not run by it:
//     build/tests/xml_stress [scale]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "xmlParser.h"

namespace {

std::string repeat(const std::string& piece, size_t count) {
    std::string s;
    s.reserve(piece.size() * count);
    for (size_t i = 0; i < count; i++) s += piece;
    return s;
}

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

struct Case {
    const char* name;
    size_t n;  // the base size N, in repetitions of the case's unit
    std::function<std::string(size_t)> build;
};

}  // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const Case cases[] = {
        {"nesting <a>..</a>", 250000,
         [](size_t n) { return repeat("<a>", n) + "x" + repeat("</a>", n); }},
        {"nesting never closed", 250000, [](size_t n) { return repeat("<a k='v'>", n); }},
        {"nesting, end tag recovery", 250000,
         [](size_t n) { return "<r>" + repeat("<a>", n) + "</r>"; }},
        {"nesting, unmatched end tag", 250000,
         [](size_t n) { return repeat("<a>", n) + "</b>"; }},
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
    {
        const size_t n = static_cast<size_t>(static_cast<double>(25u << 20) * scale);
        double t[3];
        for (int k = 0; k < 3; k++) {
            std::string bytes(n << k, '\x5a');
            t[k] = seconds([&] {
                XMLParserBase64Tool tool;
                std::string text = tool.encode(
                    reinterpret_cast<unsigned char*>(&bytes[0]), static_cast<unsigned>(bytes.size()), 1);
                int size = 0;
                tool.decode(text.c_str(), &size);
            });
        }
        std::printf("%-36s %10zu %9.3f %9.3f %9.3f %7.1f\n", "Base64 encode+decode (bytes)", n,
                    t[0], t[1], t[2], t[0] > 0 ? t[2] / t[0] : 0.0);
    }
    return 0;
}
