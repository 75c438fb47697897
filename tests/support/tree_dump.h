// tree_dump.h - a compact text form of a parsed tree for table-driven tests.
#ifndef XMLPARSER_TESTS_TREE_DUMP_H
#define XMLPARSER_TESTS_TREE_DUMP_H

#include <string>

#include "xmlParser.h"

// "-" for the empty node.  Otherwise the name ("#" for a nameless node, a
// leading "?" for a declaration), then the attributes in braces (name=value,
// or just the name for an attribute without value), then the contents in
// document order in parentheses: texts in double quotes, clear tags as
// [open|value|close], child nodes in the same form.  Braces and parentheses
// are left out when empty.  E.g. a{k=1,b}("hi",[<!--|x|-->],c).
std::string dumpTree(const XMLNode& node);

#endif
