// xmltool_man.cpp - writes xmltool's manual page from the description that
// --help prints (help.cpp).
//   xmltool_man OUT VERSION
#include <cctype>
#include <cstdio>
#include <string>

#include "help.h"

namespace {

// Text made safe for roff: backslashes and hyphens escaped, and a line that
// would start with a control character made to start with a zero-width
// character instead.
std::string roff(const char* text) {
    std::string out;
    for (const char* p = text; *p; p++) {
        if (*p == '\\')
            out += "\\e";
        else if (*p == '-')
            out += "\\-";
        else
            out += *p;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string upper(const char* text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: xmltool_man OUT VERSION\n");
        return 2;
    }
    FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const xmltool::Help& help = xmltool::help();
    const std::string synopsis = help.synopsis;
    const size_t space = synopsis.find(' ');
    std::fprintf(out, ".TH %s 1 \"\" \"xmlparser %s\" \"User Commands\"\n",
                 upper(help.name).c_str(), roff(argv[2]).c_str());
    std::fprintf(out, ".SH NAME\n%s \\- %s\n", help.name, roff(help.summary).c_str());
    std::fprintf(out, ".SH SYNOPSIS\n.B %s\n%s\n", synopsis.substr(0, space).c_str(),
                 space == std::string::npos ? "" : roff(synopsis.c_str() + space + 1).c_str());
    for (size_t s = 0; s < help.count; s++) {
        const xmltool::HelpSection& section = help.sections[s];
        std::fprintf(out, ".SH %s\n", upper(section.title).c_str());
        if (section.paragraph) std::fprintf(out, "%s\n", roff(section.paragraph).c_str());
        for (size_t i = 0; i < section.count; i++)
            std::fprintf(out, ".TP\n.B %s\n%s\n", roff(section.entries[i].term).c_str(),
                         roff(section.entries[i].text).c_str());
    }
    const bool ok = std::ferror(out) == 0;
    return std::fclose(out) == 0 && ok ? 0 : 1;
}
