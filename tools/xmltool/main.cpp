// main.cpp - xmltool: check, format, query and measure XML documents, and
// carry bytes as Base64, from the shell.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "help.h"
#include "xmltool.h"

namespace {

bool parseEncoding(const std::string& name, xmltool::GlobalOptions& options) {
    static const struct {
        const char* name;
        XMLNode::XMLCharEncoding encoding;
    } names[] = {
        {"utf8", XMLNode::charEncodingUTF8},     {"legacy", XMLNode::charEncodingLegacy},
        {"sjis", XMLNode::charEncodingShiftJIS}, {"gb2312", XMLNode::charEncodingGB2312},
        {"big5", XMLNode::charEncodingBig5},     {"gbk", XMLNode::charEncodingGBK},
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

// A usage error is one line: what is wrong, and where to look.
int usageError(const std::string& message) {
    std::fprintf(stderr, "xmltool: %s; try 'xmltool --help'\n", message.c_str());
    return xmltool::exitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // The library turns files of wide characters (UTF-16, UTF-32) into the
    // multibyte encoding of the locale, so the user's locale is taken on.
    // Numbers are printed the one way scripts read them.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    xmltool::GlobalOptions options;
    std::string command;
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            xmltool::printHelp(stdout);
            return std::fflush(stdout) == 0 ? xmltool::exitOk : xmltool::exitFailure;
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
            if (!parseEncoding(value, options))
                return usageError("unknown encoding '" + value + "'");
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
