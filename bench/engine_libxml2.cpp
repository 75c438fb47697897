// engine_libxml2.cpp - libxml2: xmlReadMemory without network access and
// without blank text nodes (our parser and pugixml drop them too); compact
// writing with xmlDocDumpFormatMemoryEnc, format 0.
#include "engines.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace bench {

namespace {

void* parse(const char* text, size_t size) {
    return xmlReadMemory(text, static_cast<int>(size), "bench.xml", nullptr,
                         XML_PARSE_NONET | XML_PARSE_NOBLANKS);
}

void release(void* tree) { xmlFreeDoc(static_cast<xmlDocPtr>(tree)); }

void* write(void* tree, size_t* length) {
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(static_cast<xmlDocPtr>(tree), &text, &size, "UTF-8", 0);
    *length = text ? static_cast<size_t>(size) : 0;
    return text;
}

void releaseOutput(void* output) { xmlFree(output); }

}  // namespace

void addLibxml2(std::vector<Engine>& engines) {
    xmlInitParser();
    engines.push_back(Engine{"libxml2", parse, release, write, releaseOutput, nullptr, nullptr});
}

}  // namespace bench
