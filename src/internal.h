// internal.h - what the library's source files share and callers never see:
// the node data record, the process-wide settings and tables, the parser
// state and tokens, and a few helpers.
#ifndef XMLPARSER_INTERNAL_H
#define XMLPARSER_INTERNAL_H

#include "xmlParser.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------------------
// Document model
// ---------------------------------------------------------------------------

namespace xml_internal {
struct NodeBlock;  // model/memory.h
}

// The node data record.  Every array pointer is null until the first record
// of its kind is added; an array always has room for at least its count.
//
// `children` holds one pointer per child; each slot holds one reference to
// the child's node data, exactly like a handle (a handle is one pointer), but
// stored as a plain pointer so that arrays can be grown with realloc and
// moved with memmove.
struct XMLNode::XMLNodeDataTag {
    char* name;                 // owned; null for a nameless node
    int childCount;
    int textCount;
    int clearCount;
    int attributeCount;
    char declarationFlag;       // set once at creation
    XMLNodeDataTag* parent;     // not owned, not counted; null for a root
    XMLNodeDataTag** children;  // each slot holds one reference
    char** texts;               // owned strings
    XMLClear* clears;           // values owned, delimiters never
    XMLAttribute* attributes;   // names and values owned
    int* order;                 // index * 4 + kind, in document order
    int referenceCount;         // handles, plus the parent's slot
    // The block this record holds one reference on, or null: strings and
    // arrays inside it belong to the block (model/memory.h).
    xml_internal::NodeBlock* block;
};

namespace xml_internal {

using NodeData = XMLNode::XMLNodeDataTag;


// Opens the handle's protected machinery to the library's own free functions
// and to its tests.  Construct one from a handle (it then shares the node,
// like any copy) to call the internal workers on it.
struct NodeAccess : XMLNode {
    NodeAccess() {}
    NodeAccess(const XMLNode& node) : XMLNode(node) {}
    explicit NodeAccess(NodeData* data) : XMLNode(data) {}

    // The node data of any handle (null for the empty node).
    static NodeData* data(const XMLNode& node) { return node.*(&NodeAccess::nodeData); }
    // A new handle on node data (retains it).
    static XMLNode handle(NodeData* data) { return XMLNode(NodeAccess(data)); }

    using XMLNode::nodeData;
    using XMLNode::emptyTheNode;
    using XMLNode::exactMemory;
    using XMLNode::removeOrderElement;
    using XMLNode::detachFromParent;
    using XMLNode::addToOrder;
    using XMLNode::addChild_priv;
    using XMLNode::addAttribute_priv;
    using XMLNode::addText_priv;
    using XMLNode::addClear_priv;
    using XMLNode::indexText;
    using XMLNode::indexClear;
    using XMLNode::ParseXMLElement;
    using XMLNode::maybeAddTxT;
    using XMLNode::parseClearTag;
    using XMLNode::CreateXMLStringR;
};

// Number of order entries (child nodes, texts and clear tags) of a node.
inline int orderCount(const NodeData* d) {
    return d->childCount + d->textCount + d->clearCount;
}

// Frees a string the library owns (stored as const char* in the public
// attribute and clear-tag records).
inline void freeOwned(const char* s) { std::free(const_cast<char*>(s)); }

// Sets a record to an empty nameless node without parent or contents; the
// declaration flag, the reference count and the block are left as they are.
inline void clearNodeData(NodeData* d) {
    d->name = nullptr;
    d->childCount = d->textCount = d->clearCount = d->attributeCount = 0;
    d->parent = nullptr;
    d->children = nullptr;
    d->texts = nullptr;
    d->clears = nullptr;
    d->attributes = nullptr;
    d->order = nullptr;
}

// The default clear-tag delimiters: the first row of XMLClearTags.
extern const char* const cdataOpen;   // "<![CDATA["
extern const char* const cdataClose;  // "]]>"

// Name lookups (lookup.cpp).  The index of the first child (attribute) at or
// after `start` whose name equals `name` ignoring ASCII case (strcasecmp), or
// -1.  A null name, a negative start and nameless children never match.
int findChildByName(const NodeData* d, const char* name, int start);
int findAttributeByName(const NodeData* d, const char* name, int start);

}  // namespace xml_internal

// ---------------------------------------------------------------------------
// Settings, character tables and vocabulary
// ---------------------------------------------------------------------------

namespace xml_internal {

// Process-wide settings, fixed at load (UTF-8, all three flags set) and
// changed only by XMLNode::setGlobalOptions.
extern XMLNode::XMLCharEncoding characterEncoding;
extern const unsigned char* XML_ByteTable;  // always the table of characterEncoding
extern char guessWideCharChars;
extern char dropWhiteSpace;
extern char removeCommentsInMiddleOfText;

// Character-length tables, indexed by a character's first byte: 0 for the
// zero byte, otherwise the number of bytes the character occupies (1 to 4).
extern const unsigned char XML_utf8ByteTable[256];
extern const unsigned char XML_legacyByteTable[256];
extern const unsigned char XML_sjisByteTable[256];
extern const unsigned char XML_gb2312ByteTable[256];
extern const unsigned char XML_gbk_big5_ByteTable[256];

// The kinds of verbatim sections, ended by a row whose open string is null.
struct ClearTagRow {
    const char* open;
    int openLength;
    const char* close;
};
extern const ClearTagRow XMLClearTags[];  // CDATA, DOCTYPE, comment, PRE, end
extern const char* const docTypeEnd;      // "]>"

// The named character entities, ended by a row whose entity string is null.
struct EntityRow {
    const char* entity;
    int length;
    char character;
};
extern const EntityRow XMLEntities[];

// White space is exactly space, line feed, carriage return and TAB.
inline bool isWhiteSpace(unsigned char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

}  // namespace xml_internal

// ---------------------------------------------------------------------------
// Parser internals
// ---------------------------------------------------------------------------

namespace xml_internal {

// The parser state: one record per parse.
struct XML {
    const char* document;       // the whole text, zero-terminated; not owned
    const char* pendingText;    // start of the not yet stored text, or null
    int index;                  // offset of the next byte the tokenizer reads
    int warningIndex;           // `index` when the last warning was recorded
    XMLError error;             // result so far
    const char* pendingEndTag;  // name of an end tag offered to ancestors
    int pendingEndTagLength;    // non-zero exactly while one is pending
    int atTopLevel;             // non-zero until the first element parse
    // The text the text collector stored or joined last (its node and
    // index), with its length and the size of its block, so that joining
    // texts across removed comments neither measures the kept text again nor
    // reallocates it at every join (either made a long run of "t<!--c-->"
    // quadratic).  The block grows geometrically and is trimmed to its exact
    // size by settleLastText once the text is complete.
    XMLNode::XMLNodeDataTag* lastTextNode = nullptr;
    int lastTextIndex = 0;
    size_t lastTextLength = 0;
    size_t lastTextCapacity = 0;
};

// Trims the block of the text tracked in the state to its exact size (a
// failed trim keeps the larger block) and stops tracking it.
void settleLastText(XML* x);

enum XMLTokenTypeTag {
    textToken = 0,
    quotedTextToken = 1,
    openAngleToken = 2,
    closingTagToken = 3,
    closeAngleToken = 4,
    equalsToken = 5,
    declarationToken = 6,
    emptyElementEndToken = 7,
    clearTagToken = 8,
    endOfTextToken = 9
};

struct TokenRef {
    const ClearTagRow* clearTag;  // the matched row of a clearTagToken, else null
    const char* start;            // the token's first byte; null at the end
};

// Decodes the first `length` bytes of `source` (character entities and
// numeric references) into a new heap string; null on a decoding error (the
// code goes into state->error) or for a null source.  When `decodedLength`
// is given it receives the new string's length.
char* fromXMLString(const char* source, int length, XML* state, size_t* decodedLength = nullptr);

// fromXMLString for bytes that the tokenizer has read, which never hold a
// zero byte: the same result without looking for one.
char* fromXMLTokenText(const char* source, int length, XML* state, size_t* decodedLength = nullptr);

// 0 when the stored tag name stands as a whole name at `text`, else 1.
char myTagCompare(const char* name, const char* text);

// Each byte with ASCII letters mapped to lower case; every other byte maps
// to itself.  Names and named entities compare through it.
struct AsciiLowerTable {
    unsigned char map[256];
};
constexpr AsciiLowerTable makeAsciiLowerTable() {
    AsciiLowerTable t{};
    for (int i = 0; i < 256; i++) t.map[i] = static_cast<unsigned char>(i);
    for (int c = 'A'; c <= 'Z'; c++) t.map[c] = static_cast<unsigned char>(c - 'A' + 'a');
    return t;
}
inline constexpr AsciiLowerTable asciiLower = makeAsciiLowerTable();

// Whether the first n bytes at a and b are equal ignoring ASCII letter case.
// Stops at the first difference, so a zero byte in either ends the
// comparison there unless the other has a zero byte too.
inline bool equalIgnoringAsciiCase(const char* a, const char* b, size_t n) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
    for (size_t i = 0; i < n; i++) {
        if (x[i] != y[i] && asciiLower.map[x[i]] != asciiLower.map[y[i]]) return false;
        if (x[i] == 0) return true;
    }
    return true;
}

// Reads the next token at state->index: writes its type and (except for a
// clear tag) its length, and moves state->index past it.  Never moves past
// the terminating zero byte.
TokenRef GetNextToken(XML* state, int* length, XMLTokenTypeTag* type);

// Steps from the first byte of a character to the first byte of the next one
// with the character-length table `table`.  Stays on a zero byte, and stops
// on a zero byte met among the bytes a multibyte lead byte claims, so no
// scanner ever passes the end of the text.
inline const char* stepCharacter(const unsigned char* table, const char* p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x80) return p + (c != 0);
    const int n = table[c];
    for (int i = 1; i < n; i++)
        if (p[i] == 0) return p + i;
    return p + n;
}

// Walks the characters from `p` (a character's first byte) towards `q`, where
// the bytes from p up to q hold no zero byte and the byte at q is readable.
// Returns q when a character starts there, or the first character start
// beyond q when q is a trail byte of a multibyte character.  Runs of bytes
// below 0x80 (single-byte characters in every table) are passed eight at a
// time, reading only bytes before q; a character that ends at or before q
// needs no test for a zero byte.
inline const char* walkToCharacter(const unsigned char* table, const char* p, const char* q) {
    // A character that covers q starts at most 3 bytes before it (no
    // character is longer than 4 bytes) and not before p (a character starts
    // at p).  When none of those bytes claims as many bytes as reach q, q
    // starts a character whatever came before, and no walk is needed: in
    // well-formed text this settles nearly every search at once.
    {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(q);
        if (q - p >= 3) {
            // Straight-line for the common case: no loop to mispredict.
            if ((table[b[-1]] > 1) + (table[b[-2]] > 2) + (table[b[-3]] > 3) == 0) return q;
        } else {
            ptrdiff_t k = 1;
            while (k <= q - p && table[b[-k]] <= k) k++;
            if (k > q - p) return q;
        }
    }
    for (;;) {
        for (;;) {
            if (q - p >= 8) {
                uint64_t w;
                std::memcpy(&w, p, 8);
                const uint64_t high = w & 0x8080808080808080ULL;
                if (!high) {
                    p += 8;
                    continue;
                }
                // The lowest set bit marks the first byte of 0x80 or above
                // (x86-64 reads words little-endian).
                p += __builtin_ctzll(high) >> 3;
                break;
            }
            while (p < q && static_cast<unsigned char>(*p) < 0x80) p++;
            if (p >= q) return p;
            break;
        }
        const int n = table[static_cast<unsigned char>(*p)];
        if (q - p >= n) {
            p += n;
        } else {
            p = stepCharacter(table, p);
            if (p > q) return p;
        }
    }
}

// In content mode the element parser passes over every token that does not
// begin with "<" (or is the end of the text), and no token passed over holds
// a "<" or a zero byte that starts a character.  So the next token that
// matters is the first "<" that starts a character at or after `index`, or
// the terminating zero: this moves the state's index straight there, without
// cutting the text into tokens.  strchr finds each candidate; walking the
// characters up to it tells whether it is a trail byte of a multibyte
// character.
inline void skipToMarkup(XML* x, const unsigned char* table) {
    const char* const doc = x->document;
    const char* p = doc + x->index;
    for (;;) {
        const char* lt = std::strchr(p, '<');
        if (!lt) lt = p + std::strlen(p);
        p = walkToCharacter(table, p, lt);
        if (p == lt) break;
    }
    x->index = static_cast<int>(p - doc);
}

// Whether `length` bytes look like text in 32-bit wide characters.
char myIsTextWideChar(const void* buffer, int length);

// The zero-terminated wide string converted to the locale's multibyte
// encoding, as a new heap string; null when a character cannot be converted.
char* myWideCharToMultiByte(const wchar_t* text);

}  // namespace xml_internal

// ---------------------------------------------------------------------------
// Output internals
// ---------------------------------------------------------------------------

namespace xml_internal {

// Escaping classes: for each byte, 0 for the terminating zero, 1 for a plain
// single-byte character, 2 to 4 for the lead byte of a character of that many
// bytes, and escapeEntityBase + row for a character that XMLEntities replaces.
// The table returned matches the active XML_ByteTable.
constexpr unsigned char escapeEntityBase = 8;
const unsigned char* activeEscapeClasses();

// The characters that XMLEntities replaces, as a zero-terminated set for
// strcspn.
const char* escapedCharacters();

// The one escaping walk shared by every length and write pass, so that both
// always agree.  Counts (and, when Write is set, writes to `out`, without a
// terminator) the escaped form of `source`.  A character whose bytes are cut
// short by the terminating zero is copied up to that zero and no further.
//
// Only the zero byte and the characters that XMLEntities replaces stop the
// scan; every other byte, multibyte characters included, belongs to the run
// that is copied whole.  A stop found that way may still be a trail byte of a
// multibyte character: walking the characters from the run's start to it
// settles that (at once in well-formed text), and such a byte is copied with
// its character.  Runs are scanned byte by byte with the class table until
// one reaches 16 bytes; from then on every run of the string goes to strcspn.
template <bool Write>
inline size_t escapeWalk(const unsigned char* classes, const char* source, char* out) {
    const char* p = source;
    size_t n = 0;
    bool searching = false;  // a run of 16 bytes has been met
    for (;;) {
        const char* const run = p;
        const char* q = p;
        if (!searching) {
            // The class is 0 for the zero byte and escapeEntityBase or more for
            // a character to replace: those are the bytes whose class less one
            // is 7 or more.
            int k = 0;
            while (k < 16 &&
                   static_cast<unsigned char>(classes[static_cast<unsigned char>(q[k])] - 1) < 7)
                k++;
            q += k;
            searching = k == 16;
        }
        if (searching) q += std::strcspn(q, escapedCharacters());
        // No character reaches past the terminating zero (each stops at it).
        p = *q ? walkToCharacter(classes, run, q) : q;
        if (p != run) {
            const size_t r = static_cast<size_t>(p - run);
            if (Write) std::memcpy(out + n, run, r);
            n += r;
        }
        if (p != q) continue;  // the byte found belonged to a character: scan on
        const unsigned c = classes[static_cast<unsigned char>(*p)];
        if (c == 0) return n;
        const EntityRow& e = XMLEntities[c - escapeEntityBase];
        if (Write) std::memcpy(out + n, e.entity, static_cast<size_t>(e.length));
        n += static_cast<size_t>(e.length);
        p++;
    }
}

}  // namespace xml_internal

#endif  // XMLPARSER_INTERNAL_H
