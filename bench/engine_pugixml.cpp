// engine_pugixml.cpp - pugixml: load_buffer (which copies the input) with
// parse_full, so comments, the document type and the declaration are kept as
// they are in our tree; compact writing is save() with format_raw and no
// added declaration; a build through append_child and append_attribute.
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

// Each text is a PCDATA child, as pugixml keeps texts.
void text(pugi::xml_node element, const std::string& value) {
    element.append_child(pugi::node_pcdata).set_value(value.c_str());
}

void* build(const BuildPlan& plan) {
    pugi::xml_document* doc = new pugi::xml_document;
    pugi::xml_node root = doc->append_child("records");
    for (const PlannedRecord& r : plan.records) {
        pugi::xml_node record = root.append_child("record");
        record.append_attribute("id").set_value(r.id.c_str());
        record.append_attribute("kind").set_value(r.kind.c_str());
        text(record.append_child("name"), r.name);
        pugi::xml_node price = record.append_child("price");
        price.append_attribute("currency").set_value("EUR");
        text(price, r.price);
        text(record.append_child("qty"), r.qty);
        text(record.append_child("active"), r.active);
        pugi::xml_node tags = record.append_child("tags");
        for (const std::string& t : r.tags) text(tags.append_child("tag"), t);
        pugi::xml_node when = record.append_child("when");
        when.append_attribute("y").set_value(r.year.c_str());
        when.append_attribute("m").set_value(r.month.c_str());
        when.append_attribute("d").set_value(r.day.c_str());
    }
    return doc;
}

}  // namespace

void addPugixml(std::vector<Engine>& engines) {
    engines.push_back(Engine{"pugixml", parse, release, write, releaseOutput, nullptr, build});
}

}  // namespace bench
