// help.cpp - what xmltool's commands and options do, and the terminal help
// printed from it.
#include "help.h"

#include <cstring>
#include <string>

namespace xmltool {

namespace {

const HelpEntry kCommands[] = {
    {"check [--strict] FILE...",
     "Parse each file and report its warnings and errors on standard output as "
     "FILE:LINE:COLUMN: warning|error: MESSAGE, followed by the source line and a caret under the "
     "column. A document that the parser repaired (an end tag that closed the wrong element) is a "
     "warning: check still exits 0 for it unless --strict is given."},
    {"format [OPTIONS] FILE|-",
     "Write the document formatted, one element per line indented by tabs (or compact with "
     "--compact), on standard output."},
    {"get FILE PATH[@ATTR]",
     "Print the text of the element at PATH (its texts and CDATA sections, joined), or the value of "
     "its attribute ATTR. PATH is a slash-separated list of element names from the root element; a "
     "step name[n] picks the n-th element of that name, counted from 1. Names are compared "
     "ignoring ASCII case. A missing element or attribute prints FILE: no node at PATH (or no "
     "attribute, no text) on standard error."},
    {"stats FILE|-",
     "Print the counts of elements, declarations, attributes, texts, comments, CDATA sections, "
     "document types and PRE blocks, the maximum depth, the size and the parse time; and the "
     "throughput for inputs of 1 MB or more."},
    {"base64 encode|decode [FILE|-]",
     "Write the Base64 text of the bytes read, or the bytes of the Base64 text read."},
};

const HelpEntry kFormatOptions[] = {
    {"--compact", "Write everything on one line, without indentation."},
    {"--keep-whitespace", "Keep texts that are only white space, and texts untrimmed."},
    {"--keep-comments", "Keep comments that stand between the pieces of a text where they are."},
    {"--first-tag NAME",
     "Write only the element NAME: the root element, or its first child of that name."},
    {"-o OUT",
     "Write to the file OUT through the library's file writer, which adds a UTF-8 byte-order mark "
     "and an XML declaration line."},
};

const HelpEntry kGlobalOptions[] = {
    {"--encoding NAME",
     "The character encoding of the input: auto (the default: guessed from the document's first "
     "bytes and its declaration), utf8, legacy (one byte per character), sjis, gb2312, big5 or "
     "gbk."},
    {"--help, -h", "Print this help."},
    {"--version", "Print the library's version."},
};

const HelpEntry kExitStatus[] = {
    {"0", "Success; the documents may have had warnings (except under check --strict)."},
    {"1", "A document could not be read or parsed, or the value asked for is absent."},
    {"2", "A usage error: the command line itself is wrong."},
};

#define XMLTOOL_ENTRIES(a) a, sizeof a / sizeof a[0], nullptr

const HelpSection kSections[] = {
    {"commands", XMLTOOL_ENTRIES(kCommands)},
    {"format options", XMLTOOL_ENTRIES(kFormatOptions)},
    {"options", XMLTOOL_ENTRIES(kGlobalOptions)},
    {"input", nullptr, 0,
     "FILE may be - for standard input. Files in UTF-16 or UTF-32 are converted to the multibyte "
     "encoding of the locale (LANG, LC_ALL) before they are parsed."},
    {"exit status", XMLTOOL_ENTRIES(kExitStatus)},
};

#undef XMLTOOL_ENTRIES

const Help kHelp = {"xmltool", "check, format, query and measure XML documents, convert Base64",
                    "xmltool [--encoding NAME] COMMAND ARGS...", kSections,
                    sizeof kSections / sizeof kSections[0]};

const size_t kWidth = 80;
const size_t kTextColumn = 30;

// Prints `text` wrapped at kWidth, every line indented by `indent` columns
// except the first, which starts at column `at`.
void printWrapped(FILE* out, const char* text, size_t indent, size_t at) {
    size_t column = at;
    bool lineStart = true;
    while (*text) {
        const size_t word = std::strcspn(text, " ");
        if (!lineStart && column + 1 + word > kWidth) {
            std::fprintf(out, "\n%*s", static_cast<int>(indent), "");
            column = indent;
            lineStart = true;
        }
        if (!lineStart) {
            std::fputc(' ', out);
            column++;
        }
        std::fwrite(text, 1, word, out);
        column += word;
        lineStart = false;
        text += word;
        while (*text == ' ') text++;
    }
    std::fputc('\n', out);
}

}  // namespace

const Help& help() { return kHelp; }

void printHelp(FILE* out) {
    std::fprintf(out, "%s - %s\nusage: %s\n", kHelp.name, kHelp.summary, kHelp.synopsis);
    for (size_t s = 0; s < kHelp.count; s++) {
        const HelpSection& section = kHelp.sections[s];
        std::fprintf(out, "\n%s:\n", section.title);
        if (section.paragraph) {
            std::fputs("  ", out);
            printWrapped(out, section.paragraph, 2, 2);
        }
        for (size_t i = 0; i < section.count; i++) {
            const HelpEntry& e = section.entries[i];
            const std::string term = std::string("  ") + e.term;
            std::fputs(term.c_str(), out);
            // A term too wide for its column puts its text on the next line.
            if (term.size() + 2 > kTextColumn) {
                std::fprintf(out, "\n%*s", static_cast<int>(kTextColumn), "");
            } else {
                std::fprintf(out, "%*s", static_cast<int>(kTextColumn - term.size()), "");
            }
            printWrapped(out, e.text, kTextColumn, kTextColumn);
        }
    }
}

}  // namespace xmltool
