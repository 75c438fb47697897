// xmltool.h - what the subcommands of the command-line tool share.
#ifndef XMLTOOL_H
#define XMLTOOL_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "xmlParser.h"

namespace xmltool {

// Options that apply to every subcommand.
struct GlobalOptions {
    bool autoEncoding = true;
    XMLNode::XMLCharEncoding encoding = XMLNode::charEncodingUTF8;
    // The library's three parse flags, as the tool installs them.
    char guessWideChars = 1;
    char dropWhiteSpace = 1;
    char removeCommentsInMiddleOfText = 1;
};

// Thrown by the subcommands for a usage error; main prints it with the usage
// and exits with status 2.
struct UsageError {
    std::string message;
};

// Exit statuses.
enum { exitOk = 0, exitFailure = 1, exitUsage = 2 };

// Reads a whole file, or standard input for "-".  Returns false (with errno
// left as the failing call set it) when the file cannot be read.
bool readInput(const std::string& path, std::vector<char>& bytes);

// Installs the settings for a document whose first bytes are `head`: the
// chosen encoding, or the guess from those bytes (as the file helper does),
// and the options' three flags.
void installEncoding(const GlobalOptions& options, const char* head, size_t length);

// Parses a file (or standard input for "-") under the global options.
XMLNode parseInput(const GlobalOptions& options, const std::string& path, XMLResults& results);

// Prints a parse outcome the way compilers do: "FILE:LINE:COLUMN: warning:
// MESSAGE", "... error: MESSAGE", or "FILE: error: MESSAGE" without a
// position.  Prints nothing for errorNone.  Returns true when a tree came back.
bool reportParse(FILE* out, const std::string& path, const XMLResults& results);

int runCheck(const GlobalOptions& options, const std::vector<std::string>& args);
int runFormat(const GlobalOptions& options, const std::vector<std::string>& args);
int runGet(const GlobalOptions& options, const std::vector<std::string>& args);
int runStats(const GlobalOptions& options, const std::vector<std::string>& args);
int runBase64(const GlobalOptions& options, const std::vector<std::string>& args);

}  // namespace xmltool

#endif
