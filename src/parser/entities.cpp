// entities.cpp - the entity decoder: turns character references ("&lt;",
// "&#65;", "&#x41;") in attribute values and texts into their characters.
#include "internal.h"

#include <strings.h>

namespace xml_internal {

namespace {

// Reads the reference that starts with the "&" at `p`, with `remain` bytes
// (at least 1) left in the source.  Returns the number of bytes it takes and
// stores its character, or returns 0 and stores the error code.
int decodeReference(const char* p, int remain, char* out, XMLError* error) {
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
            if (value > 255) value = 256;  // saturate: any number of digits
        }
        if (value > 255) {
            *error = errorCharacterCodeAbove255;
            return 0;
        }
        *out = static_cast<char>(value);
        return i + 1;
    }
    for (const EntityRow* row = XMLEntities; row->entity; ++row) {
        if (row->length <= remain && strncasecmp(p, row->entity, static_cast<size_t>(row->length)) == 0) {
            *out = row->character;
            return row->length;
        }
    }
    *error = errorUnknownCharacterEntity;
    return 0;
}

// The first byte after the character at `p`, never beyond `end` and never
// beyond a zero byte.
inline const char* nextCharacter(const unsigned char* table, const char* p, const char* end) {
    const char* q = static_cast<unsigned char>(*p) < 0x80 ? p + 1 : stepCharacter(table, p);
    return q > end ? end : q;
}

}  // namespace

// Two passes over the same bytes: the first checks every reference and counts
// the output, the second writes it into the one allocation.  When memory runs
// out the state's error becomes errorNoXMLData.
char* fromXMLString(const char* source, int length, XML* state) {
    if (!source) return nullptr;
    if (length <= 0 || *source == 0) {
        char* empty = static_cast<char*>(std::malloc(1));
        if (!empty) {
            if (state) state->error = errorNoXMLData;
            return nullptr;
        }
        *empty = 0;
        return empty;
    }
    const unsigned char* const table = XML_ByteTable;
    const char* const end = source + length;

    // Pass 1: check and count.
    size_t count = 0;
    bool references = false;
    const char* p = source;
    while (p < end && *p) {
        if (*p == '&') {
            char ch;
            XMLError error = errorNone;
            const int k = decodeReference(p, static_cast<int>(end - p), &ch, &error);
            if (!k) {
                if (state) state->error = error;
                return nullptr;
            }
            references = true;
            p += k;
            count++;
        } else {
            const char* q = nextCharacter(table, p, end);
            count += static_cast<size_t>(q - p);
            p = q;
        }
    }

    char* out = static_cast<char*>(std::malloc(count + 1));
    if (!out) {
        if (state) state->error = errorNoXMLData;
        return nullptr;
    }
    if (!references) {
        std::memcpy(out, source, count);  // no reference: the bytes as they are
        out[count] = 0;
        return out;
    }

    // Pass 2: write.  Every reference is known to be valid.
    char* w = out;
    p = source;
    while (p < end && *p) {
        if (*p == '&') {
            XMLError error = errorNone;
            p += decodeReference(p, static_cast<int>(end - p), w, &error);
            w++;
        } else {
            const char* q = nextCharacter(table, p, end);
            while (p < q) *w++ = *p++;
        }
    }
    *w = 0;
    return out;
}

}  // namespace xml_internal
