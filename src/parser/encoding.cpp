// encoding.cpp - telling wide-character text from 8-bit text, guessing the
// 8-bit encoding of XML text from its bytes and its declaration, and turning
// wide-character text into the locale's multibyte text.
#include "internal.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <strings.h>

namespace xml_internal {

// Wide characters are the platform's 32-bit units in machine byte order.  A
// sample of at most 256 of them decides: mostly small values (ASCII and
// Latin-1 stored in 32 bits), or any zero unit, mean wide text.  Only values
// from 0 to 255 count as small: a negative unit is no character at all, and
// counting it would take 8-bit text whose every fourth byte is 0x80 or
// above (Cyrillic or CJK UTF-8, for instance) for wide text.
char myIsTextWideChar(const void* buffer, int length) {
    if (!buffer || length < 4 || (length & 1)) return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    unsigned int mark = bytes[0] | (static_cast<unsigned int>(bytes[1]) << 8);
    if (mark == 0xFFFE || mark == 0xFEFF) return 1;

    int n = length / 4;
    if (n > 256) n = 256;
    int small = 0;
    bool zero = false;
    for (int i = 0; i < n; i++) {
        int32_t unit;
        std::memcpy(&unit, bytes + 4 * i, sizeof unit);
        if (unit >= 0 && unit <= 255) small++;
        if (unit == 0) zero = true;
    }
    if (small > n / 2) return 1;
    return zero ? 1 : 0;
}

// wcsrtombs with a state of its own (not the hidden one shared by the
// process), measuring first and converting once into an exact buffer.
char* myWideCharToMultiByte(const wchar_t* text) {
    if (!text) return nullptr;
    std::mbstate_t state;
    std::memset(&state, 0, sizeof state);
    const wchar_t* source = text;
    size_t length = std::wcsrtombs(nullptr, &source, 0, &state);
    if (length == static_cast<size_t>(-1)) return nullptr;
    char* result = static_cast<char*>(std::malloc(length + 1));
    if (!result) return nullptr;
    std::memset(&state, 0, sizeof state);
    source = text;
    std::wcsrtombs(result, &source, length + 1, &state);
    result[length] = '\0';
    return result;
}

}  // namespace xml_internal

using namespace xml_internal;

namespace {

inline bool isDeclarationSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

inline const char* skipSpace(const char* p) {
    while (isDeclarationSpace(*p)) p++;
    return p;
}

inline bool startsWith(const char* p, const char* prefix) {
    return strncasecmp(p, prefix, std::strlen(prefix)) == 0;
}

// Whether the bytes are valid UTF-8 as far as the lead bytes go: every lead
// byte is followed by its continuation bytes (those beyond the length are
// not required); stray continuation bytes and 0xC0, 0xC1, 0xF5-0xFF pass as
// single bytes.  A zero byte ends the walk.
bool walkUtf8(const unsigned char* bytes, int length) {
    int i = 0;
    while (i < length) {
        unsigned char n = XML_utf8ByteTable[bytes[i]];
        if (n == 0) break;
        for (int j = 1; j < n && i + j < length; j++) {
            if ((bytes[i + j] & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

}  // namespace

XMLNode::XMLCharEncoding XMLNode::guessCharEncoding(void* buffer, int length, char useDeclaration) {
    if (!buffer || length <= 24) return charEncodingError;
    if (guessWideCharChars && myIsTextWideChar(buffer, length)) return charEncodingError;
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return charEncodingUTF8;

    bool validUtf8 = walkUtf8(bytes, length);
    XMLCharEncoding verdict = validUtf8 ? charEncodingUTF8 : charEncodingLegacy;
    if (!useDeclaration) return verdict;

    // The declared encoding, looked for in the first 200 bytes only.
    char head[201];
    int n = length < 200 ? length : 200;
    std::memcpy(head, bytes, static_cast<size_t>(n));
    head[n] = '\0';
    const char* p = std::strstr(head, "encoding");
    if (!p) return verdict;
    p = skipSpace(p + 8);
    if (*p != '=') return verdict;
    p = skipSpace(p + 1);
    if (*p != '"' && *p != '\'') return verdict;
    p = skipSpace(p + 1);

    if (startsWith(p, "utf-8") || startsWith(p, "utf8"))
        return validUtf8 ? charEncodingUTF8 : charEncodingError;
    if (startsWith(p, "shiftjis") || startsWith(p, "shift-jis") || startsWith(p, "sjis"))
        return charEncodingShiftJIS;
    if (startsWith(p, "GB2312")) return charEncodingGB2312;
    if (startsWith(p, "Big5")) return charEncodingBig5;
    if (startsWith(p, "GBK")) return charEncodingGBK;
    return charEncodingLegacy;
}
