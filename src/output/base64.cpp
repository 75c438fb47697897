// base64.cpp - XMLParserBase64Tool: Base64 encoding (standard alphabet, "="
// padding, optional line feeds) and white-space tolerant decoding, with one
// reusable result buffer.
//
// Sizes are always computed before a buffer is touched, in 64-bit arithmetic,
// so that no input length can make the tool write outside its buffer: lengths
// whose result would not fit in an int are refused.
#include "internal.h"

#include <climits>
#include <cstdlib>
#include <cstring>

const char* base64EncodeTable = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

namespace {

// Entries of the decode table beside the digit values 0 to 63.
enum : unsigned char {
    kPad = 96,      // "=": the end of the data
    kSpace = 97,    // TAB, line feed, carriage return, space: skipped
    kIllegal = 98,  // anything else
    kEnd = 99       // the terminating zero
};

struct DecodeTable {
    unsigned char entry[256];
    constexpr DecodeTable() : entry() {
        for (int i = 0; i < 256; i++) entry[i] = kIllegal;
        const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; i++)
            entry[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
        entry[static_cast<unsigned char>('=')] = kPad;
        entry[0x09] = kSpace;
        entry[0x0A] = kSpace;
        entry[0x0D] = kSpace;
        entry[0x20] = kSpace;
        entry[0x00] = kEnd;
    }
};

// Indexed by the unsigned input byte; private to the tool.
constexpr DecodeTable base64DecodeTable;

inline unsigned char classify(const char* p) {
    return base64DecodeTable.entry[static_cast<unsigned char>(*p)];
}

// The encoded size of n bytes, terminating zero included, or -1 when it does
// not fit in an int.
long long encodedSize(long long n, bool formatted) {
    if (n < 0) return -1;
    long long size = 4 * ((n - 1) / 3) + 5;
    if (formatted) size += n / 54;
    return size > INT_MAX ? -1 : size;
}

inline void setError(XMLError* error, XMLError code) {
    if (error) *error = code;
}

// Decodes `text` into `output` (room for `length` bytes) following the
// group-by-group outcome rules of XMLParserBase64Tool::decode; `*written`
// receives the number of bytes written.
unsigned char decodeInto(const char* text, unsigned char* output, int length, XMLError* error,
                         int* written) {
    setError(error, errorNone);
    *written = 0;
    // A missing text is empty; without an output buffer there is no room.
    if (!text) return 2;
    if (!output || length < 0) length = 0;

    const char* p = text;
    // Reads one value: skips white space, returns the entry of the next byte
    // and steps past it, but never past the terminating zero.
    auto next = [&p]() -> unsigned char {
        unsigned char v;
        while ((v = classify(p)) == kSpace) p++;
        if (v != kEnd) p++;
        return v;
    };

    int k = 0;
    for (;;) {
        unsigned char c1 = next();
        if (c1 == kIllegal) {
            setError(error, errorBase64IllegalCharacter);
            *written = k;
            return 0;
        }
        if (c1 == kEnd) {
            *written = k;
            return 2;
        }
        if (c1 == kPad) {
            *written = k;
            if (k == length) return 2;
            setError(error, warningBase64Truncated);
            return 1;
        }

        unsigned char c2 = next();
        if (c2 == kIllegal) {
            setError(error, errorBase64IllegalCharacter);
            *written = k;
            return 0;
        }
        if (c2 == kEnd || c2 == kPad) {
            setError(error, warningBase64Truncated);
            *written = k;
            return 1;
        }
        if (k == length) {
            setError(error, errorBase64OutputTooSmall);
            *written = k;
            return 0;
        }
        output[k] = static_cast<unsigned char>((c1 << 2) | (c2 >> 4));

        unsigned char c3 = next();
        if (c3 == kIllegal) {
            setError(error, errorBase64IllegalCharacter);
            *written = k + 1;
            return 0;
        }
        if (c3 == kEnd) {
            setError(error, warningBase64Truncated);
            *written = k + 1;
            return 1;
        }
        if (c3 == kPad) {
            *written = k + 1;
            if (k + 1 == length) return 2;
            setError(error, warningBase64Truncated);
            return 1;
        }
        if (k + 1 == length) {
            setError(error, errorBase64OutputTooSmall);
            *written = k + 1;
            return 0;
        }
        output[k + 1] = static_cast<unsigned char>((c2 << 4) | (c3 >> 2));

        unsigned char c4 = next();
        if (c4 == kIllegal) {
            setError(error, errorBase64IllegalCharacter);
            *written = k + 2;
            return 0;
        }
        if (c4 == kEnd) {
            setError(error, warningBase64Truncated);
            *written = k + 2;
            return 1;
        }
        if (c4 == kPad) {
            *written = k + 2;
            if (k + 2 == length) return 2;
            setError(error, warningBase64Truncated);
            return 1;
        }
        if (k + 2 == length) {
            setError(error, errorBase64OutputTooSmall);
            *written = k + 2;
            return 0;
        }
        output[k + 2] = static_cast<unsigned char>((c3 << 6) | c4);
        k += 3;
    }
}

}  // namespace

XMLParserBase64Tool::~XMLParserBase64Tool() { freeBuffer(); }

void XMLParserBase64Tool::freeBuffer() {
    std::free(buffer);
    buffer = nullptr;
    capacity = 0;
}

// The buffer grows to exactly the size asked for and never shrinks.  When
// memory runs out the buffer and its capacity stay as they were, so callers
// check the capacity afterwards; a size of 0 or less asks for nothing.
void XMLParserBase64Tool::alloc(int size) {
    if (size <= 0) return;
    if (!buffer) {
        char* b = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
        if (!b) return;
        buffer = b;
        capacity = size;
    } else if (size > capacity) {
        char* b = static_cast<char*>(std::realloc(buffer, static_cast<size_t>(size)));
        if (!b) return;
        buffer = b;
        capacity = size;
    }
}

// 4 * ((n - 1) / 3) + 5, plus n / 54 line feeds when formatted.  A negative
// length, or one whose encoded size would not fit in an int, gives 0: no
// encoding can be asked for with it.
int XMLParserBase64Tool::encodeLength(int inputLength, char formatted) {
    long long size = encodedSize(inputLength, formatted != 0);
    return size < 0 ? 0 : static_cast<int>(size);
}

// Null when the encoded size would not fit in an int, when input is null
// while its length is not 0, or when memory runs out; the buffer is then left
// as it was.
char* XMLParserBase64Tool::encode(unsigned char* input, unsigned int inputLength, char formatted) {
    long long size = encodedSize(inputLength, formatted != 0);
    if (size < 0 || (!input && inputLength)) return nullptr;
    alloc(static_cast<int>(size));
    if (!buffer || capacity < size) return nullptr;

    char* out = buffer;
    const unsigned char* in = input;
    unsigned int groups = inputLength / 3;
    int line = 17;
    for (unsigned int g = 0; g < groups; g++, in += 3) {
        unsigned int v = (static_cast<unsigned int>(in[0]) << 16) |
                         (static_cast<unsigned int>(in[1]) << 8) | in[2];
        *out++ = base64EncodeTable[(v >> 18) & 63];
        *out++ = base64EncodeTable[(v >> 12) & 63];
        *out++ = base64EncodeTable[(v >> 6) & 63];
        *out++ = base64EncodeTable[v & 63];
        if (formatted) {
            if (line) {
                line--;
            } else {
                *out++ = '\n';
                line = 17;
            }
        }
    }
    switch (inputLength - groups * 3) {
        case 1:
            *out++ = base64EncodeTable[in[0] >> 2];
            *out++ = base64EncodeTable[(in[0] & 3) << 4];
            *out++ = '=';
            *out++ = '=';
            break;
        case 2: {
            unsigned int v = (static_cast<unsigned int>(in[0]) << 8) | in[1];
            *out++ = base64EncodeTable[(v >> 10) & 63];
            *out++ = base64EncodeTable[(v >> 4) & 63];
            *out++ = base64EncodeTable[(v & 15) << 2];
            *out++ = '=';
            break;
        }
        default: break;
    }
    *out = '\0';
    return buffer;
}

// Counts digits and "=" (white space skipped), takes off the padding that
// ends the text, and gives three bytes per four counted characters.  A
// result that would not fit in an int gives 0.
int XMLParserBase64Tool::decodeSize(const char* text, XMLError* error) {
    setError(error, errorNone);
    if (!text) return 0;
    size_t count = 0;
    const char* p = text;
    for (;; p++) {
        unsigned char v = classify(p);
        if (v == kEnd) break;
        if (v == kSpace) continue;
        if (v == kIllegal) {
            setError(error, errorBase64IllegalCharacter);
            return 0;
        }
        count++;
    }
    if (count % 4) {
        setError(error, warningBase64DataSize);
    } else if (count == 0) {
        return 0;
    }
    // Padding counts off only where it stands right before the terminating
    // zero; white space after it stops this.
    while (p > text && p[-1] == '=') {
        p--;
        count--;
    }
    size_t size = count / 4 * 3 + count % 4 * 3 / 4;
    return size > static_cast<size_t>(INT_MAX) ? 0 : static_cast<int>(size);
}

unsigned char XMLParserBase64Tool::decode(const char* text, unsigned char* output, int outputLength,
                                          XMLError* error) {
    int written;
    return decodeInto(text, output, outputLength, error, &written);
}

// The size reported is decodeSize's, which can exceed what the text decodes
// to (padding followed by white space is not taken off the count); the bytes
// between the decoded ones and the reported size, and the spare byte after
// it, are zeroed so that no stale or uninitialised memory is handed out.
// Null when memory runs out or when the size and the spare byte would not fit
// in an int (the size is still reported).
unsigned char* XMLParserBase64Tool::decode(const char* text, int* size, XMLError* error) {
    setError(error, errorNone);
    int n = decodeSize(text, error);
    if (size) *size = n;
    if (n <= 0 || n == INT_MAX) return nullptr;
    alloc(n + 1);
    if (!buffer || capacity < n + 1) return nullptr;
    unsigned char* out = reinterpret_cast<unsigned char*>(buffer);
    int written;
    if (!decodeInto(text, out, n, error, &written)) return nullptr;
    std::memset(out + written, 0, static_cast<size_t>(n + 1 - written));
    return out;
}
