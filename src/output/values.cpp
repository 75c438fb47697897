// values.cpp - conversion of attribute values and texts to basic types, with
// a default for a missing string.  The string may be null: the getters hand
// out null when nothing is found, so their results can be passed on directly.
#include "internal.h"

#include <cstdlib>

// The string itself (not a copy); an empty string is returned, not replaced.
const char* xmltoa(const char* text, const char* defaultValue) {
    return text ? text : defaultValue;
}

// The first byte, unchanged (the lead byte of a multibyte character).
char xmltoc(const char* text, char defaultValue) { return (text && *text) ? *text : defaultValue; }

// strtod: leading white space skipped, trailing text ignored, no digits give 0.
double xmltof(const char* text, double defaultValue) {
    return (text && *text) ? std::strtod(text, nullptr) : defaultValue;
}

// strtol in base 10 (never octal or hexadecimal), saturating out of range.
long xmltol(const char* text, long defaultValue) {
    return (text && *text) ? std::strtol(text, nullptr, 10) : defaultValue;
}

// The low 32 bits of the base-10 strtol value.
int xmltoi(const char* text, int defaultValue) {
    if (!text || !*text) return defaultValue;
    return static_cast<int>(static_cast<unsigned int>(std::strtol(text, nullptr, 10)));
}

// The low 8 bits of the base-10 strtol value: no words are recognised, so
// "true" gives 0 and any non-zero byte counts as true.
char xmltob(const char* text, char defaultValue) {
    if (!text || !*text) return defaultValue;
    return static_cast<char>(static_cast<unsigned char>(std::strtol(text, nullptr, 10)));
}
