// output.h - the escaping classes and the one escaping walk that every
// length and write pass shares.
#ifndef XMLPARSER_OUTPUT_OUTPUT_H
#define XMLPARSER_OUTPUT_OUTPUT_H

#include <cstdint>
#include <cstring>

#include "parser/characters.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace xml_internal {

// Escaping classes: for each byte, 0 for the terminating zero, 1 for a plain
// single-byte character, 2 to 4 for the lead byte of a character of that many
// bytes, and escapeEntityBase + row for a character that XMLEntities replaces.
// The table returned matches the active XML_ByteTable.
constexpr unsigned char escapeEntityBase = 8;
const unsigned char* activeEscapeClasses();

// The characters that XMLEntities replaces, as a zero-terminated set.
const char* escapedCharacters();

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
    } else if (n < 4) {
        for (size_t i = 0; i < n; i++) out[i] = s[i];
    } else {
        std::memcpy(out, s, n);
    }
}

// The first byte at or after `p` and before `end` that XMLEntities replaces
// (it may still be a trail byte of a multibyte character), or `end`.  Only
// the bytes before `end` are read: sixteen at a time while that many remain.
class EscapeSearch {
public:
    EscapeSearch() {
        const char* set = escapedCharacters();
        count = static_cast<int>(std::strlen(set));
#ifdef __SSE2__
        for (int i = 0; i < count; i++) wanted[i] = _mm_set1_epi8(set[i]);
#endif
    }

    const char* find(const unsigned char* classes, const char* p, const char* end) const {
        // A character to replace right at the start (texts made of them, or
        // entities side by side) is settled without a search.
        if (p < end && classes[static_cast<unsigned char>(*p)] >= escapeEntityBase) return p;
#ifdef __SSE2__
        while (end - p >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            __m128i hits = _mm_setzero_si128();
            for (int i = 0; i < count; i++)
                hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, wanted[i]));
            const int mask = _mm_movemask_epi8(hits);
            if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
            p += 16;
        }
#endif
        while (p < end && classes[static_cast<unsigned char>(*p)] < escapeEntityBase) p++;
        return p;
    }

private:
    int count;
#ifdef __SSE2__
    __m128i wanted[8];
#endif
};

// The one escaping walk shared by every length and write pass, so that both
// always agree.  Counts (and, when Write is set, writes to `out`, without a
// terminator) the escaped form of the `n` bytes at `s`, a string whose
// terminating zero lies at s + n.  A character whose bytes are cut short by
// the terminating zero is copied up to that zero and no further.
//
// Only the characters that XMLEntities replaces stop the scan (found sixteen
// bytes at a time); every other byte, multibyte characters included, belongs
// to the run that is copied whole.  A stop found that way may still be a
// trail byte of a multibyte character: walking the characters from the run's
// start to it settles that (at once in well-formed text), and such a byte is
// copied with its character.
template <bool Write>
inline size_t escapeKnownLength(const unsigned char* classes, const char* s, size_t n, char* out) {
    static const EscapeSearch search;
    const char* p = s;
    const char* const end = s + n;
    size_t written = 0;
    while (p < end) {
        const char* const run = p;
        const char* const q = search.find(classes, p, end);
        // A character cut short by the terminating zero ends at the zero.
        p = q == end || q == run ? q : walkToCharacter(classes, run, q);
        const size_t r = static_cast<size_t>(p - run);
        if (Write) copyBytes(out + written, run, r);
        written += r;
        if (p != q) continue;  // the byte found belonged to a character: scan on
        if (q == end) break;
        const unsigned c = classes[static_cast<unsigned char>(*q)];
        const EntityRow& e = XMLEntities[c - escapeEntityBase];
        if (Write) std::memcpy(out + written, e.entity, static_cast<size_t>(e.length));
        written += static_cast<size_t>(e.length);
        p = q + 1;
    }
    return written;
}

// escapeKnownLength for a string whose length is not known yet.
template <bool Write>
inline size_t escapeWalk(const unsigned char* classes, const char* source, char* out) {
    return escapeKnownLength<Write>(classes, source, std::strlen(source), out);
}

}  // namespace xml_internal

#endif  // XMLPARSER_OUTPUT_OUTPUT_H
