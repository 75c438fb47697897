// delete.cpp - removing attributes, texts and clear tags.  Arrays are never
// shrunk: a kind's array keeps its allocation while records remain and is
// freed when its last record goes.
#include "internal.h"
#include "model/memory.h"

using namespace xml_internal;

namespace {

// Takes record `i` out of an array of `count` records (count already
// lowered by one): moves the later records down, or frees the array when
// none remains.
template <typename T>
void removeRecord(const NodeData* d, T** array, int count, int i) {
    if (count > 0) {
        std::memmove(*array + i, *array + i + 1, static_cast<size_t>(count - i) * sizeof(T));
    } else {
        arrayFree(d, *array);
        *array = nullptr;
    }
}

}  // namespace

void XMLNode::deleteAttribute(int index) {
    if (!nodeData || index < 0 || index >= nodeData->attributeCount) return;
    NodeData* d = nodeData;
    d->attributeCount--;
    freeNodeString(d, d->attributes[index].name);
    freeNodeString(d, d->attributes[index].value);
    removeRecord(d, &d->attributes, d->attributeCount, index);
}

void XMLNode::deleteAttribute(const char* name) {
    if (!nodeData) return;
    deleteAttribute(findAttributeByName(nodeData, name, 0));
}

void XMLNode::deleteAttribute(XMLAttribute* record) {
    if (!record) return;
    deleteAttribute(record->name);
}

void XMLNode::deleteText(int index) {
    if (!nodeData || index < 0 || index >= nodeData->textCount) return;
    NodeData* d = nodeData;
    d->textCount--;
    freeNodeString(d, d->texts[index]);
    removeRecord(d, &d->texts, d->textCount, index);
    removeOrderElement(d, elementText, index);
}

void XMLNode::deleteText(const char* storedText) { deleteText(indexText(storedText)); }

void XMLNode::deleteClear(int index) {
    if (!nodeData || index < 0 || index >= nodeData->clearCount) return;
    NodeData* d = nodeData;
    d->clearCount--;
    freeNodeString(d, d->clears[index].value);  // the delimiters are never owned
    removeRecord(d, &d->clears, d->clearCount, index);
    removeOrderElement(d, elementClear, index);
}

void XMLNode::deleteClear(const char* storedValue) { deleteClear(indexClear(storedValue)); }

void XMLNode::deleteClear(XMLClear* record) {
    if (!record) return;
    deleteClear(record->value);
}
