// help.h - the one description of xmltool's commands and options.  The
// terminal help (--help) and the manual page (man/xmltool_man.cpp) are both
// printed from it, so they cannot tell different stories.
#ifndef XMLTOOL_HELP_H
#define XMLTOOL_HELP_H

#include <cstddef>
#include <cstdio>

namespace xmltool {

// One term (a command, option or status) and what it does, in one
// paragraph; the printers wrap it.
struct HelpEntry {
    const char* term;
    const char* text;
};

// A titled list of entries, or (without entries) one paragraph.
struct HelpSection {
    const char* title;
    const HelpEntry* entries;
    size_t count;
    const char* paragraph;
};

struct Help {
    const char* name;      // the program's name
    const char* summary;   // what it is, in one line
    const char* synopsis;  // its command line
    const HelpSection* sections;
    size_t count;
};

const Help& help();

// Prints the help for a terminal: the synopsis, then each section with the
// entries' texts in a column beside their terms, wrapped at 80 columns.
void printHelp(FILE* out);

}  // namespace xmltool

#endif
