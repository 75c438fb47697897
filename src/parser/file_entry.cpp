// file_entry.cpp - parsing whole files: XMLNode::parseFile reads a file into
// memory, turns wide-character contents into 8-bit text, skips a byte-order
// mark and parses the text; XMLNode::openFileHelper also guesses and installs
// the file's encoding and ends the process when the file cannot be parsed.
#include "internal.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace xml_internal;

namespace {

inline void setCode(XMLResults* results, XMLError code) {
    if (results) results->errorCode = code;
}

// Reads the whole file into a new buffer followed by at least four zero
// bytes, enough to end it both as 8-bit text and as aligned wide text.
// `*length` receives the number of bytes read.  Returns null with the code
// set when the file cannot be read.
//
// Refused before anything is read: a file whose size cannot be found (the
// seek or the position query fails, as for a pipe) with errorFileNotFound,
// since it cannot be read as a file; a file of 2 GiB or more (offsets into
// parsed text are 32-bit) and a buffer that cannot be allocated with
// errorNoXMLData, the code parseString gives for a text too long to parse
// and for memory exhaustion.  A file from which nothing can be read (a
// directory, say) gives errorNoXMLData like an empty one.
char* readWholeFile(const char* fileName, XMLResults* results, size_t* length) {
    std::FILE* f = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!f) {
        setCode(results, errorFileNotFound);
        return nullptr;
    }
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        setCode(results, errorFileNotFound);
        return nullptr;
    }
    if (size == 0 || size > INT_MAX) {
        std::fclose(f);
        setCode(results, errorNoXMLData);
        return nullptr;
    }
    // The contents rounded up to whole 32-bit units, then one zero unit.
    size_t room = (static_cast<size_t>(size) + 3) / 4 * 4 + 4;
    char* buffer = static_cast<char*>(std::malloc(room));
    if (!buffer) {
        std::fclose(f);
        setCode(results, errorNoXMLData);
        return nullptr;
    }
    size_t got = std::fread(buffer, 1, static_cast<size_t>(size), f);
    std::fclose(f);
    if (got == 0) {
        std::free(buffer);
        setCode(results, errorNoXMLData);
        return nullptr;
    }
    std::memset(buffer + got, 0, room - got);
    *length = got;
    return buffer;
}

// UTF-16 text (after its byte-order mark) as 32-bit wide characters, up to
// its first zero unit: each unit in the byte order of the mark, each
// surrogate pair joined into one character.  A surrogate without its partner
// stands for no character, so the text cannot be converted: null, as for
// memory exhaustion.
wchar_t* utf16ToWide(const unsigned char* b, size_t bytes, bool bigEndian) {
    const size_t units = bytes / 2;
    wchar_t* wide = static_cast<wchar_t*>(std::malloc((units + 1) * sizeof(wchar_t)));
    if (!wide) return nullptr;
    auto unit = [&](size_t i) -> unsigned {
        const unsigned first = b[2 * i], second = b[2 * i + 1];
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    size_t n = 0;
    for (size_t i = 0; i < units; i++) {
        unsigned u = unit(i);
        if (u == 0) break;
        if (u >= 0xD800 && u <= 0xDFFF) {
            const unsigned low = i + 1 < units ? unit(i + 1) : 0;
            if (u > 0xDBFF || low < 0xDC00 || low > 0xDFFF) {
                std::free(wide);
                return nullptr;
            }
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            i++;
        }
        wide[n++] = static_cast<wchar_t>(u);
    }
    wide[n] = 0;
    return wide;
}

// Turns wide-character file contents into the locale's multibyte text.  A
// 32-bit byte-order mark (FF FE 00 00) is skipped whole, so the conversion
// stays in step with the units; any other two-byte mark (FF FE or FE FF)
// marks UTF-16 in that byte order, which is read as such: taking it for
// 32-bit units, as the mark test alone would, gives garbage or fails.  Wide
// text without a mark is in 32-bit units.  Releases the file buffer; null
// when the text cannot be converted.
char* convertWideText(char* buffer, size_t length) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(buffer);
    char* text = nullptr;
    if (length >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) {
        text = myWideCharToMultiByte(reinterpret_cast<wchar_t*>(buffer + 4));
    } else if ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)) {
        wchar_t* wide = utf16ToWide(b + 2, length - 2, b[0] == 0xFE);
        if (wide) text = myWideCharToMultiByte(wide);
        std::free(wide);
    } else {
        text = myWideCharToMultiByte(reinterpret_cast<wchar_t*>(buffer));
    }
    std::free(buffer);
    return text;
}

}  // namespace

XMLNode XMLNode::parseFile(const char* fileName, const char* firstTag, XMLResults* results) {
    if (results) {
        results->line = 0;
        results->column = 0;
    }
    size_t length = 0;
    char* buffer = readWholeFile(fileName, results, &length);
    if (!buffer) return emptyXMLNode;

    const char* text = buffer;
    if (guessWideCharChars) {
        if (myIsTextWideChar(buffer, static_cast<int>(length))) {
            buffer = convertWideText(buffer, length);
            text = buffer;
        } else if (length >= 3 && static_cast<unsigned char>(buffer[0]) == 0xEF &&
                   static_cast<unsigned char>(buffer[1]) == 0xBB &&
                   static_cast<unsigned char>(buffer[2]) == 0xBF) {
            text = buffer + 3;
        }
    }
    if (!buffer) {
        setCode(results, errorCharConversion);
        return emptyXMLNode;
    }
    XMLNode node = parseString(text, firstTag, results);
    std::free(buffer);
    return node;
}

XMLNode XMLNode::openFileHelper(const char* fileName, const char* firstTag) {
    std::FILE* f = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (f) {
        unsigned char head[200];
        size_t got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
        XMLCharEncoding guess = guessCharEncoding(head, static_cast<int>(got), 1);
        setGlobalOptions(guess, guessWideCharChars, dropWhiteSpace, removeCommentsInMiddleOfText);
    }

    XMLResults results = {errorNone, 0, 0};
    XMLNode node = parseFile(fileName, firstTag, &results);
    if (results.errorCode == errorNone) return node;

    // The tree of a warning is released before the process ends.
    node = emptyXMLNode;
    bool tagMissing = results.errorCode == errorFirstTagNotFound;
    // printf writes the message whole, whatever the length of the names.
    std::printf("XML Parsing error inside file '%s'.\n%s\nAt line %i, column %i.\n%s%s%s",
                fileName ? fileName : "", getError(results.errorCode), results.line, results.column,
                tagMissing ? "First Tag should be '" : "", tagMissing && firstTag ? firstTag : "",
                tagMissing ? "'.\n" : "");
    std::exit(255);
}
