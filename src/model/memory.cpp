// memory.cpp - node memory: heap arrays with their capacity header, records,
// release of a record's content, and the block builder.
#include "model/memory.h"

#include <new>

namespace xml_internal {

namespace {

// The header of a heap array: its room, in records.  Eight bytes keep the
// records after it aligned for pointers.
struct ArrayHeader {
    size_t room;
};

inline ArrayHeader* headerOf(void* array) { return static_cast<ArrayHeader*>(array) - 1; }

// A heap array with room for `room` records, moved from `old` (a heap
// array, or null) by realloc; null on overflow or exhaustion.
void* heapArray(void* old, size_t room, size_t recordSize) {
    if (room == 0 || room > (SIZE_MAX - sizeof(ArrayHeader)) / recordSize) return nullptr;
    void* p = std::realloc(old ? headerOf(old) : nullptr, sizeof(ArrayHeader) + room * recordSize);
    if (!p) return nullptr;
    ArrayHeader* h = static_cast<ArrayHeader*>(p);
    h->room = room;
    return h + 1;
}

// The first `count` records of a block array copied into a new heap array.
void* leaveBlock(const void* array, int count, size_t room, size_t recordSize) {
    void* a = heapArray(nullptr, room, recordSize);
    if (a && count > 0) std::memcpy(a, array, static_cast<size_t>(count) * recordSize);
    return a;
}

}  // namespace

size_t arrayRoom(const NodeData* d, const void* array, int count) {
    if (!array) return 0;
    if (inBlock(d, array)) return static_cast<size_t>(count);
    return headerOf(const_cast<void*>(array))->room;
}

void* arrayReserve(const NodeData* d, void* array, int count, size_t need, size_t recordSize) {
    const size_t room = arrayRoom(d, array, count);
    if (need <= room) return array;
    size_t grown = room < SIZE_MAX / 2 ? 2 * room : need;
    if (grown < need) grown = need;
    if (grown < 4) grown = 4;
    if (!array && need <= SIZE_MAX / recordSize) {
        // A first array fits exactly in the spare room of a record of its own.
        if (void* spare = takeRoom(d, need * recordSize, true)) return spare;
    }
    if (array && inBlock(d, array)) return leaveBlock(array, count, grown, recordSize);
    return heapArray(array, grown, recordSize);
}

void* arrayResize(const NodeData* d, void* array, int count, size_t room, size_t recordSize) {
    if (array && inBlock(d, array)) {
        if (room <= static_cast<size_t>(count)) return array;
        return leaveBlock(array, count, room, recordSize);
    }
    return heapArray(array, room, recordSize);
}

void arrayFree(const NodeData* d, void* array) {
    if (array && !inBlock(d, array)) std::free(headerOf(array));
}

NodeData* newHeapRecord(char isDeclaration) {
    NodeData* d = static_cast<NodeData*>(std::malloc(sizeof(NodeData)));
    if (!d) return nullptr;
    clearNodeData(d);
    d->declarationFlag = isDeclaration;
    d->referenceCount = 1;
    d->block = nullptr;
    return d;
}

namespace {

constexpr size_t kBlockHeader = (sizeof(NodeBlock) + 15) & ~size_t(15);

// The spare room of a record of its own: enough for a short text or a few
// short attributes with the first array of each kind, small enough that a
// record which never uses it wastes little.
constexpr size_t kOwnRecordRoom = 64;

}  // namespace

NodeData* newOwnRecord(char isDeclaration, const char* name) {
    const size_t nameBytes = std::strlen(name) + 1;
    const size_t head = kBlockHeader + sizeof(NodeData);
    if (nameBytes > SIZE_MAX - head - kOwnRecordRoom) return nullptr;
    const size_t size = head + nameBytes + kOwnRecordRoom;
    char* raw = static_cast<char*>(std::malloc(size));
    if (!raw) return nullptr;
    NodeBlock* b = new (raw) NodeBlock;
    b->live.store(1, std::memory_order_relaxed);  // its one record
    b->end = raw + size;
    NodeData* d = reinterpret_cast<NodeData*>(raw + kBlockHeader);
    clearNodeData(d);
    d->declarationFlag = isDeclaration;
    d->referenceCount = 1;
    d->block = b;
    d->name = raw + head;
    std::memcpy(d->name, name, nameBytes);
    b->next = raw + head + nameBytes;
    return d;
}

char* copyNodeString(const NodeData* d, const char* s) {
    const size_t n = std::strlen(s) + 1;
    char* p = takeRoom(d, n, false);
    if (!p) return stringDup(s);
    std::memcpy(p, s, n);
    return p;
}

char* growNodeString(const NodeData* d, char* s, size_t used, size_t room) {
    if (!inBlock(d, s)) return static_cast<char*>(std::realloc(s, room));
    char* grown = static_cast<char*>(std::malloc(room));
    if (grown) std::memcpy(grown, s, used);
    return grown;
}

void trimNodeString(const NodeData* d, char** s, size_t size) {
    if (inBlock(d, *s)) return;
    char* trimmed = static_cast<char*>(std::realloc(*s, size));
    if (trimmed) *s = trimmed;
}

void freeContent(NodeData* d) {
    if (d->block) {
        // Only what lies outside the block is freed.
        for (int i = 0; i < d->textCount; i++) freeNodeString(d, d->texts[i]);
        for (int i = 0; i < d->clearCount; i++) freeNodeString(d, d->clears[i].value);
        for (int i = 0; i < d->attributeCount; i++) {
            freeNodeString(d, d->attributes[i].name);
            freeNodeString(d, d->attributes[i].value);
        }
        freeNodeString(d, d->name);
    } else {
        for (int i = 0; i < d->textCount; i++) std::free(d->texts[i]);
        for (int i = 0; i < d->clearCount; i++) freeOwned(d->clears[i].value);
        for (int i = 0; i < d->attributeCount; i++) {
            freeOwned(d->attributes[i].name);
            freeOwned(d->attributes[i].value);
        }
        std::free(d->name);
    }
    arrayFree(d, d->children);
    arrayFree(d, d->texts);
    arrayFree(d, d->clears);
    arrayFree(d, d->attributes);
    arrayFree(d, d->order);
}

void releaseContent(NodeData* d) {
    freeContent(d);
    clearNodeData(d);
}

// ---------------------------------------------------------------------------
// Blocks
// ---------------------------------------------------------------------------

namespace {

constexpr size_t kSmallestBlock = 4096;
constexpr size_t kLargestBlock = 1 << 20;

}  // namespace

BlockBuilder::BlockBuilder(size_t expected) {
    size_t size = kSmallestBlock;
    while (size < expected && size < kLargestBlock) size *= 2;
    blockSize_ = size;
}

BlockBuilder::~BlockBuilder() { retire(); }

// The current block's count is published only when the builder lets it go:
// until then no record of it is reachable by anyone but the builder's user,
// and a record released meanwhile (a failed build taking apart what it made)
// only takes the count below zero, so the block is never freed early.
void BlockBuilder::retire() {
    NodeBlock* const b = current_;
    if (!b) return;
    current_ = nullptr;
    if (b->live.fetch_add(uses_, std::memory_order_acq_rel) + uses_ == 0) std::free(b);
    uses_ = 0;
}

char* BlockBuilder::newBlockChunk(size_t bytes, NodeBlock** block) {
    if (bytes > SIZE_MAX - kBlockHeader) return nullptr;
    // A chunk that would fill much of a block gets a block of its own, and
    // the current block stays current for the chunks after it.
    const bool alone = bytes > blockSize_ / 4;
    const size_t size = alone ? kBlockHeader + bytes : blockSize_;
    char* raw = static_cast<char*>(std::malloc(size));
    if (!raw) return nullptr;
    NodeBlock* b = new (raw) NodeBlock;
    b->end = raw + size;
    b->next = b->end;  // shared by many records: no spare room
    char* p = raw + kBlockHeader;
    if (alone) {
        b->live.store(1, std::memory_order_relaxed);  // its one record
    } else {
        retire();
        b->live.store(0, std::memory_order_relaxed);
        current_ = b;
        next_ = p + bytes;
        uses_ = 1;
        if (blockSize_ < kLargestBlock) blockSize_ *= 2;
    }
    *block = b;
    return p;
}

}  // namespace xml_internal
