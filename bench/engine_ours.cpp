// engine_ours.cpp - this library: parseString from memory, createXMLString
// in compact mode (format flag 0).
#include "engines.h"

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

}  // namespace

void addOurs(std::vector<Engine>& engines) {
    engines.push_back(Engine{"ours", parse, release, write, releaseOutput});
}

}  // namespace bench
