// escape.cpp - entity escaping: the per-encoding byte classes that drive the
// escaping walk, and ToXMLStringTool with its reusable buffer.
#include "internal.h"

namespace xml_internal {

namespace {

struct EscapeClassTables {
    unsigned char utf8[256];
    unsigned char legacy[256];
    unsigned char sjis[256];
    unsigned char gb2312[256];
    unsigned char gbkBig5[256];
};

// The byte-length table with the characters of XMLEntities laid over it
// (the first row naming a character wins, as in the entity table's order).
void buildClasses(unsigned char* classes, const unsigned char* lengths) {
    for (int c = 0; c < 256; c++) classes[c] = lengths[c];
    for (int row = 0; XMLEntities[row].entity && row < 256 - escapeEntityBase; row++) {
        unsigned char ch = static_cast<unsigned char>(XMLEntities[row].character);
        if (ch != 0 && classes[ch] < escapeEntityBase)
            classes[ch] = static_cast<unsigned char>(escapeEntityBase + row);
    }
}

EscapeClassTables buildAllClasses() {
    EscapeClassTables t;
    buildClasses(t.utf8, XML_utf8ByteTable);
    buildClasses(t.legacy, XML_legacyByteTable);
    buildClasses(t.sjis, XML_sjisByteTable);
    buildClasses(t.gb2312, XML_gb2312ByteTable);
    buildClasses(t.gbkBig5, XML_gbk_big5_ByteTable);
    return t;
}

}  // namespace

namespace {

struct CharacterSet {
    char set[8];
};

CharacterSet buildEscapedCharacters() {
    CharacterSet s{};
    int n = 0;
    for (int row = 0; XMLEntities[row].entity && n < 7; row++) {
        const char ch = XMLEntities[row].character;
        if (ch != 0 && !std::memchr(s.set, ch, static_cast<size_t>(n))) s.set[n++] = ch;
    }
    return s;
}

}  // namespace

const char* escapedCharacters() {
    static const CharacterSet set = buildEscapedCharacters();
    return set.set;
}

const unsigned char* activeEscapeClasses() {
    // Built once, on first use, from the constant tables.
    static const EscapeClassTables tables = buildAllClasses();
    const unsigned char* active = XML_ByteTable;
    if (active == XML_legacyByteTable) return tables.legacy;
    if (active == XML_sjisByteTable) return tables.sjis;
    if (active == XML_gb2312ByteTable) return tables.gb2312;
    if (active == XML_gbk_big5_ByteTable) return tables.gbkBig5;
    return tables.utf8;  // XML_ByteTable is always one of the five tables
}

}  // namespace xml_internal

using namespace xml_internal;

// A null source is taken for the empty string by all three: callers pass
// what a lookup returned, and a missing attribute's value is null.
//
// An escaped length that does not fit an int (above INT_MAX bytes) is
// reported as -1 here; toXML then returns null and leaves its buffer as it
// was, and the serializer fails the same way, so no length ever wraps.
int ToXMLStringTool::lengthXMLString(const char* source) {
    if (!source) return 0;
    size_t n = escapeWalk<false>(activeEscapeClasses(), source, nullptr);
    return n > static_cast<size_t>(INT_MAX) ? -1 : static_cast<int>(n);
}

char* ToXMLStringTool::toXMLUnSafe(char* destination, const char* source) {
    if (!source) source = "";
    size_t n = escapeWalk<true>(activeEscapeClasses(), source, destination);
    destination[n] = 0;
    return destination;
}

char* ToXMLStringTool::toXML(const char* source) {
    if (!source) source = "";
    const unsigned char* classes = activeEscapeClasses();
    size_t length = escapeWalk<false>(classes, source, nullptr);
    // Null when lengthXMLString gives -1, and also for a length of exactly
    // INT_MAX, whose buffer with its terminator the int capacity cannot hold.
    if (length >= static_cast<size_t>(INT_MAX)) return nullptr;
    int needed = static_cast<int>(length) + 1;
    if (needed > capacity) {
        char* grown = static_cast<char*>(std::realloc(buffer, static_cast<size_t>(needed)));
        if (!grown) return nullptr;  // the old buffer stays with the tool
        buffer = grown;
        capacity = needed;
    }
    escapeWalk<true>(classes, source, buffer);
    buffer[length] = 0;
    return buffer;
}

void ToXMLStringTool::freeBuffer() {
    std::free(buffer);
    buffer = nullptr;
    capacity = 0;
}

ToXMLStringTool::~ToXMLStringTool() { freeBuffer(); }
