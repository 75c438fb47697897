// clear_tag.cpp - reads a verbatim section (CDATA, document type, comment,
// PRE block) whose open string the tokenizer has just matched.
#include "internal.h"

using namespace xml_internal;

char XMLNode::parseClearTag(void* state, void* rowPointer) {
    XML* x = static_cast<XML*>(state);
    const ClearTagRow* row = static_cast<const ClearTagRow*>(rowPointer);
    const char* const s = x->document + x->index;
    const char* close = row->close;
    const char* end = nullptr;

    if (row->open == XMLClearTags[1].open) {
        // A document type ends at the first ">", or at "]>" when a "<" comes
        // first (an internal subset).
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
                end = std::strstr(s, docTypeEnd);
                break;
            }
            p = b < 0x80 ? p + 1 : stepCharacter(table, p);
        }
    } else {
        end = std::strstr(s, close);
    }
    if (!end) {
        x->error = errorUnmatchedClearTagEnd;
        return 1;
    }
    x->index = static_cast<int>(end - x->document) + static_cast<int>(std::strlen(close));
    char* value = stringDup(s, static_cast<int>(end - s));
    if (!value || addClear_priv(50, value, row->open, close, -1) == &emptyXMLClear) {
        x->error = errorNoXMLData;  // out of memory (the adder freed the value)
        return 1;
    }
    return 0;
}
