/**
 * @file xmlParser.h
 * @brief A small, dependency-free XML document library: the whole interface.
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
 * Strings: everything a tree stores belongs to the tree, and the pointers
 * that accessors return point into it (valid until that item is replaced or
 * deleted, or the node is freed).  Operations whose names end in `_WOSD`
 * ("without string duplication") take ownership of heap strings allocated
 * with malloc (or returned by stringDup); their twins without the suffix
 * copy the caller's strings.  Strings handed to the caller to own are
 * released with freeXMLString.
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
/* Version                                                                   */
/* ------------------------------------------------------------------------ */

/* These three numbers are the one place the version is written: the build
 * reads them for the package version and XMLNode::getVersion is made from
 * them. */

/** Major version: changes when the interface changes incompatibly. */
#define XMLPARSER_VERSION_MAJOR 2
/** Minor version: changes when the interface grows compatibly. */
#define XMLPARSER_VERSION_MINOR 39
/** Patch version: changes for fixes that leave the interface alone. */
#define XMLPARSER_VERSION_PATCH 0

/// @cond XMLPARSER_PRIVATE
#define XMLPARSER_STRINGIFY_(x) #x
#define XMLPARSER_STRINGIFY(x) XMLPARSER_STRINGIFY_(x)
/// @endcond

/** The version as a string literal, "MAJOR.MINOR.PATCH" ("2.39.0"). */
#define XMLPARSER_VERSION_STRING                                              \
    XMLPARSER_STRINGIFY(XMLPARSER_VERSION_MAJOR)                              \
    "." XMLPARSER_STRINGIFY(XMLPARSER_VERSION_MINOR) "." XMLPARSER_STRINGIFY( \
        XMLPARSER_VERSION_PATCH)

/** The version as one number for compile-time tests: MAJOR * 10000 +
 * MINOR * 100 + PATCH (23900 for 2.39.0). */
#define XMLPARSER_VERSION \
    (XMLPARSER_VERSION_MAJOR * 10000 + XMLPARSER_VERSION_MINOR * 100 + XMLPARSER_VERSION_PATCH)

/* ------------------------------------------------------------------------ */
/* Symbol export                                                             */
/* ------------------------------------------------------------------------ */

/** @def XMLPARSER_API
 * Marks the classes, functions and variables of the public interface.  The
 * library is built with hidden visibility, so these are all that its shared
 * form exports.  A Windows DLL build defines XMLPARSER_SHARED for its users
 * and XMLPARSER_BUILDING for itself; static and drop-in builds need neither.
 * A build may define XMLPARSER_API itself to override the choice. */
#ifndef XMLPARSER_API
#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(XMLPARSER_SHARED) && defined(XMLPARSER_BUILDING)
#define XMLPARSER_API __declspec(dllexport)
#elif defined(XMLPARSER_SHARED)
#define XMLPARSER_API __declspec(dllimport)
#else
#define XMLPARSER_API
#endif
#elif defined(__GNUC__) && __GNUC__ >= 4
#define XMLPARSER_API __attribute__((visibility("default")))
#else
#define XMLPARSER_API
#endif
#endif

/// @cond XMLPARSER_PRIVATE
/* Marks a member of an exported class that stays inside the library. */
#ifndef XMLPARSER_LOCAL
#if !defined(_WIN32) && !defined(__CYGWIN__) && defined(__GNUC__) && __GNUC__ >= 4
#define XMLPARSER_LOCAL __attribute__((visibility("hidden")))
#else
#define XMLPARSER_LOCAL
#endif
#endif
/// @endcond

/* ------------------------------------------------------------------------ */
/* Result codes                                                              */
/* ------------------------------------------------------------------------ */

/** Result codes of parsing, file writing and the Base64 tool.  Codes 0 to 2
 * keep a parsed tree; codes 3 and above are errors.  XMLNode::getError gives
 * the fixed message of each code. */
typedef enum XMLError {
    errorNone = 0,                  ///< No error.
    warningUnmatchedEndTag = 1,     ///< A wrong or missing end tag, repaired; the tree is kept.
    warningNoXMLTagFound = 2,       ///< No element at the top level; the tree is kept.
    errorNoXMLData = 3,             ///< Empty or unreadable input, 2 GiB or more, or no memory.
    errorMissingStartTagName = 4,   ///< A start tag without a name.
    errorMissingEndTagName = 5,     ///< An end tag without a name.
    errorUnmatchedEndTag = 6,       ///< An end tag that matches no open element.
    errorUnmatchedClearTagEnd = 7,  ///< A CDATA section, comment, DOCTYPE or PRE without its end.
    errorUnexpectedToken = 8,       ///< A token where the grammar allows none of its kind.
    errorNoElements = 9,            ///< No text to parse (a null string).
    errorFileNotFound = 10,         ///< The file could not be opened for reading.
    errorFirstTagNotFound = 11,     ///< No child of the requested first tag's name.
    errorUnknownCharacterEntity = 12,  ///< An entity reference that is neither named nor numeric.
    errorCharacterCodeAbove255 = 13,   ///< A numeric character reference above 255.
    errorCharConversion = 14,          ///< Wide-character text that the locale cannot convert.
    errorCannotOpenWriteFile = 15,     ///< The file could not be opened for writing.
    errorCannotWriteFile = 16,         ///< Writing the file failed.
    warningBase64DataSize = 17,  ///< Base64 length not a multiple of 4; a size is still given.
    errorBase64IllegalCharacter =
        18,                         ///< Base64 text with a byte outside alphabet and white space.
    warningBase64Truncated = 19,    ///< Base64 text ends early; the bytes so far are kept.
    errorBase64OutputTooSmall = 20  ///< Base64 text holds more than the output buffer takes.
} XMLError;

/** The kind of one item of a node's contents. */
typedef enum XMLElementType {
    elementChildNode = 0,  ///< A child node.
    elementAttribute = 1,  ///< An attribute.
    elementText = 2,       ///< A text.
    elementClear = 3,      ///< A clear tag (a section kept verbatim).
    elementNull = 4        ///< Nothing: past the end of the contents, or the empty node.
} XMLElementType;

/** The outcome of a parse. */
typedef struct XMLResults {
    XMLError errorCode;  ///< The result code; errorNone when all went well.
    int line;            ///< Line of a fault, from 1; 0 when it has no position in the text.
    int column;          ///< Column of a fault in characters, from 1; 0 without a position.
} XMLResults;

/** One attribute.  Records handed out by the library point at the node's own
 * strings: they are valid until the attribute is replaced or deleted, and the
 * caller never frees them. */
typedef struct XMLAttribute {
    const char* name;   ///< The attribute's name; null only in the empty record.
    const char* value;  ///< The value; null for an attribute written without a value.
} XMLAttribute;

/** One clear tag: a section kept verbatim between two delimiters (CDATA
 * sections, document types, comments, PRE blocks).  The value belongs to the
 * node; the delimiters are never copied or freed by the library, so they must
 * outlive the node (string literals do). */
typedef struct XMLClear {
    const char* value;     ///< The text between the delimiters; null for none.
    const char* openTag;   ///< The opening delimiter, such as "<![CDATA[" or "<!--".
    const char* closeTag;  ///< The closing delimiter, such as "]]>" or "-->".
} XMLClear;

struct XMLContentEntry;

/* ------------------------------------------------------------------------ */
/* The node handle                                                           */
/* ------------------------------------------------------------------------ */

/** A handle on one node of a tree.
 *
 * Handles are small values (one pointer): copies share the same node, and the
 * node is released with its last handle, together with every descendant that
 * no other handle holds.  A handle on a child keeps that child alive even
 * after the rest of its tree is gone; it then is a root.  A handle without a
 * node is the empty node: every operation accepts it and gives its empty
 * result (the empty node, null, 0 or -1). */
struct XMLPARSER_API XMLNode {
    /** The node data record; its layout is private to the library. */
    struct XMLNodeDataTag;

    /** How many bytes each character occupies in the text the library reads
     * and writes (the library never converts between encodings). */
    typedef enum XMLCharEncoding {
        charEncodingError = 0,     ///< No encoding: a failed guess; refused as a setting.
        charEncodingUTF8 = 1,      ///< UTF-8 (the setting at load).
        charEncodingLegacy = 2,    ///< Any single-byte encoding (Latin-1, Windows-1252, ...).
        charEncodingShiftJIS = 3,  ///< Shift-JIS.
        charEncodingGB2312 = 4,    ///< GB2312.
        charEncodingBig5 = 5,      ///< Big5.
        charEncodingGBK = 6        ///< GBK.
    } XMLCharEncoding;

    /** @name Handle lifecycle */
    ///@{
    /** The empty node. */
    XMLNode() : nodeData(0) {}
    /** A handle on the same node as `other` (the node's count grows by one). */
    XMLNode(const XMLNode& other);
    /** Releases the node held so far, then shares the node of `other`.
     * Assigning a child's handle to its parent's only handle frees the parent
     * and leaves the child a root. */
    XMLNode& operator=(const XMLNode& other);
    /** Releases the node; the last handle frees it with its unheld
     * descendants. */
    ~XMLNode();
    ///@}

    /** @name Parsing */
    ///@{
    /** Parses a zero-terminated string into a new tree.
     * @param xmlString the text; not kept after the call.
     * @param firstTag  if given, the child of that name (ignoring ASCII case)
     *                  of the parsed document is returned instead.
     * @param results   if given, receives the code and, for a fault, its line
     *                  and column.
     * @return the only item of the document when it holds one, else a nameless
     *         node holding all of it; the empty node for codes 3 and above
     *         (a null string gives errorNoElements). */
    static XMLNode parseString(const char* xmlString, const char* firstTag = 0,
                               XMLResults* results = 0);
    /** Reads a whole file (skipping a byte-order mark and converting text in
     * 32-bit wide characters to the locale's multibyte encoding) and parses it
     * as parseString does.  A file that cannot be opened gives
     * errorFileNotFound and the empty node. */
    static XMLNode parseFile(const char* fileName, const char* firstTag = 0,
                             XMLResults* results = 0);
    /** Guesses the file's encoding, installs it with setGlobalOptions and
     * parses the file.  On any failure it prints one message on standard
     * output and ends the process with status 255; use it only where a
     * program cannot go on without its document. */
    static XMLNode openFileHelper(const char* fileName, const char* firstTag = 0);
    /** The fixed message of a result code, a static string; "Unknown" for
     * values outside 0 to 20. */
    static const char* getError(XMLError code);
    /** The library's version text, a static string: "v" MAJOR "." MINOR of
     * the version macros ("v2.39"). */
    static const char* getVersion();
    ///@}

    /** @name Process-wide settings */
    ///@{
    /** Sets the encoding and the three parser flags for the whole process.
     * @param encoding the encoding of the text read and written.
     * @param guessWideCharChars detect files in 32-bit wide characters and
     *        convert them (on at load).
     * @param dropWhiteSpace trim texts and drop white-space-only texts; formatted
     *        output needs it (on at load).
     * @param removeCommentsInMiddleOfText drop a comment between two texts and
     *        join the texts (on at load).
     * @return 0 when the encoding was accepted; 1 when it was not (the previous
     *         encoding stays).  The flags are stored either way. */
    static int setGlobalOptions(XMLCharEncoding encoding = charEncodingUTF8,
                                char guessWideCharChars = 1, char dropWhiteSpace = 1,
                                char removeCommentsInMiddleOfText = 1);
    /** Guesses the 8-bit encoding of `length` bytes of XML text: UTF-8 for a
     * UTF-8 byte-order mark; otherwise UTF-8 or legacy by whether the bytes
     * read as UTF-8, unless `useDeclaration` is set and an encoding declared
     * in the first 200 bytes says otherwise.
     * @return the guess; charEncodingError for 24 bytes or fewer, for text in
     *         wide characters while guessWideCharChars is set, or for a
     *         declared UTF-8 that the bytes are not. */
    static XMLCharEncoding guessCharEncoding(void* buffer, int length, char useDeclaration = 1);
    ///@}

    /** @name Creating and naming */
    ///@{
    /** A new root node holding a copy of `name` (null: a nameless node).
     * A declaration node (`isDeclaration` non-zero) is written as "<?name ...?>".
     * @return the empty node when memory runs out. */
    static XMLNode createXMLTopNode(const char* name, char isDeclaration = 0);
    /** As createXMLTopNode, taking ownership of the heap string `name`. */
    static XMLNode createXMLTopNode_WOSD(char* name, char isDeclaration = 0);
    /** The empty node (a copy of emptyXMLNode). */
    static XMLNode emptyNode();
    /** Renames the node with a copy of `name`; a null name makes it nameless.
     * @return the stored name; null on the empty node, for a null name or when
     *         memory runs out (the old name then stays). */
    const char* updateName(const char* name);
    /** Renames the node, taking ownership of the heap string `name` (freed at
     * once on the empty node).
     * @return the stored name; null on the empty node. */
    const char* updateName_WOSD(char* name);
    /** Detaches the node from its parent and empties it and every descendant.
     * Handles still held on them then see empty nameless nodes.  Nothing on the
     * empty node. */
    void deleteNodeContent();
    ///@}

    /** @name Reading by index
     * An index runs from 0 to the count minus 1; any other index, negative
     * ones included, gives the empty result.  Strings point into the node. */
    ///@{
    /** The tag name; null for a nameless node or the empty node. */
    const char* getName() const;
    /** The number of child nodes; 0 on the empty node. */
    int nChildNode() const;
    /** The number of texts; 0 on the empty node. */
    int nText() const;
    /** The number of clear tags; 0 on the empty node. */
    int nClear() const;
    /** The number of attributes; 0 on the empty node. */
    int nAttribute() const;
    /** The number of items of all four kinds; 0 on the empty node. */
    int nElement() const;
    /** A handle on child `i`; the empty node when there is none. */
    XMLNode getChildNode(int i = 0) const;
    /** A handle on the parent; the empty node for a root. */
    XMLNode getParentNode() const;
    /** A copy of attribute record `i`; a copy of emptyXMLAttribute when there
     * is none. */
    XMLAttribute getAttribute(int i = 0) const;
    /** The name of attribute `i`; null when there is none. */
    const char* getAttributeName(int i = 0) const;
    /** The value of attribute `i`; null when there is none or it has no
     * value. */
    const char* getAttributeValue(int i = 0) const;
    /** Text `i`; null when there is none. */
    const char* getText(int i = 0) const;
    /** A copy of clear-tag record `i`; a copy of emptyXMLClear when there is
     * none. */
    XMLClear getClear(int i = 0) const;
    /** Non-zero for a declaration node ("<?xml ...?>"); 0 on the empty node. */
    char isDeclaration() const;
    /** 1 for the empty node, else 0. */
    char isEmpty() const;
    ///@}

    /** @name Lookup by name
     * Names are compared ignoring ASCII case.  An iterator starts at 0; each
     * match moves it past the item found, so a loop visits every match. */
    ///@{
    /** The first child named `name` at or after `*iterator` (from 0 without
     * one); the empty node when there is none. */
    XMLNode getChildNode(const char* name, int* iterator = 0) const;
    /** The `occurrence`-th child named `name` (from 0; a negative occurrence
     * selects the last); the empty node when there is none. */
    XMLNode getChildNode(const char* name, int occurrence) const;
    /** The number of children named `name`; 0 for none. */
    int nChildNode(const char* name) const;
    /** The value of the first attribute named `name` at or after `*iterator`
     * (from 0 without one); null when there is none or it has no value. */
    const char* getAttribute(const char* name, int* iterator = 0) const;
    /** The value of the `occurrence`-th attribute named `name` (0 or a
     * negative occurrence selects the first); null when there is none. */
    const char* getAttribute(const char* name, int occurrence) const;
    /** 1 when the node has an attribute named `name`, else 0. */
    char isAttributeSet(const char* name) const;
    /** The first child named `childName` at or after `*iterator` that has the
     * attribute `attributeName` (with the value `attributeValue`, compared
     * ignoring ASCII case, when one is given); the empty node when there is
     * none. */
    XMLNode getChildNodeWithAttribute(const char* childName, const char* attributeName,
                                      const char* attributeValue = 0, int* iterator = 0) const;
    /** Follows a path of child names cut at `separator`, taking the first
     * child of each name.  With `createMissing` set, missing children are
     * appended on the way and the deepest is returned.
     * @return the node the path names; this node for a null or empty path; the
     *         empty node when a child is missing. */
    XMLNode getChildNodeByPath(const char* path, char createMissing = 0, char separator = '/');
    /** As getChildNodeByPath, working in the caller's writable buffer `path`,
     * which is cut during the call and restored before it returns. */
    XMLNode getChildNodeByPathNonConst(char* path, char createMissing = 0, char separator = '/');
    ///@}

    /** @name Positions in document order
     * Child nodes, texts and clear tags stand in one document order; a
     * position is an index into it (attributes have none).  Each lookup gives
     * -1 when there is nothing to find. */
    ///@{
    /** The position of child `index` (past the end: the last child). */
    int positionOfChildNode(int index = 0) const;
    /** The position of that very child; -1 when it is not a child here. */
    int positionOfChildNode(XMLNode child) const;
    /** The position of the `occurrence`-th child named `name` (past the end:
     * the last such child). */
    int positionOfChildNode(const char* name, int occurrence = 0) const;
    /** The position of text `index` (past the end: the last text). */
    int positionOfText(int index = 0) const;
    /** The position of the text stored at `storedText` (the pointer getText
     * gave, not its content); null selects the first text. */
    int positionOfText(const char* storedText) const;
    /** The position of clear tag `index` (past the end: the last clear tag). */
    int positionOfClear(int index = 0) const;
    /** The position of the clear tag whose stored value is `storedValue` (a
     * pointer, not content); null selects the first clear tag. */
    int positionOfClear(const char* storedValue) const;
    /** The position of the clear tag whose stored value `record` points at. */
    int positionOfClear(XMLClear* record) const;

    /** Item `index` of all contents: attributes first, then child nodes, texts
     * and clear tags in document order (`index` from 0 to nElement() - 1).
     * @return an entry whose `kind` is elementNull past the end or on the empty
     *         node. */
    XMLContentEntry enumContents(int index) const;
    ///@}

    /** @name Adding
     * A position selects the place in document order to insert before; a
     * negative one, or one past the end, appends. */
    ///@{
    /** Adds a child holding a copy of `name`.
     * @return a handle on the new child; the empty node on the empty node, for a
     *         null name or when memory runs out. */
    XMLNode addChild(const char* name, char isDeclaration = 0, int position = -1);
    /** As addChild, taking ownership of the heap string `name`. */
    XMLNode addChild_WOSD(char* name, char isDeclaration = 0, int position = -1);
    /** Moves an existing node (or, for a nameless node, its children) here,
     * from its parent or as a root.
     * @return `node` itself; the empty node when `node` is this node or one of
     *         its ancestors (nothing moves then). */
    XMLNode addChild(XMLNode node, int position = -1);
    /** Adds an attribute holding copies of `name` and `value` (a null value: an
     * attribute without value).
     * @return the new record (valid until the node's next change); the address
     *         of emptyXMLAttribute on the empty node, for a null name or when
     *         memory runs out. */
    XMLAttribute* addAttribute(const char* name, const char* value);
    /** As addAttribute, taking ownership of the heap strings `name` and
     * `value` (freed at once when they cannot be stored). */
    XMLAttribute* addAttribute_WOSD(char* name, char* value);
    /** Adds a copy of `text`.
     * @return the stored text; null on the empty node, for a null text or when
     *         memory runs out. */
    const char* addText(const char* text, int position = -1);
    /** As addText, taking ownership of the heap string `text`. */
    const char* addText_WOSD(char* text, int position = -1);
    /** Adds a clear tag holding a copy of `value` between `openTag` and
     * `closeTag` (null delimiters: "<![CDATA[" and "]]>"), which are kept as
     * pointers and never copied or freed.
     * @return the new record (valid until the node's next change); the address
     *         of emptyXMLClear on the empty node, for a null value or when
     *         memory runs out. */
    XMLClear* addClear(const char* value, const char* openTag = 0, const char* closeTag = 0,
                       int position = -1);
    /** As addClear, taking ownership of the heap string `value`. */
    XMLClear* addClear_WOSD(char* value, const char* openTag = 0, const char* closeTag = 0,
                            int position = -1);
    ///@}

    /** @name Updating
     * Updates take the new content first, then what selects the target.  An
     * item updated in place keeps its index and position; a missing target is
     * appended instead.  Record results are valid until the node's next change.
     * The `_WOSD` forms take ownership of the heap strings they are handed (and
     * free them at once on the empty node); the others copy them. */
    ///@{
    /** Sets the value (and, if `newName` is given, the name) of attribute
     * `index`; without such an attribute, appends one when a name is given.
     * @return the record; null on the empty node or without attribute and
     *         name. */
    XMLAttribute* updateAttribute(const char* newValue, const char* newName = 0, int index = 0);
    /** Sets the value (and, if `newName` is given, the name) of the first
     * attribute named `oldName`; without one, appends it under the new name or
     * a copy of the old one.
     * @return the record; the address of emptyXMLAttribute on the empty node. */
    XMLAttribute* updateAttribute(const char* newValue, const char* newName, const char* oldName);
    /** Updates the first attribute named as `oldRecord` with the name and value
     * of `newRecord`; a null `oldRecord` appends.  The records stay the
     * caller's. */
    XMLAttribute* updateAttribute(XMLAttribute* newRecord, XMLAttribute* oldRecord);
    /** As updateAttribute by index, taking ownership of `newValue` and
     * `newName`. */
    XMLAttribute* updateAttribute_WOSD(char* newValue, char* newName = 0, int index = 0);
    /** As updateAttribute by old name, taking ownership of `newValue` and
     * `newName`. */
    XMLAttribute* updateAttribute_WOSD(char* newValue, char* newName, const char* oldName);
    /** As updateAttribute by record, taking ownership of the strings inside
     * `newRecord` (the record itself stays the caller's). */
    XMLAttribute* updateAttribute_WOSD(XMLAttribute* newRecord, XMLAttribute* oldRecord);
    /** Replaces text `index` with a copy of `newText`; without that text,
     * appends it.
     * @return the stored text; null on the empty node. */
    const char* updateText(const char* newText, int index = 0);
    /** Replaces the text stored at `storedText` (a pointer getText gave; null:
     * the first text); appends when the node stores no such text. */
    const char* updateText(const char* newText, const char* storedText);
    /** As updateText by index, taking ownership of `newText`. */
    const char* updateText_WOSD(char* newText, int index = 0);
    /** As updateText by stored text, taking ownership of `newText`. */
    const char* updateText_WOSD(char* newText, const char* storedText);
    /** Replaces the value of clear tag `index` (its delimiters stay); without
     * that clear tag, appends one with the default delimiters.
     * @return the record; null on the empty node. */
    XMLClear* updateClear(const char* newValue, int index = 0);
    /** Replaces the value of the clear tag stored at `storedValue` (null: the
     * first); appends when the node stores no such value. */
    XMLClear* updateClear(const char* newValue, const char* storedValue);
    /** Replaces the value of the clear tag whose value `oldRecord` points at
     * with the value of `newRecord` (whose delimiters are ignored).
     * @return the record; null for a null `oldRecord`. */
    XMLClear* updateClear(XMLClear* newRecord, XMLClear* oldRecord);
    /** As updateClear by index, taking ownership of `newValue`. */
    XMLClear* updateClear_WOSD(char* newValue, int index = 0);
    /** As updateClear by stored value, taking ownership of `newValue`. */
    XMLClear* updateClear_WOSD(char* newValue, const char* storedValue);
    /** As updateClear by record, taking ownership of the value inside
     * `newRecord` (a null `oldRecord` leaves it the caller's). */
    XMLClear* updateClear_WOSD(XMLClear* newRecord, XMLClear* oldRecord);
    ///@}

    /** @name Deleting
     * Each removes one item and frees its strings; later items of the same
     * kind move down one index.  Nothing happens when there is no such item
     * or on the empty node. */
    ///@{
    /** Removes attribute `index`. */
    void deleteAttribute(int index = 0);
    /** Removes the first attribute named `name`. */
    void deleteAttribute(const char* name);
    /** Removes the first attribute named as `record`; nothing for null. */
    void deleteAttribute(XMLAttribute* record);
    /** Removes text `index`. */
    void deleteText(int index = 0);
    /** Removes the text stored at `storedText` (null: the first text). */
    void deleteText(const char* storedText);
    /** Removes clear tag `index`. */
    void deleteClear(int index = 0);
    /** Removes the clear tag stored at `storedValue` (null: the first). */
    void deleteClear(const char* storedValue);
    /** Removes the clear tag whose value `record` points at; nothing for
     * null. */
    void deleteClear(XMLClear* record);
    ///@}

    /** @name Copying and writing */
    ///@{
    /** A new, independent root holding a copy of this node and its subtree
     * (clear-tag delimiters are shared, never copied).
     * @return the empty node on the empty node or when memory runs out. */
    XMLNode deepCopy() const;
    /** The node as XML text.  A nameless node is written as its contents.
     * @param format non-zero for formatted text (TAB indentation, one item a
     *        line), which needs the dropWhiteSpace setting on; 0, or that
     *        setting off, gives compact text.
     * @param size if given, receives the length (0 on failure).
     * @return a new heap string that the caller releases with freeXMLString;
     *         null for the empty node or when memory runs out. */
    char* createXMLString(int format = 1, int* size = 0) const;
    /** Writes the node to a file, with a UTF-8 byte-order mark in UTF-8 mode
     * and an XML declaration line (naming `encoding`, "ISO-8859-1" by default)
     * unless the node starts with a declaration.
     * @return errorNone, errorCannotOpenWriteFile or errorCannotWriteFile. */
    XMLError writeToFile(const char* fileName, const char* encoding = 0, char format = 1) const;
    ///@}

    /** The empty node; never written by the library. */
    static XMLNode emptyXMLNode;
    /** The empty clear-tag record (all fields null), returned for "none". */
    static XMLClear emptyXMLClear;
    /** The empty attribute record (both fields null), returned for "none". */
    static XMLAttribute emptyXMLAttribute;

    /// @cond XMLPARSER_PRIVATE
protected:
    /* Everything below is the library's own machinery; it is not part of the
     * stable interface and is not exported from the shared library. */
    XMLNodeDataTag* nodeData;

    XMLPARSER_LOCAL explicit XMLNode(XMLNodeDataTag* data);
    XMLPARSER_LOCAL XMLNode(XMLNodeDataTag* parent, char* name, char isDeclaration);

    XMLPARSER_LOCAL void emptyTheNode(char force);
    XMLPARSER_LOCAL static void exactMemory(XMLNodeDataTag* data);
    XMLPARSER_LOCAL static int removeOrderElement(XMLNodeDataTag* data, XMLElementType kind,
                                                  int index);
    XMLPARSER_LOCAL static int detachFromParent(XMLNodeDataTag* data);

    XMLPARSER_LOCAL void* addToOrder(int growthStep, int* position, int count, void* array,
                                     int recordSize, XMLElementType kind);
    XMLPARSER_LOCAL XMLNode addChild_priv(int growthStep, char* name, char isDeclaration,
                                          int position);
    XMLPARSER_LOCAL XMLAttribute* addAttribute_priv(int growthStep, char* name, char* value);
    XMLPARSER_LOCAL const char* addText_priv(int growthStep, char* text, int position);
    XMLPARSER_LOCAL XMLClear* addClear_priv(int growthStep, char* value, const char* openTag,
                                            const char* closeTag, int position);

    XMLPARSER_LOCAL int indexText(const char* storedText) const;
    XMLPARSER_LOCAL int indexClear(const char* storedValue) const;

    XMLPARSER_LOCAL int ParseXMLElement(void* state);
    XMLPARSER_LOCAL char maybeAddTxT(void* state, const char* end);
    XMLPARSER_LOCAL char parseClearTag(void* state, void* row);
    XMLPARSER_LOCAL static int CreateXMLStringR(XMLNodeDataTag* data, char* output, int format);
    /// @endcond
};

/** One item of a node's contents, as given by XMLNode::enumContents.  Only the
 * field that `kind` names carries meaning; the strings point into the node. */
struct XMLContentEntry {
    XMLElementType kind;     ///< Which field holds the item; elementNull for none.
    XMLNode childNode;       ///< The child (elementChildNode); else the empty node.
    XMLAttribute attribute;  ///< A copy of the attribute record (elementAttribute).
    const char* text;        ///< The stored text (elementText).
    XMLClear clear;          ///< A copy of the clear-tag record (elementClear).
};

/* ------------------------------------------------------------------------ */
/* Free functions                                                            */
/* ------------------------------------------------------------------------ */

/** A new heap copy of the first `length` bytes of `source` (the whole string
 * for -1), always zero-terminated.
 * @return a string that the caller releases with freeXMLString (or hands to a
 *         `_WOSD` operation); null for a null source or when memory runs out. */
XMLPARSER_API char* stringDup(const char* source, int length = -1);

/** Releases a string that the library handed over (from createXMLString,
 * stringDup, ...).  Null does nothing. */
XMLPARSER_API void freeXMLString(char* text);

/** @name Value conversion
 * The default stands in for a missing (null) string and, except for xmltoa,
 * for an empty one; otherwise the text is read as strtol (base 10) and
 * strtod read it. */
///@{
/** The text itself, or `defaultValue` for null. */
XMLPARSER_API const char* xmltoa(const char* text, const char* defaultValue = "");
/** The text's first byte. */
XMLPARSER_API char xmltoc(const char* text, char defaultValue = '\0');
/** The text as a double (strtod). */
XMLPARSER_API double xmltof(const char* text, double defaultValue = 0.0);
/** The text as a decimal long (strtol). */
XMLPARSER_API long xmltol(const char* text, long defaultValue = 0);
/** The low 32 bits of the text's decimal value (strtol). */
XMLPARSER_API int xmltoi(const char* text, int defaultValue = 0);
/** The low 8 bits of the text's decimal value: "1" gives 1, "true" gives 0. */
XMLPARSER_API char xmltob(const char* text, char defaultValue = 0);
///@}

/* ------------------------------------------------------------------------ */
/* Tools                                                                     */
/* ------------------------------------------------------------------------ */

/** Entity escaping of arbitrary strings ("&", "<", ">", the double quote and
 * the apostrophe become "&amp;", "&lt;", "&gt;", "&quot;", "&apos;"), with
 * one reusable result buffer.  A null source is taken as the empty string.
 * A tool cannot be copied (two copies would own one buffer). */
struct XMLPARSER_API ToXMLStringTool {
    /** A tool without buffer. */
    ToXMLStringTool() : buffer(0), capacity(0) {}
    /** Releases the buffer. */
    ~ToXMLStringTool();
    ToXMLStringTool(const ToXMLStringTool&) = delete;             ///< Not copyable.
    ToXMLStringTool& operator=(const ToXMLStringTool&) = delete;  ///< Not copyable.

    /** Releases the buffer; the next call allocates a new one. */
    void freeBuffer();
    /** The escaped form of `source` (null: the empty string) in the tool's
     * buffer, valid until the tool's next call, freeBuffer or destruction;
     * the caller never frees it.
     * @return null when memory runs out or when the escaped length with its
     *         terminating zero would not fit an int (lengthXMLString gives -1
     *         or INT_MAX); the buffer is then left as it was. */
    char* toXML(const char* source);
    /** Writes the escaped form of `source` (null: the empty string) and a zero
     * byte to `destination`, which must hold lengthXMLString(source) + 1
     * bytes.
     * @return `destination`. */
    static char* toXMLUnSafe(char* destination, const char* source);
    /** The length of the escaped form of `source` (0 for null), terminator
     * not counted.
     * @return -1 when that length would not fit an int. */
    static int lengthXMLString(const char* source);

private:
    char* buffer;
    int capacity;
};

/** The Base64 alphabet ("A" to "Z", "a" to "z", "0" to "9", "+", "/"), read by
 * the encoder on every character. */
extern XMLPARSER_API const char* base64EncodeTable;

/** Base64 encoding (with "=" padding) and decoding (ignoring white space),
 * with one reusable result buffer shared by both.  Results in the buffer stay
 * valid until the tool's next encode or member decode, freeBuffer or
 * destruction; the caller never frees them.  The decoding calls first reset
 * `*error` (when given) to errorNone.  A tool cannot be copied. */
struct XMLPARSER_API XMLParserBase64Tool {
    /** A tool without buffer. */
    XMLParserBase64Tool() : buffer(0), capacity(0) {}
    /** Releases the buffer. */
    ~XMLParserBase64Tool();
    XMLParserBase64Tool(const XMLParserBase64Tool&) = delete;             ///< Not copyable.
    XMLParserBase64Tool& operator=(const XMLParserBase64Tool&) = delete;  ///< Not copyable.

    /** Releases the buffer; the next call allocates a new one. */
    void freeBuffer();
    /** The buffer size that encoding `inputLength` bytes needs, the
     * terminating zero (and, when `formatted`, the line feeds) included. */
    static int encodeLength(int inputLength, char formatted = 0);
    /** The zero-terminated Base64 text of `inputLength` bytes at `input`, in
     * the tool's buffer; with `formatted`, a line feed follows every 72
     * characters. */
    char* encode(unsigned char* input, unsigned int inputLength, char formatted = 0);
    /** The number of bytes that decoding `text` yields.
     * @return 0 for empty text or text of white space only; 0 with
     *         errorBase64IllegalCharacter for a character outside the alphabet;
     *         warningBase64DataSize when the digits do not come in groups of 4. */
    static int decodeSize(const char* text, XMLError* error = 0);
    /** Decodes `text` into the caller's buffer of `outputLength` bytes.
     * @return 0 on failure (errorBase64IllegalCharacter,
     *         errorBase64OutputTooSmall); 1 when the text ended early
     *         (warningBase64Truncated; the bytes so far are written); 2 on clean
     *         completion. */
    static unsigned char decode(const char* text, unsigned char* output, int outputLength,
                                XMLError* error = 0);
    /** Decodes `text` into the tool's buffer (not zero-terminated).
     * @param text the Base64 text, zero-terminated.
     * @param size if given, receives decodeSize's result.
     * @param error if given, receives the code, as for the static decode.
     * @return the bytes; null for text that holds no data or fails to decode. */
    unsigned char* decode(const char* text, int* size = 0, XMLError* error = 0);
    /** Makes the buffer hold at least `size` bytes; it never shrinks. */
    void alloc(int size);

private:
    char* buffer;
    int capacity;
};

#endif /* XMLPARSER_H */
