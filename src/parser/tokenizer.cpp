// tokenizer.cpp - splits XML text into tokens (pointer and length into the
// document, never copied) and compares stored tag names with names in the
// text.
#include "internal.h"

namespace xml_internal {

namespace {

// What a byte means inside an unquoted text token.
enum TextClass : unsigned char {
    kPlain = 0,  // belongs to the token
    kEnd,        // the terminating zero byte
    kSpace,      // white space: ends the token and is consumed
    kSlash,      // "/": ends the token only when ">" follows
    kStop,       // "<", ">" or "=": ends the token and starts the next one
    kHigh        // 0x80 and above: possibly a multibyte lead byte
};

struct ClassTable {
    unsigned char cls[256];
};

constexpr ClassTable makeTextClasses() {
    ClassTable t{};
    for (int i = 0x80; i < 256; i++) t.cls[i] = kHigh;
    t.cls[0] = kEnd;
    t.cls[static_cast<unsigned char>(' ')] = kSpace;
    t.cls[static_cast<unsigned char>('\n')] = kSpace;
    t.cls[static_cast<unsigned char>('\r')] = kSpace;
    t.cls[static_cast<unsigned char>('\t')] = kSpace;
    t.cls[static_cast<unsigned char>('/')] = kSlash;
    t.cls[static_cast<unsigned char>('<')] = kStop;
    t.cls[static_cast<unsigned char>('>')] = kStop;
    t.cls[static_cast<unsigned char>('=')] = kStop;
    return t;
}

constexpr ClassTable kTextClasses = makeTextClasses();

// Bytes that stop the scan of a quoted string: either quote, "<", the zero
// byte, and 0x80 and above (possibly a multibyte lead byte).  Everything else
// belongs to the string, so the scan is one table test per byte.
constexpr ClassTable makeQuotedStops() {
    ClassTable t{};
    for (int i = 0x80; i < 256; i++) t.cls[i] = 1;
    t.cls[0] = 1;
    t.cls[static_cast<unsigned char>('"')] = 1;
    t.cls[static_cast<unsigned char>('\'')] = 1;
    t.cls[static_cast<unsigned char>('<')] = 1;
    return t;
}

constexpr ClassTable kQuotedStops = makeQuotedStops();

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
            // Every clear-tag open string begins with "<".
            for (const ClearTagRow* row = XMLClearTags; row->open; ++row) {
                if (s[1] == row->open[1] && std::strncmp(s, row->open, row->openLength) == 0) {
                    x->index = static_cast<int>(s - doc) + row->openLength;
                    *type = clearTagToken;
                    return TokenRef{row, s};
                }
            }
            if (s[1] == '/') return finish(x, s, s + 2, 2, closingTagToken, length, type);
            if (s[1] == '?') return finish(x, s, s + 2, 2, declarationToken, length, type);
            return finish(x, s, s + 1, 1, openAngleToken, length, type);

        case '"':
        case '\'': {
            const char* q = s + 1;
            for (;;) {
                while (!kQuotedStops.cls[static_cast<unsigned char>(*q)]) q++;
                const unsigned char b = static_cast<unsigned char>(*q);
                if (b == c) {
                    return finish(x, s, q + 1, static_cast<int>(q + 1 - s), quotedTextToken, length,
                                  type);
                }
                if (b == 0 || b == '<') break;
                q = b < 0x80 ? q + 1 : stepCharacter(table, q);
            }
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
    for (;;) {
        while (kTextClasses.cls[static_cast<unsigned char>(*p)] == kPlain) p++;
        const unsigned char b = static_cast<unsigned char>(*p);
        switch (kTextClasses.cls[b]) {
            case kPlain: ++p; continue;
            case kHigh: p = stepCharacter(table, p); continue;
            case kSlash:
                if (p[1] != '>') {
                    ++p;
                    continue;
                }
                return finish(x, s, p, static_cast<int>(p - s), textToken, length, type);
            case kSpace:
                return finish(x, s, p + 1, static_cast<int>(p - s), textToken, length, type);
            default:  // kEnd, kStop
                return finish(x, s, p, static_cast<int>(p - s), textToken, length, type);
        }
    }
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
