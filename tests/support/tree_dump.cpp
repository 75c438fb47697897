// tree_dump.cpp - see tree_dump.h.  Used on small trees only (recursive).
#include "tree_dump.h"

#include "internals.h"

using xml_internal::NodeAccess;
using xml_internal::NodeData;

namespace {

std::string str(const char* s) { return s ? s : "<null>"; }

void dump(const NodeData* d, std::string& out) {
    if (d->declarationFlag) out += '?';
    out += d->name ? d->name : "#";
    if (d->attributeCount) {
        out += '{';
        for (int i = 0; i < d->attributeCount; i++) {
            if (i) out += ',';
            out += d->attributes[i].name;
            if (d->attributes[i].value) {
                out += '=';
                out += d->attributes[i].value;
            }
        }
        out += '}';
    }
    const int n = xml_internal::orderCount(d);
    if (!n) return;
    out += '(';
    for (int i = 0; i < n; i++) {
        if (i) out += ',';
        const int e = d->order[i];
        const int k = e >> 2;
        switch (e & 3) {
            case elementChildNode: dump(d->children[k], out); break;
            case elementText: out += '"' + str(d->texts[k]) + '"'; break;
            case elementClear:
                out += '[' + str(d->clears[k].openTag) + '|' + str(d->clears[k].value) + '|' +
                       str(d->clears[k].closeTag) + ']';
                break;
            default: out += "?kind"; break;
        }
    }
    out += ')';
}

}  // namespace

std::string dumpTree(const XMLNode& node) {
    const NodeData* d = NodeAccess::data(node);
    if (!d) return "-";
    std::string out;
    dump(d, out);
    return out;
}
