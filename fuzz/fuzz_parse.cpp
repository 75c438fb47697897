// fuzz_parse.cpp - arbitrary bytes parsed in every encoding mode and with
// every combination of the three flags (chosen by the input's first byte);
// the tree is checked and written formatted and compact; a tree parsed
// without any fault reads back from both texts as the same tree, and any
// other one writes a compact text that reads back to the same text.
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

// The first character of a string is white space, or its last one is,
// stepping by characters (the trail byte of a double-byte character is not
// white space).
bool edgeIsSpace(const char* s) {
    if (!*s) return false;
    if (isSpace(*s)) return true;
    const unsigned char* table = XML_ByteTable;
    const char* last = s;
    for (const char* p = s; *p; p = stepCharacter(table, p)) last = p;
    return isSpace(*last);
}

// A tree reads back from its written text as the same tree unless it holds
// one of the following, which the writer cannot express in a form that the
// parser reads back the same:
//  - with dropWhiteSpace, a text whose first or last character is white
//    space (a character reference such as "&#32;" made it: the trimming runs
//    before decoding, and the written text is trimmed when read); an empty
//    text ("&#;" or "&#0;" alone), which is written as nothing;
//  - a string that ends inside a multibyte character (the end of the text
//    cut it, or in a double-byte mode a reference such as "&#233;" made a
//    lead byte): written raw, its lead byte takes the markup after it;
//  - an element name that the parser read after white space ("< /x/>",
//    "< ?x>", "< !--x>", "< PRE>") and that, written right after "<", makes
//    an end tag, a declaration or a clear tag; a name or attribute name that
//    ends with "/" (written before ">" it makes "/>"); a name or attribute
//    name that begins with a quote (written values in double quotes then
//    close it);
//  - a declaration nested in an element that holds content (left open by a
//    "?" that ends an unquoted value, or ended by ">" alone): no end tag is
//    written for a declaration, and a nested one is closed by its "?>"; a
//    declaration at the top level that was closed ("/>", an end tag) before
//    other items, which the written one, left open there, then holds.
bool readsBack(const XMLNode& root) {
    std::vector<const NodeData*> stack;
    if (NodeAccess::data(root)) stack.push_back(NodeAccess::data(root));
    while (!stack.empty()) {
        const NodeData* d = stack.back();
        stack.pop_back();
        if (d->name) {
            const char* n = d->name;
            if (endsInCutCharacter(n) || endsWith(n, '/') || n[0] == '"' || n[0] == '\'')
                return false;
            if (!d->declarationFlag &&
                (n[0] == '/' || n[0] == '?' || startsWithClearTag(n) || std::strcmp(n, "PRE") == 0))
                return false;
        }
        if (d->declarationFlag && d->parent) {
            const NodeData* p = d->parent;
            if (p->name && orderCount(d) > 0) return false;
            if (!p->name) {
                const int last = p->order[orderCount(p) - 1];
                if ((last & 3) != elementChildNode || p->children[last >> 2] != d) return false;
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
            if (!t[0] || endsInCutCharacter(t) || (dropWhiteSpace && edgeIsSpace(t))) return false;
        }
        for (int i = 0; i < d->clearCount; i++)
            if (endsInCutCharacter(d->clears[i].value)) return false;
        for (int i = 0; i < d->childCount; i++) stack.push_back(d->children[i]);
    }
    return true;
}

// A tree parsed without any fault, written compact and formatted, reads back
// without any fault as the same tree.
void checkRoundTrip(const XMLNode& tree) {
    for (int format : {0, 1}) {
        char* text = tree.createXMLString(format);
        FUZZ_CHECK(text != nullptr);
        XMLResults r;
        XMLNode again = XMLNode::parseString(text, nullptr, &r);
        const ::testing::AssertionResult same = TreesEqual(tree, again);
        FUZZ_CHECK_MSG(r.errorCode == errorNone && same, "format %d: code %d, %s\nwritten:\n[%s]",
                       format, r.errorCode, same.message(), text);
        freeXMLString(text);
    }
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
    FUZZ_CHECK_MSG((r.errorCode >= errorNoXMLData) == (tree.isEmpty() != 0), "code %d",
                   r.errorCode);
    FUZZ_CHECK(r.errorCode == errorNone || (r.line >= 0 && r.column >= 0));
    FUZZ_CHECK_MSG(TreeInvariantsHold(tree), "%s", TreeInvariantsHold(tree).message());

    const bool comparable = readsBack(tree);
    if (r.errorCode == errorNone && comparable) checkRoundTrip(tree);

    if (!tree.isEmpty()) {
        checkWritten(tree, 1);
        int compactSize = 0;
        char* compact = tree.createXMLString(0, &compactSize);
        FUZZ_CHECK(compact && std::strlen(compact) == static_cast<size_t>(compactSize));
        // Any other tree (one repaired with a warning) at least writes a
        // compact text that reads back to the same compact text.
        if (comparable) {
            XMLNode again = XMLNode::parseString(compact);
            char* rewritten = again.createXMLString(0);
            FUZZ_CHECK_MSG(rewritten && std::strcmp(rewritten, compact) == 0,
                           "round trip differs:\n[%s]\n[%s]", compact,
                           rewritten ? rewritten : "(null)");
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
    FUZZ_CHECK(escaped &&
               std::strlen(escaped) == static_cast<size_t>(ToXMLStringTool::lengthXMLString(text)));

    std::free(text);
    return 0;
}
