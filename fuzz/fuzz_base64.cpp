// fuzz_base64.cpp - arbitrary text decoded by both decode operations, and
// the arbitrary bytes encoded in both modes and decoded back to the same
// bytes.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "xmlParser.h"

namespace {

void decodeText(const char* text) {
    XMLError sizeError = errorNone;
    const int size = XMLParserBase64Tool::decodeSize(text, &sizeError);
    FUZZ_CHECK(size >= 0);

    XMLParserBase64Tool tool;
    int memberSize = -1;
    XMLError memberError = errorNone;
    unsigned char* decoded = tool.decode(text, &memberSize, &memberError);
    FUZZ_CHECK(memberSize == size);
    FUZZ_CHECK(decoded == nullptr || memberError == errorNone ||
               memberError == warningBase64Truncated);

    // Into a caller buffer of exactly the decoded size, and of less: the
    // sanitizer sees any write past the given length.
    for (int length : {size, size / 2}) {
        unsigned char* out = static_cast<unsigned char*>(std::malloc(length ? length : 1));
        XMLError error = warningNoXMLTagFound;
        const unsigned char r = XMLParserBase64Tool::decode(text, out, length, &error);
        FUZZ_CHECK(r <= 2);
        FUZZ_CHECK_MSG((r == 0) == (error == errorBase64IllegalCharacter ||
                                    error == errorBase64OutputTooSmall),
                       "result %d error %d", r, error);
        // Both decodes read the same text into the same length alike.
        if (length == size && size) FUZZ_CHECK((r != 0) == (decoded != nullptr));
        std::free(out);
    }
}

void roundTrip(const uint8_t* data, size_t size, char formatted) {
    XMLParserBase64Tool tool;
    unsigned char* input = const_cast<unsigned char*>(data);
    const char* encoded = tool.encode(input, static_cast<unsigned int>(size), formatted);
    FUZZ_CHECK(encoded != nullptr);
    const int need = XMLParserBase64Tool::encodeLength(static_cast<int>(size), formatted);
    FUZZ_CHECK_MSG(std::strlen(encoded) == (size ? static_cast<size_t>(need) - 1 : 0),
                   "length %zu for %zu bytes, encodeLength %d", std::strlen(encoded), size, need);
    const std::string text = encoded;  // the tool's buffer is reused below

    XMLError error = warningNoXMLTagFound;
    int decodedSize = -1;
    const unsigned char* decoded = tool.decode(text.c_str(), &decodedSize, &error);
    FUZZ_CHECK(decodedSize == static_cast<int>(size));
    FUZZ_CHECK(size == 0 ? decoded == nullptr : decoded != nullptr);
    FUZZ_CHECK(error == errorNone);
    if (size) FUZZ_CHECK(std::memcmp(decoded, data, size) == 0);

    unsigned char* out = static_cast<unsigned char*>(std::malloc(size ? size : 1));
    FUZZ_CHECK(XMLParserBase64Tool::decode(text.c_str(), out, static_cast<int>(size), &error) == 2);
    if (size) FUZZ_CHECK(std::memcmp(out, data, size) == 0);
    std::free(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = exactText(data, size);
    decodeText(text);
    std::free(text);
    roundTrip(data, size, 0);
    roundTrip(data, size, 1);
    return 0;
}
