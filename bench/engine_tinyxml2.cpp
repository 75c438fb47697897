// engine_tinyxml2.cpp - tinyxml2: XMLDocument::Parse from memory (entities
// processed, its default white-space handling); compact writing through an
// XMLPrinter in compact mode.
#include "engines.h"

#include <tinyxml2.h>

namespace bench {

namespace {

void* parse(const char* text, size_t size) {
    tinyxml2::XMLDocument* doc = new tinyxml2::XMLDocument;
    if (doc->Parse(text, size) != tinyxml2::XML_SUCCESS) {
        delete doc;
        return nullptr;
    }
    return doc;
}

void release(void* tree) { delete static_cast<tinyxml2::XMLDocument*>(tree); }

void* write(void* tree, size_t* length) {
    tinyxml2::XMLPrinter* printer = new tinyxml2::XMLPrinter(nullptr, true);
    static_cast<tinyxml2::XMLDocument*>(tree)->Print(printer);
    *length = static_cast<size_t>(printer->CStrSize() > 0 ? printer->CStrSize() - 1 : 0);
    return printer;
}

void releaseOutput(void* output) { delete static_cast<tinyxml2::XMLPrinter*>(output); }

}  // namespace

void addTinyxml2(std::vector<Engine>& engines) {
    engines.push_back(Engine{"tinyxml2", parse, release, write, releaseOutput, nullptr, nullptr});
}

}  // namespace bench
