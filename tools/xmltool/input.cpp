// input.cpp - reading documents from files or standard input, choosing the
// encoding and parsing them.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "xmltool.h"

namespace xmltool {

namespace {

// The encoding to parse `head` (the document's first bytes) under, and the
// library's settings installed for it with the options' three flags.
XMLNode::XMLCharEncoding installEncoding(const GlobalOptions& options, const char* head,
                                         size_t length) {
    XMLNode::XMLCharEncoding encoding = options.encoding;
    if (options.autoEncoding) {
        char first[200];
        const size_t n = length < sizeof first ? length : sizeof first;
        if (n) std::memcpy(first, head, n);
        encoding = XMLNode::guessCharEncoding(first, static_cast<int>(n), 1);
    }
    // A guess of charEncodingError is refused and keeps the encoding in force.
    if (XMLNode::setGlobalOptions(encoding, options.guessWideChars, options.dropWhiteSpace,
                                  options.removeCommentsInMiddleOfText) != 0)
        encoding = XMLNode::charEncodingUTF8;
    return encoding;
}

// Why a file cannot be read as a document, or empty when it can be opened.
std::string fileProblem(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return "is a directory";
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::strerror(errno);
    std::fclose(f);
    return std::string();
}

}  // namespace

std::string displayName(const std::string& path) { return path == "-" ? "<stdin>" : path; }

bool readInput(const std::string& path, std::vector<char>& bytes, std::string& problem) {
    bytes.clear();
    FILE* f = stdin;
    if (path != "-") {
        problem = fileProblem(path);
        if (!problem.empty()) return false;
        f = std::fopen(path.c_str(), "rb");
        if (!f) {
            problem = std::strerror(errno);
            return false;
        }
    }
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    const bool ok = !std::ferror(f);
    if (!ok) problem = std::strerror(errno);
    if (f != stdin) std::fclose(f);
    return ok;
}

Parsed parseInput(const GlobalOptions& options, const std::string& path) {
    Parsed parsed;
    parsed.path = path;
    std::chrono::steady_clock::time_point start;
    // Pipes and devices (say /dev/stdin, or a shell's <(...)) have no size
    // for the library's file reader; the tool reads them as it reads
    // standard input.
    struct stat st;
    const bool regular = path != "-" && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (path != "-" && !regular) {
        parsed.problem = fileProblem(path);
        if (!parsed.problem.empty()) {
            parsed.unreadable = true;
            parsed.results.errorCode = errorFileNotFound;
            return parsed;
        }
    }
    if (regular) {
        // Guess (or set) the encoding from the first bytes, then let the
        // library read the whole file (byte-order marks, wide characters).
        char head[200];
        size_t n = 0;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            n = std::fread(head, 1, sizeof head, f);
            std::fclose(f);
        }
        parsed.size = static_cast<long long>(st.st_size);
        parsed.encoding = installEncoding(options, head, n);
        start = std::chrono::steady_clock::now();
        parsed.document = XMLNode::parseFile(path.c_str(), nullptr, &parsed.results);
    } else {
        parsed.textKept = true;
        if (!readInput(path, parsed.text, parsed.problem)) {
            parsed.unreadable = true;
            parsed.results.errorCode = errorFileNotFound;
            return parsed;
        }
        parsed.size = static_cast<long long>(parsed.text.size());
        parsed.encoding = installEncoding(options, parsed.text.data(), parsed.text.size());
        parsed.text.push_back(0);
        const char* text = parsed.text.data();
        // Such input is read as 8-bit text; a UTF-8 byte-order mark is
        // skipped, as the library does for files.
        if (parsed.text.size() >= 4 && static_cast<unsigned char>(text[0]) == 0xEF &&
            static_cast<unsigned char>(text[1]) == 0xBB &&
            static_cast<unsigned char>(text[2]) == 0xBF)
            text += 3;
        start = std::chrono::steady_clock::now();
        parsed.document = XMLNode::parseString(text, nullptr, &parsed.results);
    }
    parsed.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return parsed;
}

}  // namespace xmltool
