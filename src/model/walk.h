// walk.h - the depth-first walks over a subtree, without recursion, that
// release, deep copy and the writer share.
//
// readWalk visits a subtree in document order and changes nothing:
//
//     struct Visitor {
//         // Called when a node is reached (the root first).  Return true
//         // to walk its content, false to pass over it (leave is then not
//         // called for it).
//         bool enter(NodeData* d);
//         // Called for each text (kind elementText) and clear tag (kind
//         // elementClear) of an entered node, at its place among the
//         // children; index is its index in texts or clears.
//         void item(NodeData* d, XMLElementType kind, int index);
//         // Called once all the content of an entered node has been walked.
//         void leave(NodeData* d);
//     };
//     bool ok = readWalk(root, visitor);
//
// The walk keeps one int per open level (the position reached in that
// node's order array) on the heap; the way back up follows the `parent`
// pointers.  It returns false, having called leave for no node still open,
// only when that stack cannot grow (memory exhausted); the visitor then
// cleans up what it built.  A node whose order array is null is walked as
// having no content.
//
// dismantleWalk visits a subtree in post-order to take it apart and needs
// no memory at all, so a release can never fail:
//
//     // For each child slot of a node being taken apart: return true to
//     // take the child apart too, false to pass over it.
//     bool descend(NodeData* child);
//     // Called for each node once all its descended children are done; the
//     // node's `parent` and `childCount` are read before the call (the
//     // visitor may free the record).
//     void done(NodeData* d);
//
// It uses each node's childCount as the cursor over its children (the last
// is taken first, and the count is left at 0), and `parent` to go back up.
// The cursor is stored only when the walk goes down into a child that has
// children itself; a descended child without children is done at once.
#ifndef XMLPARSER_MODEL_WALK_H
#define XMLPARSER_MODEL_WALK_H

#include "model/node_data.h"

namespace xml_internal {

// Asks for the `lines` lines of 64 bytes from the address `from` on, so that
// a walk's coming loads overlap.  Walks of a tree the parser wrote reach
// the nodes nested in one below it in memory (each node is written when it
// closes) and its later siblings above it.  A prefetch never faults, so the
// addresses (computed as numbers) need not lie in any block.
inline void prefetchLines(uintptr_t from, int lines) {
    for (int i = 0; i < lines; i++)
        __builtin_prefetch(reinterpret_cast<const void*>(from + 64 * static_cast<uintptr_t>(i)));
}

template <typename Visitor>
bool readWalk(NodeData* root, Visitor& v) {
    if (!v.enter(root)) return true;
    constexpr size_t kLocal = 64;
    int local[kLocal];
    int* stack = local;
    size_t capacity = kLocal;
    size_t depth = 0;  // levels open below the root
    int position = 0;  // in the current node's order array
    NodeData* d = root;
    bool ok = true;
    for (;;) {
        const int t = d->order ? orderCount(d) : 0;
        if (position < t) {
            const int entry = d->order[position++];
            const int kind = entryKind(entry);
            if (kind != elementChildNode) {
                v.item(d, static_cast<XMLElementType>(kind), entryIndex(entry));
                continue;
            }
            NodeData* c = d->children[entryIndex(entry)];
            if (!v.enter(c)) continue;
            if (depth == capacity) {
                const size_t grown = capacity * 2;
                int* s = static_cast<int*>(std::malloc(grown * sizeof(int)));
                if (!s) {
                    ok = false;
                    break;
                }
                std::memcpy(s, stack, depth * sizeof(int));
                if (stack != local) std::free(stack);
                stack = s;
                capacity = grown;
            }
            stack[depth++] = position;
            d = c;
            position = 0;
            continue;
        }
        v.leave(d);
        if (depth == 0) break;
        position = stack[--depth];
        d = d->parent;
    }
    if (stack != local) std::free(stack);
    return ok;
}

template <typename Visitor>
void dismantleWalk(NodeData* root, Visitor& v) {
    NodeData* d = root;
    int n = d->childCount;  // the cursor of `d`, kept in its childCount while below it
    for (;;) {
        if (n > 0) {
            NodeData* const c = d->children[--n];
            if (!v.descend(c)) continue;
            const int below = c->childCount;
            if (below == 0) {
                v.done(c);  // a leaf: done at once
                continue;
            }
            d->childCount = n;
            d = c;  // its `parent` leads back here
            n = below;
            continue;
        }
        d->childCount = 0;
        NodeData* const up = d->parent;
        const bool last = d == root;
        v.done(d);
        if (last) break;
        d = up;
        n = d->childCount;
    }
}

}  // namespace xml_internal

#endif  // XMLPARSER_MODEL_WALK_H
