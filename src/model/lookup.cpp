// lookup.cpp - finding child nodes and attributes by name: iterated and
// occurrence searches, counts, and the child that carries an attribute.
#include <strings.h>

#include "internal.h"

using namespace xml_internal;

// Names are compared with strcasecmp.  A null wanted name and a negative
// start index are outside the callers' contract: they match nothing, so the
// search reports "not found" and reads nothing.  A nameless child (renamed to
// null) can never match and is simply passed over.
int xml_internal::findChildByName(const NodeData* d, const char* name, int start) {
    if (!name || start < 0) return -1;
    for (int i = start; i < d->childCount; i++) {
        const char* n = d->children[i]->name;
        if (n && strcasecmp(n, name) == 0) return i;
    }
    return -1;
}

int xml_internal::findAttributeByName(const NodeData* d, const char* name, int start) {
    if (!name || start < 0) return -1;
    for (int i = start; i < d->attributeCount; i++) {
        const char* n = d->attributes[i].name;
        if (n && strcasecmp(n, name) == 0) return i;
    }
    return -1;
}

XMLNode XMLNode::getChildNode(const char* name, int* iterator) const {
    if (!nodeData) return XMLNode();
    const int i = findChildByName(nodeData, name, iterator ? *iterator : 0);
    if (i < 0) return XMLNode();
    if (iterator) *iterator = i + 1;
    return XMLNode(nodeData->children[i]);
}

XMLNode XMLNode::getChildNode(const char* name, int occurrence) const {
    if (!nodeData) return XMLNode();
    if (occurrence < 0) {
        if (!name) return XMLNode();
        for (int i = nodeData->childCount - 1; i >= 0; i--) {
            const char* n = nodeData->children[i]->name;
            if (n && strcasecmp(n, name) == 0) return XMLNode(nodeData->children[i]);
        }
        return XMLNode();
    }
    // One pass: the private iterator carries over from match to match, and
    // the first miss ends the search (every later repetition would miss too).
    int k = 0;
    int i = -1;
    for (int r = 0; r <= occurrence; r++) {
        i = findChildByName(nodeData, name, k);
        if (i < 0) return XMLNode();
        k = i + 1;
    }
    return XMLNode(nodeData->children[i]);
}

int XMLNode::nChildNode(const char* name) const {
    if (!nodeData) return 0;
    int count = 0;
    for (int i = findChildByName(nodeData, name, 0); i >= 0;
         i = findChildByName(nodeData, name, i + 1))
        count++;
    return count;
}

const char* XMLNode::getAttribute(const char* name, int* iterator) const {
    if (!nodeData) return nullptr;
    const int i = findAttributeByName(nodeData, name, iterator ? *iterator : 0);
    if (i < 0) return nullptr;
    if (iterator) *iterator = i + 1;
    return nodeData->attributes[i].value;
}

// Zero and negative occurrences both select the first attribute of the name.
const char* XMLNode::getAttribute(const char* name, int occurrence) const {
    if (!nodeData) return nullptr;
    int k = 0;
    int i = -1;
    for (int r = 0; r <= occurrence || r == 0; r++) {
        i = findAttributeByName(nodeData, name, k);
        if (i < 0) return nullptr;
        k = i + 1;
    }
    return nodeData->attributes[i].value;
}

char XMLNode::isAttributeSet(const char* name) const {
    if (!nodeData) return 0;
    return findAttributeByName(nodeData, name, 0) >= 0 ? 1 : 0;
}

XMLNode XMLNode::getChildNodeWithAttribute(const char* childName, const char* attributeName,
                                           const char* attributeValue, int* iterator) const {
    if (!nodeData) return XMLNode();
    int j = iterator ? *iterator : 0;
    for (;;) {
        const int c = findChildByName(nodeData, childName, j);
        if (c < 0) return XMLNode();
        j = c + 1;
        const NodeData* child = nodeData->children[c];
        bool match = false;
        if (!attributeValue) {
            match = findAttributeByName(child, attributeName, 0) >= 0;
        } else {
            // The values of the attributes of that name are tried in turn; an
            // attribute without a value ends the scan of this child.
            for (int k = findAttributeByName(child, attributeName, 0); k >= 0;
                 k = findAttributeByName(child, attributeName, k + 1)) {
                const char* v = child->attributes[k].value;
                if (!v) break;
                if (strcasecmp(v, attributeValue) == 0) {
                    match = true;
                    break;
                }
            }
        }
        if (match) {
            if (iterator) *iterator = j;
            return XMLNode(nodeData->children[c]);
        }
    }
}
