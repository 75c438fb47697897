// cmd_stats.cpp - `xmltool stats FILE`: counts, depth, size and parse speed.
#include <chrono>
#include <cstdio>
#include <sys/stat.h>

#include "xmltool.h"

namespace xmltool {

int runStats(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError{"stats needs one FILE"};
    const std::string& file = args[0];

    std::vector<char> bytes;
    long long size = 0;
    if (file == "-") {
        if (readInput(file, bytes)) size = static_cast<long long>(bytes.size());
    } else {
        struct stat st;
        if (stat(file.c_str(), &st) == 0) size = static_cast<long long>(st.st_size);
    }

    XMLResults results;
    const auto start = std::chrono::steady_clock::now();
    XMLNode document;
    if (file == "-") {
        installEncoding(options, bytes.data(), bytes.size());
        bytes.push_back(0);
        document = XMLNode::parseString(bytes.data(), nullptr, &results);
    } else {
        document = parseInput(options, file, results);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!reportParse(stderr, file, results)) return exitFailure;

    // Walk the tree with a stack of (node, depth) instead of recursion, so
    // any nesting depth works.
    long long elements = 0, declarations = 0, attributes = 0, texts = 0, clears = 0;
    int maxDepth = 0;
    std::vector<std::pair<XMLNode, int>> stack;
    stack.emplace_back(document, 0);
    while (!stack.empty()) {
        XMLNode node = stack.back().first;
        int depth = stack.back().second;
        stack.pop_back();
        if (node.getName()) {
            if (node.isDeclaration()) declarations++;
            else elements++;
            depth++;
            if (depth > maxDepth) maxDepth = depth;
        }
        attributes += node.nAttribute();
        texts += node.nText();
        clears += node.nClear();
        for (int i = node.nChildNode() - 1; i >= 0; i--) stack.emplace_back(node.getChildNode(i), depth);
    }

    std::printf("elements:      %lld\n", elements);
    std::printf("declarations:  %lld\n", declarations);
    std::printf("attributes:    %lld\n", attributes);
    std::printf("texts:         %lld\n", texts);
    std::printf("clear tags:    %lld\n", clears);
    std::printf("max depth:     %d\n", maxDepth);
    std::printf("bytes:         %lld\n", size);
    std::printf("parse time:    %.3f ms\n", seconds * 1e3);
    std::printf("throughput:    %.1f MB/s\n", seconds > 0 ? size / 1e6 / seconds : 0.0);
    return exitOk;
}

}  // namespace xmltool
