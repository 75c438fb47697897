// cmd_get.cpp - `xmltool get FILE PATH[@ATTR]`: print one value.
#include <cstdio>
#include <strings.h>

#include "xmltool.h"

namespace xmltool {

namespace {

// The document's root element: the parse gives it directly, or a nameless
// node (or an XML declaration) holding it among other items.
XMLNode rootElement(XMLNode node) {
    while (!node.isEmpty() && (node.getName() == nullptr || node.isDeclaration())) {
        XMLNode next;
        for (int i = 0; i < node.nChildNode(); i++) {
            XMLNode c = node.getChildNode(i);
            if (c.getName() && !c.isDeclaration()) return c;
            if (next.isEmpty()) next = c;  // a declaration may hold the rest
        }
        node = next;
    }
    return node;
}

}  // namespace

int runGet(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.size() != 2) throw UsageError{"get needs FILE and PATH"};
    const std::string& file = args[0];
    std::string path = args[1];
    std::string attribute;
    const size_t at = path.rfind('@');
    if (at != std::string::npos && path.find('/', at) == std::string::npos) {
        attribute = path.substr(at + 1);
        path.erase(at);
        if (attribute.empty()) throw UsageError{"empty attribute name in PATH"};
    }
    while (!path.empty() && path[0] == '/') path.erase(0, 1);
    if (path.empty()) throw UsageError{"PATH names no element"};

    XMLResults results;
    XMLNode document = parseInput(options, file, results);
    if (!reportParse(stderr, file, results)) return exitFailure;

    // The first segment names the root element; the rest is looked up below it.
    XMLNode node = rootElement(document);
    const size_t slash = path.find('/');
    const std::string first = path.substr(0, slash);
    if (node.isEmpty() || strcasecmp(node.getName(), first.c_str()) != 0) return exitFailure;
    if (slash != std::string::npos) node = node.getChildNodeByPath(path.c_str() + slash + 1, 0, '/');
    if (node.isEmpty()) return exitFailure;

    const char* value = attribute.empty() ? node.getText(0) : node.getAttribute(attribute.c_str());
    if (!value) return exitFailure;
    std::printf("%s\n", value);
    return exitOk;
}

}  // namespace xmltool
