// cmd_get.cpp - `xmltool get FILE PATH[@ATTR]`: print one value.
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "xmltool.h"

namespace xmltool {

namespace {

// One step of a path: an element name and which of the elements of that
// name it means, from 0 (the user writes name[n], counting from 1).
struct Step {
    std::string name;
    int occurrence = 0;
};

std::vector<Step> parsePath(const std::string& path) {
    std::vector<Step> steps;
    size_t from = 0;
    while (from < path.size() && path[from] == '/') from++;
    if (from == path.size()) throw UsageError{"PATH names no element"};
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        const std::string text = path.substr(from, slash - from);
        Step step;
        step.name = text;
        const size_t bracket = text.find('[');
        if (bracket != std::string::npos) {
            step.name = text.substr(0, bracket);
            const std::string count = text.substr(bracket + 1);
            long n = 0;
            bool digits = count.size() >= 2 && count.size() <= 10 && count.back() == ']';
            for (size_t i = 0; digits && i + 1 < count.size(); i++) {
                if (count[i] < '0' || count[i] > '9')
                    digits = false;
                else
                    n = n * 10 + (count[i] - '0');
            }
            if (!digits || n < 1 || n > 0x7fffffff)
                throw UsageError{"bad step '" + text +
                                 "' in PATH (write name[n], n counted from 1)"};
            step.occurrence = static_cast<int>(n - 1);
        }
        if (step.name.empty()) throw UsageError{"empty step in PATH '" + path + "'"};
        steps.push_back(step);
        from = slash + 1;
    }
    return steps;
}

// The elements at the top of a parsed document: the document itself when
// the parse gave its root directly, else the nameless node (or the XML
// declaration) holding the root among other items.
XMLNode topContainer(const XMLNode& document) {
    if (document.getName() && !document.isDeclaration()) return XMLNode();
    XMLNode node = document;
    // A declaration may hold the rest of the document as its children.
    while (!node.isEmpty()) {
        XMLNode declaration;
        for (int i = 0; i < node.nChildNode(); i++) {
            XMLNode c = node.getChildNode(i);
            if (c.getName() && !c.isDeclaration()) return node;
            if (declaration.isEmpty() && c.isDeclaration()) declaration = c;
        }
        node = declaration;
    }
    return node;
}

// The n-th element named `name` at the top of the document.
XMLNode rootElement(const XMLNode& document, const Step& step) {
    const XMLNode top = topContainer(document);
    if (top.isEmpty()) {
        const char* name = document.getName();
        return step.occurrence == 0 && name && strcasecmp(name, step.name.c_str()) == 0 ? document
                                                                                        : XMLNode();
    }
    int seen = 0;
    for (int i = 0; i < top.nChildNode(); i++) {
        XMLNode c = top.getChildNode(i);
        if (c.getName() && !c.isDeclaration() && strcasecmp(c.getName(), step.name.c_str()) == 0 &&
            seen++ == step.occurrence)
            return c;
    }
    return XMLNode();
}

// The character data of an element: its texts and CDATA sections in
// document order, joined.  False when it has neither.
bool characterData(const XMLNode& node, std::string& out) {
    bool found = false;
    for (int i = 0; i < node.nElement(); i++) {
        const XMLContentEntry e = node.enumContents(i);
        if (e.kind == elementText && e.text) {
            out += e.text;
            found = true;
        } else if (e.kind == elementClear && e.clear.openTag && e.clear.value &&
                   std::strcmp(e.clear.openTag, "<![CDATA[") == 0) {
            out += e.clear.value;
            found = true;
        }
    }
    return found;
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
    const std::vector<Step> steps = parsePath(path);

    const Parsed parsed = parseInput(options, file);
    if (!reportParse(stderr, parsed)) return exitFailure;

    XMLNode node = rootElement(parsed.document, steps[0]);
    for (size_t i = 1; i < steps.size() && !node.isEmpty(); i++)
        node = node.getChildNode(steps[i].name.c_str(), steps[i].occurrence);
    const std::string name = displayName(file);
    if (node.isEmpty()) {
        std::fprintf(stderr, "%s: no node at %s\n", name.c_str(), path.c_str());
        return exitFailure;
    }
    std::string value;
    if (!attribute.empty()) {
        const char* v = node.getAttribute(attribute.c_str());
        // An attribute written without a value has none to print but is there.
        if (!v && node.isAttributeSet(attribute.c_str())) v = "";
        if (!v) {
            std::fprintf(stderr, "%s: no attribute %s at %s\n", name.c_str(), attribute.c_str(),
                         path.c_str());
            return exitFailure;
        }
        value = v;
    } else if (!characterData(node, value)) {
        std::fprintf(stderr, "%s: no text at %s\n", name.c_str(), path.c_str());
        return exitFailure;
    }
    std::fwrite(value.data(), 1, value.size(), stdout);
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0 ? exitOk : exitFailure;
}

}  // namespace xmltool
