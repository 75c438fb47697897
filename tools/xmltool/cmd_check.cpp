// cmd_check.cpp - `xmltool check FILE...`: parse each file and report.
#include "xmltool.h"

namespace xmltool {

int runCheck(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError{"check needs at least one FILE"};
    int status = exitOk;
    for (const std::string& path : args) {
        XMLResults results;
        XMLNode document = parseInput(options, path, results);
        if (!reportParse(stdout, path, results)) status = exitFailure;
    }
    return status;
}

}  // namespace xmltool
