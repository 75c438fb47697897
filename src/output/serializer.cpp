// serializer.cpp - writes a node and its subtree as formatted or compact XML
// text: one walk over the tree, whose bytes a sink counts, writes into a
// given buffer, or writes into a block that grows with the text.
#include "internal.h"
#include "model/walk.h"

using namespace xml_internal;

namespace {

// One open element of the walk: its node data, its effective level E, the
// level K handed to its child nodes, and its name's length (for the end tag).
struct WriteFrame {
    NodeData* d;
    int effective;
    int childLevel;
    size_t nameLength;
};

// The walk's stack of open elements.  Shallow trees stay in the fixed array;
// deeper ones move to a heap array that grows by doubling.
struct WriteFrameStack {
    static const size_t localCount = 64;
    WriteFrame local[localCount];
    WriteFrame* frames = local;
    size_t capacity = localCount;
    size_t size = 0;

    WriteFrameStack() {}
    WriteFrameStack(const WriteFrameStack&) = delete;
    WriteFrameStack& operator=(const WriteFrameStack&) = delete;
    ~WriteFrameStack() {
        if (frames != local) std::free(frames);
    }

    // A new top frame, or null when memory runs out.
    WriteFrame* push() {
        if (size == capacity && !grow()) return nullptr;
        return &frames[size++];
    }

    // Kept out of line: it is rare, and the hot push stays small.
    [[gnu::noinline]] bool grow() {
        if (capacity > SIZE_MAX / 2 / sizeof(WriteFrame)) return false;
        size_t grown = capacity * 2;
        WriteFrame* f;
        if (frames == local) {
            f = static_cast<WriteFrame*>(std::malloc(grown * sizeof(WriteFrame)));
            if (f) std::memcpy(f, local, sizeof(local));
        } else {
            f = static_cast<WriteFrame*>(std::realloc(frames, grown * sizeof(WriteFrame)));
        }
        if (!f) return false;
        frames = f;
        capacity = grown;
        return true;
    }
};

// The three ways the walk's bytes can go.  Each sink offers the same calls;
// `stopped` tells the walk to give up (the text would pass INT_MAX bytes, or
// memory ran out).

// Counts the bytes without writing them.
struct CountingSink {
    uint64_t length = 0;
    const unsigned char* classes;

    explicit CountingSink(const unsigned char* c) : classes(c) {}
    void put(const char*, size_t n) { length += n; }
    void put(char) { length++; }
    void tabs(int n) {
        if (n > 0) length += static_cast<uint64_t>(n);
    }
    bool reserve(size_t) { return true; }
    bool reserveEscaped(size_t, const char*, size_t) { return true; }
    void escaped(const char* s) { length += escapeWalk<false>(classes, s, nullptr); }
    void escaped(const char* s, size_t n) {
        length += escapeKnownLength<false>(classes, s, n, nullptr);
    }
    void dropLast() { length--; }
    bool stopped() const { return length > static_cast<uint64_t>(INT_MAX); }

    // The calls of a tag, counted in a local total that is added on close.
    struct Span {
        CountingSink& sink;
        uint64_t n = 0;
        explicit Span(CountingSink& s) : sink(s) {}
        Span(const Span&) = delete;
        Span& operator=(const Span&) = delete;
        ~Span() { sink.length += n; }
        bool reserve(size_t) { return true; }
        bool reserveEscaped(size_t, const char*, size_t) { return true; }
        void put(const char*, size_t k) { n += k; }
        void put(char) { n++; }
        void escaped(const char* s, size_t k) {
            n += escapeKnownLength<false>(sink.classes, s, k, nullptr);
        }
        void dropLast() { n--; }
    };
};

// The calls of a tag (see startNode), written through a local position that
// is stored back into the sink when the span closes: a write through a char
// pointer may alias the sink, so a position kept only in the sink would be
// reloaded after every piece.
template <class Sink>
struct WritingSpan {
    Sink& sink;
    char* p;
    explicit WritingSpan(Sink& s) : sink(s), p(s.out + s.length) {}
    WritingSpan(const WritingSpan&) = delete;
    WritingSpan& operator=(const WritingSpan&) = delete;
    ~WritingSpan() { close(); }
    void close() { sink.length = static_cast<size_t>(p - sink.out); }
    void put(const char* s, size_t k) {
        copyBytes(p, s, k);
        p += k;
    }
    void put(char c) { *p++ = c; }
    void escaped(const char* s, size_t k) { p += escapeKnownLength<true>(sink.classes, s, k, p); }
    void dropLast() { p--; }
};

// Writes into a buffer already known to be large enough.
struct FixedSink {
    char* out;
    size_t length = 0;
    const unsigned char* classes;

    FixedSink(char* o, const unsigned char* c) : out(o), classes(c) {}
    void put(const char* s, size_t n) {
        std::memcpy(out + length, s, n);
        length += n;
    }
    void put(char c) { out[length++] = c; }
    void tabs(int n) {
        if (n <= 0) return;
        std::memset(out + length, '\t', static_cast<size_t>(n));
        length += static_cast<size_t>(n);
    }
    bool reserve(size_t) { return true; }
    bool reserveEscaped(size_t, const char*, size_t) { return true; }
    void escaped(const char* s) { length += escapeWalk<true>(classes, s, out + length); }
    void escaped(const char* s, size_t n) {
        length += escapeKnownLength<true>(classes, s, n, out + length);
    }
    void dropLast() { length--; }
    bool stopped() const { return false; }

    // A tag's writes go through a local position (see WritingSpan).
    struct Span : WritingSpan<FixedSink> {
        explicit Span(FixedSink& s) : WritingSpan<FixedSink>(s) {}
        bool reserve(size_t) { return true; }
        bool reserveEscaped(size_t, const char*, size_t) { return true; }
    };
};

template <class Sink>
int64_t walk(Sink& sink, NodeData* root, int level, WriteFrameStack& stack);

// Writes into a heap block that grows as the text does, so the tree is read
// once.  The block always keeps one byte beyond the text for its terminator.
// It doubles while the text is small; a text that outgrows `countAbove`
// bytes is counted once over the whole tree and the block grown to that exact
// size, so a large text is never copied by doubling, and a text that would
// pass INT_MAX bytes (a deep tree's TABs grow with the square of its depth)
// is refused by that count instead of being written up to the limit first.
struct GrowingSink {
    // Block sizes are a power of two less an allowance for the allocator's
    // own header, so that a block and its header together fill a
    // power-of-two span: allocators keep such spans in their pools, where a
    // block a few bytes larger may be mapped fresh from the system (and
    // every page of it touched anew) each time.
    static const size_t headerAllowance = 64;
    static const size_t firstCapacity = 1024 - headerAllowance;
    // The block doubles up to 1 MB, then grows by half: the blocks it has
    // left behind then soon add up to more than the next one, so a heap can
    // place the next block where the earlier ones were instead of taking
    // fresh memory from the system (whose pages cost a fault each on their
    // first write).
    static size_t nextCapacity(size_t capacity) {
        const size_t span = capacity + headerAllowance;
        return (span < (size_t(1) << 20) ? 2 * span : span / 2 * 3) - headerAllowance;
    }
    static const size_t countAbove = size_t(64) << 20;
    // Strings up to this length are escaped straight into the block when it
    // has room for their longest possible escaped form; longer ones are
    // measured first, so the block never grows for a bound it will not need.
    static const size_t shortString = 4096;

    char* out = nullptr;
    size_t length = 0;
    size_t capacity = 0;
    bool failed = false;
    bool sized = false;  // the whole text has been counted and fits
    const unsigned char* classes;
    size_t longestEntity;
    NodeData* root;
    int level;

    GrowingSink(const unsigned char* c, NodeData* r, int l)
        : classes(c), longestEntity(longestEntityLength()), root(r), level(l) {}
    GrowingSink(const GrowingSink&) = delete;
    GrowingSink& operator=(const GrowingSink&) = delete;
    ~GrowingSink() { std::free(out); }

    // Room for n more bytes (and the terminator), or false.
    bool room(size_t n) { return capacity - length > n || grow(n); }

    // The walk asks for room before each piece it writes (see startNode), so
    // the writes themselves test nothing.  Each request is for bytes the text
    // will hold, so the count of a sized block always covers it.
    bool reserve(size_t n) { return room(n); }
    // Room for `fixed` bytes and the escaped form of the n bytes at s: the
    // longest escaped form when the block already has room for it, else the
    // measured one (a long string is always measured, so the block never
    // grows for a bound it will not need).
    bool reserveEscaped(size_t fixed, const char* s, size_t n) {
        if (n <= shortString && capacity - length > fixed + n * longestEntity) return true;
        return room(fixed + escapeKnownLength<false>(classes, s, n, nullptr));
    }

    void put(const char* s, size_t n) {
        copyBytes(out + length, s, n);
        length += n;
    }
    void put(char c) { out[length++] = c; }
    void tabs(int n) {
        if (n <= 0 || !room(static_cast<size_t>(n))) return;
        std::memset(out + length, '\t', static_cast<size_t>(n));
        length += static_cast<size_t>(n);
    }
    void escaped(const char* s, size_t n) {
        length += escapeKnownLength<true>(classes, s, n, out + length);
    }
    // A text on its own: measured, given room, and escaped.
    void escaped(const char* s) {
        const size_t n = std::strlen(s);
        if (reserveEscaped(0, s, n)) escaped(s, n);
    }
    void dropLast() { length--; }
    bool stopped() const { return failed; }

    // Hands the text over, in a block of its exact size when the block can
    // be shrunk (a failed shrink leaves the larger block, which holds the
    // same text).
    char* release() {
        out[length] = 0;
        char* text = out;
        if (capacity > length + 1) {
            if (char* exact = static_cast<char*>(std::realloc(out, length + 1))) text = exact;
        }
        out = nullptr;
        return text;
    }

    [[gnu::noinline]] bool grow(size_t n) {
        if (failed) return false;
        if (n > static_cast<size_t>(INT_MAX) - length) return fail();
        const size_t needed = length + n + 1;
        size_t grown;
        if (sized) {
            return fail();  // the counted size was too small: cannot happen
        } else if (needed > countAbove) {
            WriteFrameStack stack;
            CountingSink counter(classes);
            const int64_t total = walk(counter, root, level, stack);
            if (total < 0) return fail();
            sized = true;
            grown = static_cast<size_t>(total) + 1;
            if (grown < needed) return fail();
        } else {
            grown = capacity ? nextCapacity(capacity) : firstCapacity;
            if (grown < needed) grown = needed;
        }
        char* block = static_cast<char*>(std::realloc(out, grown));
        if (!block) return fail();
        out = block;
        capacity = grown;
        return true;
    }

    bool fail() {
        failed = true;
        return false;
    }

    // A tag's writes go through a local position (see WritingSpan) and a
    // local end of room, both stored back before the block may move.
    struct Span : WritingSpan<GrowingSink> {
        char* limit;
        explicit Span(GrowingSink& s) : WritingSpan<GrowingSink>(s), limit(s.out + s.capacity) {}
        bool reserve(size_t n) { return static_cast<size_t>(limit - p) > n || regrow(n); }
        bool reserveEscaped(size_t fixed, const char* s, size_t n) {
            if (n <= shortString && static_cast<size_t>(limit - p) > fixed + n * sink.longestEntity)
                return true;
            return reserve(fixed + escapeKnownLength<false>(sink.classes, s, n, nullptr));
        }
        bool regrow(size_t n) {
            close();
            const bool ok = sink.grow(n);
            p = sink.out + sink.length;
            limit = sink.out + sink.capacity;
            return ok;
        }
    };

    static size_t longestEntityLength() {
        size_t longest = 1;
        for (int row = 0; XMLEntities[row].entity; row++)
            if (static_cast<size_t>(XMLEntities[row].length) > longest)
                longest = static_cast<size_t>(XMLEntities[row].length);
        return longest;
    }
};

// The walk chases pointers from each node record to its arrays and strings,
// which lie apart on the heap; asking for them all at once lets their loads
// overlap instead of waiting for each in turn.  A prefetch never faults, so
// null pointers need no test.
inline void prefetchContents(const NodeData* d) {
    __builtin_prefetch(d->order);
    __builtin_prefetch(d->children);
    __builtin_prefetch(d->attributes);
    __builtin_prefetch(d->texts);
    __builtin_prefetch(d->name);
}

// The parser writes each finished node whole (record, arrays, strings) into
// large blocks, one after another, so apart from the jump back to a node's
// first child the nodes the walk reaches next mostly lie a little above the
// one it starts now.  Fetching the kilobyte that lies 4 KB above each node
// the walk starts turns the walk's pointer chasing into a stream whose loads
// overlap: measured on the block layout, it writes the deeply nested mixed
// document about a fifth faster and changes nothing measurable elsewhere.
// The fetch is the same 16 lines whatever the node: a test on where the node
// lies would wait for the node's address to arrive from memory.  A prefetch
// never faults, so addresses beyond the heap are harmless.
inline void prefetchHeapAhead(const void* node) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(node);
    prefetchLines(at + 4096, 16);
    // The elements nested in one lie below it: the kilobyte below the node
    // goes too (measured on mixed.xml: about 10% faster; more is slower).
    prefetchLines(at - 1024, 16);
}

// Writes the start tag of `d` at level `level` and fills in its frame.
template <class Sink>
void startNode(Sink& sink, WriteFrame* f, NodeData* d, int level) {
    prefetchContents(d);
    const bool declaration = d->declarationFlag != 0;
    const int items = orderCount(d);
    const bool named = d->name && d->name[0];

    int e = level;
    if (level >= 0 && !declaration && d->textCount == 1 && d->childCount == 0 && d->clearCount == 0)
        e = -2;  // a single text goes on the start tag's line
    f->d = d;
    f->effective = e;
    f->childLevel = e == -1 ? -1 : (named && !declaration ? e + 1 : e);
    f->nameLength = 0;
    if (!named) return;

    const size_t nameLength = std::strlen(d->name);
    f->nameLength = nameLength;
    sink.tabs(level >= 0 ? level : 0);
    typename Sink::Span o(sink);
    // Each piece is written once the sink has room for it; when it has none
    // (memory ran out), the sink has stopped and the rest is passed over.
    if (!o.reserve(nameLength + (declaration ? 3 : 2))) return;
    o.put('<');
    if (declaration) o.put('?');
    o.put(d->name, nameLength);
    o.put(' ');
    for (int i = 0; i < d->attributeCount; i++) {
        const XMLAttribute& a = d->attributes[i];
        if (!a.name || !a.name[0]) continue;
        const size_t n = std::strlen(a.name);
        if (!a.value) {
            if (!o.reserve(n + 1)) return;
            o.put(a.name, n);
            o.put(' ');
            continue;
        }
        const size_t v = std::strlen(a.value);
        if (!o.reserveEscaped(n + 4, a.value, v)) return;
        o.put(a.name, n);
        o.put("=\"", 2);
        o.escaped(a.value, v);
        o.put("\" ", 2);
    }
    o.dropLast();  // the last space gives way to the tag's end
    const char* end;
    size_t endLength;
    if (declaration) {
        end = "?>\n";
        endLength = e != -1 ? 3 : 2;
    } else if (items > 0) {
        end = ">\n";
        endLength = e >= 0 ? 2 : 1;
    } else {
        end = "/>\n";
        endLength = e != -1 ? 3 : 2;
    }
    if (o.reserve(endLength)) o.put(end, endLength);
}

template <class Sink>
void writeText(Sink& sink, int e, const char* text) {
    if (!text || !text[0]) return;  // an empty text escapes to nothing: no line at all
    if (e < 0) {
        sink.escaped(text);
        return;
    }
    sink.tabs(e + 1);
    sink.escaped(text);
    if (sink.reserve(1)) sink.put('\n');
}

// Writes the n bytes at s once the sink has room for them.
template <class Sink>
void putChecked(Sink& sink, const char* s) {
    const size_t n = std::strlen(s);
    if (sink.reserve(n)) sink.put(s, n);
}

template <class Sink>
void writeClear(Sink& sink, int e, const XMLClear& c) {
    if (c.openTag && c.openTag[0]) {
        if (e != -1) sink.tabs(e + 1);
        putChecked(sink, c.openTag);
    }
    if (c.value && c.value[0]) putChecked(sink, c.value);
    if (c.closeTag && c.closeTag[0]) putChecked(sink, c.closeTag);
    if (e != -1 && sink.reserve(1)) sink.put('\n');
}

template <class Sink>
void endNode(Sink& sink, const WriteFrame& f) {
    const NodeData* d = f.d;
    if (!f.nameLength || d->declarationFlag || orderCount(d) == 0) return;
    sink.tabs(f.effective);
    typename Sink::Span o(sink);
    if (!o.reserve(f.nameLength + (f.effective != -1 ? 4 : 3))) return;
    o.put("</", 2);
    o.put(d->name, f.nameLength);
    o.put('>');
    if (f.effective != -1) o.put('\n');
}

// What the writer does at each step of the tree walk (model/walk.h): the
// start tag when a node is entered, its texts and clear tags where they
// stand, the end tag when it is left.  `stack` keeps the levels of the open
// nodes.  Once the sink has stopped, nodes are passed over.
template <class Sink>
struct WriteVisitor {
    Sink& sink;
    WriteFrameStack& stack;
    int rootLevel;
    bool failed = false;

    bool enter(NodeData* d) {
        if (failed || sink.stopped()) return false;
        const int level = stack.size ? stack.frames[stack.size - 1].childLevel : rootLevel;
        WriteFrame* f = stack.push();
        if (!f) {
            failed = true;
            return false;
        }
        prefetchHeapAhead(d);
        startNode(sink, f, d, level);
        return true;
    }
    void item(NodeData* d, XMLElementType kind, int index) {
        const int e = stack.frames[stack.size - 1].effective;
        if (kind == elementText)
            writeText(sink, e, d->texts[index]);
        else
            writeClear(sink, e, d->clears[index]);
    }
    void leave(NodeData*) {
        endNode(sink, stack.frames[stack.size - 1]);
        stack.size--;
    }
};

// The walk over `root` and its subtree, depth first in document order.
// Returns the number of bytes produced, or -1 when memory runs out or the
// sink stops (memory runs out, or the text would exceed INT_MAX bytes).
template <class Sink>
int64_t walk(Sink& sink, NodeData* root, int level, WriteFrameStack& stack) {
    stack.size = 0;
    WriteVisitor<Sink> visitor{sink, stack, level};
    if (!readWalk(root, visitor) || visitor.failed || sink.stopped()) return -1;
    return static_cast<int64_t>(sink.length);
}

}  // namespace

// The recursion of this writer is an explicit walk (see `walk`), so any depth
// is safe.  Returns -1 instead of a length when memory runs out or the text
// would exceed INT_MAX bytes; with an output, nothing has then been written.
int XMLNode::CreateXMLStringR(XMLNodeDataTag* data, char* output, int format) {
    if (!data) return 0;
    const unsigned char* classes = activeEscapeClasses();
    WriteFrameStack stack;
    CountingSink counter(classes);
    int64_t length = walk(counter, data, format, stack);
    if (length < 0 || !output) return static_cast<int>(length);
    // The stack has grown to the tree's depth in the count, so this walk
    // cannot fail.
    FixedSink writer(output, classes);
    return static_cast<int>(walk(writer, data, format, stack));
}

// The text is written in one walk into a block that grows with it (see
// GrowingSink), instead of a walk that sizes it and one that writes it: the
// same bytes, with the tree read once.  Memory exhaustion, or a text that
// would exceed INT_MAX bytes, gives null and size 0, like the empty node.
char* XMLNode::createXMLString(int format, int* size) const {
    if (size) *size = 0;
    if (!nodeData) return nullptr;
    const int level = (dropWhiteSpace && format) ? 0 : -1;
    GrowingSink sink(activeEscapeClasses(), nodeData, level);
    if (!sink.room(0)) return nullptr;
    WriteFrameStack stack;
    const int64_t length = walk(sink, nodeData, level, stack);
    if (length < 0) return nullptr;
    char* text = sink.release();
    if (size) *size = static_cast<int>(length);
    return text;
}
