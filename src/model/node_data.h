// node_data.h - the node data record, the order entry encoding, and the
// handle machinery the library's own code reaches.
#ifndef XMLPARSER_MODEL_NODE_DATA_H
#define XMLPARSER_MODEL_NODE_DATA_H

#include "xmlParser.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace xml_internal {
struct NodeBlock;  // model/memory.h
}

// The node data record.  Every array pointer is null until the first record
// of its kind is added; an array always has room for at least its count.
//
// `children` holds one pointer per child; each slot holds one reference to
// the child's node data, exactly like a handle (a handle is one pointer), but
// stored as a plain pointer so that arrays can be grown with realloc and
// moved with memmove.
struct XMLNode::XMLNodeDataTag {
    char* name;  // owned; null for a nameless node
    int childCount;
    int textCount;
    int clearCount;
    int attributeCount;
    char declarationFlag;  // set once at creation
    // Set when the parser or deep copy wrote the record whole into a chunk
    // of its block (record, strings and arrays) and nothing has been stored
    // in it since: releasing it then frees nothing but the block reference.
    // Every store of a string or an array clears it (model/memory.h).
    char wholeInChunk;
    int referenceCount;  // handles, plus the parent's slot
    // (The small fields come first, packed together: a parsed element is
    // mostly its record, 88 bytes.)
    XMLNodeDataTag* parent;     // not owned, not counted; null for a root
    XMLNodeDataTag** children;  // each slot holds one reference
    char** texts;               // owned strings
    XMLClear* clears;           // values owned, delimiters never
    XMLAttribute* attributes;   // names and values owned
    int* order;                 // index * 4 + kind, in document order
    // The block this record holds one reference on, or null: strings and
    // arrays inside it belong to the block (model/memory.h).
    xml_internal::NodeBlock* block;
};

namespace xml_internal {

using NodeData = XMLNode::XMLNodeDataTag;


// Opens the handle's protected machinery to the library's own free functions
// and to its tests.  Construct one from a handle (it then shares the node,
// like any copy) to call the internal workers on it.
struct NodeAccess : XMLNode {
    NodeAccess() {}
    NodeAccess(const XMLNode& node) : XMLNode(node) {}
    explicit NodeAccess(NodeData* data) : XMLNode(data) {}

    // The node data of any handle (null for the empty node).
    static NodeData* data(const XMLNode& node) { return node.*(&NodeAccess::nodeData); }
    // A new handle on node data (retains it).
    static XMLNode handle(NodeData* data) { return XMLNode(NodeAccess(data)); }
    // Makes the empty handle `node` hold a reference that the caller hands
    // over (the count is left as it is).
    static void adopt(XMLNode& node, NodeData* data) { node.*(&NodeAccess::nodeData) = data; }

    using XMLNode::nodeData;
    using XMLNode::emptyTheNode;
    using XMLNode::exactMemory;
    using XMLNode::removeOrderElement;
    using XMLNode::detachFromParent;
    using XMLNode::addToOrder;
    using XMLNode::addChild_priv;
    using XMLNode::addAttribute_priv;
    using XMLNode::addText_priv;
    using XMLNode::addClear_priv;
    using XMLNode::indexText;
    using XMLNode::indexClear;
    using XMLNode::ParseXMLElement;
    using XMLNode::maybeAddTxT;
    using XMLNode::parseClearTag;
    using XMLNode::CreateXMLStringR;
};

// The order entry encoding: an item's index in its kind's array times 4,
// plus its kind (elementChildNode, elementText or elementClear).
inline int orderEntry(int index, int kind) { return (index << 2) + kind; }
inline int entryKind(int entry) { return entry & 3; }
inline int entryIndex(int entry) { return entry >> 2; }

// Number of order entries (child nodes, texts and clear tags) of a node.
inline int orderCount(const NodeData* d) { return d->childCount + d->textCount + d->clearCount; }

// Frees a string the library owns (stored as const char* in the public
// attribute and clear-tag records).
inline void freeOwned(const char* s) { std::free(const_cast<char*>(s)); }

// Sets a record to an empty nameless node without parent or contents; the
// declaration flag, the reference count and the block are left as they are.
inline void clearNodeData(NodeData* d) {
    d->name = nullptr;
    d->childCount = d->textCount = d->clearCount = d->attributeCount = 0;
    d->parent = nullptr;
    d->children = nullptr;
    d->texts = nullptr;
    d->clears = nullptr;
    d->attributes = nullptr;
    d->order = nullptr;
}

// The default clear-tag delimiters: the first row of XMLClearTags.
extern const char* const cdataOpen;   // "<![CDATA["
extern const char* const cdataClose;  // "]]>"

// Name lookups (lookup.cpp).  The index of the first child (attribute) at or
// after `start` whose name equals `name` ignoring ASCII case (strcasecmp), or
// -1.  A null name, a negative start and nameless children never match.
int findChildByName(const NodeData* d, const char* name, int start);
int findAttributeByName(const NodeData* d, const char* name, int start);

}  // namespace xml_internal

#endif  // XMLPARSER_MODEL_NODE_DATA_H
