// fuzz_parse.cpp - arbitrary bytes parsed in every encoding mode and with
// every combination of the three flags (chosen by the input's first byte);
// the tree is checked, written formatted and compact, and the compact text
// is parsed and written again.
#include <strings.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "internal.h"
#include "tree_compare.h"

using namespace xml_internal;

namespace {

const XMLNode::XMLCharEncoding kEncodings[6] = {
    XMLNode::charEncodingUTF8,   XMLNode::charEncodingLegacy, XMLNode::charEncodingShiftJIS,
    XMLNode::charEncodingGB2312, XMLNode::charEncodingBig5,   XMLNode::charEncodingGBK};

// Whether the string ends inside a multibyte character: its lead byte claims
// bytes that the terminating zero cuts off.
bool endsInCutCharacter(const char* s) {
    if (!s) return false;
    const unsigned char* table = XML_ByteTable;
    while (*s) {
        const int n = table[static_cast<unsigned char>(*s)];
        for (int i = 1; i < n; i++)
            if (!s[i]) return true;
        s += n;
    }
    return false;
}

bool startsWithClearTag(const char* name) {
    std::string tag = std::string("<") + name;
    for (const ClearTagRow* row = XMLClearTags; row->open; ++row)
        if (tag.compare(0, static_cast<size_t>(row->openLength), row->open) == 0) return true;
    return false;
}

bool endsWith(const char* s, char c) {
    size_t n = std::strlen(s);
    return n && s[n - 1] == c;
}

bool isSpace(char c) { return isWhiteSpace(static_cast<unsigned char>(c)); }

// The round trip "compact text -> parse -> compact text" reproduces the text
// for every tree the parser builds except those holding one of the following,
// which the writer cannot express in a form the parser reads back the same:
//  - a string that ends inside a multibyte character (a numeric reference
//    such as "&#233;" yields a lone lead byte in UTF-8 mode, and trimming
//    white space may cut off a double-byte character whose trail byte is
//    white space): written raw, the lead byte swallows the markup after it;
//  - an empty text ("&#;"), or with dropWhiteSpace a text that begins or
//    ends with white space (from "&#32;"): the writer writes them as they
//    are and the parser drops or trims them;
//  - an element name that the parser read after white space ("< /x>",
//    "< ?x>", "< !--x>", "< PRE>") and that, written right after "<", makes
//    an end tag, a declaration or a clear tag; a name or attribute name that
//    ends with "/" (written before ">" it makes "/>"); a name that begins
//    with a quote (written values in double quotes then close it);
//  - a declaration without attributes or whose name ends with "?" (written
//    "<?pi?>", which reads back as the name "pi?"), and a declaration nested
//    in an element that has content (no end tag is written for a declaration,
//    and a nested one is closed by its "?>").
bool reproducible(const XMLNode& root) {
    std::vector<const NodeData*> stack;
    if (NodeAccess::data(root)) stack.push_back(NodeAccess::data(root));
    while (!stack.empty()) {
        const NodeData* d = stack.back();
        stack.pop_back();
        if (d->name) {
            const char* n = d->name;
            if (endsInCutCharacter(n) || endsWith(n, '/') || n[0] == '"' || n[0] == '\'')
                return false;
            if (d->declarationFlag) {
                if (d->attributeCount == 0 || endsWith(n, '?')) return false;
                if (orderCount(d) > 0 && d->parent && d->parent->parent) return false;
            } else if (n[0] == '/' || n[0] == '?' || startsWithClearTag(n) ||
                       std::strcmp(n, "PRE") == 0) {
                return false;
            }
        }
        for (int i = 0; i < d->attributeCount; i++) {
            const XMLAttribute& a = d->attributes[i];
            if (endsInCutCharacter(a.name) || endsInCutCharacter(a.value) ||
                endsWith(a.name, '/') || a.name[0] == '"' || a.name[0] == '\'')
                return false;
        }
        for (int i = 0; i < d->textCount; i++) {
            const char* t = d->texts[i];
            if (!t[0] || endsInCutCharacter(t)) return false;
            if (dropWhiteSpace && (isSpace(t[0]) || isSpace(t[std::strlen(t) - 1]))) return false;
        }
        for (int i = 0; i < d->clearCount; i++)
            if (endsInCutCharacter(d->clears[i].value)) return false;
        for (int i = 0; i < d->childCount; i++) stack.push_back(d->children[i]);
    }
    return true;
}

void checkWritten(const XMLNode& tree, int format) {
    int size = -1;
    char* text = tree.createXMLString(format, &size);
    FUZZ_CHECK_MSG(text != nullptr, "createXMLString(%d) failed", format);
    FUZZ_CHECK(std::strlen(text) <= static_cast<size_t>(size));
    freeXMLString(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned mode = data[0];
    XMLNode::setGlobalOptions(kEncodings[mode % 6], (mode / 6) & 1, (mode / 12) & 1,
                              (mode / 24) & 1);
    char* text = exactText(data + 1, size - 1);

    XMLResults r;
    r.line = r.column = -7;
    XMLNode tree = XMLNode::parseString(text, nullptr, &r);
    FUZZ_CHECK(r.errorCode >= errorNone && r.errorCode <= errorBase64OutputTooSmall);
    FUZZ_CHECK_MSG((r.errorCode >= errorNoXMLData) == (tree.isEmpty() != 0), "code %d", r.errorCode);
    FUZZ_CHECK(r.errorCode == errorNone || (r.line >= 0 && r.column >= 0));
    FUZZ_CHECK_MSG(TreeInvariantsHold(tree), "%s", TreeInvariantsHold(tree).message());

    if (!tree.isEmpty()) {
        checkWritten(tree, 1);
        int compactSize = 0;
        char* compact = tree.createXMLString(0, &compactSize);
        FUZZ_CHECK(compact && std::strlen(compact) == static_cast<size_t>(compactSize));
        if (reproducible(tree)) {
            XMLNode again = XMLNode::parseString(compact);
            char* rewritten = again.createXMLString(0);
            FUZZ_CHECK_MSG(rewritten && std::strcmp(rewritten, compact) == 0,
                       "round trip differs:\n[%s]\n[%s]", compact, rewritten ? rewritten : "(null)");
            freeXMLString(rewritten);
        }
        freeXMLString(compact);
    }

    // The first-tag selection on the same text.
    XMLNode first = XMLNode::parseString(text, "a", &r);
    FUZZ_CHECK(first.isEmpty() || (first.getName() && strcasecmp(first.getName(), "a") == 0));

    // Encoding detection on the raw bytes, with and without the declaration.
    for (char useDeclaration : {0, 1}) {
        const XMLNode::XMLCharEncoding guess = XMLNode::guessCharEncoding(
            const_cast<uint8_t*>(data + 1), static_cast<int>(size - 1), useDeclaration);
        FUZZ_CHECK(guess >= XMLNode::charEncodingError && guess <= XMLNode::charEncodingGBK);
    }

    // The escaping tool on the raw text.
    ToXMLStringTool tool;
    char* escaped = tool.toXML(text);
    FUZZ_CHECK(escaped && std::strlen(escaped) ==
                              static_cast<size_t>(ToXMLStringTool::lengthXMLString(text)));

    std::free(text);
    return 0;
}
