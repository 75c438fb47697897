// output.h - the escaping classes and the one escaping walk that every
// length and write pass shares.
#ifndef XMLPARSER_OUTPUT_OUTPUT_H
#define XMLPARSER_OUTPUT_OUTPUT_H

#include "parser/characters.h"

namespace xml_internal {

// Escaping classes: for each byte, 0 for the terminating zero, 1 for a plain
// single-byte character, 2 to 4 for the lead byte of a character of that many
// bytes, and escapeEntityBase + row for a character that XMLEntities replaces.
// The table returned matches the active XML_ByteTable.
constexpr unsigned char escapeEntityBase = 8;
const unsigned char* activeEscapeClasses();

// The characters that XMLEntities replaces, as a zero-terminated set for
// strcspn.
const char* escapedCharacters();

// The one escaping walk shared by every length and write pass, so that both
// always agree.  Counts (and, when Write is set, writes to `out`, without a
// terminator) the escaped form of `source`.  A character whose bytes are cut
// short by the terminating zero is copied up to that zero and no further.
//
// Only the zero byte and the characters that XMLEntities replaces stop the
// scan; every other byte, multibyte characters included, belongs to the run
// that is copied whole.  A stop found that way may still be a trail byte of a
// multibyte character: walking the characters from the run's start to it
// settles that (at once in well-formed text), and such a byte is copied with
// its character.  Runs are scanned byte by byte with the class table until
// one reaches 16 bytes; from then on every run of the string goes to strcspn.
template <bool Write>
inline size_t escapeWalk(const unsigned char* classes, const char* source, char* out) {
    const char* p = source;
    size_t n = 0;
    bool searching = false;  // a run of 16 bytes has been met
    for (;;) {
        const char* const run = p;
        const char* q = p;
        if (!searching) {
            // The class is 0 for the zero byte and escapeEntityBase or more for
            // a character to replace: those are the bytes whose class less one
            // is 7 or more.
            int k = 0;
            while (k < 16 &&
                   static_cast<unsigned char>(classes[static_cast<unsigned char>(q[k])] - 1) < 7)
                k++;
            q += k;
            searching = k == 16;
        }
        if (searching) q += std::strcspn(q, escapedCharacters());
        // No character reaches past the terminating zero (each stops at it).
        p = *q ? walkToCharacter(classes, run, q) : q;
        if (p != run) {
            const size_t r = static_cast<size_t>(p - run);
            if (Write) std::memcpy(out + n, run, r);
            n += r;
        }
        if (p != q) continue;  // the byte found belonged to a character: scan on
        const unsigned c = classes[static_cast<unsigned char>(*p)];
        if (c == 0) return n;
        const EntityRow& e = XMLEntities[c - escapeEntityBase];
        if (Write) std::memcpy(out + n, e.entity, static_cast<size_t>(e.length));
        n += static_cast<size_t>(e.length);
        p++;
    }
}

}  // namespace xml_internal

#endif  // XMLPARSER_OUTPUT_OUTPUT_H
