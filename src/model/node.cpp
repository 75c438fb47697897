// node.cpp - handles and node data: reference counting, creation, renaming,
// release of a node's content, trimming, and the read accessors by index.
#include "internal.h"
#include "model/memory.h"
#include "model/walk.h"

using namespace xml_internal;

XMLNode XMLNode::emptyXMLNode;
XMLClear XMLNode::emptyXMLClear = {nullptr, nullptr, nullptr};
XMLAttribute XMLNode::emptyXMLAttribute = {nullptr, nullptr};

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------

char* stringDup(const char* source, int length) {
    if (!source) return nullptr;
    size_t n;
    if (length == -1) {
        n = std::strlen(source);
    } else {
        // Other negative lengths are outside the contract; they copy nothing
        // rather than reading before or past the source.
        n = length > 0 ? static_cast<size_t>(length) : 0;
    }
    if (n == SIZE_MAX) return nullptr;
    char* copy = static_cast<char*>(std::malloc(n + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, source, n);
    copy[n] = 0;
    return copy;
}

void freeXMLString(char* text) { std::free(text); }

// ---------------------------------------------------------------------------
// Handle lifecycle
// ---------------------------------------------------------------------------

XMLNode::XMLNode(XMLNodeDataTag* data) : nodeData(data) {
    if (nodeData) nodeData->referenceCount++;
}

XMLNode::XMLNode(const XMLNode& other) : nodeData(other.nodeData) {
    if (nodeData) nodeData->referenceCount++;
}

XMLNode& XMLNode::operator=(const XMLNode& other) {
    if (this == &other) return *this;
    // Release before retaining: assigning a child's handle to the only
    // handle of its parent frees the parent and leaves the child a root.
    if (nodeData && --nodeData->referenceCount == 0) emptyTheNode(0);
    nodeData = other.nodeData;
    if (nodeData) nodeData->referenceCount++;
    return *this;
}

XMLNode::~XMLNode() {
    // The walk is entered only for the last reference: a handle going while
    // others remain (most do) costs a decrement.
    if (nodeData && --nodeData->referenceCount == 0) emptyTheNode(0);
}

// Creates node data with the given parent (not entered into its arrays) and
// takes ownership of the name.  When the record cannot be allocated the
// handle stays empty and the name is freed.
XMLNode::XMLNode(XMLNodeDataTag* parent, char* name, char isDeclaration) : nodeData(nullptr) {
    XMLNodeDataTag* d = newHeapRecord(isDeclaration);
    if (!d) {
        std::free(name);
        return;
    }
    d->parent = parent;
    nodeData = d;
    updateName_WOSD(name);
}

XMLNode XMLNode::createXMLTopNode_WOSD(char* name, char isDeclaration) {
    return XMLNode(nullptr, name, isDeclaration);
}

XMLNode XMLNode::createXMLTopNode(const char* name, char isDeclaration) {
    char* copy = stringDup(name);
    // A name that cannot be copied gives the empty node, not a nameless one.
    if (name && !copy) return XMLNode();
    return XMLNode(nullptr, copy, isDeclaration);
}

XMLNode XMLNode::emptyNode() { return XMLNode::emptyXMLNode; }

// ---------------------------------------------------------------------------
// Naming
// ---------------------------------------------------------------------------

const char* XMLNode::updateName_WOSD(char* name) {
    if (!nodeData) {
        std::free(name);
        return nullptr;
    }
    if (nodeData->name && nodeData->name != name) freeNodeString(nodeData, nodeData->name);
    storeString(nodeData, nodeData->name, name);
    return name;
}

const char* XMLNode::updateName(const char* name) {
    if (!nodeData) return nullptr;
    char* copy = stringDup(name);
    // Out of memory: the node keeps its old name and the result is null.
    if (name && !copy) return nullptr;
    return updateName_WOSD(copy);
}

// ---------------------------------------------------------------------------
// Releasing content
// ---------------------------------------------------------------------------

// Empties (and, when unreferenced, frees) this node data and its
// descendants with the dismantling walk: constant stack, no allocation.
void XMLNode::emptyTheNode(char force) {
    XMLNodeDataTag* const top = nodeData;
    if (!top) return;
    if (!force && top->referenceCount != 0) return;
    if (top->parent) detachFromParent(top);
    top->parent = nullptr;
    // Only references of the children are dropped below: the top record is
    // freed exactly when no handle holds it now.
    const bool freesTop = top->referenceCount == 0;

    struct Release {
        explicit Release(char f) : force(f) {}
        char force;
        RecordReleases records;
        bool descend(NodeData* c) {
            c->referenceCount--;  // the slot's reference
            if (force || c->referenceCount == 0) return true;
            c->parent = nullptr;  // survives whole, as a root
            return false;
        }
        void done(NodeData* d) {
            if (d->referenceCount != 0) {
                records.next(d);
                releaseContent(d);  // an empty shell stays for its handles
                return;
            }
            records.free(d);
        }
    } release(force);
    dismantleWalk(top, release);
    if (freesTop) nodeData = nullptr;
}

void XMLNode::deleteNodeContent() {
    if (!nodeData) return;
    if (nodeData->parent) {
        detachFromParent(nodeData);
        nodeData->referenceCount--;
        nodeData->parent = nullptr;
    }
    emptyTheNode(1);
}

// ---------------------------------------------------------------------------
// Order array helpers
// ---------------------------------------------------------------------------

int XMLNode::removeOrderElement(XMLNodeDataTag* d, XMLElementType kind, int index) {
    int n = orderCount(d);
    int* o = d->order;
    const int entry = orderEntry(index, kind);
    int p = 0;
    // The entry is always present; the bound only keeps a broken caller from
    // reading past the array.
    while (p <= n && o[p] != entry) p++;
    if (p > n) return n;
    std::memmove(o + p, o + p + 1, static_cast<size_t>(n - p) * sizeof(int));
    for (int i = p; i < n; i++)
        if (entryKind(o[i]) == kind) o[i] = orderEntry(entryIndex(o[i]) - 1, kind);
    return n;
}

int XMLNode::detachFromParent(XMLNodeDataTag* d) {
    XMLNodeDataTag* q = d->parent;
    int i = 0;
    while (q->children[i] != d) i++;
    q->childCount--;
    if (q->childCount) {
        std::memmove(q->children + i, q->children + i + 1,
                     static_cast<size_t>(q->childCount - i) * sizeof(XMLNodeDataTag*));
    } else {
        arrayFree(q, q->children);
        q->children = nullptr;
    }
    return removeOrderElement(q, elementChildNode, i);
}

// ---------------------------------------------------------------------------
// Trimming
// ---------------------------------------------------------------------------

namespace {

// Resizes `*p` to exactly `count` records, or frees it when `count` is 0.
// When the resize fails the larger array stays, which is still valid.
template <typename T>
void trimArray(NodeData* d, T** p, int count) {
    if (!*p) return;
    if (count == 0) {
        arrayFree(d, *p);
        *p = nullptr;
        return;
    }
    void* exact = arrayResize(d, *p, count, static_cast<size_t>(count), sizeof(T));
    if (exact) *p = static_cast<T*>(exact);
}

}  // namespace

void XMLNode::exactMemory(XMLNodeDataTag* d) {
    trimArray(d, &d->order, orderCount(d));
    trimArray(d, &d->children, d->childCount);
    trimArray(d, &d->attributes, d->attributeCount);
    trimArray(d, &d->texts, d->textCount);
    trimArray(d, &d->clears, d->clearCount);
}

// ---------------------------------------------------------------------------
// Read accessors
// ---------------------------------------------------------------------------

const char* XMLNode::getName() const { return nodeData ? nodeData->name : nullptr; }
int XMLNode::nChildNode() const { return nodeData ? nodeData->childCount : 0; }
int XMLNode::nText() const { return nodeData ? nodeData->textCount : 0; }
int XMLNode::nClear() const { return nodeData ? nodeData->clearCount : 0; }
int XMLNode::nAttribute() const { return nodeData ? nodeData->attributeCount : 0; }

int XMLNode::nElement() const {
    if (!nodeData) return 0;
    return nodeData->childCount + nodeData->attributeCount + nodeData->textCount +
           nodeData->clearCount;
}

XMLNode XMLNode::getChildNode(int i) const {
    if (!nodeData || i < 0 || i >= nodeData->childCount) return XMLNode();
    return XMLNode(nodeData->children[i]);
}

XMLNode XMLNode::getParentNode() const {
    if (!nodeData || !nodeData->parent) return XMLNode();
    return XMLNode(nodeData->parent);
}

XMLAttribute XMLNode::getAttribute(int i) const {
    if (!nodeData || i < 0 || i >= nodeData->attributeCount) return emptyXMLAttribute;
    return nodeData->attributes[i];
}

const char* XMLNode::getAttributeName(int i) const {
    if (!nodeData || i < 0 || i >= nodeData->attributeCount) return nullptr;
    return nodeData->attributes[i].name;
}

const char* XMLNode::getAttributeValue(int i) const {
    if (!nodeData || i < 0 || i >= nodeData->attributeCount) return nullptr;
    return nodeData->attributes[i].value;
}

const char* XMLNode::getText(int i) const {
    if (!nodeData || i < 0 || i >= nodeData->textCount) return nullptr;
    return nodeData->texts[i];
}

XMLClear XMLNode::getClear(int i) const {
    if (!nodeData || i < 0 || i >= nodeData->clearCount) return emptyXMLClear;
    return nodeData->clears[i];
}

char XMLNode::isDeclaration() const { return nodeData ? nodeData->declarationFlag : 0; }
char XMLNode::isEmpty() const { return nodeData ? 0 : 1; }
