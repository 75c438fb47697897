// element_parser.cpp - builds the tree from the token stream: start tags and
// their attributes, content, end tags with recovery of misplaced end tags.
//
// An open element is only a frame on the parse stack: its name, attributes,
// texts, clear tags, finished children and order entries pile up on stacks
// of their kind, and its strings, decoded, in one string stack.  When the
// element closes (by "/>", by an end tag, by an ancestor's end tag or by the
// end of the text) all of it is written at once into one chunk of a block:
// the record, every array at exactly its count, and the strings.  Its items
// then leave the stacks, which hold only the open elements' items, and the
// new record joins its parent's children.
#include <cstdint>

#include "internal.h"
#include "model/memory.h"
#include "parser/token_scan.h"

using namespace xml_internal;

namespace {

enum Mode { contentMode, expectingName, afterName, afterEquals };

constexpr size_t kNone = SIZE_MAX;  // an attribute without value

// A stack of plain records on the heap, grown geometrically.
template <typename T>
struct Stack {
    T* items = nullptr;
    size_t count = 0;
    size_t room = 0;
    Stack() = default;
    Stack(const Stack&) = delete;
    Stack& operator=(const Stack&) = delete;
    ~Stack() { std::free(items); }
    bool reserve(size_t n) { return n <= room || grow(n); }
    bool push(const T& v) {
        if (count == room && !grow(count + 1)) return false;
        items[count++] = v;
        return true;
    }

private:
    [[gnu::noinline]] bool grow(size_t n) {
        size_t grown = room ? 2 * room : 16;
        if (grown < n) grown = n;
        if (grown > SIZE_MAX / sizeof(T)) return false;
        void* p = std::realloc(items, grown * sizeof(T));
        if (!p) return false;
        items = static_cast<T*>(p);
        room = grown;
        return true;
    }
};

struct Attribute {
    size_t name;   // offsets in the string stack
    size_t value;  // kNone for none
};

struct Clear {
    size_t value;
    const char* openTag;
    const char* closeTag;
};

// Where an open element's items begin on each stack.  32 bits hold every
// offset and count: the parser takes texts shorter than INT_MAX bytes, every
// item on a stack comes from at least one byte of the text, and so does
// every byte on the string stack (decoding never lengthens a string).  A
// document nested a million deep keeps a million frames.
struct Frame {
    uint32_t name;  // offset of its name (unused for the base node)
    uint32_t nameLength;
    uint32_t strings, attributes, texts, clears, children, order;
    char declaration;
};

class Builder {
public:
    Builder(XML* x, NodeData* base, size_t textLength)
        : x_(x),
          base_(base),
          textEnd_(x->document + x->index + textLength + 1),
          blocks_(textLength * 2) {}

    XML* const x_;
    NodeData* const base_;
    // One past the text's terminating zero: every byte before it may be
    // read.
    const char* const textEnd_;
    BlockBuilder blocks_;
    Stack<char> strings_;
    Stack<Attribute> attributes_;
    Stack<size_t> texts_;
    Stack<Clear> clears_;
    Stack<NodeData*> children_;
    Stack<int> order_;
    Stack<Frame> frames_;  // frames_.items[0] is the base node

    bool fail() {
        x_->error = errorNoXMLData;
        return false;
    }

    Frame& top() { return frames_.items[frames_.count - 1]; }
    size_t level() const { return frames_.count - 1; }

    const char* nameAt(size_t level) const {
        return level == 0 ? base_->name : strings_.items + frames_.items[level].name;
    }
    // Whether the name of the element at `level` stands as a whole name at
    // `text` (the comparison of myTagCompare, with the length known).
    bool nameMatches(size_t level, const char* text) const {
        if (level == 0) return myTagCompare(base_->name, text) == 0;
        const Frame& f = frames_.items[level];
        const char* const name = strings_.items + f.name;
        // A stored name holds no zero byte, so the bytes equal to it never
        // run past the end of the text; the case-blind comparison takes
        // over at the first difference.
        size_t i = 0;
        while (i < f.nameLength && name[i] == text[i]) i++;
        return equalIgnoringAsciiCase(name + i, text + i, f.nameLength - i) &&
               endsTagName(text[f.nameLength]);
    }
    // nameMatches for an end tag whose name, `length` bytes at `text`, is
    // known: a name of that length is compared whole first.
    bool endNameMatches(size_t level, const char* text, size_t length) const {
        if (level > 0) {
            const Frame& f = frames_.items[level];
            if (f.nameLength == length && sameBytes(strings_.items + f.name, text, length))
                return endsTagName(text[length]);
        }
        return nameMatches(level, text);
    }
    // Whether `text` (after "</") is the exact name of the open element (not
    // the base node) and ">": the end tag that closes it, read as the scans
    // would read it.  Its name was read by the same scan, so the scan of the
    // same bytes ends where it does, at the ">"; a name whose first byte
    // does not start a plain text, or whose last byte is "/" (which the ">"
    // would end the name before), is left to readEndTag.  `*end` receives
    // the ">".
    bool endsCurrent(const char* text, const char** end) const {
        const size_t level = frames_.count - 1;
        if (level == 0) return false;
        const Frame& f = frames_.items[level];
        const size_t n = f.nameLength;
        const char* const name = strings_.items + f.name;
        if (static_cast<size_t>(textEnd_ - text) <= n || !sameBytes(name, text, n) ||
            text[n] != '>' || name[n - 1] == '/' ||
            !startsPlainText(static_cast<unsigned char>(name[0])))
            return false;
        *end = text + n;
        return true;
    }
    char declarationAt(size_t level) const {
        return level == 0 ? base_->declarationFlag : frames_.items[level].declaration;
    }
    // Whether the element at `level` has a parent, and a grandparent.
    bool hasParent(size_t level) const { return level > 0 || base_->parent; }
    bool hasGrandparent(size_t level) const {
        if (level >= 2) return true;
        if (level == 1) return base_->parent != nullptr;
        return base_->parent && base_->parent->parent;
    }

    // Opens a frame; an element's name is the last string pushed, the first
    // of its strings.
    bool openFrame(size_t name, size_t nameLength, char declaration, bool named) {
        Frame f;
        f.name = static_cast<uint32_t>(name);
        f.nameLength = static_cast<uint32_t>(nameLength);
        f.strings = static_cast<uint32_t>(named ? name : strings_.count);
        f.attributes = static_cast<uint32_t>(attributes_.count);
        f.texts = static_cast<uint32_t>(texts_.count);
        f.clears = static_cast<uint32_t>(clears_.count);
        f.children = static_cast<uint32_t>(children_.count);
        f.order = static_cast<uint32_t>(order_.count);
        f.declaration = declaration;
        return frames_.push(f) || fail();
    }

    // Copies n bytes of the text (`s` lies in it) and a terminator onto the
    // string stack; its offset.  A string up to 16 bytes long is copied as
    // 16 bytes in two words when the text has them (the stack keeps room for
    // them); the bytes beyond the string are written over by what comes
    // next.  The stack's fields are read once and stored once, as the bytes
    // written could otherwise be taken for them.
    bool pushString(const char* s, size_t n, size_t* at) {
        const size_t count = strings_.count;
        if (n >= SIZE_MAX - count - 16 || !strings_.reserve(count + n + 16)) return fail();
        char* const to = strings_.items + count;
        if (n <= 16 && textEnd_ - s >= 16) {
            uint64_t a, b;
            std::memcpy(&a, s, 8);
            std::memcpy(&b, s + 8, 8);
            std::memcpy(to, &a, 8);
            std::memcpy(to + 8, &b, 8);
        } else {
            copyBytes(to, s, n);
        }
        to[n] = 0;
        *at = count;
        strings_.count = count + n + 1;
        return true;
    }

    // Decodes n bytes the tokenizer read onto the string stack.  Bytes
    // without "&" hold no reference and are their own decoding.  False with
    // the decoder's error when a reference is wrong.
    bool pushDecoded(const char* s, int n, size_t* at, size_t* length = nullptr) {
        if (n <= 0 || !std::memchr(s, '&', static_cast<size_t>(n))) {
            const size_t k = n > 0 ? static_cast<size_t>(n) : 0;
            if (length) *length = k;
            return pushString(s, k, at);
        }
        const size_t start = strings_.count;
        size_t decoded;
        if (static_cast<size_t>(n) < SIZE_MAX - start && strings_.reserve(start + n + 1)) {
            if (!fromXMLTokenTextInto(s, n, x_, strings_.items + start, &decoded)) return false;
        } else if (!fromXMLTokenTextInto(s, n, x_, reserveString, this, &decoded)) {
            // No room for the longest decoding: the decoder checks the
            // references first, then asks for the exact room.
            return false;
        }
        // A reference to character 0 ends the string early: only the string
        // up to it is kept, as a stored string shows it.
        *at = start;
        strings_.count = start + decoded + 1;
        if (length) *length = decoded;
        return true;
    }

    // The decoder's room: `size` bytes at the top of the string stack.
    static char* reserveString(void* context, size_t size) {
        Builder* b = static_cast<Builder*>(context);
        Stack<char>& st = b->strings_;
        if (size > SIZE_MAX - st.count || !st.reserve(st.count + size)) return nullptr;
        return st.items + st.count;
    }

    int itemsOf(const Frame& f) const { return static_cast<int>(order_.count - f.order); }

    bool pushOrder(size_t kindStart, size_t kindCount, XMLElementType kind) {
        const int index = static_cast<int>(kindCount - kindStart);
        return order_.push(orderEntry(index, kind)) || fail();
    }

    // Stores the text from the state's pending text up to `end` in the open
    // element, joined to the text before a removed comment where the
    // settings ask for it.  False when it cannot be decoded or stored.
    bool collectText(const char* end) {
        const char* p = x_->pendingText;
        if (!p) return true;
        if (p == end) {  // markup right after markup: no text
            x_->pendingText = nullptr;
            return true;
        }
        return collectTextFrom(p, end);
    }

    [[gnu::noinline]] bool collectTextFrom(const char* p, const char* end) {
        const int n = keptText(&p, end);
        if (n == 0) {
            x_->pendingText = nullptr;
            return true;
        }

        Frame& f = top();
        const size_t textCount = texts_.count - f.texts;
        const size_t clearCount = clears_.count - f.clears;
        if (removeCommentsInMiddleOfText && textCount > 0 && clearCount > 0 && itemsOf(f) >= 2) {
            const int last = order_.items[order_.count - 1];
            const int before = order_.items[order_.count - 2];
            const Clear& c = clears_.items[clears_.count - 1];
            if (entryKind(last) == elementClear && entryKind(before) == elementText &&
                c.openTag == XMLClearTags[2].open) {
                // The comment's value is the last string on the stack and the
                // kept text the one before it: the comment goes, and the new
                // text is decoded straight after the kept one.
                const size_t mark = strings_.count;
                size_t at;
                if (!pushDecoded(p, n, &at)) {
                    strings_.count = mark;
                    return false;
                }
                x_->pendingText = nullptr;
                const size_t length = strings_.count - at;     // with its terminator
                char* keptEnd = strings_.items + c.value - 1;  // the kept text's terminator
                std::memmove(keptEnd, strings_.items + at, length);
                strings_.count = c.value - 1 + length;
                clears_.count--;
                order_.count--;
                return true;
            }
        }
        size_t at;
        if (!pushDecoded(p, n, &at)) return false;
        x_->pendingText = nullptr;
        if (!texts_.push(at) || !pushOrder(f.texts, texts_.count - 1, elementText)) return fail();
        return true;
    }

    // Reads a clear tag whose open string the tokenizer matched, as the
    // library's clear-tag reader does, with its value copied from the text
    // straight onto the string stack.
    bool collectClear(const ClearTagRow* row) {
        ClearTagEnd c;
        if (!findClearTagEnd(x_, row, &c)) {
            x_->error = errorUnmatchedClearTagEnd;
            return false;
        }
        x_->index = static_cast<int>(c.after - x_->document);
        size_t at;
        if (!pushString(c.value, static_cast<size_t>(c.end - c.value), &at)) return false;
        Frame& f = top();
        if (!clears_.push(Clear{at, row->open, c.close}) ||
            !pushOrder(f.clears, clears_.count - 1, elementClear))
            return fail();
        return true;
    }

    bool addAttribute(const char* name, int nameLength, size_t value) {
        size_t at;
        if (!pushString(name, static_cast<size_t>(nameLength), &at)) return false;
        return attributes_.push(Attribute{at, value}) || fail();
    }

    // Takes apart the children collected for a frame that cannot be written.
    void dropChildren(const Frame& f) {
        for (size_t i = f.children; i < children_.count; i++) {
            NodeAccess h;
            h.nodeData = children_.items[i];  // takes over the slot's reference
        }
    }

    void popTo(const Frame& f) {
        strings_.count = f.strings;
        attributes_.count = f.attributes;
        texts_.count = f.texts;
        clears_.count = f.clears;
        children_.count = f.children;
        order_.count = f.order;
    }

    // How many items of each kind a frame holds, and its string bytes.
    struct Counts {
        int children, attributes, texts, clears, order;
        size_t strings;
    };
    Counts countsOf(const Frame& f) const {
        return Counts{static_cast<int>(children_.count - f.children),
                      static_cast<int>(attributes_.count - f.attributes),
                      static_cast<int>(texts_.count - f.texts),
                      static_cast<int>(clears_.count - f.clears),
                      static_cast<int>(order_.count - f.order),
                      strings_.count - f.strings};
    }
    static ChunkLayout layoutOf(const Counts& n) {
        return ChunkLayout(n.children, n.attributes, n.texts, n.clears, n.strings);
    }

    // Fills the arrays of `d` at `base` (laid out by `layout`) from the
    // frame's items (`n` of each kind), its strings at `str` (the frame's
    // strings copied there); an array of no items is null.  The node held
    // nothing before, so its order entries are the frame's as they are.
    void fill(NodeData* d, char* base, const ChunkLayout& layout, const Frame& f, const Counts& n,
              const char* str) const {
        const size_t first = f.strings;
        auto at = [str, first](size_t offset) { return const_cast<char*>(str + (offset - first)); };
        if (n.children) {
            NodeData** c = reinterpret_cast<NodeData**>(base + layout.children);
            NodeData* const* from = children_.items + f.children;
            for (int i = 0; i < n.children; i++) {
                c[i] = from[i];
                from[i]->parent = d;
            }
        }
        d->children = n.children ? reinterpret_cast<NodeData**>(base + layout.children) : nullptr;
        if (n.attributes) {
            XMLAttribute* a = reinterpret_cast<XMLAttribute*>(base + layout.attributes);
            const Attribute* from = attributes_.items + f.attributes;
            for (int i = 0; i < n.attributes; i++) {
                a[i].name = at(from[i].name);
                a[i].value = from[i].value == kNone ? nullptr : at(from[i].value);
            }
        }
        d->attributes = n.attributes ? reinterpret_cast<XMLAttribute*>(base + layout.attributes)
                                     : nullptr;
        if (n.texts) {
            char** t = reinterpret_cast<char**>(base + layout.texts);
            const size_t* from = texts_.items + f.texts;
            for (int i = 0; i < n.texts; i++) t[i] = at(from[i]);
        }
        d->texts = n.texts ? reinterpret_cast<char**>(base + layout.texts) : nullptr;
        if (n.clears) {
            XMLClear* c = reinterpret_cast<XMLClear*>(base + layout.clears);
            const Clear* from = clears_.items + f.clears;
            for (int i = 0; i < n.clears; i++) {
                c[i].value = at(from[i].value);
                c[i].openTag = from[i].openTag;
                c[i].closeTag = from[i].closeTag;
            }
        }
        d->clears = n.clears ? reinterpret_cast<XMLClear*>(base + layout.clears) : nullptr;
        if (n.order) {
            int* o = reinterpret_cast<int*>(base + layout.order);
            const int* from = order_.items + f.order;
            for (int i = 0; i < n.order; i++) o[i] = from[i];
        }
        d->order = n.order ? reinterpret_cast<int*>(base + layout.order) : nullptr;
        d->childCount = n.children;
        d->attributeCount = n.attributes;
        d->textCount = n.texts;
        d->clearCount = n.clears;
    }

    // Writes the open element on top of the stack (not the base node) and
    // attaches it to its parent.  On exhaustion it is dropped with all it
    // holds and the error is set.
    bool closeElement() {
        // The frame stays readable where it is: no frame is opened before
        // this returns.
        const Frame& f = frames_.items[--frames_.count];
        const Counts n = countsOf(f);
        const ChunkLayout layout = layoutOf(n);
        NodeBlock* block;
        char* const base = blocks_.chunk(layout.total, &block);
        if (!base) {
            dropChildren(f);
            popTo(f);
            return fail();
        }
        NodeData* const d = reinterpret_cast<NodeData*>(base);
        d->declarationFlag = f.declaration;
        d->wholeInChunk = 1;
        d->parent = nullptr;
        d->referenceCount = 1;  // the slot's reference
        d->block = block;
        char* const str = base + layout.strings;
        copyBytes(str, strings_.items + f.strings, n.strings);
        d->name = str + (f.name - f.strings);
        fill(d, base, layout, f, n, str);
        popTo(f);
        Frame& p = top();
        if (!children_.push(d) || !pushOrder(p.children, children_.count - 1, elementChildNode)) {
            NodeAccess h;
            h.nodeData = d;
            return fail();
        }
        return true;
    }

    // Adds the items collected for the base node to it, after what it held.
    bool closeBase() {
        const Frame f = frames_.items[0];
        frames_.count = 0;
        NodeData* const d = base_;
        if (order_.count == f.order && attributes_.count == f.attributes) return true;
        const bool fresh = !d->block && !d->children && !d->attributes && !d->texts && !d->clears &&
                           !d->order && !d->childCount && !d->attributeCount;
        if (fresh) {
            // A node without content (the top node of a parse) takes its
            // arrays and strings from a chunk, like the elements.
            const Counts n = countsOf(f);
            const ChunkLayout layout = layoutOf(n);
            NodeBlock* block;
            char* const base = blocks_.chunk(layout.total, &block);
            if (!base) {
                dropChildren(f);
                popTo(f);
                return fail();
            }
            d->block = block;
            char* const str = base + layout.strings;
            std::memcpy(str, strings_.items + f.strings, n.strings);
            fill(d, base, layout, f, n, str);
            popTo(f);
            return true;
        }
        // Otherwise the items are appended to its arrays, each string copied
        // to the heap.
        const size_t nc = children_.count - f.children, na = attributes_.count - f.attributes;
        const size_t nt = texts_.count - f.texts, nl = clears_.count - f.clears;
        const size_t no = order_.count - f.order;
        const int t = orderCount(d);
        bool ok = static_cast<size_t>(INT_MAX) - static_cast<size_t>(t) >= no &&
                  static_cast<size_t>(INT_MAX - d->attributeCount) >= na;
        ok = ok && reserveMore(d, d->children, d->childCount, nc) &&
             reserveMore(d, d->attributes, d->attributeCount, na) &&
             reserveMore(d, d->texts, d->textCount, nt) &&
             reserveMore(d, d->clears, d->clearCount, nl) && reserveMore(d, d->order, t, no);
        // Every string copied before anything is stored.
        Stack<char*> copies;
        ok = ok && copies.reserve(2 * na + nt + nl + 1);
        auto copy = [&](size_t offset) {
            char* s = stringDup(strings_.items + offset);
            if (!s) ok = false;
            copies.items[copies.count++] = s;
            return s;
        };
        for (size_t i = 0; ok && i < na; i++) {
            copy(attributes_.items[f.attributes + i].name);
            if (attributes_.items[f.attributes + i].value != kNone)
                copy(attributes_.items[f.attributes + i].value);
        }
        for (size_t i = 0; ok && i < nt; i++) copy(texts_.items[f.texts + i]);
        for (size_t i = 0; ok && i < nl; i++) copy(clears_.items[f.clears + i].value);
        if (!ok) {
            for (size_t i = 0; i < copies.count; i++) std::free(copies.items[i]);
            dropChildren(f);
            popTo(f);
            return fail();
        }
        size_t k = 0;
        for (size_t i = 0; i < na; i++) {
            XMLAttribute& r = d->attributes[d->attributeCount++];
            r.name = copies.items[k++];
            r.value = attributes_.items[f.attributes + i].value != kNone ? copies.items[k++]
                                                                         : nullptr;
        }
        const int indexBase[4] = {d->childCount, 0, d->textCount, d->clearCount};
        for (size_t i = 0; i < nt; i++)
            d->texts[d->textCount + static_cast<int>(i)] = copies.items[k++];
        for (size_t i = 0; i < nl; i++) {
            const Clear& c = clears_.items[f.clears + i];
            XMLClear& r = d->clears[d->clearCount + static_cast<int>(i)];
            r.value = copies.items[k++];
            r.openTag = c.openTag;
            r.closeTag = c.closeTag;
        }
        for (size_t i = 0; i < nc; i++) {
            NodeData* c = children_.items[f.children + i];
            c->parent = d;
            d->children[d->childCount + static_cast<int>(i)] = c;
        }
        for (size_t i = 0; i < no; i++) {
            const int e = order_.items[f.order + i];
            d->order[t + static_cast<int>(i)] =
                orderEntry(entryIndex(e) + indexBase[entryKind(e)], entryKind(e));
        }
        d->childCount += static_cast<int>(nc);
        d->textCount += static_cast<int>(nt);
        d->clearCount += static_cast<int>(nl);
        popTo(f);
        return true;
    }

    // Closes every open element and then the base node (the end of the
    // parse, whatever ended it).
    void closeAll() {
        while (frames_.count > 1) closeElement();
        if (frames_.count == 1) closeBase();
    }
};

// The common forms of tags, read without the tokenizer: a start tag whose
// name follows its "<" directly, its attributes written name="value" (or
// with single quotes, white space around the "="), its ">" or "/>", and an
// end tag "</name>" (white space before the ">").  Each piece is taken only
// when the tokens would read it in just this way, with the same scans; at
// anything else (no name, an unquoted value, a value without its closing
// quote, a declaration, a clear tag, the end of the text) nothing is taken
// and the token loop reads on from the same position, so trees, codes and
// positions are the tokens' own.

// Skips white space (single-byte in every encoding).
inline const char* skipTagSpace(const char* p) {
    while (isWhiteSpace(static_cast<unsigned char>(*p))) p++;
    return p;
}

// An attribute name="value" at `p` (after any white space): the name runs
// from `p` to `nameEnd`, the value between the quotes at `quote` and
// `close`.
struct QuotedAttribute {
    const char* nameEnd;
    const char* quote;
    const char* close;
    bool plain;  // the value is its own decoding (see closingQuote)
};

inline bool readQuotedAttribute(const unsigned char* table, const char* p, QuotedAttribute* a) {
    if (!startsPlainText(static_cast<unsigned char>(*p))) return false;
    const char* next;
    a->nameEnd = textTokenEnd(table, p + 1, &next);
    const char* e = skipTagSpace(next);
    if (*e != '=') return false;
    e = skipTagSpace(e + 1);
    if (*e != '"' && *e != '\'') return false;
    a->quote = e;
    a->close = closingQuote(table, e, &a->plain);
    return a->close != nullptr;
}

// An end tag "</name>" at `p`: its name runs from p + 2 to `*nameEnd`, and
// its ">" is returned; null for any other form.
inline const char* readEndTag(const unsigned char* table, const char* p, const char** nameEnd) {
    if (!startsPlainText(static_cast<unsigned char>(p[2]))) return nullptr;
    const char* next;
    *nameEnd = textTokenEnd(table, p + 3, &next);
    const char* e = skipTagSpace(next);
    return *e == '>' ? e : nullptr;
}

}  // namespace

// One loop parses the element it is called on and every element nested in
// it; the open elements are frames of the builder, so nesting costs no
// stack.  An element that closes hands control to its parent, which is
// always reading content (the only state an element has while a child is
// open).  Returning 1 when the element the call began with closes, and 0
// when the parse ends otherwise, is what nested calls would return.  Either
// way every element is written out before the call returns.
int XMLNode::ParseXMLElement(void* state) {
    XML* const x = static_cast<XML*>(state);
    if (!nodeData) return 0;
    Builder b(x, nodeData, std::strlen(x->document + x->index));
    struct Finish {
        Builder& b;
        ~Finish() { b.closeAll(); }
    } finish{b};
    if (!b.openFrame(0, 0, nodeData->declarationFlag, false)) return 0;

    Mode mode = expectingName;
    if (x->atTopLevel) {
        x->atTopLevel = 0;
        mode = contentMode;
    }
    const char* attrName = nullptr;  // the pending attribute name
    int attrLength = 0;
    const char* const doc = x->document;
    auto offset = [doc](const char* p) { return static_cast<int>(p - doc); };

    // The current element is closed.  Hand control to its parent, which
    // offers a pending end tag to itself and, while it does not match,
    // closes in turn.  Gives the call's result, or -1 when the parse goes on
    // in the parent's content.
    auto closeCurrent = [&]() -> int {
        for (;;) {
            if (b.level() == 0) {
                b.closeBase();
                return 1;
            }
            if (!b.closeElement()) return 0;
            if (!x->pendingEndTagLength) return -1;
            if (!b.nameAt(b.level())) {
                x->error = errorUnmatchedEndTag;
                return 0;
            }
            if (b.nameMatches(b.level(), x->pendingEndTag)) x->pendingEndTagLength = 0;
            // closed too, without reading an end tag
        }
    };

    for (;;) {
        const unsigned char* const table = XML_ByteTable;
        if (mode == contentMode) {
            // Markup right after markup ("<a><b>", "</b></a>") is found
            // without a search.
            if (doc[x->index] != '<') skipToMarkup(x, table);
            const char* const p = doc + x->index;
            if (*p == '<') {
                if (const ClearTagRow* row = matchClearTag(p)) {
                    x->index = offset(p) + row->openLength;
                    if (!b.collectText(p) || !b.collectClear(row)) return 0;
                    x->pendingText = doc + x->index;
                    continue;
                }
                if (p[1] == '/') {
                    const char* nameEnd;
                    const bool current = b.endsCurrent(p + 2, &nameEnd);
                    if (const char* close = current ? nameEnd : readEndTag(table, p, &nameEnd)) {
                        if (!b.collectText(p)) {
                            x->index = offset(p + 2);  // where the tokens would stand
                            return 0;
                        }
                        x->index = offset(close + 1);
                        x->pendingText = close + 1;
                        if (!current && !b.endNameMatches(b.level(), p + 2,
                                                          static_cast<size_t>(nameEnd - (p + 2)))) {
                            x->error = warningUnmatchedEndTag;
                            x->warningIndex = x->index;
                            x->pendingEndTag = p + 2;
                            x->pendingEndTagLength = static_cast<int>(nameEnd - (p + 2));
                        }
                        const int r = closeCurrent();
                        if (r >= 0) return r;
                        continue;
                    }
                } else if (p[1] != '?' && startsPlainText(static_cast<unsigned char>(p[1]))) {
                    const char* next;
                    const char* const nameEnd = textTokenEnd(table, p + 2, &next);
                    if (!b.collectText(p)) {
                        x->index = offset(p + 1);  // where the tokens would stand
                        return 0;
                    }
                    x->index = offset(next);
                    const size_t length = static_cast<size_t>(nameEnd - (p + 1));
                    size_t name;
                    if (!b.pushString(p + 1, length, &name) || !b.openFrame(name, length, 0, true))
                        return 0;
                    mode = expectingName;
                }
            }
        }
        if (mode == expectingName) {
            bool closed = false;
            for (;;) {
                const char* const p = skipTagSpace(doc + x->index);
                if (*p == '>') {
                    x->index = offset(p + 1);
                    x->pendingText = p + 1;
                    mode = contentMode;
                    break;
                }
                if (*p == '/' && p[1] == '>') {
                    x->index = offset(p + 2);
                    x->pendingText = p + 2;
                    closed = true;
                    break;
                }
                QuotedAttribute a;
                if (!readQuotedAttribute(table, p, &a)) break;
                x->index = offset(a.close + 1);
                const char* const v = a.quote + 1;
                const int n = static_cast<int>(a.close - v);
                size_t value;
                const bool stored = a.plain ? b.pushString(v, static_cast<size_t>(n), &value)
                                            : b.pushDecoded(v, n, &value);
                if (!stored || !b.addAttribute(p, static_cast<int>(a.nameEnd - p), value)) return 0;
            }
            if (closed) {
                const int r = closeCurrent();
                if (r >= 0) return r;
                mode = contentMode;
                continue;
            }
            if (mode == contentMode) continue;
        }

        // The token loop; in content mode the index is at markup already.
        int length;
        XMLTokenTypeTag type;
        const TokenRef token = GetNextToken(x, &length, &type);
        const size_t level = b.level();

        if (type == endOfTextToken) {
            if (!b.declarationAt(level) && b.hasParent(level)) {
                x->error = warningUnmatchedEndTag;
                x->warningIndex = x->index;
            }
            b.collectText(x->document + x->index);
            return 0;
        }

        bool closed = false;  // the current element is closed: "return 1"
        switch (mode) {
            case contentMode:
                switch (type) {
                    case openAngleToken:
                    case declarationToken: {
                        if (!b.collectText(token.start)) return 0;
                        XMLTokenTypeTag nameType;
                        const TokenRef name = GetNextToken(x, &length, &nameType);
                        if (nameType != textToken) {
                            x->error = errorMissingStartTagName;
                            return 0;
                        }
                        // A declaration whose name runs into its "?>" ("<?pi?>") gets
                        // the name without the "?", which is then read as a "?" after
                        // an attribute name is; one left without any name ("<??>") is
                        // refused like a start tag without a name.
                        const bool nameEndsTag = type == declarationToken &&
                                                 name.start[length - 1] == '?' &&
                                                 x->document[x->index] == '>';
                        if (nameEndsTag && --length == 0) {
                            x->error = errorMissingStartTagName;
                            return 0;
                        }
                        size_t at;
                        if (!b.pushString(name.start, static_cast<size_t>(length), &at) ||
                            !b.openFrame(at, static_cast<size_t>(length), type == declarationToken,
                                         true))
                            return 0;
                        mode = expectingName;
                        if (nameEndsTag) {
                            attrName = name.start + length;  // the "?"
                            attrLength = 1;
                            mode = afterName;
                        }
                        continue;
                    }
                    case closingTagToken: {
                        if (!b.collectText(token.start)) return 0;
                        XMLTokenTypeTag t;
                        const TokenRef name = GetNextToken(x, &length, &t);
                        if (t != textToken) {
                            x->error = errorMissingEndTagName;
                            return 0;
                        }
                        const int nameLength = length;
                        GetNextToken(x, &length, &t);
                        if (t != closeAngleToken) {
                            x->error = errorMissingEndTagName;
                            return 0;
                        }
                        x->pendingText = x->document + x->index;
                        if (!b.nameMatches(level, name.start)) {
                            x->error = warningUnmatchedEndTag;
                            x->warningIndex = x->index;
                            x->pendingEndTag = name.start;
                            x->pendingEndTagLength = nameLength;
                        }
                        closed = true;
                        break;
                    }
                    case clearTagToken:
                        if (!b.collectText(token.start)) return 0;
                        if (!b.collectClear(token.clearTag)) return 0;
                        x->pendingText = x->document + x->index;
                        continue;
                    default: continue;  // part of the text collected later
                }
                break;

            case expectingName:
                if (type == textToken) {
                    attrName = token.start;
                    attrLength = length;
                    mode = afterName;
                    continue;
                }
                if (type == closeAngleToken) {
                    x->pendingText = x->document + x->index;
                    mode = contentMode;
                    continue;
                }
                if (type == emptyElementEndToken) {
                    x->pendingText = x->document + x->index;
                    closed = true;
                    break;
                }
                x->error = errorUnexpectedToken;
                return 0;

            case afterName:
                if (type == textToken) {
                    if (!b.addAttribute(attrName, attrLength, kNone)) return 0;
                    attrName = token.start;
                    attrLength = length;
                    continue;
                }
                if (type == equalsToken) {
                    mode = afterEquals;
                    continue;
                }
                if (type == closeAngleToken || type == emptyElementEndToken) {
                    x->pendingText = x->document + x->index;
                    bool empty = type == emptyElementEndToken;
                    if (b.declarationAt(level) && attrName[attrLength - 1] == '?') {
                        attrLength--;
                        // "?>" closes a declaration nested in an element.
                        if (b.hasGrandparent(level)) empty = true;
                    }
                    if (attrLength > 0 && !b.addAttribute(attrName, attrLength, kNone)) return 0;
                    if (!empty) {
                        mode = contentMode;
                        continue;
                    }
                    closed = true;
                    break;
                }
                x->error = errorUnexpectedToken;
                return 0;

            case afterEquals: {
                if (type != textToken && type != quotedTextToken) {
                    x->error = errorUnexpectedToken;
                    return 0;
                }
                const char* v = token.start;
                int n = length;
                if (b.declarationAt(level) && v[n - 1] == '?') n--;
                if (type == quotedTextToken) {
                    v++;
                    n -= 2;
                }
                size_t value;
                if (!b.pushDecoded(v, n, &value)) return 0;
                if (!b.addAttribute(attrName, attrLength, value)) return 0;
                mode = expectingName;
                continue;
            }
        }

        if (closed) {
            const int r = closeCurrent();
            if (r >= 0) return r;
            mode = contentMode;
        }
    }
}
