// parser.h - the parser state, the tokens, the decoders and the
// tokenizer shared by the parser's files.
#ifndef XMLPARSER_PARSER_PARSER_H
#define XMLPARSER_PARSER_PARSER_H

#include "model/node_data.h"
#include "parser/characters.h"

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

// fromXMLTokenText writing its output where `allocate(context, size)` gives
// room for `size` bytes (null when it cannot: the state's error becomes
// errorNoXMLData); returns that room.  The room asked for may be larger than
// the output (up to `length` + 1 bytes), and a wrong reference may be found
// once it has been given: then the result is null and the room stays the
// allocator's.
using DecodeAllocator = char* (*)(void* context, size_t size);
char* fromXMLTokenTextInto(const char* source, int length, XML* state, DecodeAllocator allocate,
                           void* context, size_t* decodedLength = nullptr);
// fromXMLTokenText of `length` (> 0) bytes into `out`, which has room for
// `length` + 1 bytes (no decoding is longer than its source): true with the
// string's length in `*decodedLength`, or false with the code of the first
// wrong reference in state->error.
bool fromXMLTokenTextInto(const char* source, int length, XML* state, char* out,
                          size_t* decodedLength);

// Where the clear tag whose open string the tokenizer has just matched (the
// state's index is just after it) ends: its value runs from `value` up to
// `end`, its close string `close` follows, and the text goes on at `after`.
// False when it has no end.
struct ClearTagEnd {
    const char* value;
    const char* end;
    const char* after;
    const char* close;
};
bool findClearTagEnd(const XML* x, const ClearTagRow* row, ClearTagEnd* found);

// 0 when the stored tag name stands as a whole name at `text`, else 1.
char myTagCompare(const char* name, const char* text);

// Reads the next token at state->index: writes its type and (except for a
// clear tag) its length, and moves state->index past it.  Never moves past
// the terminating zero byte.
TokenRef GetNextToken(XML* state, int* length, XMLTokenTypeTag* type);

// The part of a pending text, from `*p` up to `end`, that is stored: when the
// settings drop white space, without the white space at its start and end.
// Moves `*p` to the first byte kept and returns the number of bytes kept (0
// when nothing is left).  Trailing white space is trimmed by characters: a
// white-space byte that is the trail byte of a multibyte character ("\xE5i\n"
// in UTF-8, "\x83 " in Shift-JIS) stays with its character, which trimming it
// would cut.
inline int keptText(const char** p, const char* end) {
    const char* s = *p;
    const bool trim = dropWhiteSpace != 0;
    if (trim)
        while (s < end && isWhiteSpace(static_cast<unsigned char>(*s))) s++;
    *p = s;
    if (s >= end) return 0;
    int n = static_cast<int>(end - s);
    if (trim)
        while (n > 1 && isWhiteSpace(static_cast<unsigned char>(s[n - 1])) &&
               walkToCharacter(XML_ByteTable, s, s + n - 1) == s + n - 1)
            n--;
    return n;
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

#endif  // XMLPARSER_PARSER_PARSER_H
