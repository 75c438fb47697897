// engine_ours.cpp - this library: parseString from memory, createXMLString
// in compact mode (format flag 0), deepCopy, and a build through addChild,
// addAttribute and addText.
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

void* copy(void* tree) { return new XMLNode(static_cast<XMLNode*>(tree)->deepCopy()); }

void* build(const BuildPlan& plan) {
    XMLNode* root = new XMLNode(XMLNode::createXMLTopNode("records"));
    for (const PlannedRecord& r : plan.records) {
        XMLNode record = root->addChild("record");
        record.addAttribute("id", r.id.c_str());
        record.addAttribute("kind", r.kind.c_str());
        record.addChild("name").addText(r.name.c_str());
        XMLNode price = record.addChild("price");
        price.addAttribute("currency", "EUR");
        price.addText(r.price.c_str());
        record.addChild("qty").addText(r.qty.c_str());
        record.addChild("active").addText(r.active.c_str());
        XMLNode tags = record.addChild("tags");
        for (const std::string& t : r.tags) tags.addChild("tag").addText(t.c_str());
        XMLNode when = record.addChild("when");
        when.addAttribute("y", r.year.c_str());
        when.addAttribute("m", r.month.c_str());
        when.addAttribute("d", r.day.c_str());
    }
    return root;
}

}  // namespace

void addOurs(std::vector<Engine>& engines) {
    engines.push_back(Engine{"ours", parse, release, write, releaseOutput, copy, build});
}

}  // namespace bench
