// deep_copy.cpp - duplicating a node and all its descendants into a new,
// independent tree.
#include "internal.h"
#include "model/walk.h"

using namespace xml_internal;

namespace {

// A new root record holding copies of `s`'s name, attributes, order, texts
// and clear tags (delimiters shared), with room for exactly `s->childCount`
// children but none filled in yet (childCount 0).  Counts are raised only
// as records are completed, so a record abandoned half-way can be released
// like any other.  Returns false when memory runs out; `*out` then holds
// whatever was built (or null) and the caller releases it.
bool copyShell(const NodeData* s, NodeData** out) {
    NodeData* d = static_cast<NodeData*>(std::malloc(sizeof(NodeData)));
    *out = d;
    if (!d) return false;
    clearNodeData(d);
    d->declarationFlag = s->declarationFlag;
    d->referenceCount = 1;

    d->name = stringDup(s->name);
    if (s->name && !d->name) return false;

    if (s->attributeCount > 0) {
        d->attributes = static_cast<XMLAttribute*>(
            std::malloc(static_cast<size_t>(s->attributeCount) * sizeof(XMLAttribute)));
        if (!d->attributes) return false;
        for (int i = 0; i < s->attributeCount; i++) {
            const XMLAttribute& a = s->attributes[i];
            char* name = stringDup(a.name);
            char* value = stringDup(a.value);
            if ((a.name && !name) || (a.value && !value)) {
                std::free(name);
                std::free(value);
                return false;
            }
            d->attributes[i].name = name;
            d->attributes[i].value = value;
            d->attributeCount = i + 1;
        }
    }

    const int t = orderCount(s);
    if (s->order && t > 0) {
        d->order = static_cast<int*>(std::malloc(static_cast<size_t>(t) * sizeof(int)));
        if (!d->order) return false;
        std::memcpy(d->order, s->order, static_cast<size_t>(t) * sizeof(int));
    }

    if (s->textCount > 0) {
        d->texts = static_cast<char**>(std::malloc(static_cast<size_t>(s->textCount) * sizeof(char*)));
        if (!d->texts) return false;
        for (int i = 0; i < s->textCount; i++) {
            char* text = stringDup(s->texts[i]);
            if (s->texts[i] && !text) return false;
            d->texts[i] = text;
            d->textCount = i + 1;
        }
    }

    if (s->clearCount > 0) {
        d->clears = static_cast<XMLClear*>(
            std::malloc(static_cast<size_t>(s->clearCount) * sizeof(XMLClear)));
        if (!d->clears) return false;
        for (int i = 0; i < s->clearCount; i++) {
            const XMLClear& c = s->clears[i];
            char* value = stringDup(c.value);
            if (c.value && !value) return false;
            d->clears[i].value = value;
            d->clears[i].openTag = c.openTag;
            d->clears[i].closeTag = c.closeTag;
            d->clearCount = i + 1;
        }
    }

    if (s->childCount > 0) {
        d->children = static_cast<NodeData**>(
            std::malloc(static_cast<size_t>(s->childCount) * sizeof(NodeData*)));
        if (!d->children) return false;
    }
    return true;
}

}  // namespace

// The copy follows the reading walk over the source: each node entered gets
// its copy, attached under the copy of its parent (whose children slots are
// filled in order), and leaving a node moves back up to the copy of its
// parent.  When memory runs out, the partial copy is released (it is always
// a consistent tree) and the empty node is returned.
XMLNode XMLNode::deepCopy() const {
    if (!nodeData) return XMLNode();
    struct Copy {
        NodeData* root = nullptr;     // the copy of the walk's root
        NodeData* current = nullptr;  // the copy of the node last entered
        NodeData* failedShell = nullptr;
        bool failed = false;
        bool enter(NodeData* s) {
            if (failed) return false;
            NodeData* c;
            if (!copyShell(s, &c)) {
                failed = true;
                failedShell = c;
                return false;
            }
            if (current) {
                c->parent = current;
                current->children[current->childCount++] = c;
            } else {
                root = c;
            }
            current = c;
            return true;
        }
        void item(NodeData*, XMLElementType, int) {}
        void leave(NodeData*) { current = current->parent; }
    } copy;
    const bool walked = readWalk(nodeData, copy);
    XMLNode result;  // takes over the root record's one reference
    result.nodeData = copy.root;
    if (!walked || copy.failed) {
        XMLNode partial;  // releases the half-built record, if any
        partial.nodeData = copy.failedShell;
        return XMLNode();  // `result` releases the rest
    }
    return result;
}
