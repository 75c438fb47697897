// engine_ours.cpp - this library: parseString from memory, createXMLString
// in compact mode (format flag 0).
#include "engines.h"

#include <cstdint>
#include <cstring>

#include "internal.h"
#include "xmlParser.h"

namespace bench {

namespace {

void* parse(const char* text, size_t) {
    XMLResults results;
    XMLNode root = XMLNode::parseString(text, nullptr, &results);
    if (results.errorCode != errorNone || root.isEmpty()) return nullptr;
    return new XMLNode(root);
}

void release(void* tree) { delete static_cast<XMLNode*>(tree); }

void* write(void* tree, size_t* length) {
    int size = 0;
    char* text = static_cast<XMLNode*>(tree)->createXMLString(0, &size);
    *length = text ? static_cast<size_t>(size) : 0;
    return text;
}

void releaseOutput(void* output) { freeXMLString(static_cast<char*>(output)); }

using xml_internal::NodeAccess;
using xml_internal::NodeData;

// The writer's reads without its writing: every name, attribute, text and
// clear-tag value whole (strlen, as the writer must find each end), the
// order entries of nodes that mix kinds, and the children, depth first with
// a stack kept between calls.  It fetches ahead the way the writer does (the
// kilobyte 4 KB above each node), so that it stays a floor under the writer.
size_t readTree(void* tree) {
    static std::vector<NodeData*> stack;
    stack.clear();
    size_t sum = 0;
    stack.push_back(NodeAccess::data(*static_cast<XMLNode*>(tree)));
    while (!stack.empty()) {
        NodeData* d = stack.back();
        stack.pop_back();
        const uintptr_t ahead = reinterpret_cast<uintptr_t>(d) + 4096;
        for (uintptr_t i = 0; i < 16; i++)
            __builtin_prefetch(reinterpret_cast<const void*>(ahead + 64 * i));
        if (d->name) sum += std::strlen(d->name);
        for (int i = 0; i < d->attributeCount; i++) {
            sum += std::strlen(d->attributes[i].name);
            if (d->attributes[i].value) sum += std::strlen(d->attributes[i].value);
        }
        const bool mixed = (d->childCount != 0) + (d->textCount != 0) + (d->clearCount != 0) > 1;
        if (mixed)
            for (int i = 0; i < xml_internal::orderCount(d); i++) sum += static_cast<size_t>(d->order[i]);
        for (int i = 0; i < d->textCount; i++) sum += std::strlen(d->texts[i]);
        for (int i = 0; i < d->clearCount; i++)
            if (d->clears[i].value) sum += std::strlen(d->clears[i].value);
        for (int i = d->childCount - 1; i >= 0; i--) stack.push_back(d->children[i]);
    }
    return sum;
}

// The length pass of compact writing, as createXMLString(0) runs it.
size_t lengthPass(void* tree) {
    const int n = NodeAccess::CreateXMLStringR(NodeAccess::data(*static_cast<XMLNode*>(tree)),
                                               nullptr, -1);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

}  // namespace

void addOurs(std::vector<Engine>& engines) {
    engines.push_back(Engine{"ours", parse, release, write, releaseOutput, readTree, lengthPass});
}

}  // namespace bench
