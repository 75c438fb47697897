// cmd_stats.cpp - `xmltool stats FILE`: counts, depth, size and parse speed.
#include <cstdio>
#include <cstring>

#include "xmltool.h"

namespace xmltool {

namespace {

// Throughput is shown only for inputs large enough for the parse time to
// mean something; a small file parses faster than the clock reads.
const long long kThroughputMinimumBytes = 1000000;

}  // namespace

int runStats(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError{"stats needs one FILE"};
    const Parsed parsed = parseInput(options, args[0]);
    if (!reportParse(stderr, parsed)) return exitFailure;

    // The verbatim sections, by the delimiter that opens them.
    static const char* const kOpenTags[] = {"<!--", "<![CDATA[", "<!DOCTYPE", "<PRE>"};
    long long sections[5] = {0, 0, 0, 0, 0};  // the last: any other opening

    // Walk the tree with a stack of (node, depth) instead of recursion, so
    // any nesting depth works.
    long long elements = 0, declarations = 0, attributes = 0, texts = 0;
    int maxDepth = 0;
    std::vector<std::pair<XMLNode, int>> stack;
    stack.emplace_back(parsed.document, 0);
    while (!stack.empty()) {
        XMLNode node = stack.back().first;
        int depth = stack.back().second;
        stack.pop_back();
        if (node.getName()) {
            if (node.isDeclaration())
                declarations++;
            else
                elements++;
            depth++;
            if (depth > maxDepth) maxDepth = depth;
        }
        attributes += node.nAttribute();
        texts += node.nText();
        for (int i = 0; i < node.nClear(); i++) {
            const char* open = node.getClear(i).openTag;
            size_t k = 0;
            while (k < 4 && !(open && std::strcmp(open, kOpenTags[k]) == 0)) k++;
            sections[k]++;
        }
        for (int i = node.nChildNode() - 1; i >= 0; i--)
            stack.emplace_back(node.getChildNode(i), depth);
    }

    std::printf("elements:        %lld\n", elements);
    std::printf("declarations:    %lld\n", declarations);
    std::printf("attributes:      %lld\n", attributes);
    std::printf("texts:           %lld\n", texts);
    std::printf("comments:        %lld\n", sections[0]);
    std::printf("CDATA sections:  %lld\n", sections[1]);
    std::printf("document types:  %lld\n", sections[2]);
    std::printf("PRE blocks:      %lld\n", sections[3]);
    if (sections[4]) std::printf("other sections:  %lld\n", sections[4]);
    std::printf("max depth:       %d\n", maxDepth);
    std::printf("bytes:           %lld\n", parsed.size);
    std::printf("parse time:      %.3f ms\n", parsed.seconds * 1e3);
    if (parsed.size >= kThroughputMinimumBytes && parsed.seconds > 0)
        std::printf("throughput:      %.1f MB/s\n",
                    static_cast<double>(parsed.size) / 1e6 / parsed.seconds);
    return std::fflush(stdout) == 0 ? exitOk : exitFailure;
}

}  // namespace xmltool
