// engine_rapidxml.cpp - rapidxml, compared as a parser only.  It parses in
// place and changes the text, so each parse first copies the document into a
// buffer of its own (counted in its time and memory, as pugixml's internal
// copy is); comments, the document type and the declaration are kept.
#include "engines.h"

#include <rapidxml/rapidxml.hpp>

#include <cstdlib>
#include <cstring>
#include <new>

namespace bench {

namespace {

const int kParse = rapidxml::parse_comment_nodes | rapidxml::parse_doctype_node |
                   rapidxml::parse_declaration_node;

struct Tree {
    char* text;
    rapidxml::xml_document<> doc;
};

void* parse(const char* text, size_t size) {
    Tree* tree = new Tree;
    tree->text = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(tree->text, text, size + 1);
    try {
        tree->doc.parse<kParse>(tree->text);
    } catch (const rapidxml::parse_error&) {
        std::free(tree->text);
        delete tree;
        return nullptr;
    }
    return tree;
}

void release(void* p) {
    Tree* tree = static_cast<Tree*>(p);
    std::free(tree->text);
    delete tree;
}

}  // namespace

void addRapidxml(std::vector<Engine>& engines) {
    engines.push_back(Engine{"rapidxml", parse, release, nullptr, nullptr, nullptr, nullptr});
}

}  // namespace bench
