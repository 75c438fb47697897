// entities.cpp - the entity decoder: turns character references ("&lt;",
// "&#65;", "&#x41;") in attribute values and texts into their characters.
#include "internal.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace xml_internal {

namespace {

// The named entities as 8-byte words, for comparing a whole entity at once
// where eight bytes remain: each row's text in lower case, padded with zero
// bytes, and a mask of the bytes it covers.  Only rows whose byte after "&"
// is that of the text can match, so the rows are chained by that byte (in
// lower case), each chain in table order: `first` gives a chain's first row,
// `next` the row after it; every chain ends with the row kNoRow, which
// stands for no entity and whose empty mask matches any bytes, so that a
// search along a chain needs no test for its end.  Usable when every row fits in
// eight bytes (the table's longest is six), has a byte after its "&" and
// ends with its only ";": then bytes that equal a row's text exactly match
// no row before it in its chain, ignoring case or not, so the decoder may
// take such a row without folding the bytes' case first; and holds no "&"
// after its first byte.
constexpr int kNoRow = 16;
struct EntityWords {
    uint64_t word[kNoRow + 1];
    uint64_t mask[kNoRow + 1];
    signed char first[256];
    signed char next[kNoRow + 1];
    char character[kNoRow + 1];  // each row's character and length, beside its word
    signed char length[kNoRow + 1];
    int count = 0;
    bool usable = true;
};

EntityWords buildEntityWords() {
    EntityWords w;
    w.word[kNoRow] = 0;
    w.mask[kNoRow] = 0;
    w.next[kNoRow] = kNoRow;
    w.character[kNoRow] = 0;
    w.length[kNoRow] = 0;
    signed char* last[256];
    for (int b = 0; b < 256; b++) {
        w.first[b] = kNoRow;
        last[b] = &w.first[b];
    }
    for (const EntityRow* row = XMLEntities; row->entity; ++row) {
        if (w.count == kNoRow || row->length < 2 || row->length > 8 ||
            std::memchr(row->entity, ';', static_cast<size_t>(row->length)) !=
                row->entity + row->length - 1 ||
            std::memchr(row->entity + 1, '&', static_cast<size_t>(row->length - 1))) {
            w.usable = false;
            break;
        }
        unsigned char text[8] = {0}, mask[8] = {0};
        for (int i = 0; i < row->length; i++) {
            text[i] = asciiLower.map[static_cast<unsigned char>(row->entity[i])];
            mask[i] = 0xFF;
        }
        std::memcpy(&w.word[w.count], text, 8);
        std::memcpy(&w.mask[w.count], mask, 8);
        w.next[w.count] = kNoRow;
        w.character[w.count] = row->character;
        w.length[w.count] = static_cast<signed char>(row->length);
        *last[text[1]] = static_cast<signed char>(w.count);
        last[text[1]] = &w.next[w.count];
        w.count++;
    }
    return w;
}

const EntityWords& entityWords() {
    static const EntityWords words = buildEntityWords();
    return words;
}

// Eight bytes with their ASCII capitals turned into small letters (0x20 set
// in each byte from 0x41 to 0x5A), all bytes at once.
inline uint64_t lowerAsciiWord(uint64_t x) {
    const uint64_t low7 = x & 0x7F7F7F7F7F7F7F7FULL;
    const uint64_t atLeastA = low7 + 0x3F3F3F3F3F3F3F3FULL;  // 0x80 set where >= 0x41
    const uint64_t aboveZ = low7 + 0x2525252525252525ULL;    // 0x80 set where >= 0x5B
    const uint64_t capital = atLeastA & ~aboveZ & ~x & 0x8080808080808080ULL;
    return x | (capital >> 2);
}

// The largest value a numeric reference may have: in UTF-8 mode any Unicode
// scalar value, written as its UTF-8 sequence; in every other mode one byte.
constexpr unsigned kLastUnicode = 0x10FFFF;

// Writes `value` (0 to 0x10FFFF, not a surrogate) as UTF-8; returns the
// number of bytes.
inline int writeUtf8(unsigned value, char* out) {
    if (value < 0x80) {
        out[0] = static_cast<char>(value);
        return 1;
    }
    if (value < 0x800) {
        out[0] = static_cast<char>(0xC0 | (value >> 6));
        out[1] = static_cast<char>(0x80 | (value & 0x3F));
        return 2;
    }
    if (value < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (value >> 12));
        out[1] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (value & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (value >> 18));
    out[1] = static_cast<char>(0x80 | ((value >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (value & 0x3F));
    return 4;
}

// Reads the reference that starts with the "&" at `p`, with `remain` bytes
// (at least 1) left in the source, of which the first `readable` may be read
// (the source's length may reach past a zero byte that ends the string
// early; nothing after that zero is read).  Returns the number of bytes it
// takes and writes what it stands for (1 to 4 bytes, never more than it
// takes) at `out`, with their number in `*count`, and sets `*zero` when that
// is a zero byte; or returns 0 and stores the error code.
//
// A numeric reference in UTF-8 mode is written as the UTF-8 sequence of its
// value, so that "&#233;" and "&#8364;" give the characters they name: one
// byte of a value above 127 would be a lone lead or trail byte, which breaks
// the text it stands in (written out, a lead byte takes the markup after it),
// and values above 255 could not be read at all.  Surrogates (0xD800 to
// 0xDFFF) and values above 0x10FFFF are no characters and are refused with
// errorCharacterCodeAbove255, as any value the text cannot hold.  In the
// other modes the value is one byte, 0 to 255.  Value 0 ("&#0;", "&#;") is a
// zero byte in every mode.
[[gnu::always_inline]] inline int decodeReference(const char* p, int remain, int readable,
                                                  bool utf8, char* out, int* count, bool* zero,
                                                  XMLError* error) {
    if (remain > 2 && p[1] == '#') {
        int i = 2;
        unsigned base = 10;
        if (p[2] == 'x' || p[2] == 'X') {
            base = 16;
            i = 3;
        }
        unsigned value = 0;
        for (;; i++) {
            if (i >= remain) {
                *error = errorUnknownCharacterEntity;  // no ";" within the source
                return 0;
            }
            const unsigned char b = static_cast<unsigned char>(p[i]);
            if (b == ';') break;
            unsigned digit;
            if (b >= '0' && b <= '9')
                digit = b - '0';
            else if (base == 16 && b >= 'a' && b <= 'f')
                digit = b - 'a' + 10;
            else if (base == 16 && b >= 'A' && b <= 'F')
                digit = b - 'A' + 10;
            else {
                *error = errorUnknownCharacterEntity;  // the zero byte included
                return 0;
            }
            value = value * base + digit;
            if (value > kLastUnicode) value = kLastUnicode + 1;  // saturate: any number of digits
        }
        if (value == 0) *zero = true;
        if (utf8) {
            if (value > kLastUnicode || (value >= 0xD800 && value <= 0xDFFF)) {
                *error = errorCharacterCodeAbove255;
                return 0;
            }
            *count = writeUtf8(value, out);
        } else {
            if (value > 255) {
                *error = errorCharacterCodeAbove255;
                return 0;
            }
            out[0] = static_cast<char>(value);
            *count = 1;
        }
        return i + 1;
    }
    *count = 1;
    // With eight bytes left and readable, every row fits, and each is
    // compared as one masked word (rows in table order, as below).
    if (remain >= 8 && readable >= 8) {
        const EntityWords& words = entityWords();
        if (words.usable) {
            uint64_t x;
            std::memcpy(&x, p, 8);
            x = lowerAsciiWord(x);
            for (int r = words.first[asciiLower.map[static_cast<unsigned char>(p[1])]]; r != kNoRow;
                 r = words.next[r]) {
                if ((x & words.mask[r]) == words.word[r]) {
                    out[0] = XMLEntities[r].character;
                    return XMLEntities[r].length;
                }
            }
            *error = errorUnknownCharacterEntity;
            return 0;
        }
    }
    // Bytes equal without regard to ASCII case are also equal once 0x20 is
    // OR-ed into both, so rows whose byte after "&" differs that way cannot
    // match and are passed over without comparing strings.  That byte is read
    // only when the row fits in what remains.
    for (const EntityRow* row = XMLEntities; row->entity; ++row) {
        if (row->length > remain) continue;
        if (row->length > 1 && ((static_cast<unsigned char>(row->entity[1]) | 0x20) !=
                                (static_cast<unsigned char>(p[1]) | 0x20)))
            continue;
        if (equalIgnoringAsciiCase(p, row->entity, static_cast<size_t>(row->length))) {
            out[0] = row->character;
            return row->length;
        }
    }
    *error = errorUnknownCharacterEntity;
    return 0;
}

// The next "&" that starts a character at or after `p` (a character's first
// byte) and before `stop`, or null.  The bytes from p up to stop hold no zero
// byte.  memchr finds each candidate; walking the characters up to it tells
// whether it is a trail byte of a multibyte character (then the search goes
// on after that character).
inline const char* nextReference(const unsigned char* table, const char* p, const char* stop) {
    while (p < stop) {
        const char* amp =
            static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(stop - p)));
        if (!amp) return nullptr;
        p = walkToCharacter(table, p, amp);
        if (p == amp) return amp;
    }
    return nullptr;
}

// The bytes of a source to decode: from `source` up to `stop` (the first
// zero byte, or `end` when there is none before it).  A reference may read
// up to `end`, or up to and including the zero byte at stop.
struct Source {
    const char* source;
    const char* stop;
    const char* end;
    const char* readableEnd() const { return stop < end ? stop + 1 : end; }
};

// Checks every reference of the source and gives the length of its decoding
// (without terminator), or false with the error code of the first wrong
// reference.
bool measure(const Source& in, const unsigned char* table, bool utf8, size_t* length,
             XMLError* error) {
    size_t saved = 0;
    for (const char* p = in.source;;) {
        const char* amp = nextReference(table, p, in.stop);
        if (!amp) break;
        char bytes[4];
        int count;
        bool zero;
        const int k = decodeReference(amp, static_cast<int>(in.end - amp),
                                      static_cast<int>(in.readableEnd() - amp), utf8, bytes, &count,
                                      &zero, error);
        if (!k) return false;
        saved += static_cast<size_t>(k - count);  // a reference is never shorter
        p = amp + k;
    }
    *length = static_cast<size_t>(in.stop - in.source) - saved;
    return true;
}

// Copies the 16 bytes at `s` to `o` and marks each "&" among them: bit i of
// the result is set when byte i is one.
inline uint32_t copy16MarkingAmpersands(const char* s, char* o) {
#ifdef __SSE2__
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), x);
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('&'))));
#else
    uint32_t marks = 0;
    for (int j = 0; j < 16; j++) {
        o[j] = s[j];
        marks |= static_cast<uint32_t>(s[j] == '&') << j;
    }
    return marks;
#endif
}

// The same for 32 bytes.
inline uint32_t copy32MarkingAmpersands(const char* s, char* o) {
    return copy16MarkingAmpersands(s, o) | copy16MarkingAmpersands(s + 16, o + 16) << 16;
}

// The "&" among the 32 bytes at `s`, marked as copy32MarkingAmpersands does.
inline uint32_t ampersandsIn32(const char* s) {
#ifdef __SSE2__
    const __m128i ampersands = _mm_set1_epi8('&');
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, ampersands))) |
           static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, ampersands))) << 16;
#else
    uint32_t marks = 0;
    for (int j = 0; j < 32; j++) marks |= static_cast<uint32_t>(s[j] == '&') << j;
    return marks;
#endif
}

// Copies 32 bytes.
inline void copy32(const char* s, char* o) { std::memcpy(o, s, 32); }

// Copies the bytes from `s` up to the first "&" or to `stop` to `*w`, and
// returns where the copy stopped (the "&", or stop); `*w` moves as far.  The
// first 32 bytes, or 16, are copied whole when the source and the output
// room `wEnd` have them (the bytes stored past the "&" are written over
// afterwards); what is left goes to memchr and memcpy, or when it is short
// eight bytes at once and then byte by byte.  Only bytes before `stop` are
// read.
inline const char* copyToAmpersand(const char* s, const char* stop, char** w, const char* wEnd) {
    char* o = *w;
    const ptrdiff_t reach = stop - s < wEnd - o ? stop - s : wEnd - o;
    if (reach >= 16) {
        const ptrdiff_t block = reach >= 32 ? 32 : 16;
        const uint32_t marks = block == 32 ? copy32MarkingAmpersands(s, o)
                                           : copy16MarkingAmpersands(s, o);
        if (marks) {
            const int k = __builtin_ctz(marks);
            *w = o + k;
            return s + k;
        }
        s += block;
        o += block;
    }
    if (stop - s < 16) {
        if (stop - s >= 8 && wEnd - o >= 8) {
            uint64_t x;
            std::memcpy(&x, s, 8);
            std::memcpy(o, &x, 8);
            const uint64_t found = zeroBytes(x ^ 0x2626262626262626ULL);  // "&" is 0x26
            if (found) {
                const int k = firstFlaggedByte(found);
                *w = o + k;
                return s + k;
            }
            s += 8;
            o += 8;
        }
        while (s < stop && *s != '&') *o++ = *s++;
        *w = o;
        return s;
    }
    const char* amp = static_cast<const char*>(std::memchr(s, '&', static_cast<size_t>(stop - s)));
    const char* const e = amp ? amp : stop;
    std::memcpy(o, s, static_cast<size_t>(e - s));
    *w = o + (e - s);
    return e;
}

// The named entity that the eight bytes at `p` (an "&") spell exactly, in
// the table's lower case: its row, or kNoRow (then decodeReference settles
// what the bytes are).  No case folding and no length checks: the common
// reference costs one chain step.
inline int exactEntity(const EntityWords& words, const char* p) {
    uint64_t x;
    std::memcpy(&x, p, 8);
    int r = words.first[static_cast<unsigned char>(p[1])];
    while ((x & words.mask[r]) != words.word[r]) r = words.next[r];
    return r;
}

// exactEntity where only `readable` bytes from `p` may be read: the rows no
// longer than that.  kNoRow when the words cannot be used.
inline int exactEntityWithin(const EntityWords& words, const char* p, ptrdiff_t readable) {
    if (!words.usable || readable < 2) return kNoRow;
    if (readable >= 8) return exactEntity(words, p);
    unsigned char bytes[8] = {0};
    for (ptrdiff_t i = 0; i < readable; i++) bytes[i] = static_cast<unsigned char>(p[i]);
    uint64_t x;
    std::memcpy(&x, bytes, 8);
    int r = words.first[bytes[1]];
    while (words.length[r] > readable || (x & words.mask[r]) != words.word[r]) r = words.next[r];
    return r;
}

// Whether no character that starts among the three bytes before `q` reaches
// q: in UTF-8 mode by the lead bytes' values, else by the table.
template <bool kUtf8>
inline bool noLeadByteReachesIn(const unsigned char* table, const char* q) {
    return kUtf8 ? noUtf8LeadByteReaches(q) : noLeadByteReaches(table, q);
}

// Where a decoding stands: the next source byte `s`, the first byte of a
// character at or before it `run`, and the next output byte `w`.
struct Cursor {
    const char* s;
    const char* run;
    char* w;
};

// The fast lane for escaped text (a reference every few words).  The source
// is searched for "&" 32 bytes at a time, block after block, while a block
// starts before `laneEnd` (64 bytes before the source's stop, with room for
// the output to keep up); the blocks do not wait for the references found
// in them, so the search runs ahead of the decoding instead of starting
// again after each reference.  At each "&" the 8 bytes from it may be read,
// as may the 3 before it when it is not at the source's start (they settle
// that it starts a character, see noLeadByteReaches); a named entity spelt
// in lower case is then taken at once, the run before it copied 32 bytes at
// a time.  No row's text holds a second "&", so the next "&" of a block
// comes after the reference.  Returns at anything else, `c` at the start of
// the run not yet copied.  `laneStart` is 3 bytes after the source's start.
//
// Kept out of line, so that its loop has the registers to itself.
template <bool kUtf8>
[[gnu::noinline]] void decodeLane(Cursor& c, const char* laneStart, const char* laneEnd,
                                  const unsigned char* table, const EntityWords& words) {
    const char* s = c.s;
    const char* run = c.run;
    char* w = c.w;
    for (const char* chunk = s; chunk < laneEnd; chunk += 32) {
        for (uint32_t marks = ampersandsIn32(chunk); marks; marks &= marks - 1) {
            const char* const amp = chunk + __builtin_ctz(marks);
            const int r = amp >= laneStart && noLeadByteReachesIn<kUtf8>(table, amp)
                              ? exactEntity(words, amp)
                              : kNoRow;
            if (r == kNoRow) {
                c = Cursor{s, run, w};
                return;
            }
            for (ptrdiff_t i = 0; i < amp - s; i += 32) copy32(s + i, w + i);
            w += amp - s;
            *w++ = words.character[r];
            s = run = amp + words.length[r];
        }
    }
    c = Cursor{s, run, w};
}

// Sources shorter than this are decoded by decodeShortInto.
constexpr ptrdiff_t kShortSource = 64;

// Decodes a short source (below the fast lane's reach) into `out`, which
// has room for more bytes than the source holds.  Eight bytes at a time are
// copied while none is an "&" or 0x80 and above; at a multibyte lead byte
// its character is copied whole (up to `stop`), so an "&" it claims is no
// reference, as walking the characters tells; at an "&" the reference is
// decoded.  Results as decodeReferencesInto's.
bool decodeShortInto(const Source& in, const unsigned char* table, bool utf8, char* out,
                     size_t* length, XMLError* error) {
    const EntityWords& words = entityWords();
    const char* s = in.source;
    const char* const stop = in.stop;
    const char* const readableEnd = in.readableEnd();
    char* w = out;
    bool zero = false;
    while (s < stop) {
        // The output never runs ahead of the source, so while eight source
        // bytes remain the output has room for eight more.
        if (stop - s >= 8) {
            uint64_t x;
            std::memcpy(&x, s, 8);
            std::memcpy(w, &x, 8);
            const uint64_t stops = zeroBytes(x ^ 0x2626262626262626ULL) |
                                   (x & 0x8080808080808080ULL);  // "&" is 0x26
            if (!stops) {
                s += 8;
                w += 8;
                continue;
            }
            const int k = firstFlaggedByte(stops);
            s += k;
            w += k;
        }
        const unsigned char c = static_cast<unsigned char>(*s);
        if (c != '&') {
            if (c < 0x80) {
                *w++ = static_cast<char>(c);
                s++;
                continue;
            }
            const ptrdiff_t n = table[c] > 1 ? table[c] : 1;
            const char* const e = stop - s < n ? stop : s + n;
            while (s < e) *w++ = *s++;
            continue;
        }
        const int r = exactEntityWithin(words, s, readableEnd - s);
        if (r != kNoRow) {
            *w++ = words.character[r];
            s += words.length[r];
            continue;
        }
        int count;
        const int k = decodeReference(s, static_cast<int>(in.end - s),
                                      static_cast<int>(readableEnd - s), utf8, w, &count, &zero,
                                      error);
        if (!k) return false;
        w += count;
        s += k;
    }
    *w = 0;
    *length = zero ? std::strlen(out) : static_cast<size_t>(w - out);
    return true;
}

// Decodes the source into `out`, which has room for its decoding and its
// terminator up to `wEnd` (at most the source's length and one more byte).
// Runs between references are copied whole: a character that `end` cuts
// short keeps the bytes before `stop`.  Gives the number of bytes of the
// string, which a reference to character 0 ends early; or false with the
// error code of the first wrong reference.  `kUtf8` is whether the table
// is UTF-8's.  The fast lane takes what it can; everything else (a run of
// 32 bytes or more, a reference that is numeric, in capitals or wrong, an
// "&" that may be a trail byte, the end of the source) goes the general
// way, one run and one reference at a time.
template <bool kUtf8>
bool decodeReferencesInto(const Source& in, const unsigned char* table, char* out, const char* wEnd,
                          size_t* length, XMLError* error) {
    const char* const source = in.source;
    const char* const stop = in.stop;
    const char* const readableEnd = in.readableEnd();  // never beyond `end`
    const EntityWords& words = entityWords();
    // The output never gets ahead of the source (a reference is never
    // shorter than what it stands for), so with this much room it keeps up
    // with the source to its end.
    const bool roomy = wEnd - out > stop - source;
    if (roomy && stop - source < kShortSource)
        return decodeShortInto(in, table, kUtf8, out, length, error);
    const bool lane = roomy && words.usable && stop - source >= 64;
    const char* const laneEnd = lane ? stop - 64 : source;
    bool zero = false;  // a reference wrote a zero byte
    Cursor c{source, source, out};
    for (;;) {
        if (c.s < laneEnd) decodeLane<kUtf8>(c, source + 3, laneEnd, table, words);
        const char* s = copyToAmpersand(c.s, stop, &c.w, wEnd);
        if (s == stop) break;
        const char* const next = walkToCharacter(table, c.run, s);
        if (next != s) {
            // A trail byte of a multibyte character: copy the rest of that
            // character and search on after it.
            const char* const e = next < stop ? next : stop;
            std::memcpy(c.w, s, static_cast<size_t>(e - s));
            c.w += e - s;
            c.s = c.run = e;
            if (e == stop) break;
            continue;
        }
        const int r = exactEntityWithin(words, s, readableEnd - s);
        if (r != kNoRow) {
            *c.w++ = words.character[r];
            c.s = c.run = s + words.length[r];
            continue;
        }
        int count;
        const int k = decodeReference(s, static_cast<int>(in.end - s),
                                      static_cast<int>(readableEnd - s), kUtf8, c.w, &count, &zero,
                                      error);
        if (!k) return false;
        c.w += count;
        c.s = c.run = s + k;
    }
    *c.w = 0;
    *length = zero ? std::strlen(out) : static_cast<size_t>(c.w - out);
    return true;
}

char* heapOutput(void*, size_t size) { return static_cast<char*>(std::malloc(size)); }

// A new empty string (the decoding of an empty source).
char* emptyString(XML* state, size_t* decodedLength) {
    char* empty = static_cast<char*>(std::malloc(1));
    if (!empty) {
        if (state) state->error = errorNoXMLData;
        return nullptr;
    }
    *empty = 0;
    if (decodedLength) *decodedLength = 0;
    return empty;
}

// The decoding of `in` where `allocate` gives room.  With `roomy`, the room
// asked for first is the source's length and one more byte, which its
// decoding never exceeds, so that one pass decodes and checks; when that room
// cannot be had (and always without `roomy`) a first pass checks every
// reference and measures the output, and the room is then asked for at its
// exact size.  A wrong reference is reported before memory runs out, as the
// check comes first.  When memory runs out the state's error becomes
// errorNoXMLData.
char* decode(const Source& in, XML* state, size_t* decodedLength, DecodeAllocator allocate,
             void* context, bool roomy) {
    const unsigned char* const table = XML_ByteTable;
    const bool utf8 = table == XML_utf8ByteTable;
    XMLError error = errorNone;
    const size_t whole = static_cast<size_t>(in.stop - in.source);
    char* out = roomy ? allocate(context, whole + 1) : nullptr;
    size_t room = whole + 1;
    if (!out) {
        size_t count;
        if (!measure(in, table, utf8, &count, &error)) {
            if (state) state->error = error;
            return nullptr;
        }
        room = count + 1;
        out = allocate(context, room);
        if (!out) {
            if (state) state->error = errorNoXMLData;
            return nullptr;
        }
    }
    size_t length;
    const bool decoded =
        utf8 ? decodeReferencesInto<true>(in, table, out, out + room, &length, &error)
             : decodeReferencesInto<false>(in, table, out, out + room, &length, &error);
    if (!decoded) {
        if (state) state->error = error;
        return nullptr;  // only with `roomy`: the room stays the allocator's
    }
    if (decodedLength) *decodedLength = length;
    return out;
}

}  // namespace

char* fromXMLString(const char* source, int length, XML* state, size_t* decodedLength) {
    if (!source) return nullptr;
    if (length <= 0 || *source == 0) return emptyString(state, decodedLength);
    const char* const end = source + length;
    const char* const zero =
        static_cast<const char*>(std::memchr(source, 0, static_cast<size_t>(length)));
    return decode(Source{source, zero ? zero : end, end}, state, decodedLength, heapOutput, nullptr,
                  false);
}

char* fromXMLTokenText(const char* source, int length, XML* state, size_t* decodedLength) {
    if (length <= 0) return emptyString(state, decodedLength);
    return decode(Source{source, source + length, source + length}, state, decodedLength,
                  heapOutput, nullptr, false);
}

char* fromXMLTokenTextInto(const char* source, int length, XML* state, DecodeAllocator allocate,
                           void* context, size_t* decodedLength) {
    if (length <= 0) {
        char* empty = allocate(context, 1);
        if (!empty) {
            if (state) state->error = errorNoXMLData;
            return nullptr;
        }
        *empty = 0;
        if (decodedLength) *decodedLength = 0;
        return empty;
    }
    return decode(Source{source, source + length, source + length}, state, decodedLength, allocate,
                  context, true);
}

bool fromXMLTokenTextInto(const char* source, int length, XML* state, char* out,
                          size_t* decodedLength) {
    const unsigned char* const table = XML_ByteTable;
    const Source in{source, source + length, source + length};
    char* const wEnd = out + length + 1;
    const bool utf8 = table == XML_utf8ByteTable;
    XMLError error = errorNone;
    const bool decoded =
        length < kShortSource ? decodeShortInto(in, table, utf8, out, decodedLength, &error)
        : utf8 ? decodeReferencesInto<true>(in, table, out, wEnd, decodedLength, &error)
               : decodeReferencesInto<false>(in, table, out, wEnd, decodedLength, &error);
    if (!decoded && state) state->error = error;
    return decoded;
}

}  // namespace xml_internal
