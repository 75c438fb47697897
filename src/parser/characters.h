// characters.h - the process-wide settings, the character tables and the
// vocabulary (clear tags, entities), and walking characters.
#ifndef XMLPARSER_PARSER_CHARACTERS_H
#define XMLPARSER_PARSER_CHARACTERS_H

#include "xmlParser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace xml_internal {

// Process-wide settings, fixed at load (UTF-8, all three flags set) and
// changed only by XMLNode::setGlobalOptions.
extern XMLNode::XMLCharEncoding characterEncoding;
extern const unsigned char* XML_ByteTable;  // always the table of characterEncoding
extern char guessWideCharChars;
extern char dropWhiteSpace;
extern char removeCommentsInMiddleOfText;

// Character-length tables, indexed by a character's first byte: 0 for the
// zero byte, otherwise the number of bytes the character occupies (1 to 4).
extern const unsigned char XML_utf8ByteTable[256];
extern const unsigned char XML_legacyByteTable[256];
extern const unsigned char XML_sjisByteTable[256];
extern const unsigned char XML_gb2312ByteTable[256];
extern const unsigned char XML_gbk_big5_ByteTable[256];

// The kinds of verbatim sections, ended by a row whose open string is null.
struct ClearTagRow {
    const char* open;
    int openLength;
    const char* close;
};
extern const ClearTagRow XMLClearTags[];  // CDATA, DOCTYPE, comment, PRE, end
extern const char* const docTypeEnd;      // "]>"

// Whether the byte after a "<" may begin a clear tag's open string: every
// one of them begins "<!" or "<P", so after any other byte none needs to be
// compared.
inline bool mayOpenClearTag(char second) { return second == '!' || second == 'P'; }

// The named character entities, ended by a row whose entity string is null.
struct EntityRow {
    const char* entity;
    int length;
    char character;
};
extern const EntityRow XMLEntities[];

// White space is exactly space, line feed, carriage return and TAB.
inline bool isWhiteSpace(unsigned char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Whether a name read in a tag ends before the byte `c`: white space or one
// of "<", "/", "=", ">".  An end tag's name matches a stored name only when
// the stored name's bytes are followed by such a byte.
inline bool endsTagName(char c) {
    switch (c) {
        case ' ':
        case '\n':
        case '\r':
        case '\t':
        case '<':
        case '/':
        case '=':
        case '>': return true;
        default: return false;
    }
}

// Each byte with ASCII letters mapped to lower case; every other byte maps
// to itself.  Names and named entities compare through it.
struct AsciiLowerTable {
    unsigned char map[256];
};
constexpr AsciiLowerTable makeAsciiLowerTable() {
    AsciiLowerTable t{};
    for (int i = 0; i < 256; i++) t.map[i] = static_cast<unsigned char>(i);
    for (int c = 'A'; c <= 'Z'; c++) t.map[c] = static_cast<unsigned char>(c - 'A' + 'a');
    return t;
}
inline constexpr AsciiLowerTable asciiLower = makeAsciiLowerTable();

// Whether the first n bytes at a and b are equal ignoring ASCII letter case.
// Stops at the first difference, so a zero byte in either ends the
// comparison there unless the other has a zero byte too.
inline bool equalIgnoringAsciiCase(const char* a, const char* b, size_t n) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
    for (size_t i = 0; i < n; i++) {
        if (x[i] != y[i] && asciiLower.map[x[i]] != asciiLower.map[y[i]]) return false;
        if (x[i] == 0) return true;
    }
    return true;
}

// The bytes of a word (eight bytes read with memcpy) that are zero, each
// marked by its 0x80 bit, exactly: no carry runs from one byte into the next.
inline uint64_t zeroBytes(uint64_t x) {
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
    return ~(((x & low7) + low7) | x) & 0x8080808080808080ULL;
}

// The position in memory (0 to 7) of the first byte marked by its 0x80 bit
// in a word read with memcpy; at least one byte is marked.
inline int firstFlaggedByte(uint64_t marks) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_clzll(marks) >> 3;
#else
    return __builtin_ctzll(marks) >> 3;
#endif
}

// Copies n bytes: pieces of up to 16 bytes (names, short values) with two
// overlapping word copies in line instead of a call, reading and writing
// only the n bytes themselves.
inline void copyBytes(char* out, const char* s, size_t n) {
    if (n >= 8 && n <= 16) {
        uint64_t a, b;
        std::memcpy(&a, s, 8);
        std::memcpy(&b, s + n - 8, 8);
        std::memcpy(out, &a, 8);
        std::memcpy(out + n - 8, &b, 8);
    } else if (n >= 4 && n < 8) {
        uint32_t a, b;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + n - 4, 4);
        std::memcpy(out, &a, 4);
        std::memcpy(out + n - 4, &b, 4);
    } else if (n >= 2 && n < 4) {
        uint16_t a, b;
        std::memcpy(&a, s, 2);
        std::memcpy(&b, s + n - 2, 2);
        std::memcpy(out, &a, 2);
        std::memcpy(out + n - 2, &b, 2);
    } else if (n < 2) {
        if (n) out[0] = s[0];
    } else {
        std::memcpy(out, s, n);
    }
}

// Whether the n bytes at a and at b are the same, reading only those bytes:
// up to 16 with two overlapping word loads from each, like copyBytes.
inline bool sameBytes(const char* a, const char* b, size_t n) {
    if (n >= 8 && n <= 16) {
        uint64_t a0, a1, b0, b1;
        std::memcpy(&a0, a, 8);
        std::memcpy(&a1, a + n - 8, 8);
        std::memcpy(&b0, b, 8);
        std::memcpy(&b1, b + n - 8, 8);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    if (n >= 4 && n < 8) {
        uint32_t a0, a1, b0, b1;
        std::memcpy(&a0, a, 4);
        std::memcpy(&a1, a + n - 4, 4);
        std::memcpy(&b0, b, 4);
        std::memcpy(&b1, b + n - 4, 4);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    if (n < 4) {
        for (size_t i = 0; i < n; i++)
            if (a[i] != b[i]) return false;
        return true;
    }
    return std::memcmp(a, b, n) == 0;
}

// Steps from the first byte of a character to the first byte of the next one
// with the character-length table `table`.  Stays on a zero byte, and stops
// on a zero byte met among the bytes a multibyte lead byte claims, so no
// scanner ever passes the end of the text.
inline const char* stepCharacter(const unsigned char* table, const char* p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x80) return p + (c != 0);
    const int n = table[c];
    for (int i = 1; i < n; i++)
        if (p[i] == 0) return p + i;
    return p + n;
}

// Whether no character that starts among the three bytes before `q` (all of
// them readable) reaches q by the character-length table `table`: then q
// starts a character whatever came before, as no character is longer than
// four bytes.
inline bool noLeadByteReaches(const unsigned char* table, const char* q) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(q);
    return (table[b[-1]] > 1) + (table[b[-2]] > 2) + (table[b[-3]] > 3) == 0;
}

// noLeadByteReaches for the UTF-8 table, by the lead bytes' values alone: a
// byte from 0xC2 claims one byte after it, from 0xE0 two, from 0xF0 three.
// The bytes from 0xF5, single bytes in the table, count as claiming too:
// false is then only a cue to walk the characters.
inline bool noUtf8LeadByteReaches(const char* q) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(q);
    return b[-1] < 0xC2 && b[-2] < 0xE0 && b[-3] < 0xF0;
}

// Walks the characters from `p` (a character's first byte) towards `q`, where
// the bytes from p up to q hold no zero byte and the byte at q is readable.
// Returns q when a character starts there, or the first character start
// beyond q when q is a trail byte of a multibyte character.  Runs of bytes
// below 0x80 (single-byte characters in every table) are passed eight at a
// time, reading only bytes before q; a character that ends at or before q
// needs no test for a zero byte.
inline const char* walkToCharacter(const unsigned char* table, const char* p, const char* q) {
    // A character that covers q starts at most 3 bytes before it (no
    // character is longer than 4 bytes) and not before p (a character starts
    // at p).  When none of those bytes claims as many bytes as reach q, q
    // starts a character whatever came before, and no walk is needed: in
    // well-formed text this settles nearly every search at once.
    {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(q);
        if (q - p >= 3) {
            // Straight-line for the common case: no loop to mispredict.
            if (noLeadByteReaches(table, q)) return q;
        } else {
            ptrdiff_t k = 1;
            while (k <= q - p && table[b[-k]] <= k) k++;
            if (k > q - p) return q;
        }
    }
    for (;;) {
        for (;;) {
            if (q - p >= 8) {
                uint64_t w;
                std::memcpy(&w, p, 8);
                const uint64_t high = w & 0x8080808080808080ULL;
                if (!high) {
                    p += 8;
                    continue;
                }
                // The lowest set bit marks the first byte of 0x80 or above
                // (x86-64 reads words little-endian).
                p += __builtin_ctzll(high) >> 3;
                break;
            }
            while (p < q && static_cast<unsigned char>(*p) < 0x80) p++;
            if (p >= q) return p;
            break;
        }
        const int n = table[static_cast<unsigned char>(*p)];
        if (q - p >= n) {
            p += n;
        } else {
            p = stepCharacter(table, p);
            if (p > q) return p;
        }
    }
}

}  // namespace xml_internal

#endif  // XMLPARSER_PARSER_CHARACTERS_H
