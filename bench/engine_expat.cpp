// engine_expat.cpp - expat, a streaming parser, as a reference: it reads the
// whole document and reports every element and text to handlers that only
// count them, so it builds no tree.  Its "tree" is the count record.
#include "engines.h"

#include <expat.h>

namespace bench {

namespace {

struct Counts {
    size_t elements = 0;
    size_t textBytes = 0;
};

void XMLCALL onStart(void* data, const XML_Char*, const XML_Char**) {
    static_cast<Counts*>(data)->elements++;
}
void XMLCALL onEnd(void*, const XML_Char*) {}
void XMLCALL onText(void* data, const XML_Char*, int length) {
    static_cast<Counts*>(data)->textBytes += static_cast<size_t>(length);
}

void* parse(const char* text, size_t size) {
    Counts* counts = new Counts;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, counts);
    XML_SetElementHandler(parser, onStart, onEnd);
    XML_SetCharacterDataHandler(parser, onText);
    bool ok = XML_Parse(parser, text, static_cast<int>(size), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    if (!ok) {
        delete counts;
        return nullptr;
    }
    return counts;
}

void release(void* tree) { delete static_cast<Counts*>(tree); }

}  // namespace

void addExpat(std::vector<Engine>& engines) {
    engines.push_back(Engine{"expat", parse, release, nullptr, nullptr, nullptr, nullptr});
}

}  // namespace bench
