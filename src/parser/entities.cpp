// entities.cpp - the entity decoder: turns character references ("&lt;",
// "&#65;", "&#x41;") in attribute values and texts into their characters.
#include "internal.h"

namespace xml_internal {

namespace {

// The named entities as 8-byte words, for comparing a whole entity at once
// where eight bytes remain: each row's text in lower case, padded with zero
// bytes, and a mask of the bytes it covers.  Usable when every row fits in
// eight bytes (the table's longest is six).
struct EntityWords {
    uint64_t word[16];
    uint64_t mask[16];
    int count = 0;
    bool usable = true;
};

EntityWords buildEntityWords() {
    EntityWords w;
    for (const EntityRow* row = XMLEntities; row->entity; ++row) {
        if (w.count == 16 || row->length < 1 || row->length > 8) {
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
        w.count++;
    }
    return w;
}

// Eight bytes with their ASCII capitals turned into small letters (0x20 set
// in each byte from 0x41 to 0x5A), all bytes at once.
inline uint64_t lowerAsciiWord(uint64_t x) {
    const uint64_t low7 = x & 0x7F7F7F7F7F7F7F7FULL;
    const uint64_t atLeastA = low7 + 0x3F3F3F3F3F3F3F3FULL;   // 0x80 set where >= 0x41
    const uint64_t aboveZ = low7 + 0x2525252525252525ULL;     // 0x80 set where >= 0x5B
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

// What one reference stands for: up to four bytes.
struct Decoded {
    char bytes[4];
    int count;
};

// Reads the reference that starts with the "&" at `p`, with `remain` bytes
// (at least 1) left in the source, of which the first `readable` may be read
// (the source's length may reach past a zero byte that ends the string
// early; nothing after that zero is read).  Returns the number of bytes it
// takes and stores what it stands for, or returns 0 and stores the error
// code.
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
                                                bool utf8, Decoded* out, XMLError* error) {
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
        if (utf8) {
            if (value > kLastUnicode || (value >= 0xD800 && value <= 0xDFFF)) {
                *error = errorCharacterCodeAbove255;
                return 0;
            }
            out->count = writeUtf8(value, out->bytes);
        } else {
            if (value > 255) {
                *error = errorCharacterCodeAbove255;
                return 0;
            }
            out->bytes[0] = static_cast<char>(value);
            out->count = 1;
        }
        return i + 1;
    }
    out->count = 1;
    // With eight bytes left and readable, every row fits, and each is
    // compared as one masked word (rows in table order, as below).
    if (remain >= 8 && readable >= 8) {
        static const EntityWords words = buildEntityWords();
        if (words.usable) {
            uint64_t x;
            std::memcpy(&x, p, 8);
            x = lowerAsciiWord(x);
            for (int r = 0; r < words.count; r++) {
                if ((x & words.mask[r]) == words.word[r]) {
                    out->bytes[0] = XMLEntities[r].character;
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
            out->bytes[0] = row->character;
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
        const char* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(stop - p)));
        if (!amp) return nullptr;
        p = walkToCharacter(table, p, amp);
        if (p == amp) return amp;
    }
    return nullptr;
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

// Two passes over the same bytes: the first checks every reference and counts
// the output, the second writes it into the one allocation.  Both stop at
// `stop` (the first zero byte, or `end` when there is none before it); the
// characters in between are copied whole except where `end` cuts one short,
// and only the runs between references are walked character by character.
// When memory runs out the state's error becomes errorNoXMLData.  The output
// goes where `allocate` says (a new heap string by default).
char* decode(const char* source, const char* stop, const char* end, XML* state,
             size_t* decodedLength, DecodeAllocator allocate = heapOutput,
             void* context = nullptr) {
    const unsigned char* const table = XML_ByteTable;
    const bool utf8 = table == XML_utf8ByteTable;
    // What may be read: up to `end`, or up to and including the zero byte.
    const char* const readableEnd = stop < end ? stop + 1 : end;

    // Pass 1: check every reference and count what they save.  The first
    // references found are remembered (where, how long, which character), so
    // that pass 2 writes them without searching or reading them again.
    struct Found {
        const char* at;
        int length;
        Decoded decoded;
    };
    constexpr int kRemembered = 32;
    Found found[kRemembered];
    int foundCount = 0;
    size_t saved = 0;
    const char* p = source;
    for (;;) {
        const char* amp = nextReference(table, p, stop);
        if (!amp) break;
        Decoded ch{};
        XMLError error = errorNone;
        const int k = decodeReference(amp, static_cast<int>(end - amp),
                                      static_cast<int>(readableEnd - amp), utf8, &ch, &error);
        if (!k) {
            if (state) state->error = error;
            return nullptr;
        }
        // The count stops one past what is remembered: "and more".
        if (foundCount < kRemembered) found[foundCount] = Found{amp, k, ch};
        if (foundCount <= kRemembered) foundCount++;
        saved += static_cast<size_t>(k - ch.count);  // a reference is never shorter
        p = amp + k;
    }

    const size_t count = static_cast<size_t>(stop - source) - saved;
    char* out = allocate(context, count + 1);
    if (!out) {
        if (state) state->error = errorNoXMLData;
        return nullptr;
    }
    if (!foundCount) {
        if (decodedLength) *decodedLength = count;
        std::memcpy(out, source, count);  // no reference: the bytes as they are
        out[count] = 0;
        return out;
    }

    // Pass 2: copy the runs between references and write each reference's
    // character: the remembered ones as they were found, any later ones
    // searched and read again (every reference is known to be valid).  A
    // reference to character 0 ends the string early: the length reported is
    // the string's, up to its first zero byte.
    const int remembered = foundCount < kRemembered ? foundCount : kRemembered;
    const bool more = foundCount > kRemembered;
    char* w = out;
    char* firstZero = nullptr;
    const char* from = source;
    for (int i = 0;; i++) {
        const char* amp;
        int k;
        Decoded ch{};
        if (i < remembered) {
            amp = found[i].at;
            k = found[i].length;
            ch = found[i].decoded;
        } else {
            amp = more ? nextReference(table, from, stop) : nullptr;
            if (!amp) break;
            XMLError error = errorNone;
            k = decodeReference(amp, static_cast<int>(end - amp),
                                static_cast<int>(readableEnd - amp), utf8, &ch, &error);
        }
        std::memcpy(w, from, static_cast<size_t>(amp - from));
        w += amp - from;
        if (ch.bytes[0] == 0 && !firstZero) firstZero = w;  // only value 0 writes a zero byte
        std::memcpy(w, ch.bytes, static_cast<size_t>(ch.count));
        w += ch.count;
        from = amp + k;
    }
    std::memcpy(w, from, static_cast<size_t>(stop - from));
    w += stop - from;
    *w = 0;
    if (decodedLength) *decodedLength = static_cast<size_t>((firstZero ? firstZero : w) - out);
    return out;
}

}  // namespace

char* fromXMLString(const char* source, int length, XML* state, size_t* decodedLength) {
    if (!source) return nullptr;
    if (length <= 0 || *source == 0) return emptyString(state, decodedLength);
    const char* const end = source + length;
    const char* const zero = static_cast<const char*>(std::memchr(source, 0, static_cast<size_t>(length)));
    return decode(source, zero ? zero : end, end, state, decodedLength);
}

char* fromXMLTokenText(const char* source, int length, XML* state, size_t* decodedLength) {
    if (length <= 0) return emptyString(state, decodedLength);
    return decode(source, source + length, source + length, state, decodedLength);
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
    return decode(source, source + length, source + length, state, decodedLength, allocate,
                  context);
}

}  // namespace xml_internal
