// path.cpp - finding (and optionally creating) a descendant by a path of
// child names cut at a separator byte.
#include "internal.h"

using namespace xml_internal;

namespace {

// The first separator at or after `s`, or null.  Steps from character to
// character with the active character-length table, so a trail byte of a
// multibyte character is never taken for the separator; a character cut
// short by the terminating zero ends the scan there.
char* findSeparator(char* s, char separator) {
    while (*s) {
        if (*s == separator) return s;
        int len = XML_ByteTable[static_cast<unsigned char>(*s)];
        if (len < 1) len = 1;
        s++;
        for (int k = 1; k < len && *s; k++) s++;
    }
    return nullptr;
}

}  // namespace

// A separator byte of zero cannot occur inside the path: the whole path is
// then one segment, the name of a child of this node.
//
// When memory runs out while missing children are created, the children
// this call created are removed again: the tree is left as it was and the
// result is the empty node.
XMLNode XMLNode::getChildNodeByPathNonConst(char* path, char createMissing, char separator) {
    if (!path || !*path) return *this;
    XMLNode current = *this;
    XMLNode firstCreated;  // the topmost child this call created
    char* segment = path;
    for (;;) {
        char* sep = separator ? findSeparator(segment, separator) : nullptr;
        if (sep) *sep = 0;  // written back below on every way out
        XMLNode child = current.getChildNode(segment, static_cast<int*>(nullptr));
        if (child.isEmpty() && createMissing) {
            child = current.addChild(segment, 0, -1);
            if (child.isEmpty()) {
                if (sep) *sep = separator;
                firstCreated.deleteNodeContent();  // detaches it and empties its subtree
                return XMLNode();
            }
            if (firstCreated.isEmpty()) firstCreated = child;
        }
        if (!sep) return child;
        *sep = separator;
        if (child.isEmpty()) return child;
        current = child;
        segment = sep + 1;
    }
}

XMLNode XMLNode::getChildNodeByPath(const char* path, char createMissing, char separator) {
    if (!path || !*path) return *this;
    char* copy = stringDup(path);
    if (!copy) return XMLNode();  // out of memory: nothing found, nothing created
    XMLNode result = getChildNodeByPathNonConst(copy, createMissing, separator);
    std::free(copy);
    return result;
}
