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

// Thrown by the subcommands for a usage error; main prints it on one line
// with a pointer to --help and exits with status 2.
struct UsageError {
    std::string message;
};

// Exit statuses.
enum { exitOk = 0, exitFailure = 1, exitUsage = 2 };

// The name a path is reported under: "<stdin>" for "-".
std::string displayName(const std::string& path);

// Reads a whole file, or standard input for "-".  On failure returns false
// and sets `problem` to what went wrong ("is a directory", or the system's
// message).
bool readInput(const std::string& path, std::vector<char>& bytes, std::string& problem);

// One document as a subcommand received it: the tree, the parse outcome,
// and what is needed to show the source of a diagnostic.
struct Parsed {
    std::string path;
    XMLNode document;
    XMLResults results{};
    // The input could not be read at all (then `problem` says why and
    // `results` holds errorFileNotFound).
    bool unreadable = false;
    std::string problem;
    // The encoding that the parse ran under; diagnostics count characters
    // with it when they place the caret.
    XMLNode::XMLCharEncoding encoding = XMLNode::charEncodingUTF8;
    // Standard input, pipes and devices are read by the tool and kept here
    // (followed by a zero byte); regular files are read again only when a
    // diagnostic needs their text.
    bool textKept = false;
    std::vector<char> text;
    // Size of the input in bytes and the time the library took to parse it.
    long long size = 0;
    double seconds = 0;
};

// Parses a file (or standard input for "-") under the global options.
Parsed parseInput(const GlobalOptions& options, const std::string& path);

// Prints the outcome of a parse as compilers print diagnostics:
// "FILE:LINE:COLUMN: warning: MESSAGE" (or "error:"), then the source line
// and a caret under the column; "FILE: error: MESSAGE" without a position.
// Prints nothing for a clean parse.  Returns true when a tree came back
// (the parse succeeded, perhaps with warnings).
bool reportParse(FILE* out, const Parsed& parsed);

// The message of a result code without the library's "Error: " or
// "Warning: ": the diagnostic's kind says that already.
std::string plainMessage(XMLError code);

// Whether a parse outcome is a warning: the tree came back repaired, or
// held no element.
bool isWarning(XMLError code);

int runCheck(const GlobalOptions& options, const std::vector<std::string>& args);
int runFormat(const GlobalOptions& options, const std::vector<std::string>& args);
int runGet(const GlobalOptions& options, const std::vector<std::string>& args);
int runStats(const GlobalOptions& options, const std::vector<std::string>& args);
int runBase64(const GlobalOptions& options, const std::vector<std::string>& args);

}  // namespace xmltool

#endif
