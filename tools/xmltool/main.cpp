// main.cpp - xmltool: check, format, query and measure XML documents, and
// carry bytes as Base64, from the shell.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "xmltool.h"

namespace {

const char kUsage[] =
    "usage: xmltool [--encoding auto|utf8|legacy|sjis|gb2312|big5|gbk] COMMAND ARGS\n"
    "commands:\n"
    "  check FILE...             parse each file; report warnings and errors\n"
    "  format [--compact] [--keep-whitespace] [--keep-comments] [--first-tag NAME]\n"
    "         [-o OUT] FILE|-    write the document formatted (or compact)\n"
    "  get FILE PATH[@ATTR]      print the first text of the node at PATH (a\n"
    "                            slash-separated path from the root element),\n"
    "                            or the value of its attribute ATTR\n"
    "  stats FILE                counts, depth, size and parse speed\n"
    "  base64 encode|decode [FILE|-]\n"
    "                            Base64 of bytes, or bytes of Base64 text\n"
    "options:\n"
    "  --encoding NAME           character encoding (default auto: guessed from\n"
    "                            the document's first bytes)\n"
    "  --help                    print this help\n"
    "  --version                 print the library's version\n"
    "FILE may be - for standard input.\n";

bool parseEncoding(const std::string& name, xmltool::GlobalOptions& options) {
    static const struct {
        const char* name;
        XMLNode::XMLCharEncoding encoding;
    } names[] = {
        {"utf8", XMLNode::charEncodingUTF8},       {"legacy", XMLNode::charEncodingLegacy},
        {"sjis", XMLNode::charEncodingShiftJIS},   {"gb2312", XMLNode::charEncodingGB2312},
        {"big5", XMLNode::charEncodingBig5},       {"gbk", XMLNode::charEncodingGBK},
    };
    if (name == "auto") {
        options.autoEncoding = true;
        return true;
    }
    for (const auto& n : names) {
        if (name == n.name) {
            options.autoEncoding = false;
            options.encoding = n.encoding;
            return true;
        }
    }
    return false;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "xmltool: %s\n%s", message.c_str(), kUsage);
    return xmltool::exitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    xmltool::GlobalOptions options;
    std::string command;
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return xmltool::exitOk;
        }
        if (a == "--version") {
            std::printf("xmltool %s\n", XMLNode::getVersion());
            return xmltool::exitOk;
        }
        if (a == "--encoding" || a.compare(0, 11, "--encoding=") == 0) {
            std::string value;
            if (a == "--encoding") {
                if (i + 1 >= argc) return usageError("--encoding needs a value");
                value = argv[++i];
            } else {
                value = a.substr(11);
            }
            if (!parseEncoding(value, options)) return usageError("unknown encoding '" + value + "'");
            continue;
        }
        if (command.empty()) {
            if (a.size() > 1 && a[0] == '-') return usageError("unknown option '" + a + "'");
            command = a;
        } else {
            args.push_back(a);
        }
    }
    if (command.empty()) return usageError("no command given");

    try {
        if (command == "check") return xmltool::runCheck(options, args);
        if (command == "format") return xmltool::runFormat(options, args);
        if (command == "get") return xmltool::runGet(options, args);
        if (command == "stats") return xmltool::runStats(options, args);
        if (command == "base64") return xmltool::runBase64(options, args);
    } catch (const xmltool::UsageError& e) {
        return usageError(e.message);
    }
    return usageError("unknown command '" + command + "'");
}
