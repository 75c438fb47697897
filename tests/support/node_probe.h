// node_probe.h - test helpers that look inside a node's data.
#ifndef XMLPARSER_TESTS_NODE_PROBE_H
#define XMLPARSER_TESTS_NODE_PROBE_H

#include <vector>

#include "internal.h"

// The node's reference count.
inline int refs(const XMLNode& n) { return xml_internal::NodeAccess::data(n)->referenceCount; }

// The node's order entries (index * 4 + kind), in document order.
inline std::vector<int> orderOf(const XMLNode& n) {
    const xml_internal::NodeData* d = xml_internal::NodeAccess::data(n);
    if (!d->order) return {};
    return std::vector<int>(d->order, d->order + xml_internal::orderCount(d));
}

#endif
