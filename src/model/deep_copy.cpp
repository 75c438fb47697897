// deep_copy.cpp - duplicating a node and all its descendants into a new,
// independent tree.
#include "internal.h"

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

// Walks the source depth first without recursion: the next child to copy
// under a copied node is the one at its own childCount (its slots are filled
// in order), and the way back up follows the parent pointers of the source
// and of the copy, so any depth takes constant stack and no extra memory.
// When memory runs out, the partial copy is released (it is always a
// consistent tree) and the empty node is returned.
XMLNode XMLNode::deepCopy() const {
    if (!nodeData) return XMLNode();
    XMLNode result;  // takes over the root record's one reference
    NodeData* root;
    const bool ok = copyShell(nodeData, &root);
    result.nodeData = root;
    if (!ok) return XMLNode();  // `result` releases what was built

    const NodeData* s = nodeData;
    NodeData* c = root;
    for (;;) {
        if (c->childCount < s->childCount) {
            const NodeData* sc = s->children[c->childCount];
            NodeData* cc;
            const bool copied = copyShell(sc, &cc);
            if (!copied) {
                XMLNode partial;  // releases the half-built record, if any
                partial.nodeData = cc;
                return XMLNode();  // `result` releases the rest
            }
            cc->parent = c;
            c->children[c->childCount++] = cc;
            s = sc;
            c = cc;
        } else if (c == root) {
            break;
        } else {
            s = s->parent;
            c = c->parent;
        }
    }
    return result;
}
