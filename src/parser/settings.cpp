// settings.cpp - the process-wide settings, the character-length tables, the
// clear-tag and entity vocabularies and the messages of the result codes.
#include "internal.h"

namespace xml_internal {

XMLNode::XMLCharEncoding characterEncoding = XMLNode::charEncodingUTF8;
const unsigned char* XML_ByteTable = XML_utf8ByteTable;
char guessWideCharChars = 1;
char dropWhiteSpace = 1;
char removeCommentsInMiddleOfText = 1;


#define ROW16(a) a, a, a, a, a, a, a, a, a, a, a, a, a, a, a, a

// UTF-8: lead bytes 0xC2-0xDF: 2, 0xE0-0xEF: 3, 0xF0-0xF4: 4.
const unsigned char XML_utf8ByteTable[256] = {
    0,        1,        1,        1,        1,        1,        1,        1,
    1,        1,        1,        1,        1,        1,        1,        1,  // 0x00
    ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1),     // 0x10-0x7F
    ROW16(1), ROW16(1), ROW16(1), ROW16(1),                                   // 0x80-0xBF
    1,        1,        2,        2,        2,        2,        2,        2,
    2,        2,        2,        2,        2,        2,        2,        2,  // 0xC0
    ROW16(2),                                                                 // 0xD0
    ROW16(3),                                                                 // 0xE0
    4,        4,        4,        4,        4,        1,        1,        1,
    1,        1,        1,        1,        1,        1,        1,        1  // 0xF0
};

// Single-byte legacy text: every byte but zero is one character.
const unsigned char XML_legacyByteTable[256] = {
    0,        1,        1,        1,        1,        1,        1,        1,
    1,        1,        1,        1,        1,        1,        1,        1,
    ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1),
    ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1)};

// Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xEF: 2.
const unsigned char XML_sjisByteTable[256] = {
    0,        1,        1,        1,        1,        1,        1,        1,
    1,        1,        1,        1,        1,        1,        1,        1,
    ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1),  // 0x10-0x7F
    1,        2,        2,        2,        2,        2,        2,        2,
    2,        2,        2,        2,        2,        2,        2,        2,  // 0x80
    ROW16(2),                                                                 // 0x90
    ROW16(1), ROW16(1), ROW16(1), ROW16(1),                                   // 0xA0-0xDF
    ROW16(2),                                                                 // 0xE0
    ROW16(1)                                                                  // 0xF0
};

// GB2312: lead bytes 0xA1-0xF7: 2.
const unsigned char XML_gb2312ByteTable[256] = {
    0,        1,        1,        1,        1,        1,        1,        1,
    1,        1,        1,        1,        1,        1,        1,        1,
    ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1),  // 0x10-0x7F
    ROW16(1), ROW16(1),                                                    // 0x80-0x9F
    1,        2,        2,        2,        2,        2,        2,        2,
    2,        2,        2,        2,        2,        2,        2,        2,  // 0xA0
    ROW16(2), ROW16(2), ROW16(2), ROW16(2),                                   // 0xB0-0xEF
    2,        2,        2,        2,        2,        2,        2,        2,
    1,        1,        1,        1,        1,        1,        1,        1  // 0xF0
};

// GBK and Big5: lead bytes 0x81-0xFE: 2.
const unsigned char XML_gbk_big5_ByteTable[256] = {
    0,        1,        1,        1,        1,        1,        1,        1,
    1,        1,        1,        1,        1,        1,        1,        1,
    ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1), ROW16(1),  // 0x10-0x7F
    1,        2,        2,        2,        2,        2,        2,        2,
    2,        2,        2,        2,        2,        2,        2,        2,  // 0x80
    ROW16(2), ROW16(2), ROW16(2), ROW16(2), ROW16(2), ROW16(2),               // 0x90-0xEF
    2,        2,        2,        2,        2,        2,        2,        2,
    2,        2,        2,        2,        2,        2,        2,        1  // 0xF0
};

#undef ROW16

// The delimiter strings have a fixed identity: the parser stores these very
// pointers in the clear tags it creates and recognises rows by pointer.
static const char kCdataOpen[] = "<![CDATA[";
static const char kCdataClose[] = "]]>";
const char* const cdataOpen = kCdataOpen;
const char* const cdataClose = kCdataClose;
const char* const docTypeEnd = "]>";

const ClearTagRow XMLClearTags[] = {
    {kCdataOpen, 9, kCdataClose}, {"<!DOCTYPE", 9, ">"}, {"<!--", 4, "-->"},
    {"<PRE>", 5, "</PRE>"},       {nullptr, 0, nullptr},
};

const EntityRow XMLEntities[] = {
    {"&amp;", 5, '&'},  {"&lt;", 4, '<'},    {"&gt;", 4, '>'},
    {"&quot;", 6, '"'}, {"&apos;", 6, '\''}, {nullptr, 0, 0},
};

}  // namespace xml_internal

using namespace xml_internal;

int XMLNode::setGlobalOptions(XMLCharEncoding encoding, char guessWide, char dropWhite,
                              char removeComments) {
    guessWideCharChars = guessWide;
    dropWhiteSpace = dropWhite;
    removeCommentsInMiddleOfText = removeComments;
    const unsigned char* table;
    switch (encoding) {
        case charEncodingUTF8: table = XML_utf8ByteTable; break;
        case charEncodingLegacy: table = XML_legacyByteTable; break;
        case charEncodingShiftJIS: table = XML_sjisByteTable; break;
        case charEncodingGB2312: table = XML_gb2312ByteTable; break;
        case charEncodingBig5:
        case charEncodingGBK: table = XML_gbk_big5_ByteTable; break;
        default: return 1;
    }
    characterEncoding = encoding;
    XML_ByteTable = table;
    return 0;
}

const char* XMLNode::getError(XMLError code) {
    static const char* const messages[] = {
        "No error",
        "Warning: Unmatched end tag",
        "Warning: No XML tag found",
        "Error: No XML data",
        "Error: Missing start tag name",
        "Error: Missing end tag name",
        "Error: Unmatched end tag",
        "Error: Unmatched clear tag end",
        "Error: Unexpected token found",
        "Error: No elements found",
        "Error: File not found",
        "Error: First Tag not found",
        "Error: Unknown character entity",
        "Error: Character code above 255 is forbidden in MultiByte char mode.",
        "Error: unable to convert between WideChar and MultiByte chars",
        "Error: unable to open file for writing",
        "Error: cannot write into file",
        "Warning: Base64-string length is not a multiple of 4",
        "Error: Base64-string contains an illegal character",
        "Warning: Base64-string is truncated",
        "Error: Base64 decode output buffer is too small",
    };
    // Compare as unsigned so that negative values are outside the table too.
    unsigned int i = static_cast<unsigned int>(code);
    if (i >= sizeof(messages) / sizeof(messages[0])) return "Unknown";
    return messages[i];
}

// "v" and the major and minor numbers of the version macros.
const char* XMLNode::getVersion() {
    return "v" XMLPARSER_STRINGIFY(XMLPARSER_VERSION_MAJOR) "." XMLPARSER_STRINGIFY(
        XMLPARSER_VERSION_MINOR);
}
