// input.cpp - reading documents from files or standard input, choosing the
// encoding, and reporting parse outcomes.
#include <cstdio>
#include <cstring>

#include "xmltool.h"

namespace xmltool {

bool readInput(const std::string& path, std::vector<char>& bytes) {
    bytes.clear();
    FILE* f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    const bool ok = !std::ferror(f);
    if (f != stdin) std::fclose(f);
    return ok;
}

void installEncoding(const GlobalOptions& options, const char* head, size_t length) {
    XMLNode::XMLCharEncoding encoding = options.encoding;
    if (options.autoEncoding) {
        char first[200];
        const size_t n = length < sizeof first ? length : sizeof first;
        std::memcpy(first, head, n);
        encoding = XMLNode::guessCharEncoding(first, static_cast<int>(n), 1);
    }
    // A guess of charEncodingError is refused and keeps the current encoding.
    XMLNode::setGlobalOptions(encoding, options.guessWideChars, options.dropWhiteSpace,
                              options.removeCommentsInMiddleOfText);
}

XMLNode parseInput(const GlobalOptions& options, const std::string& path, XMLResults& results) {
    if (path != "-") {
        // Guess (or set) the encoding from the first bytes, then let the
        // library read the whole file (byte-order marks, wide characters).
        char head[200];
        size_t n = 0;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            n = std::fread(head, 1, sizeof head, f);
            std::fclose(f);
        }
        installEncoding(options, head, n);
        return XMLNode::parseFile(path.c_str(), nullptr, &results);
    }
    std::vector<char> bytes;
    if (!readInput(path, bytes)) {
        results.errorCode = errorFileNotFound;
        results.line = results.column = 0;
        return XMLNode();
    }
    installEncoding(options, bytes.data(), bytes.size());
    bytes.push_back(0);
    const char* text = bytes.data();
    // Standard input is read as 8-bit text; a UTF-8 byte-order mark is skipped.
    if (bytes.size() >= 4 && static_cast<unsigned char>(text[0]) == 0xEF &&
        static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
        text += 3;
    return XMLNode::parseString(text, nullptr, &results);
}

bool reportParse(FILE* out, const std::string& path, const XMLResults& results) {
    const XMLError code = results.errorCode;
    if (code == errorNone) return true;
    const bool warning = code == warningUnmatchedEndTag || code == warningNoXMLTagFound;
    const char* kind = warning ? "warning" : "error";
    const std::string name = path == "-" ? "<stdin>" : path;
    if (results.line > 0)
        std::fprintf(out, "%s:%d:%d: %s: %s\n", name.c_str(), results.line, results.column, kind,
                     XMLNode::getError(code));
    else
        std::fprintf(out, "%s: %s: %s\n", name.c_str(), kind, XMLNode::getError(code));
    return warning;
}

}  // namespace xmltool
