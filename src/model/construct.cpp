// construct.cpp - adding content to a node: the growth policy of every array,
// the insertion into the order array, the adders, and moving nodes.
#include "internal.h"
#include "model/memory.h"

using namespace xml_internal;

namespace {

// Makes room in one of `d`'s arrays for one more record (n records now),
// with growth step m.  A step of 0 (the public adders) grows geometrically;
// a step m > 0 gives a new array room for m records and grows a full one by
// m.  Returns the array, or null when memory runs out (the old array is
// intact).
void* growArray(NodeData* d, void* array, int m, int n, size_t recordSize) {
    const size_t need = static_cast<size_t>(n) + 1;
    if (m == 0) return arrayReserve(d, array, n, need, recordSize);
    if (need <= arrayRoom(d, array, n)) return array;
    return arrayResize(d, array, n, array ? need + static_cast<size_t>(m) : static_cast<size_t>(m),
                       recordSize);
}

// Grows the order array for one more entry, 3 * m entries at a time.
bool growOrder(NodeData* d, int m) {
    void* o = growArray(d, d->order, 3 * m, orderCount(d), sizeof(int));
    if (!o) return false;
    d->order = static_cast<int*>(o);
    return true;
}

// Places a new item of kind k in a node whose arrays already have room for
// it: picks its index in the kind's array (moving later records of the kind
// up and renumbering their order entries), and writes its order entry at the
// requested position (appending when the position is negative or past the
// end).  Returns the index at which the caller stores the record.
int placeItem(NodeData* d, int position, int n, void* array, size_t recordSize, XMLElementType k) {
    const int t = orderCount(d);
    int* o = d->order;
    if (position < 0 || position >= t) {
        o[t] = orderEntry(n, k);
        return n;
    }
    int index = n;
    for (int i = position; i < t; i++) {
        if (entryKind(o[i]) == k) {
            index = entryIndex(o[i]);
            for (int j = i; j < t; j++)
                if (entryKind(o[j]) == k) o[j] = orderEntry(entryIndex(o[j]) + 1, k);
            char* a = static_cast<char*>(array);
            std::memmove(a + (index + 1) * recordSize, a + index * recordSize,
                         static_cast<size_t>(n - index) * recordSize);
            break;
        }
    }
    std::memmove(o + position + 1, o + position, static_cast<size_t>(t - position) * sizeof(int));
    o[position] = orderEntry(index, k);
    return index;
}

// Enters the new record `c` (null when it could not be made; its parent
// already `d`, its one reference handed over) into `d`'s arrays at
// `position` and returns a handle on it.  On exhaustion of memory `c` is
// released and the empty node returned, `d` unchanged.
XMLNode placeNewChild(NodeData* d, NodeData* c, int growthStep, int position) {
    XMLNode child;
    if (!c) return child;
    NodeAccess::adopt(child, c);
    void* a = NodeAccess(d).addToOrder(growthStep, &position, d->childCount, d->children,
                                       sizeof(NodeData*), elementChildNode);
    if (!a) {
        c->parent = nullptr;
        child = XMLNode();  // releases the new record
        return child;
    }
    d->children = static_cast<NodeData**>(a);
    d->children[position] = c;
    c->referenceCount++;  // the slot's reference
    d->childCount++;
    return child;
}

// Whether `x` is `d` itself or one of its ancestors.
bool isSelfOrAncestor(const NodeData* x, const NodeData* d) {
    for (; d; d = d->parent)
        if (d == x) return true;
    return false;
}

}  // namespace

// On exhaustion of memory the node is left as it was (the order array may
// have gained room, which is harmless) and null is returned; the caller then
// stores nothing and frees what it was handed.
void* XMLNode::addToOrder(int growthStep, int* position, int count, void* array, int recordSize,
                          XMLElementType kind) {
    if (count == INT_MAX || orderCount(nodeData) == INT_MAX) return nullptr;
    if (!growOrder(nodeData, growthStep)) return nullptr;
    void* grown = growArray(nodeData, array, growthStep, count, static_cast<size_t>(recordSize));
    if (!grown) return nullptr;
    *position = placeItem(nodeData, *position, count, grown, static_cast<size_t>(recordSize), kind);
    return grown;
}

// ---------------------------------------------------------------------------
// Workers
// ---------------------------------------------------------------------------

XMLAttribute* XMLNode::addAttribute_priv(int growthStep, char* name, char* value) {
    if (!name) {
        std::free(value);
        return &emptyXMLAttribute;
    }
    if (!nodeData || nodeData->attributeCount == INT_MAX) {
        std::free(name);
        std::free(value);
        return &emptyXMLAttribute;
    }
    const int n = nodeData->attributeCount;
    void* a = growArray(nodeData, nodeData->attributes, growthStep, n, sizeof(XMLAttribute));
    if (!a) {
        freeNodeString(nodeData, name);
        freeNodeString(nodeData, value);
        return &emptyXMLAttribute;
    }
    nodeData->attributes = static_cast<XMLAttribute*>(a);
    XMLAttribute* r = nodeData->attributes + n;
    storeString(nodeData, r->name, name);
    storeString(nodeData, r->value, value);
    nodeData->attributeCount = n + 1;
    return r;
}

const char* XMLNode::addText_priv(int growthStep, char* text, int position) {
    if (!text) return nullptr;
    if (!nodeData) {
        std::free(text);
        return nullptr;
    }
    void* a = addToOrder(growthStep, &position, nodeData->textCount, nodeData->texts, sizeof(char*),
                         elementText);
    if (!a) {
        freeNodeString(nodeData, text);
        return nullptr;
    }
    nodeData->texts = static_cast<char**>(a);
    storeString(nodeData, nodeData->texts[position], text);
    nodeData->textCount++;
    return text;
}

XMLClear* XMLNode::addClear_priv(int growthStep, char* value, const char* openTag,
                                 const char* closeTag, int position) {
    if (!value) return &emptyXMLClear;
    if (!nodeData) {
        std::free(value);
        return &emptyXMLClear;
    }
    void* a = addToOrder(growthStep, &position, nodeData->clearCount, nodeData->clears,
                         sizeof(XMLClear), elementClear);
    if (!a) {
        freeNodeString(nodeData, value);
        return &emptyXMLClear;
    }
    nodeData->clears = static_cast<XMLClear*>(a);
    XMLClear* r = nodeData->clears + position;
    storeString(nodeData, r->value, value);
    r->openTag = openTag ? openTag : cdataOpen;
    r->closeTag = closeTag ? closeTag : cdataClose;
    nodeData->clearCount++;
    return r;
}

XMLNode XMLNode::addChild_priv(int growthStep, char* name, char isDeclaration, int position) {
    if (!name) return XMLNode();
    if (!nodeData) {
        std::free(name);
        return XMLNode();
    }
    // The child's record is created before anything is placed, so that an
    // exhaustion of memory at either step leaves this node unchanged.
    XMLNode child(nodeData, name, isDeclaration);
    NodeData* const c = child.nodeData;
    child.nodeData = nullptr;  // its reference goes to placeNewChild
    return placeNewChild(nodeData, c, growthStep, position);
}

// ---------------------------------------------------------------------------
// Public adders: owning variants and copying variants, growth step 0
// ---------------------------------------------------------------------------

XMLAttribute* XMLNode::addAttribute_WOSD(char* name, char* value) {
    return addAttribute_priv(0, name, value);
}

XMLAttribute* XMLNode::addAttribute(const char* name, const char* value) {
    if (!name || !nodeData) return &emptyXMLAttribute;
    char* n = copyNodeString(nodeData, name);
    char* v = value ? copyNodeString(nodeData, value) : nullptr;
    if (!n || (value && !v)) {
        freeNodeString(nodeData, n);
        freeNodeString(nodeData, v);
        return &emptyXMLAttribute;
    }
    return addAttribute_priv(0, n, v);
}

const char* XMLNode::addText_WOSD(char* text, int position) {
    return addText_priv(0, text, position);
}

const char* XMLNode::addText(const char* text, int position) {
    if (!text || !nodeData) return nullptr;
    return addText_priv(0, copyNodeString(nodeData, text), position);
}

XMLClear* XMLNode::addClear_WOSD(char* value, const char* openTag, const char* closeTag,
                                 int position) {
    return addClear_priv(0, value, openTag, closeTag, position);
}

XMLClear* XMLNode::addClear(const char* value, const char* openTag, const char* closeTag,
                            int position) {
    if (!value || !nodeData) return &emptyXMLClear;
    return addClear_priv(0, copyNodeString(nodeData, value), openTag, closeTag, position);
}

XMLNode XMLNode::addChild_WOSD(char* name, char isDeclaration, int position) {
    return addChild_priv(0, name, isDeclaration, position);
}

XMLNode XMLNode::addChild(const char* name, char isDeclaration, int position) {
    if (!name || !nodeData) return XMLNode();
    NodeData* const c = newAdderRecord(isDeclaration, name);
    if (c) c->parent = nodeData;
    return placeNewChild(nodeData, c, 0, position);
}

// ---------------------------------------------------------------------------
// Moving an existing node
// ---------------------------------------------------------------------------

// Attaches the node data `x` (as a whole, whatever its name) to `d` at
// `position`.  The room is made before `x` leaves its old parent, so an
// exhaustion of memory changes nothing.  Returns false in that case.
//
// A node moved within its own parent is taken out before the position is
// read, as for every other move: the position counts the parent's contents
// without the moved node, so the node ends up exactly at that position.
static bool attachNode(NodeData* d, NodeData* x, int position) {
    const int n = d->childCount;
    const int t = orderCount(d);
    if (n == INT_MAX || t == INT_MAX) return false;
    void* c = arrayReserve(d, d->children, n, static_cast<size_t>(n) + 1, sizeof(NodeData*));
    if (!c) return false;
    d->children = static_cast<NodeData**>(c);
    void* o = arrayReserve(d, d->order, t, static_cast<size_t>(t) + 1, sizeof(int));
    if (!o) return false;
    d->order = static_cast<int*>(o);

    if (x->parent == d) {
        // Moving within its own parent: taken out by hand, because
        // detachFromParent frees the array of a parent losing its only child,
        // which is the array just grown for the new slot.
        int i = 0;
        while (d->children[i] != x) i++;
        d->childCount--;
        std::memmove(d->children + i, d->children + i + 1,
                     static_cast<size_t>(d->childCount - i) * sizeof(NodeData*));
        NodeAccess::removeOrderElement(d, elementChildNode, i);
    } else if (x->parent) {
        NodeAccess::detachFromParent(x);  // the old slot's reference moves to the new slot
    } else {
        x->referenceCount++;  // the new slot's reference
    }
    x->parent = d;
    int index =
        placeItem(d, position, d->childCount, d->children, sizeof(NodeData*), elementChildNode);
    d->children[index] = x;
    d->childCount++;
    return true;
}

// Moves every child of `x` (a nameless node, neither `d` nor an ancestor of
// it) to `d`, in their order, as attaching them one by one at a running
// position would place them: together, at `position` in `d`'s contents, or
// at the end when the position is negative or past the end.  Each child
// goes as a whole, a nameless one included, and its slot's reference goes
// with it.  `x` keeps its other contents.  The whole move is done at once,
// in time linear in the two nodes' contents (one child at a time would
// shift both arrays once per child), and the room is made first: when
// memory runs out nothing has moved and false is returned.
static bool moveChildren(NodeData* d, NodeData* x, int position) {
    const int k = x->childCount;
    if (k == 0) return true;
    const int n = d->childCount;
    const int t = orderCount(d);
    if (n > INT_MAX - k || t > INT_MAX - k) return false;
    if (!reserveMore(d, d->children, n, static_cast<size_t>(k)) ||
        !reserveMore(d, d->order, t, static_cast<size_t>(k)))
        return false;

    // Where the moved entries go in d's order, and the index in d's children
    // of the first moved child: the number of children before that place.
    int* const o = d->order;
    const int at = position < 0 || position >= t ? t : position;
    int index = 0;
    if (at == t) {
        index = n;
    } else {
        for (int i = 0; i < at; i++)
            if (entryKind(o[i]) == elementChildNode) index++;
    }
    for (int i = at; i < t; i++)
        if (entryKind(o[i]) == elementChildNode)
            o[i] = orderEntry(entryIndex(o[i]) + k, elementChildNode);
    std::memmove(o + at + k, o + at, static_cast<size_t>(t - at) * sizeof(int));
    for (int j = 0; j < k; j++) o[at + j] = orderEntry(index + j, elementChildNode);

    NodeData** const c = d->children;
    std::memmove(c + index + k, c + index, static_cast<size_t>(n - index) * sizeof(NodeData*));
    for (int j = 0; j < k; j++) {
        c[index + j] = x->children[j];
        c[index + j]->parent = d;
    }
    d->childCount = n + k;

    // x keeps its texts and clear tags, their entries in their order.
    const int xt = orderCount(x);
    int kept = 0;
    for (int i = 0; i < xt; i++)
        if (entryKind(x->order[i]) != elementChildNode) x->order[kept++] = x->order[i];
    x->childCount = 0;
    arrayFree(x, x->children);
    x->children = nullptr;
    return true;
}

// Attaching a node under itself or one of its own descendants (directly, or
// through a nameless node whose children would move) would make a cycle: it
// is refused, nothing changes, and the empty node is returned.
//
// The children of a nameless node move each as a whole: a child that is
// itself nameless is moved as a node (with its own contents) rather than
// being taken apart, so the move always ends and loses nothing.
XMLNode XMLNode::addChild(XMLNode x, int position) {
    if (!x.nodeData || !nodeData) return x;
    if (isSelfOrAncestor(x.nodeData, nodeData)) return XMLNode();
    if (!x.nodeData->name) {
        moveChildren(nodeData, x.nodeData, position);
        return x;
    }
    attachNode(nodeData, x.nodeData, position);
    return x;
}
