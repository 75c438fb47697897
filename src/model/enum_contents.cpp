// enum_contents.cpp - walking all contents of a node through one record:
// attributes first, then child nodes, texts and clear tags in document order.
#include "internal.h"

using namespace xml_internal;

// The fields that `kind` does not name are cleared rather than left
// unspecified.  An index outside 0 to nElement() - 1, negative included, is
// answered like the empty node: kind elementNull, nothing read.
XMLContentEntry XMLNode::enumContents(int index) const {
    XMLContentEntry e;
    e.kind = elementNull;
    e.attribute = emptyXMLAttribute;
    e.text = nullptr;
    e.clear = emptyXMLClear;
    if (!nodeData || index < 0) return e;
    const NodeData* d = nodeData;
    if (index < d->attributeCount) {
        e.kind = elementAttribute;
        e.attribute = d->attributes[index];
        return e;
    }
    const int p = index - d->attributeCount;
    if (p >= orderCount(d)) return e;
    const int entry = d->order[p];
    const int i = entryIndex(entry);
    e.kind = static_cast<XMLElementType>(entryKind(entry));
    switch (e.kind) {
        case elementChildNode: e.childNode = XMLNode(d->children[i]); break;
        case elementText: e.text = d->texts[i]; break;
        case elementClear: e.clear = d->clears[i]; break;
        default:
            e.kind = elementNull;  // no order entry has kind 1
            break;
    }
    return e;
}
