/*
 * xmlParser.h - a small, dependency-free XML document library.
 *
 * XML text (a zero-terminated string or a file) is parsed into a tree of
 * reference-counted node handles that can be queried, edited, copied and
 * written back as formatted or compact XML.  Beside the tree the library
 * offers entity escaping, value conversion helpers and a Base64 tool.
 *
 * All text is 8-bit and zero-terminated.  The library never converts between
 * encodings; a process-wide setting (XMLNode::setGlobalOptions) tells it how
 * many bytes each character occupies.
 *
 * Failures are returned, never thrown: the empty node for handles, null for
 * strings, the static empty records for records, 0 for counts and flags, -1
 * for positions, and XMLError codes for parsing, file writing and Base64.
 *
 * Threads: none, and no locks.  A tree and every handle into it belong to one
 * thread at a time; the process-wide settings must not change while any parse
 * or serialization runs.
 *
 * This header compiles as C++11 and later.
 */
#ifndef XMLPARSER_H
#define XMLPARSER_H

#include <stddef.h>

/* ------------------------------------------------------------------------ */
/* Result codes                                                              */
/* ------------------------------------------------------------------------ */

/* Codes 0 to 2 keep a parsed tree; codes 3 and above are errors.  The message
 * of each code is given by XMLNode::getError. */
typedef enum XMLError {
    errorNone = 0,
    warningUnmatchedEndTag = 1,
    warningNoXMLTagFound = 2,
    errorNoXMLData = 3,
    errorMissingStartTagName = 4,
    errorMissingEndTagName = 5,
    errorUnmatchedEndTag = 6,
    errorUnmatchedClearTagEnd = 7,
    errorUnexpectedToken = 8,
    errorNoElements = 9,
    errorFileNotFound = 10,
    errorFirstTagNotFound = 11,
    errorUnknownCharacterEntity = 12,
    errorCharacterCodeAbove255 = 13,
    errorCharConversion = 14,
    errorCannotOpenWriteFile = 15,
    errorCannotWriteFile = 16,
    warningBase64DataSize = 17,
    errorBase64IllegalCharacter = 18,
    warningBase64Truncated = 19,
    errorBase64OutputTooSmall = 20
} XMLError;

/* The kind of one item of a node's contents. */
typedef enum XMLElementType {
    elementChildNode = 0,
    elementAttribute = 1,
    elementText = 2,
    elementClear = 3,
    elementNull = 4
} XMLElementType;

/* The outcome of a parse: the code and, for a fault, the line and column
 * (both counted from 1; 0 when the fault has no position in the text). */
typedef struct XMLResults {
    XMLError errorCode;
    int line;
    int column;
} XMLResults;

/* One attribute.  `value` is null for an attribute written without a value.
 * Records handed out by the library point at the node's own strings. */
typedef struct XMLAttribute {
    const char* name;
    const char* value;
} XMLAttribute;

/* One clear tag: a section kept verbatim between two delimiters (CDATA
 * sections, document types, comments, PRE blocks).  The delimiters are never
 * copied or freed by the library. */
typedef struct XMLClear {
    const char* value;
    const char* openTag;
    const char* closeTag;
} XMLClear;

struct XMLContentEntry;

/* ------------------------------------------------------------------------ */
/* The node handle                                                           */
/* ------------------------------------------------------------------------ */

/* A handle on one node of a tree.  Handles are small values (one pointer):
 * copies share the same node, and the node is released with its last handle
 * together with every descendant that no other handle holds.  A handle
 * without a node is the empty node. */
struct XMLNode {
    /* The node data record; its layout is private to the library. */
    struct XMLNodeDataTag;

    typedef enum XMLCharEncoding {
        charEncodingError = 0,
        charEncodingUTF8 = 1,
        charEncodingLegacy = 2,
        charEncodingShiftJIS = 3,
        charEncodingGB2312 = 4,
        charEncodingBig5 = 5,
        charEncodingGBK = 6
    } XMLCharEncoding;

    /* ---- handle lifecycle ---- */
    XMLNode() : nodeData(0) {}
    XMLNode(const XMLNode& other);
    XMLNode& operator=(const XMLNode& other);
    ~XMLNode();

    /* ---- parsing ---- */
    /* Parses a zero-terminated string.  With a first tag, the child of that
     * name (ignoring ASCII case) of the parsed document is returned. */
    static XMLNode parseString(const char* xmlString, const char* firstTag = 0,
                               XMLResults* results = 0);
    /* Reads a whole file and parses it. */
    static XMLNode parseFile(const char* fileName, const char* firstTag = 0,
                             XMLResults* results = 0);
    /* Guesses the file's encoding, installs it, parses the file; on failure
     * prints one message on standard output and ends the process (status 255). */
    static XMLNode openFileHelper(const char* fileName, const char* firstTag = 0);
    /* The message of a result code ("Unknown" outside 0 to 20). */
    static const char* getError(XMLError code);
    /* The library's version text. */
    static const char* getVersion();

    /* ---- settings ---- */
    /* Sets the process-wide encoding and flags.  The flags are always stored;
     * returns 0 when the encoding was accepted, 1 when it was not. */
    static int setGlobalOptions(XMLCharEncoding encoding = charEncodingUTF8,
                                char guessWideCharChars = 1, char dropWhiteSpace = 1,
                                char removeCommentsInMiddleOfText = 1);
    /* Guesses the 8-bit encoding of `length` bytes of XML text. */
    static XMLCharEncoding guessCharEncoding(void* buffer, int length,
                                             char useDeclaration = 1);

    /* ---- creating and naming ---- */
    static XMLNode createXMLTopNode(const char* name, char isDeclaration = 0);
    static XMLNode createXMLTopNode_WOSD(char* name, char isDeclaration = 0);
    static XMLNode emptyNode();
    const char* updateName(const char* name);
    const char* updateName_WOSD(char* name);
    /* Detaches the node from its parent and empties it and its descendants. */
    void deleteNodeContent();

    /* ---- reading by index ---- */
    const char* getName() const;
    int nChildNode() const;
    int nText() const;
    int nClear() const;
    int nAttribute() const;
    int nElement() const;
    XMLNode getChildNode(int i = 0) const;
    XMLNode getParentNode() const;
    XMLAttribute getAttribute(int i = 0) const;
    const char* getAttributeName(int i = 0) const;
    const char* getAttributeValue(int i = 0) const;
    const char* getText(int i = 0) const;
    XMLClear getClear(int i = 0) const;
    char isDeclaration() const;
    char isEmpty() const;

    /* ---- lookup by name ---- */
    XMLNode getChildNode(const char* name, int* iterator = 0) const;
    XMLNode getChildNode(const char* name, int occurrence) const;
    int nChildNode(const char* name) const;
    const char* getAttribute(const char* name, int* iterator = 0) const;
    const char* getAttribute(const char* name, int occurrence) const;
    char isAttributeSet(const char* name) const;
    XMLNode getChildNodeWithAttribute(const char* childName, const char* attributeName,
                                      const char* attributeValue = 0,
                                      int* iterator = 0) const;
    /* Follows a path of child names cut at `separator`; with `createMissing`
     * set, missing children are appended on the way. */
    XMLNode getChildNodeByPath(const char* path, char createMissing = 0,
                               char separator = '/');
    XMLNode getChildNodeByPathNonConst(char* path, char createMissing = 0,
                                       char separator = '/');

    /* ---- positions in document order (attributes have none) ---- */
    int positionOfChildNode(int index = 0) const;
    int positionOfChildNode(XMLNode child) const;
    int positionOfChildNode(const char* name, int occurrence = 0) const;
    int positionOfText(int index = 0) const;
    int positionOfText(const char* storedText) const;
    int positionOfClear(int index = 0) const;
    int positionOfClear(const char* storedValue) const;
    int positionOfClear(XMLClear* record) const;

    /* All contents: attributes first, then child nodes, texts and clear tags
     * in document order; `index` runs from 0 to nElement() - 1. */
    XMLContentEntry enumContents(int index) const;

    /* ---- adding (a negative position, or one past the end, appends) ---- */
    XMLNode addChild(const char* name, char isDeclaration = 0, int position = -1);
    XMLNode addChild_WOSD(char* name, char isDeclaration = 0, int position = -1);
    /* Moves an existing node (or, for a nameless node, its children) here. */
    XMLNode addChild(XMLNode node, int position = -1);
    XMLAttribute* addAttribute(const char* name, const char* value);
    XMLAttribute* addAttribute_WOSD(char* name, char* value);
    const char* addText(const char* text, int position = -1);
    const char* addText_WOSD(char* text, int position = -1);
    XMLClear* addClear(const char* value, const char* openTag = 0, const char* closeTag = 0,
                       int position = -1);
    XMLClear* addClear_WOSD(char* value, const char* openTag = 0, const char* closeTag = 0,
                            int position = -1);

    /* ---- updating (new content first, then what selects the target) ---- */
    XMLAttribute* updateAttribute(const char* newValue, const char* newName = 0, int index = 0);
    XMLAttribute* updateAttribute(const char* newValue, const char* newName, const char* oldName);
    XMLAttribute* updateAttribute(XMLAttribute* newRecord, XMLAttribute* oldRecord);
    XMLAttribute* updateAttribute_WOSD(char* newValue, char* newName = 0, int index = 0);
    XMLAttribute* updateAttribute_WOSD(char* newValue, char* newName, const char* oldName);
    XMLAttribute* updateAttribute_WOSD(XMLAttribute* newRecord, XMLAttribute* oldRecord);
    const char* updateText(const char* newText, int index = 0);
    const char* updateText(const char* newText, const char* storedText);
    const char* updateText_WOSD(char* newText, int index = 0);
    const char* updateText_WOSD(char* newText, const char* storedText);
    XMLClear* updateClear(const char* newValue, int index = 0);
    XMLClear* updateClear(const char* newValue, const char* storedValue);
    XMLClear* updateClear(XMLClear* newRecord, XMLClear* oldRecord);
    XMLClear* updateClear_WOSD(char* newValue, int index = 0);
    XMLClear* updateClear_WOSD(char* newValue, const char* storedValue);
    XMLClear* updateClear_WOSD(XMLClear* newRecord, XMLClear* oldRecord);

    /* ---- deleting ---- */
    void deleteAttribute(int index = 0);
    void deleteAttribute(const char* name);
    void deleteAttribute(XMLAttribute* record);
    void deleteText(int index = 0);
    void deleteText(const char* storedText);
    void deleteClear(int index = 0);
    void deleteClear(const char* storedValue);
    void deleteClear(XMLClear* record);

    /* ---- copying ---- */
    /* A new, independent root holding a copy of this node and its subtree. */
    XMLNode deepCopy() const;

    /* ---- writing ---- */
    /* The node as XML text, formatted (flag non-zero, and only while the
     * dropWhiteSpace setting is on) or compact.  Release with freeXMLString.
     * `size`, if given, receives the length.  Null (size 0) for the empty node
     * or when memory runs out. */
    char* createXMLString(int format = 1, int* size = 0) const;
    /* Writes the node to a file, with a UTF-8 byte-order mark in UTF-8 mode
     * and an XML declaration line unless the node starts with one. */
    XMLError writeToFile(const char* fileName, const char* encoding = 0, char format = 1) const;

    /* ---- static empty objects ---- */
    static XMLNode emptyXMLNode;
    static XMLClear emptyXMLClear;
    static XMLAttribute emptyXMLAttribute;

protected:
    /* Everything below is the library's own machinery; it is not part of
     * the stable interface. */
    XMLNodeDataTag* nodeData;

    explicit XMLNode(XMLNodeDataTag* data);
    XMLNode(XMLNodeDataTag* parent, char* name, char isDeclaration);

    void emptyTheNode(char force);
    static void exactMemory(XMLNodeDataTag* data);
    static int removeOrderElement(XMLNodeDataTag* data, XMLElementType kind, int index);
    static int detachFromParent(XMLNodeDataTag* data);

    void* addToOrder(int growthStep, int* position, int count, void* array, int recordSize,
                     XMLElementType kind);
    XMLNode addChild_priv(int growthStep, char* name, char isDeclaration, int position);
    XMLAttribute* addAttribute_priv(int growthStep, char* name, char* value);
    const char* addText_priv(int growthStep, char* text, int position);
    XMLClear* addClear_priv(int growthStep, char* value, const char* openTag,
                            const char* closeTag, int position);

    int indexText(const char* storedText) const;
    int indexClear(const char* storedValue) const;

    int ParseXMLElement(void* state);
    char maybeAddTxT(void* state, const char* end);
    char parseClearTag(void* state, void* row);
    static int CreateXMLStringR(XMLNodeDataTag* data, char* output, int format);
};

/* One item of a node's contents, as given by XMLNode::enumContents.  Only the
 * field that `kind` names carries meaning; `childNode` is always a valid
 * handle (the empty node unless `kind` is elementChildNode). */
struct XMLContentEntry {
    XMLElementType kind;
    XMLNode childNode;
    XMLAttribute attribute;
    const char* text;
    XMLClear clear;
};

/* ------------------------------------------------------------------------ */
/* Free functions                                                            */
/* ------------------------------------------------------------------------ */

/* A new heap copy of the first `length` bytes of `source` (the whole string
 * for -1), always zero-terminated; null for a null source or when memory runs
 * out.  Release with freeXMLString. */
char* stringDup(const char* source, int length = -1);

/* Releases a string that the library handed over (from createXMLString,
 * stringDup, ...).  Null does nothing. */
void freeXMLString(char* text);

/* Value conversion helpers: the default stands in for a missing string (and,
 * except for xmltoa, for an empty one). */
const char* xmltoa(const char* text, const char* defaultValue = "");
char xmltoc(const char* text, char defaultValue = '\0');
double xmltof(const char* text, double defaultValue = 0.0);
long xmltol(const char* text, long defaultValue = 0);
int xmltoi(const char* text, int defaultValue = 0);
char xmltob(const char* text, char defaultValue = 0);

/* ------------------------------------------------------------------------ */
/* Tools                                                                     */
/* ------------------------------------------------------------------------ */

/* Entity escaping of arbitrary strings ("&", "<", ">", the double quote and
 * the apostrophe), with one reusable result buffer. */
struct ToXMLStringTool {
    ToXMLStringTool() : buffer(0), capacity(0) {}
    ~ToXMLStringTool();
    ToXMLStringTool(const ToXMLStringTool&) = delete;
    ToXMLStringTool& operator=(const ToXMLStringTool&) = delete;

    /* Releases the buffer. */
    void freeBuffer();
    /* The escaped form of `source` in the tool's buffer (valid until the next
     * call); null when memory runs out. */
    char* toXML(const char* source);
    /* Writes the escaped form and a zero byte to `destination`, which must
     * hold lengthXMLString(source) + 1 bytes. */
    static char* toXMLUnSafe(char* destination, const char* source);
    /* The length of the escaped form, terminator not counted. */
    static int lengthXMLString(const char* source);

private:
    char* buffer;
    int capacity;
};

/* The Base64 alphabet the encoder reads on every character. */
extern const char* base64EncodeTable;

/* Base64 encoding and decoding with one reusable result buffer. */
struct XMLParserBase64Tool {
    XMLParserBase64Tool() : buffer(0), capacity(0) {}
    ~XMLParserBase64Tool();
    XMLParserBase64Tool(const XMLParserBase64Tool&) = delete;
    XMLParserBase64Tool& operator=(const XMLParserBase64Tool&) = delete;

    /* Releases the buffer. */
    void freeBuffer();
    /* The buffer size that encoding `inputLength` bytes needs, zero included. */
    static int encodeLength(int inputLength, char formatted = 0);
    /* The Base64 text of the input in the tool's buffer; with `formatted`, a
     * line feed follows every 72 characters. */
    char* encode(unsigned char* input, unsigned int inputLength, char formatted = 0);
    /* The number of bytes that decoding `text` yields. */
    static int decodeSize(const char* text, XMLError* error = 0);
    /* Decodes into a caller buffer: 0 on failure, 1 when the text ended early
     * (warningBase64Truncated), 2 on clean completion. */
    static unsigned char decode(const char* text, unsigned char* output, int outputLength,
                                XMLError* error = 0);
    /* Decodes into the tool's buffer; `size` receives decodeSize's result. */
    unsigned char* decode(const char* text, int* size = 0, XMLError* error = 0);
    /* Makes the buffer hold at least `size` bytes. */
    void alloc(int size);

private:
    char* buffer;
    int capacity;
};

#endif /* XMLPARSER_H */
