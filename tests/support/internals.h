// internals.h - the one way tests reach the library's internals: the
// internal declarations of every subsystem, and probes that look inside a
// node's data and its memory.
#ifndef XMLPARSER_TESTS_INTERNALS_H
#define XMLPARSER_TESTS_INTERNALS_H

#include <vector>

#include "internal.h"
#include "model/memory.h"
#include "model/walk.h"

// The node's reference count.
inline int refs(const XMLNode& n) { return xml_internal::NodeAccess::data(n)->referenceCount; }

// The node's order entries (index * 4 + kind), in document order.
inline std::vector<int> orderOf(const XMLNode& n) {
    const xml_internal::NodeData* d = xml_internal::NodeAccess::data(n);
    if (!d->order) return {};
    return std::vector<int>(d->order, d->order + xml_internal::orderCount(d));
}

// Whether `p` (a string or array of `d`) lies in the block `d` holds, so
// that it goes with the block and is never freed on its own.
inline bool inNodeBlock(const xml_internal::NodeData* d, const void* p) {
    return xml_internal::inBlock(d, p);
}

// The address that free receives for an array of `d` kept on the heap (its
// capacity header comes first), or null for one in a block.
inline const void* heapBlockOf(const xml_internal::NodeData* d, const void* array) {
    if (!array || xml_internal::inBlock(d, array)) return nullptr;
    return static_cast<const size_t*>(array) - 1;
}

// The room of an array of `d` that holds `count` records.
inline size_t roomOf(const xml_internal::NodeData* d, const void* array, int count) {
    return xml_internal::arrayRoom(d, array, count);
}

#endif
