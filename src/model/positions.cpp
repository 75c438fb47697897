// positions.cpp - the place of child nodes, texts and clear tags in a node's
// document order, and the indexes of stored texts and clear-tag values.
#include "internal.h"

using namespace xml_internal;

namespace {

// The position of item `index` of `kind` (an index past the end selects the
// last item of the kind), or -1 when the kind has no such item.
int positionOfItem(const NodeData* d, XMLElementType kind, int index, int count) {
    if (!d) return -1;
    if (index >= count) index = count - 1;
    if (index < 0) return -1;
    const int entry = orderEntry(index, kind);
    const int t = orderCount(d);
    for (int p = 0; p < t; p++)
        if (d->order[p] == entry) return p;
    return -1;
}

}  // namespace

int XMLNode::indexText(const char* storedText) const {
    if (!nodeData) return -1;
    if (!storedText) return nodeData->textCount > 0 ? 0 : -1;
    for (int i = 0; i < nodeData->textCount; i++)
        if (nodeData->texts[i] == storedText) return i;
    return -1;
}

int XMLNode::indexClear(const char* storedValue) const {
    if (!nodeData) return -1;
    if (!storedValue) return nodeData->clearCount > 0 ? 0 : -1;
    for (int i = 0; i < nodeData->clearCount; i++)
        if (nodeData->clears[i].value == storedValue) return i;
    return -1;
}

int XMLNode::positionOfChildNode(int index) const {
    return positionOfItem(nodeData, elementChildNode, index, nodeData ? nodeData->childCount : 0);
}

int XMLNode::positionOfText(int index) const {
    return positionOfItem(nodeData, elementText, index, nodeData ? nodeData->textCount : 0);
}

int XMLNode::positionOfClear(int index) const {
    return positionOfItem(nodeData, elementClear, index, nodeData ? nodeData->clearCount : 0);
}

int XMLNode::positionOfText(const char* storedText) const {
    return positionOfText(indexText(storedText));
}

int XMLNode::positionOfClear(const char* storedValue) const {
    return positionOfClear(indexClear(storedValue));
}

int XMLNode::positionOfClear(XMLClear* record) const {
    if (!record) return positionOfClear(0);
    return positionOfClear(record->value);
}

int XMLNode::positionOfChildNode(XMLNode child) const {
    if (!nodeData || !child.nodeData) return -1;
    for (int i = nodeData->childCount - 1; i >= 0; i--)
        if (nodeData->children[i] == child.nodeData)
            return positionOfItem(nodeData, elementChildNode, i, nodeData->childCount);
    return -1;
}

int XMLNode::positionOfChildNode(const char* name, int occurrence) const {
    if (!name) return positionOfChildNode(occurrence);
    if (!nodeData) return -1;
    // k ends one past the occurrence-th match, or one past the last match
    // when there are fewer; a negative occurrence runs until they run out.
    int k = 0;
    for (int r = 0; occurrence < 0 || r <= occurrence; r++) {
        const int i = findChildByName(nodeData, name, k);
        if (i < 0) break;
        k = i + 1;
    }
    if (k == 0) return -1;
    return positionOfItem(nodeData, elementChildNode, k - 1, nodeData->childCount);
}
