// memory.h - node memory: node data records, their arrays and their strings
// (allocation, the ownership test, growth, trimming and release).  No other
// file allocates, resizes or frees node data.
//
// Two kinds of memory hold node data:
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
// - The heap.  Everything else: records made by the adders, strings handed
//   over by callers (`_WOSD`) or copied with stringDup, and arrays of nodes
//   that were edited.  Such an array carries its capacity in a small header
//   just before its first record and grows geometrically, so n additions
//   copy O(n) bytes in all even where realloc always moves.
//
// An array inside a block has room for exactly the count it was written
// with; a deletion lowers the count and keeps the room.  Room is never
// tracked for it: an addition beyond its count moves it to the heap.
#ifndef XMLPARSER_MODEL_MEMORY_H
#define XMLPARSER_MODEL_MEMORY_H

#include <atomic>

#include "model/node_data.h"

namespace xml_internal {

struct NodeBlock {
    std::atomic<long> live;  // references: records, plus one while a builder fills it
    char* end;               // one past the block's last byte
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

// Drops `count` references on a block, freeing it with the last.
inline void dropBlock(NodeBlock* b, long count) {
    if (b->live.fetch_sub(count, std::memory_order_acq_rel) == count) std::free(b);
}

// Arrays.  `count` is the number of records the array holds now.
//
// The room of an array (0 for null).
size_t arrayRoom(const NodeData* d, const void* array, int count);
// Makes room for `need` records (need > count), keeping the first `count`:
// heap arrays grow to at least twice their room.  Returns the array (maybe
// moved), or null with the old one intact when memory runs out.
void* arrayReserve(const NodeData* d, void* array, int count, size_t need, size_t recordSize);
// Gives the array room for exactly `room` records (room >= count, > 0);
// an array in a block that is large enough stays where it is.
void* arrayResize(const NodeData* d, void* array, int count, size_t room, size_t recordSize);
// Frees an array unless its block holds it.
void arrayFree(const NodeData* d, void* array);

// Records.  A new heap record, cleared, with one reference, or null.
NodeData* newHeapRecord(char isDeclaration);
// Frees a record whose references are gone: its block reference is dropped
// and a heap record is freed.  Content must have been released before.
void freeRecord(NodeData* d);

// Frees every array and string `d` owns (never the children themselves) and
// leaves it an empty nameless record without parent; the declaration flag,
// the reference count and the block are kept.
void releaseContent(NodeData* d);

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
