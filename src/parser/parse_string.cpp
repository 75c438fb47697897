// parse_string.cpp - the string entry point: runs the element parser on a
// nameless top node, picks the node to return and reports the outcome with
// line and column.
#include "internal.h"

#include <strings.h>

using namespace xml_internal;

namespace {

void report(XMLResults* results, XMLError code, int line, int column) {
    if (!results) return;
    results->errorCode = code;
    results->line = line;
    results->column = column;
}

// Line and column (both from 1, in characters) of the byte offset `position`.
void lineAndColumn(const char* text, int position, int* line, int* column) {
    const unsigned char* const table = XML_ByteTable;
    const char* p = text;
    const char* const end = text + position;
    int l = 1, c = 1;
    while (p < end) {
        const unsigned char b = static_cast<unsigned char>(*p);
        if (b == '\n') {
            l++;
            c = 1;
            p++;
        } else {
            if (b == 0) break;
            c++;
            p = b < 0x80 ? p + 1 : stepCharacter(table, p);
        }
    }
    *line = l;
    *column = c;
}

}  // namespace

// Out of memory anywhere in a parse gives errorNoXMLData with line 0 and
// column 0 and the empty node (the partial tree is released); the parse
// itself raises that code for nothing else.  A text of INT_MAX bytes or more
// does not fit the 32-bit offsets of the parser state: it is refused up front
// with the same code, line 0 and column 0.
XMLNode XMLNode::parseString(const char* text, const char* firstTag, XMLResults* results) {
    if (!text) {
        report(results, errorNoElements, 0, 0);
        return emptyXMLNode;
    }
    if (!std::memchr(text, 0, static_cast<size_t>(INT_MAX))) {
        report(results, errorNoXMLData, 0, 0);
        return XMLNode();
    }
    XMLNode top(nullptr, nullptr, 0);
    if (!top.nodeData) {
        report(results, errorNoXMLData, 0, 0);
        return XMLNode();
    }

    XML x;
    x.document = text;
    x.pendingText = text;
    x.index = 0;
    x.warningIndex = 0;
    x.error = errorNone;
    x.pendingEndTag = nullptr;
    x.pendingEndTagLength = 0;
    x.atTopLevel = 1;
    x.lastTextNode = nullptr;
    x.lastTextIndex = 0;
    x.lastTextLength = 0;
    x.lastTextCapacity = 0;
    top.ParseXMLElement(&x);
    settleLastText(&x);

    XMLError code = x.error;
    if (code == errorNoXMLData) {
        report(results, code, 0, 0);
        return XMLNode();  // `top` releases the partial tree
    }
    if (top.nodeData->childCount == 0) code = warningNoXMLTagFound;
    if (code >= errorNoXMLData) {
        int line, column;
        lineAndColumn(text, x.index, &line, &column);
        report(results, code, line, column);
        return XMLNode();
    }

    XMLNode result = top;
    if (top.nodeData->childCount == 1 && top.nElement() == 1) result = top.getChildNode(0);

    if (firstTag && *firstTag) {
        const char* name = result.nodeData->name;
        if (!name || strcasecmp(name, firstTag) != 0) {
            XMLNode found;
            for (int i = 0; i < result.nodeData->childCount; i++) {
                const char* childName = result.nodeData->children[i]->name;
                if (childName && strcasecmp(childName, firstTag) == 0) {
                    found = result.getChildNode(i);
                    break;
                }
            }
            if (found.isEmpty()) {
                report(results, errorFirstTagNotFound, 0, 0);
                return XMLNode();
            }
            result = found;
        }
    }

    if (results) {
        results->errorCode = code;
        if (code != errorNone) {
            lineAndColumn(text, code == warningUnmatchedEndTag ? x.warningIndex : x.index,
                          &results->line, &results->column);
        }
    }
    return result;
}
