// cmd_format.cpp - `xmltool format`: write a document formatted or compact.
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "xmltool.h"

namespace xmltool {

int runFormat(const GlobalOptions& global, const std::vector<std::string>& args) {
    GlobalOptions options = global;
    bool compact = false;
    std::string firstTag, output, input;
    bool haveInput = false;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& a = args[i];
        if (a == "--compact") {
            compact = true;
        } else if (a == "--keep-whitespace") {
            options.dropWhiteSpace = 0;
        } else if (a == "--keep-comments") {
            options.removeCommentsInMiddleOfText = 0;
        } else if (a == "--first-tag" || a == "-o") {
            if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
            (a == "-o" ? output : firstTag) = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError{"unknown format option '" + a + "'"};
        } else {
            if (haveInput) throw UsageError{"format takes one FILE"};
            input = a;
            haveInput = true;
        }
    }
    if (!haveInput) throw UsageError{"format needs a FILE (or - for standard input)"};

    const Parsed parsed = parseInput(options, input);
    if (!reportParse(stderr, parsed)) return exitFailure;
    XMLNode document = parsed.document;
    if (!firstTag.empty()) {
        // Select the element as the library's first-tag rule does: the
        // document itself when it has that name, else its first such child.
        const char* name = document.getName();
        if (!name || strcasecmp(name, firstTag.c_str()) != 0)
            document = document.getChildNode(firstTag.c_str());
        if (document.isEmpty()) {
            std::fprintf(stderr, "%s: error: no element %s\n", displayName(input).c_str(),
                         firstTag.c_str());
            return exitFailure;
        }
    }
    const int format = compact ? 0 : 1;
    if (!output.empty()) {
        XMLError e = document.writeToFile(output.c_str(), nullptr, static_cast<char>(format));
        if (e != errorNone) {
            std::fprintf(stderr, "%s: error: %s\n", output.c_str(), plainMessage(e).c_str());
            return exitFailure;
        }
        return exitOk;
    }
    int size = 0;
    char* text = document.createXMLString(format, &size);
    if (!text && !document.isEmpty()) {
        std::fprintf(stderr, "xmltool: out of memory writing the document\n");
        return exitFailure;
    }
    if (size > 0) std::fwrite(text, 1, static_cast<size_t>(size), stdout);
    // Compact text ends without a line feed; end the output with one.
    if (compact && size > 0) std::fputc('\n', stdout);
    freeXMLString(text);
    return std::fflush(stdout) == 0 ? exitOk : exitFailure;
}

}  // namespace xmltool
