// fuzz_check.h - what the fuzz targets share: a check that aborts (so that
// libFuzzer keeps the input as a crash) and exactly sized text buffers.
#ifndef XMLPARSER_FUZZ_CHECK_H
#define XMLPARSER_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(condition) FUZZ_CHECK_MSG(condition, "%s", "")
#define FUZZ_CHECK_MSG(condition, format, ...)                                                 \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, format "\n", __VA_ARGS__);                                    \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// A heap copy of `size` bytes followed by one zero byte, in a block of
// exactly that size, so that the sanitizer sees any read past the
// terminator.  Released with free.
inline char* exactText(const unsigned char* data, size_t size) {
    char* text = static_cast<char*>(std::malloc(size + 1));
    if (!text) std::abort();
    if (size) std::memcpy(text, data, size);
    text[size] = 0;
    return text;
}

#endif
