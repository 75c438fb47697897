// diagnostics.cpp - parse outcomes printed as compilers print them: the
// position and message, then the source line with a caret under the column.
#include <cstring>

#include "xmltool.h"

namespace xmltool {

namespace {

// The longest stretch of a source line shown, in characters; longer lines
// are cut around the column.
const size_t kShownCharacters = 80;

// The number of bytes of the character that starts with `lead`, as the
// library counts characters in each encoding (columns are in characters).
size_t characterLength(XMLNode::XMLCharEncoding encoding, unsigned char lead) {
    switch (encoding) {
        case XMLNode::charEncodingUTF8:
            if (lead >= 0xC2 && lead <= 0xDF) return 2;
            if (lead >= 0xE0 && lead <= 0xEF) return 3;
            if (lead >= 0xF0 && lead <= 0xF4) return 4;
            return 1;
        case XMLNode::charEncodingShiftJIS:
            return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEF) ? 2 : 1;
        case XMLNode::charEncodingGB2312: return lead >= 0xA1 && lead <= 0xF7 ? 2 : 1;
        case XMLNode::charEncodingBig5:
        case XMLNode::charEncodingGBK: return lead >= 0x81 && lead <= 0xFE ? 2 : 1;
        default: return 1;
    }
}

// Line `line` (from 1) of the text that was parsed, without its line end.
// False when the text is not at hand as 8-bit text (a file that cannot be
// read again, or one the library converted from wide characters, whose
// positions count the converted text).
bool findSourceLine(const Parsed& parsed, int line, std::string& out) {
    std::vector<char> fileBytes;
    const std::vector<char>* bytes = &parsed.text;
    if (!parsed.textKept) {
        std::string problem;
        if (!readInput(parsed.path, fileBytes, problem)) return false;
        bytes = &fileBytes;
    }
    // Kept bytes end with the zero the tool added for the parse.
    const size_t n = parsed.textKept && !bytes->empty() ? bytes->size() - 1 : bytes->size();
    if (n == 0) return false;
    const char* p = bytes->data();
    const char* end = p + n;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    if (n >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF))) return false;
    if (std::memchr(p, 0, n < 4 ? n : 4)) return false;
    if (n >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) p += 3;
    // The parse ends at the first zero byte; so do its lines.
    if (const void* zero = std::memchr(p, 0, static_cast<size_t>(end - p)))
        end = static_cast<const char*>(zero);
    for (int l = 1; l < line; l++) {
        const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p));
        if (!lf) return false;
        p = static_cast<const char*>(lf) + 1;
    }
    const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p));
    const char* stop = lf ? static_cast<const char*>(lf) : end;
    if (stop > p && stop[-1] == '\r') stop--;
    out.assign(p, stop);
    return true;
}

// The end tag that ends just before byte `offset` of the line, as "'</b>'",
// or empty.  The parser reports an unmatched end tag just after it.
std::string endTagBefore(const std::string& line, size_t offset) {
    if (offset == 0 || offset > line.size() || line[offset - 1] != '>') return std::string();
    const size_t open = line.rfind("</", offset - 1);
    if (open == std::string::npos || offset - open > 100) return std::string();
    const std::string tag = line.substr(open, offset - open);
    if (tag.find('<', 1) != std::string::npos) return std::string();
    return " '" + tag + "'";
}

}  // namespace

std::string plainMessage(XMLError code) {
    std::string message = XMLNode::getError(code);
    for (const char* prefix : {"Error: ", "Warning: "}) {
        const size_t n = std::strlen(prefix);
        if (message.compare(0, n, prefix) == 0) return message.substr(n);
    }
    return message;
}

bool isWarning(XMLError code) {
    return code == warningUnmatchedEndTag || code == warningNoXMLTagFound;
}

bool reportParse(FILE* out, const Parsed& parsed) {
    const XMLError code = parsed.results.errorCode;
    if (code == errorNone) return true;
    const bool warning = isWarning(code);
    const char* kind = warning ? "warning" : "error";
    const std::string name = displayName(parsed.path);
    if (parsed.unreadable) {
        std::fprintf(out, "%s: error: %s\n", name.c_str(), parsed.problem.c_str());
        return false;
    }
    std::string message = plainMessage(code);
    const int line = parsed.results.line, column = parsed.results.column;
    std::string source;
    if (line <= 0 || column <= 0 || !findSourceLine(parsed, line, source)) {
        if (line > 0)
            std::fprintf(out, "%s:%d:%d: %s: %s\n", name.c_str(), line, column, kind,
                         message.c_str());
        else
            std::fprintf(out, "%s: %s: %s\n", name.c_str(), kind, message.c_str());
        return warning;
    }

    // Where each character of the line starts, and the one under the column
    // (one past the last for a column at the line's end).
    std::vector<size_t> starts;
    for (size_t i = 0; i < source.size();) {
        starts.push_back(i);
        i += characterLength(parsed.encoding, static_cast<unsigned char>(source[i]));
    }
    const size_t count = starts.size();
    starts.push_back(source.size());
    size_t at = static_cast<size_t>(column - 1);
    if (at > count) at = count;
    if (code == warningUnmatchedEndTag || code == errorUnmatchedEndTag)
        message += endTagBefore(source, starts[at]);

    size_t first = 0, last = count;
    if (count > kShownCharacters) {
        first = at > kShownCharacters / 2 ? at - kShownCharacters / 2 : 0;
        if (first + kShownCharacters > count) first = count - kShownCharacters;
        last = first + kShownCharacters;
    }
    std::string shown = first > 0 ? "..." : "";
    std::string caret(shown.size(), ' ');
    shown.append(source, starts[first],
                 (last < count ? starts[last] : source.size()) - starts[first]);
    if (last < count) shown += "...";
    // Tabs stay tabs under the line, so the caret lines up however wide the
    // terminal shows them.
    for (size_t i = first; i < at; i++) caret += source[starts[i]] == '\t' ? '\t' : ' ';
    caret += '^';

    std::fprintf(out, "%s:%d:%d: %s: %s\n%s\n%s\n", name.c_str(), line, column, kind,
                 message.c_str(), shown.c_str(), caret.c_str());
    return warning;
}

}  // namespace xmltool
