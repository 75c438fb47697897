// memory.h - node memory: node data records, their arrays and their strings
// (allocation, the ownership test, growth, trimming and release).  No other
// file allocates, resizes or frees node data.
//
// Three kinds of memory hold node data:
//
// - Blocks.  The parser and deep copy write each finished node as one chunk
//   (record, arrays and strings, each array exactly as long as its count)
//   into large blocks.  A record's `block` names the block it holds one
//   reference on; every string or array of the record whose address lies in
//   that block belongs to the block and is never passed to free: it goes
//   with the block, which is freed when its last record is.  The counts are
//   atomic, so records of one block may be released on several threads at
//   once (after nodes were moved between documents).
//
// - Adder blocks.  The copying adders take each new record, with its name,
//   from the block the adders of the calling thread are filling, and the
//   first strings and arrays they store on a record of that block from the
//   room that follows, while the block is current and has room.  Only that
//   thread moves the block's cursor (`next`) and counts the records placed in
//   it; their references are added to `live` when the thread lets the block
//   go, and until then records released on any thread only take `live` below
//   zero.  The thread frees the block at once when the last of its records is
//   released on it; otherwise the block goes with its last record like any
//   other.  An array in an adder block has room for its count rounded up to
//   a power of two; a growing one moves within the block while the block is
//   current and has room, else to the heap.
//
// - The heap.  Everything else: records made by the owning adders and the
//   parser's top nodes, strings handed over by callers (`_WOSD`) or copied
//   with stringDup, and arrays of nodes that were edited.  Such an array carries its capacity in a small header
//   just before its first record and grows geometrically, so n additions
//   copy O(n) bytes in all even where realloc always moves.
//
// An array inside a block the parser or deep copy wrote has room for exactly
// the count it was written with; a deletion lowers the count and keeps the
// room.  Room is never tracked for it: an addition beyond its count moves it
// to the heap.
#ifndef XMLPARSER_MODEL_MEMORY_H
#define XMLPARSER_MODEL_MEMORY_H

#include <atomic>

#include "model/node_data.h"

namespace xml_internal {

struct NodeBlock {
    std::atomic<long> live;  // references: records, plus one while a builder fills it
    char* end;               // one past the block's last byte
    char* next;              // an adder block: its unused room; else `end`
    // Filled by the copying adders: each array in it has room for its count
    // rounded up to a power of two.
    bool fromAdders = false;
};

// Whether `p` lies in the block `d` holds (so must never be passed to free).
inline bool inBlock(const NodeData* d, const void* p) {
    const NodeBlock* b = d->block;
    const char* q = static_cast<const char*>(p);
    return b && q >= reinterpret_cast<const char*>(b) && q < b->end;
}

// Frees a string of `d` unless its block holds it.
inline void freeNodeString(const NodeData* d, const char* s) {
    if (s && !inBlock(d, s)) std::free(const_cast<char*>(s));
}

// A record written whole into a chunk (`wholeInChunk`) keeps that mark only
// while nothing is stored in it: every store of a string or an array into a
// record, wherever that string or array lies, goes through storeString, or
// gets its array or string from arrayReserve, arrayResize or growNodeString,
// and each of these calls mayHoldOutside first.  Deletions store nothing
// and keep the mark: what remains still lies in the chunk.
inline void mayHoldOutside(NodeData* d) { d->wholeInChunk = 0; }

// Stores the string `s` (which may lie anywhere, or be null) in `slot`, a
// string field of the record `d`.
template <typename Slot>
inline void storeString(NodeData* d, Slot& slot, char* s) {
    mayHoldOutside(d);
    slot = s;
}

// Called when references dropped on a block took its count below zero:
// the block is still being filled (model/memory.cpp).
void droppedBelowZero(NodeBlock* b, long left);

// Drops `count` references on a block, freeing it with the last.
inline void dropBlock(NodeBlock* b, long count) {
    const long before = b->live.fetch_sub(count, std::memory_order_acq_rel);
    if (before == count) {
        std::free(b);
    } else if (before < count) {
        droppedBelowZero(b, before - count);
    }
}

// Arrays.  `count` is the number of records the array holds now.
//
// The room of an array (0 for null).
size_t arrayRoom(const NodeData* d, const void* array, int count);
// Makes room for `need` records (need > count), keeping the first `count`:
// heap arrays grow to at least twice their room.  Returns the array (maybe
// moved), or null with the old one intact when memory runs out.
void* arrayReserve(NodeData* d, void* array, int count, size_t need, size_t recordSize);
// arrayReserve for `more` records beyond the `count` that `array` holds,
// storing the array back: true when the room is there (always for 0), false
// with the array intact when memory runs out.
template <typename T>
inline bool reserveMore(NodeData* d, T*& array, int count, size_t more) {
    if (more == 0) return true;
    void* a = arrayReserve(d, array, count, static_cast<size_t>(count) + more, sizeof(T));
    if (!a) return false;
    array = static_cast<T*>(a);
    return true;
}
// Gives the array room for exactly `room` records (room >= count, > 0);
// an array in a block that is large enough stays where it is.
void* arrayResize(NodeData* d, void* array, int count, size_t room, size_t recordSize);
// Frees an array unless its block holds it.
void arrayFree(const NodeData* d, void* array);

// Strings.  Gives the string `s` of `d` (`used` bytes of it to keep) room
// for `room` bytes on the heap: a heap string is resized, a string in the
// block copied out.  Null when memory runs out (`s` is intact).
char* growNodeString(NodeData* d, char* s, size_t used, size_t room);
// Resizes a heap string of `d` to `size` bytes where that can be done.
void trimNodeString(const NodeData* d, char** s, size_t size);

// Records.  A new heap record, cleared, with one reference, or null.
NodeData* newHeapRecord(char isDeclaration);
// A new record in this thread's adder block (a long name: in a block of its
// own) holding a copy of `name` (not null), cleared but for the name, with
// one reference, or null.
NodeData* newAdderRecord(char isDeclaration, const char* name);

// `bytes` (> 0) of the room left in the adder block of `d`, aligned for
// pointers when `aligned`; null unless that block is the one this thread's
// adders are filling and has the room.
char* takeRoom(const NodeData* d, size_t bytes, bool aligned);

// A copy of `s` (not null) for `d`: in its adder block when it fits, else
// from stringDup; null when memory runs out.
char* copyNodeString(const NodeData* d, const char* s);

// Frees every array and string `d` owns (never the children themselves),
// leaving the record as it is: for a record about to be freed itself.  A
// record written whole into its chunk owns none.
void freeOutsideContent(NodeData* d);
inline void freeContent(NodeData* d) {
    if (!d->wholeInChunk) freeOutsideContent(d);
}
// Frees every array and string `d` owns and leaves it an empty nameless
// record without parent; the declaration flag, the reference count and the
// block are kept.
void releaseContent(NodeData* d);

// Frees records whose references are gone, one after another: records of
// one block (usually released in a row) drop their references on it
// together.  The pending references are dropped before anything else of a
// record of another block is freed, so that memory goes in the order its
// records are released.
class RecordReleases {
public:
    RecordReleases() = default;
    RecordReleases(const RecordReleases&) = delete;
    RecordReleases& operator=(const RecordReleases&) = delete;
    ~RecordReleases() {
        if (pending_) dropBlock(pending_, count_);
    }
    // To be called before the content of a record `d` that stays (an empty
    // shell) is freed.
    void next(const NodeData* d) {
        if (pending_ && d->block != pending_) {
            dropBlock(pending_, count_);
            pending_ = nullptr;
        }
    }
    // Frees the content of `d`, then `d`.
    void free(NodeData* d) {
        NodeBlock* const b = d->block;
        if (b != pending_) {
            if (pending_) dropBlock(pending_, count_);
            pending_ = b;
            count_ = 0;
        }
        if (d->wholeInChunk) {
            count_++;  // the record and all it holds go with the block
            return;
        }
        freeOutsideContent(d);
        if (!inBlock(d, d)) std::free(d);
        if (b) count_++;
    }

private:
    NodeBlock* pending_ = nullptr;
    long count_ = 0;
};

// Writes finished nodes into blocks.  Each chunk goes to the current block
// while it has room; a new block is then started (a chunk larger than a
// block gets a block of its own).
class BlockBuilder {
public:
    // `expected` hints at the bytes the nodes will take in all.
    explicit BlockBuilder(size_t expected = 0);
    ~BlockBuilder();
    BlockBuilder(const BlockBuilder&) = delete;
    BlockBuilder& operator=(const BlockBuilder&) = delete;

    // A chunk of `bytes` (a multiple of 8) in a block, and the block; null
    // when memory runs out.  The chunk counts as one reference on the block:
    // the caller places one record there, with `block` set to it.
    char* chunk(size_t bytes, NodeBlock** block) {
        if (current_ && static_cast<size_t>(current_->end - next_) >= bytes) {
            char* p = next_;
            next_ += bytes;
            uses_++;
            *block = current_;
            return p;
        }
        return newBlockChunk(bytes, block);
    }

private:
    char* newBlockChunk(size_t bytes, NodeBlock** block);
    void retire();
    NodeBlock* current_ = nullptr;
    char* next_ = nullptr;
    long uses_ = 0;  // chunks handed out of the current block
    size_t blockSize_;
};

// The sizes of one finished node's chunk and where each part goes in it.
// The record comes first, then the arrays (pointer-aligned ones first, the
// order entries last), then the strings.
struct ChunkLayout {
    size_t children, attributes, texts, clears, order, strings, total;
    ChunkLayout(int childCount, int attributeCount, int textCount, int clearCount,
                size_t stringBytes) {
        size_t at = sizeof(NodeData);
        children = at;
        at += static_cast<size_t>(childCount) * sizeof(NodeData*);
        attributes = at;
        at += static_cast<size_t>(attributeCount) * sizeof(XMLAttribute);
        texts = at;
        at += static_cast<size_t>(textCount) * sizeof(char*);
        clears = at;
        at += static_cast<size_t>(clearCount) * sizeof(XMLClear);
        order = at;
        at += (static_cast<size_t>(childCount) + textCount + clearCount) * sizeof(int);
        strings = at;
        at += stringBytes;
        total = (at + 7) & ~size_t(7);
    }
};

}  // namespace xml_internal

#endif  // XMLPARSER_MODEL_MEMORY_H
