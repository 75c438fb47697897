// engine_pugixml.cpp - pugixml: load_buffer (which copies the input) with
// parse_full, so comments, the document type and the declaration are kept as
// they are in our tree; compact writing is save() with format_raw and no
// added declaration.
#include "engines.h"

#include <pugixml.hpp>

#include <string>

namespace bench {

namespace {

const unsigned kParse = pugi::parse_full;

void* parse(const char* text, size_t size) {
    pugi::xml_document* doc = new pugi::xml_document;
    if (!doc->load_buffer(text, size, kParse, pugi::encoding_utf8)) {
        delete doc;
        return nullptr;
    }
    return doc;
}

void release(void* tree) { delete static_cast<pugi::xml_document*>(tree); }

// Writes into a new string, as createXMLString returns a new string: the
// string grows (by doubling) as pugixml hands over its chunks.
struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

void* write(void* tree, size_t* length) {
    StringWriter* writer = new StringWriter;
    static_cast<pugi::xml_document*>(tree)->save(
        *writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    *length = writer->text.size();
    return writer;
}

void releaseOutput(void* output) { delete static_cast<StringWriter*>(output); }

}  // namespace

void addPugixml(std::vector<Engine>& engines) {
    engines.push_back(Engine{"pugixml", parse, release, write, releaseOutput, nullptr, nullptr});
}

}  // namespace bench
