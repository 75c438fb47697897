// cmd_check.cpp - `xmltool check [--strict] FILE...`: parse each file and
// report.
#include "xmltool.h"

namespace xmltool {

int runCheck(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool strict = false;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--strict") {
            strict = true;
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError{"unknown check option '" + a + "'"};
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) throw UsageError{"check needs at least one FILE"};
    int status = exitOk;
    for (const std::string& path : files) {
        const Parsed parsed = parseInput(options, path);
        if (!reportParse(stdout, parsed) || (strict && parsed.results.errorCode != errorNone))
            status = exitFailure;
    }
    return status;
}

}  // namespace xmltool
