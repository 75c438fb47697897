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

// The first byte at or after `p` and before `end` that XMLEntities replaces
// (it may still be a trail byte of a multibyte character), or `end`.  Only
// the bytes before `end` are read: sixteen at a time while that many remain.
class EscapeSearch {
public:
    EscapeSearch() {
        const char* set = escapedCharacters();
        count = static_cast<int>(std::strlen(set));
#ifdef __SSE2__
        // Every slot is searched (no loop to run); the slots beyond the set
        // repeat its first character.
        for (int i = 0; i < 8; i++) wanted[i] = _mm_set1_epi8(set[i < count ? i : 0]);
#endif
    }

    const char* find(const unsigned char* classes, const char* p, const char* end) const {
        // A character to replace right at the start (texts made of them, or
        // entities side by side) is settled without a search.
        if (p < end && classes[static_cast<unsigned char>(*p)] >= escapeEntityBase) return p;
#ifdef __SSE2__
        const ptrdiff_t n = end - p;
        if (n >= 16) {
            while (end - p >= 16) {
                const int mask = hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
                if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
                p += 16;
            }
            if (p == end) return end;
            // The last sixteen bytes, overlapping those already searched
            // (which hold no hit).
            const char* last = end - 16;
            const int mask = hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(last)));
            return mask ? last + __builtin_ctz(static_cast<unsigned>(mask)) : end;
        }
        // Fewer than sixteen bytes (most names and values): the first and
        // the last eight (or four) bytes, which may overlap, searched as one.
        if (n >= 8) {
            const __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
            const __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(end - 8));
            return firstHit(hits(_mm_unpacklo_epi64(head, tail)), 8, p, end);
        }
        if (n >= 4) {
            int32_t a, b;
            std::memcpy(&a, p, 4);
            std::memcpy(&b, end - 4, 4);
            const __m128i both = _mm_unpacklo_epi32(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b));
            return firstHit(hits(both) & 0xff, 4, p, end);
        }
#endif
        while (p < end && classes[static_cast<unsigned char>(*p)] < escapeEntityBase) p++;
        return p;
    }

private:
#ifdef __SSE2__
    // One bit for each of the sixteen bytes that is a character to replace.
    int hits(__m128i bytes) const {
        __m128i h = _mm_setzero_si128();
        for (int i = 0; i < 8; i++) h = _mm_or_si128(h, _mm_cmpeq_epi8(bytes, wanted[i]));
        return _mm_movemask_epi8(h);
    }
    // The first hit of a search of the first `k` bytes from p (the mask's
    // low k bits) and the last k bytes before end (the next k bits); a hit
    // in the overlap shows in the first half first.
    static const char* firstHit(int mask, int k, const char* p, const char* end) {
        if (!mask) return end;
        const int low = mask & ((1 << k) - 1);
        if (low) return p + __builtin_ctz(static_cast<unsigned>(low));
        return end - k + __builtin_ctz(static_cast<unsigned>(mask >> k));
    }
#endif

    int count;
#ifdef __SSE2__
    __m128i wanted[8];
#endif
};

// The search for the active entity table, built on first use.
inline const EscapeSearch& escapeSearch() {
    static const EscapeSearch search;
    return search;
}

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
// copied with its character.  escapeKnownLength below is the entry point.
template <bool Write>
[[gnu::noinline]] size_t escapeRuns(const unsigned char* classes, const char* s, size_t n,
                                    char* out) {
    const EscapeSearch& search = escapeSearch();
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
        if (Write) copyBytes(out + written, e.entity, static_cast<size_t>(e.length));
        written += static_cast<size_t>(e.length);
        p = q + 1;
    }
    return written;
}

template <bool Write>
inline size_t escapeKnownLength(const unsigned char* classes, const char* s, size_t n, char* out) {
    // Most names, values and short texts hold nothing to replace: one search
    // settles them here, without the call.
    if (n < 16 && escapeSearch().find(classes, s, s + n) == s + n) {
        if (Write) copyBytes(out, s, n);
        return n;
    }
    return escapeRuns<Write>(classes, s, n, out);
}

// escapeKnownLength for a string whose length is not known yet.
template <bool Write>
inline size_t escapeWalk(const unsigned char* classes, const char* source, char* out) {
    return escapeKnownLength<Write>(classes, source, std::strlen(source), out);
}

}  // namespace xml_internal

#endif  // XMLPARSER_OUTPUT_OUTPUT_H
