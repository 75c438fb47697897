// tokenizer.cpp - splits XML text into tokens (pointer and length into the
// document, never copied) and compares stored tag names with names in the
// text.
#include "internal.h"
#include "parser/token_scan.h"

namespace xml_internal {

namespace {

inline TokenRef finish(XML* x, const char* s, const char* next, int length, XMLTokenTypeTag t,
                       int* lengthOut, XMLTokenTypeTag* typeOut) {
    x->index = static_cast<int>(next - x->document);
    *lengthOut = length;
    *typeOut = t;
    return TokenRef{nullptr, s};
}

}  // namespace

TokenRef GetNextToken(XML* x, int* length, XMLTokenTypeTag* type) {
    const unsigned char* const table = XML_ByteTable;
    const char* const doc = x->document;
    const char* p = doc + x->index;

    // White space is single-byte in every encoding.
    while (isWhiteSpace(static_cast<unsigned char>(*p))) p++;
    const char* const s = p;
    const unsigned char c = static_cast<unsigned char>(*s);

    switch (c) {
        case 0:
            x->index = static_cast<int>(s - doc);
            *length = 0;
            *type = endOfTextToken;
            return TokenRef{nullptr, nullptr};

        case '<':
            if (const ClearTagRow* row = matchClearTag(s)) {
                x->index = static_cast<int>(s - doc) + row->openLength;
                *type = clearTagToken;
                return TokenRef{row, s};
            }
            if (s[1] == '/') return finish(x, s, s + 2, 2, closingTagToken, length, type);
            if (s[1] == '?') return finish(x, s, s + 2, 2, declarationToken, length, type);
            return finish(x, s, s + 1, 1, openAngleToken, length, type);

        case '"':
        case '\'': {
            bool plain;
            if (const char* q = closingQuote(table, s, &plain))
                return finish(x, s, q + 1, static_cast<int>(q + 1 - s), quotedTextToken, length,
                              type);
            // Abandoned: read again as a text token that starts with the quote.
            p = s + 1;
            break;
        }

        case '/':
            if (s[1] == '>') return finish(x, s, s + 2, 2, emptyElementEndToken, length, type);
            p = s + 1;
            break;

        case '=': return finish(x, s, s + 1, 1, equalsToken, length, type);

        case '>': return finish(x, s, s + 1, 1, closeAngleToken, length, type);

        default: p = c < 0x80 ? s + 1 : stepCharacter(table, s); break;
    }

    // A text token: its first character has been stepped over already.
    const char* next;
    const char* const end = textTokenEnd(table, p, &next);
    return finish(x, s, next, static_cast<int>(end - s), textToken, length, type);
}

char myTagCompare(const char* name, const char* text) {
    if (!name) return 1;
    const size_t n = std::strlen(name);
    // The comparison stops at the text's zero byte, which differs from every
    // byte of the name.
    if (!equalIgnoringAsciiCase(name, text, n)) return 1;
    return endsTagName(text[n]) ? 0 : 1;
}

}  // namespace xml_internal
