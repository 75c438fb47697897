// token_scan.h - how far the tokens of a tag reach: a clear tag's open
// string, a text token (a name or an unquoted value) and a quoted string.
// The tokenizer reads every token with these scans, and the element parser
// reads the common start and end tags with the same scans directly, so both
// agree byte for byte on where each token ends.
#ifndef XMLPARSER_PARSER_TOKEN_SCAN_H
#define XMLPARSER_PARSER_TOKEN_SCAN_H

#include "parser/characters.h"

namespace xml_internal {

// What a byte means inside an unquoted text token.
enum TextClass : unsigned char {
    kTextPlain = 0,  // belongs to the token
    kTextEnd,        // the terminating zero byte
    kTextSpace,      // white space: ends the token and is consumed
    kTextSlash,      // "/": ends the token only when ">" follows
    kTextStop,       // "<", ">" or "=": ends the token and starts the next one
    kTextHigh        // 0x80 and above: possibly a multibyte lead byte
};

struct ByteClassTable {
    unsigned char cls[256];
};

constexpr ByteClassTable makeTextClasses() {
    ByteClassTable t{};
    for (int i = 0x80; i < 256; i++) t.cls[i] = kTextHigh;
    t.cls[0] = kTextEnd;
    t.cls[static_cast<unsigned char>(' ')] = kTextSpace;
    t.cls[static_cast<unsigned char>('\n')] = kTextSpace;
    t.cls[static_cast<unsigned char>('\r')] = kTextSpace;
    t.cls[static_cast<unsigned char>('\t')] = kTextSpace;
    t.cls[static_cast<unsigned char>('/')] = kTextSlash;
    t.cls[static_cast<unsigned char>('<')] = kTextStop;
    t.cls[static_cast<unsigned char>('>')] = kTextStop;
    t.cls[static_cast<unsigned char>('=')] = kTextStop;
    return t;
}

inline constexpr ByteClassTable kTextClasses = makeTextClasses();

// Bytes that stop the scan of a quoted string: either quote, "<", the zero
// byte, 0x80 and above (possibly a multibyte lead byte) and "&" (which may
// begin a reference).  Everything else belongs to the string, so the scan is
// one table test per byte.
constexpr ByteClassTable makeQuotedStops() {
    ByteClassTable t{};
    for (int i = 0x80; i < 256; i++) t.cls[i] = 1;
    t.cls[0] = 1;
    t.cls[static_cast<unsigned char>('"')] = 1;
    t.cls[static_cast<unsigned char>('\'')] = 1;
    t.cls[static_cast<unsigned char>('<')] = 1;
    t.cls[static_cast<unsigned char>('&')] = 1;
    return t;
}

inline constexpr ByteClassTable kQuotedStops = makeQuotedStops();

// The clear tag whose open string starts at `s` (a "<"), or null.  Every
// open string is longer than three bytes and holds no zero byte, so each
// byte of `s` is read only after the byte before it matched one that is not
// zero.
inline const ClearTagRow* matchClearTag(const char* s) {
    if (!mayOpenClearTag(s[1])) return nullptr;
    for (const ClearTagRow* row = XMLClearTags; row->open; ++row) {
        if (s[1] != row->open[1] || s[2] != row->open[2]) continue;
        int i = 3;
        while (i < row->openLength && s[i] == row->open[i]) i++;
        if (i == row->openLength) return row;
    }
    return nullptr;
}

// Whether a token that starts with the byte `c` is a text token whose first
// character is this one byte (a single-byte character that no other kind of
// token starts with).
inline bool startsPlainText(unsigned char c) {
    return kTextClasses.cls[c] == kTextPlain && c != '"' && c != '\'';
}

// The end of the text token whose first character ends at `p`; `*next`
// receives where the next token is looked for (past the one white-space
// byte that ended the token, if one did).
inline const char* textTokenEnd(const unsigned char* table, const char* p, const char** next) {
    for (;;) {
        while (kTextClasses.cls[static_cast<unsigned char>(*p)] == kTextPlain) p++;
        switch (kTextClasses.cls[static_cast<unsigned char>(*p)]) {
            case kTextHigh: p = stepCharacter(table, p); continue;
            case kTextSlash:
                if (p[1] != '>') {
                    ++p;
                    continue;
                }
                *next = p;
                return p;
            case kTextSpace: *next = p + 1; return p;
            default:  // kTextEnd, kTextStop
                *next = p;
                return p;
        }
    }
}

// The quote that closes the quoted string opened by the quote at `s`, or
// null when a "<" or the end of the text comes first.  `*plain` tells
// whether every byte between the quotes is below 0x80 and none is "&": then
// the string is its own decoding.
inline const char* closingQuote(const unsigned char* table, const char* s, bool* plain) {
    const char* q = s + 1;
    bool asIs = true;
    for (;;) {
        while (!kQuotedStops.cls[static_cast<unsigned char>(*q)]) q++;
        const unsigned char b = static_cast<unsigned char>(*q);
        if (b == static_cast<unsigned char>(*s)) {
            *plain = asIs;
            return q;
        }
        if (b == 0 || b == '<') return nullptr;
        if (b == '&' || b >= 0x80) asIs = false;
        q = b < 0x80 ? q + 1 : stepCharacter(table, q);
    }
}

}  // namespace xml_internal

#endif  // XMLPARSER_PARSER_TOKEN_SCAN_H
