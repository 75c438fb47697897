// cmd_base64.cpp - `xmltool base64 encode|decode [FILE|-]`.
#include <cstdio>
#include <cstring>

#include "xmltool.h"

namespace xmltool {

int runBase64(const GlobalOptions&, const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2)
        throw UsageError{"base64 needs encode or decode, and at most one FILE"};
    const std::string& mode = args[0];
    if (mode != "encode" && mode != "decode")
        throw UsageError{"base64 mode must be encode or decode"};
    const std::string path = args.size() == 2 ? args[1] : "-";

    std::vector<char> bytes;
    std::string problem;
    if (!readInput(path, bytes, problem)) {
        std::fprintf(stderr, "%s: error: %s\n", displayName(path).c_str(), problem.c_str());
        return exitFailure;
    }
    XMLParserBase64Tool tool;
    if (mode == "encode") {
        if (bytes.size() > 0x7fffffffu) {
            std::fprintf(stderr, "%s: error: input too large\n", displayName(path).c_str());
            return exitFailure;
        }
        char* text = tool.encode(reinterpret_cast<unsigned char*>(bytes.data()),
                                 static_cast<unsigned int>(bytes.size()), 1);
        if (!text) {
            std::fprintf(stderr, "%s: error: input too large\n", displayName(path).c_str());
            return exitFailure;
        }
        const size_t n = std::strlen(text);
        std::fwrite(text, 1, n, stdout);
        if (n == 0 || text[n - 1] != '\n') std::fputc('\n', stdout);
        return std::fflush(stdout) == 0 ? exitOk : exitFailure;
    }
    // Trailing white space (such as the final line feed of a file) would keep
    // the padding from being recognised and overstate the decoded size.
    while (!bytes.empty() && std::strchr(" \t\r\n", bytes.back()) && bytes.back() != 0)
        bytes.pop_back();
    bytes.push_back(0);
    XMLError error = errorNone;
    int size = 0;
    unsigned char* data = tool.decode(bytes.data(), &size, &error);
    if (error != errorNone) {
        const bool warning = error == warningBase64DataSize || error == warningBase64Truncated;
        std::fprintf(stderr, "%s: %s: %s\n", displayName(path).c_str(),
                     warning ? "warning" : "error", plainMessage(error).c_str());
        if (!warning) return exitFailure;
    }
    if (data && size > 0) std::fwrite(data, 1, static_cast<size_t>(size), stdout);
    return std::fflush(stdout) == 0 ? exitOk : exitFailure;
}

}  // namespace xmltool
