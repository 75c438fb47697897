// clear_tag.cpp - reads a verbatim section (CDATA, document type, comment,
// PRE block) whose open string the tokenizer has just matched.
#include "internal.h"

using namespace xml_internal;

namespace {

// The first occurrence of `close` at or after `s`, or null: strchr finds each
// candidate first byte, so the text is read once and never past the match
// (the sanitizers' strstr measures the whole rest of the text at every call,
// which made a document of many comments quadratic under them).
// Each candidate is compared byte by byte: a byte of the text is read only
// after the one before it matched a byte of `close`, which holds no zero.
const char* findClose(const char* s, const char* close) {
    for (const char* p = std::strchr(s, close[0]); p; p = std::strchr(p + 1, close[0])) {
        size_t i = 1;
        while (close[i] && p[i] == close[i]) i++;
        if (!close[i]) return p;
    }
    return nullptr;
}

// The end of an internal subset: the first "]" at or after `s` that white
// space and a ">" follow, or null; `*after` receives the position after the
// ">".  The subset may end "] >" or "]" and a line feed before the ">", as XML
// allows; the value still ends before the "]" and the close string stays
// "]>", which is what the writer then writes.
const char* findSubsetEnd(const char* s, const char** after) {
    for (const char* p = std::strchr(s, ']'); p; p = std::strchr(p + 1, ']')) {
        const char* q = p + 1;
        while (isWhiteSpace(static_cast<unsigned char>(*q))) q++;
        if (*q == '>') {
            *after = q + 1;
            return p;
        }
    }
    return nullptr;
}

}  // namespace

namespace xml_internal {

bool findClearTagEnd(const XML* x, const ClearTagRow* row, ClearTagEnd* found) {
    const char* const s = x->document + x->index;
    const char* close = row->close;
    const char* end = nullptr;
    const char* after = nullptr;  // just after the close string

    if (row->open == XMLClearTags[1].open) {
        // A document type ends at the first ">", or after its internal subset
        // when a "<" comes first.
        const unsigned char* const table = XML_ByteTable;
        for (const char* p = s;;) {
            const unsigned char b = static_cast<unsigned char>(*p);
            if (b == 0) break;
            if (b == '>') {
                end = p;
                break;
            }
            if (b == '<') {
                close = docTypeEnd;
                end = findSubsetEnd(s, &after);
                break;
            }
            p = b < 0x80 ? p + 1 : stepCharacter(table, p);
        }
    } else {
        end = findClose(s, close);
    }
    if (!end) return false;
    if (!after) after = end + std::strlen(close);
    *found = ClearTagEnd{s, end, after, close};
    return true;
}

}  // namespace xml_internal

char XMLNode::parseClearTag(void* state, void* rowPointer) {
    XML* x = static_cast<XML*>(state);
    const ClearTagRow* row = static_cast<const ClearTagRow*>(rowPointer);
    ClearTagEnd c;
    if (!findClearTagEnd(x, row, &c)) {
        x->error = errorUnmatchedClearTagEnd;
        return 1;
    }
    x->index = static_cast<int>(c.after - x->document);
    char* value = stringDup(c.value, static_cast<int>(c.end - c.value));
    if (!value || addClear_priv(50, value, row->open, c.close, -1) == &emptyXMLClear) {
        x->error = errorNoXMLData;  // out of memory (the adder freed the value)
        return 1;
    }
    return 0;
}
