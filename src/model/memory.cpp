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

// The most bytes one string or array may take from an adder block: larger
// ones go to the heap, so that a block is shared by many records.
constexpr size_t kLargestAdderRoom = 2048;

inline ArrayHeader* headerOf(void* array) { return static_cast<ArrayHeader*>(array) - 1; }

// A heap array with room for `room` records, moved from `old` (a heap
// array, or null) by realloc; null on overflow or exhaustion.  (Rooms below
// kPlainRoom cannot overflow for records of up to 64 bytes: no division.)
constexpr size_t kPlainRoom = SIZE_MAX / 128;
void* heapArray(void* old, size_t room, size_t recordSize) {
    if (room == 0) return nullptr;
    if ((room >= kPlainRoom || recordSize > 64) &&
        room > (SIZE_MAX - sizeof(ArrayHeader)) / recordSize)
        return nullptr;
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

// The smallest power of two at least `n` (0 for 0).
size_t roundedRoom(size_t n) {
    size_t room = 1;
    while (room < n) room *= 2;
    return n ? room : 0;
}

}  // namespace

size_t arrayRoom(const NodeData* d, const void* array, int count) {
    if (!array) return 0;
    if (inBlock(d, array)) {
        const size_t n = static_cast<size_t>(count);
        return d->block->fromAdders ? roundedRoom(n) : n;
    }
    return headerOf(const_cast<void*>(array))->room;
}

void* arrayReserve(NodeData* d, void* array, int count, size_t need, size_t recordSize) {
    mayHoldOutside(d);
    const size_t room = arrayRoom(d, array, count);
    if (need <= room) return array;
    const bool inside = array && inBlock(d, array);
    size_t grown = room < SIZE_MAX / 2 ? 2 * room : need;
    if (grown < need) grown = need;
    if (grown < 4) grown = 4;
    if (!array || inside) {
        // A first array takes just the room asked for, a growing one twice
        // its room, from the adder block while it is being filled.
        const size_t adderRoom = roundedRoom(array ? grown : need);
        if (adderRoom <= kLargestAdderRoom && adderRoom * recordSize <= kLargestAdderRoom) {
            if (char* p = takeRoom(d, adderRoom * recordSize, true)) {
                if (count > 0) std::memcpy(p, array, static_cast<size_t>(count) * recordSize);
                return p;
            }
        }
    }
    if (inside) return leaveBlock(array, count, grown, recordSize);
    return heapArray(array, grown, recordSize);
}

void* arrayResize(NodeData* d, void* array, int count, size_t room, size_t recordSize) {
    mayHoldOutside(d);
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
    d->wholeInChunk = 0;
    d->referenceCount = 1;
    d->block = nullptr;
    return d;
}

namespace {

constexpr size_t kBlockHeader = (sizeof(NodeBlock) + 15) & ~size_t(15);

// The size of an adder block.
constexpr size_t kAdderBlock = 32768;

// Adds the references of records placed in a block while it was being
// filled (`live` went below zero for those released meanwhile); frees the
// block when none of them remains.
void publishUses(NodeBlock* b, long uses) {
    if (b->live.fetch_add(uses, std::memory_order_acq_rel) + uses == 0) std::free(b);
}

// The adder block this thread fills, and the records placed in it whose
// references it has not yet added to the block's count.  Only this thread
// moves the block's cursor.
thread_local NodeBlock* adderBlock = nullptr;
thread_local long adderUses = 0;
// Set once the thread's adder block was let go at the thread's end: adders
// called after that (from the destructors of other thread-local or static
// objects) give each record a block of its own, since no later retirement
// would publish a new adder block's count and it would never be freed.
thread_local bool adderThreadEnded = false;

// Lets this thread's adder block go: it is freed with its last record.
void retireAdderBlock() {
    NodeBlock* const b = adderBlock;
    if (!b) return;
    adderBlock = nullptr;
    publishUses(b, adderUses);
    adderUses = 0;
}

// Retires the thread's adder block when the thread ends.
struct AdderBlockRetirer {
    ~AdderBlockRetirer() {
        retireAdderBlock();
        adderThreadEnded = true;
    }
};

// `bytes` at the cursor of the block `b` (aligned for pointers when
// `aligned`), or null when it lacks the room.
char* roomAt(NodeBlock* b, size_t bytes, bool aligned) {
    char* p = b->next;
    // The block's end is aligned: an aligned cursor never passes it.
    if (aligned) p += (0 - reinterpret_cast<uintptr_t>(p)) & 7;
    if (static_cast<size_t>(b->end - p) < bytes) return nullptr;
    b->next = p + bytes;
    return p;
}

// Lets this thread's adder block go and starts a new one; null when memory
// runs out (the old block stays current).
NodeBlock* startAdderBlock() {
    static thread_local AdderBlockRetirer retirer;
    static_cast<void>(retirer);
    char* raw = static_cast<char*>(std::malloc(kAdderBlock));
    if (!raw) return nullptr;
    retireAdderBlock();
    NodeBlock* b = new (raw) NodeBlock;
    b->live.store(0, std::memory_order_relaxed);
    b->end = raw + kAdderBlock;
    b->next = raw + kBlockHeader;
    b->fromAdders = true;
    adderBlock = b;
    return b;
}

// Writes a new record with its name at `p`, a chunk of block `b`.
NodeData* placeRecord(char* p, NodeBlock* b, char isDeclaration, const char* name,
                      size_t nameBytes) {
    NodeData* d = reinterpret_cast<NodeData*>(p);
    clearNodeData(d);
    d->declarationFlag = isDeclaration;
    d->wholeInChunk = 0;  // its strings and arrays may come from anywhere
    d->referenceCount = 1;
    d->block = b;
    d->name = p + sizeof(NodeData);
    std::memcpy(d->name, name, nameBytes);
    return d;
}

}  // namespace

void droppedBelowZero(NodeBlock* b, long left) {
    if (b != adderBlock || left + adderUses != 0) return;
    // No record of this thread's adder block remains, and only this thread
    // places new ones: the block goes now rather than with the thread.
    adderBlock = nullptr;
    adderUses = 0;
    std::free(b);
}

char* takeRoom(const NodeData* d, size_t bytes, bool aligned) {
    NodeBlock* const b = d->block;
    if (!b || b != adderBlock || bytes > kLargestAdderRoom) return nullptr;
    return roomAt(b, bytes, aligned);
}

NodeData* newAdderRecord(char isDeclaration, const char* name) {
    const size_t nameBytes = std::strlen(name) + 1;
    if (nameBytes > kLargestAdderRoom || adderThreadEnded) {
        // A long name, or a thread past its end: the record and its name in
        // a block of their own.
        if (nameBytes > SIZE_MAX - kBlockHeader - sizeof(NodeData)) return nullptr;
        const size_t size = kBlockHeader + sizeof(NodeData) + nameBytes;
        char* raw = static_cast<char*>(std::malloc(size));
        if (!raw) return nullptr;
        NodeBlock* b = new (raw) NodeBlock;
        b->live.store(1, std::memory_order_relaxed);  // its one record
        b->end = raw + size;
        b->next = b->end;
        return placeRecord(raw + kBlockHeader, b, isDeclaration, name, nameBytes);
    }
    const size_t bytes = sizeof(NodeData) + nameBytes;
    char* p = adderBlock ? roomAt(adderBlock, bytes, true) : nullptr;
    if (!p) {
        if (!startAdderBlock()) return nullptr;
        p = roomAt(adderBlock, bytes, true);
    }
    adderUses++;
    return placeRecord(p, adderBlock, isDeclaration, name, nameBytes);
}

char* copyNodeString(const NodeData* d, const char* s) {
    const size_t n = std::strlen(s) + 1;
    char* p = takeRoom(d, n, false);
    if (!p) return stringDup(s);
    std::memcpy(p, s, n);
    return p;
}

char* growNodeString(NodeData* d, char* s, size_t used, size_t room) {
    mayHoldOutside(d);
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

namespace {

// The bytes of a block, tested with one comparison.
struct BlockRange {
    explicit BlockRange(const NodeBlock* b)
        : start(reinterpret_cast<uintptr_t>(b)),
          size(reinterpret_cast<uintptr_t>(b->end) - reinterpret_cast<uintptr_t>(b)) {}
    // Frees `s` (which may be null) unless the block holds it.
    void freeOutside(const char* s) const {
        if (reinterpret_cast<uintptr_t>(s) - start >= size && s) std::free(const_cast<char*>(s));
    }
    // Frees the heap array `a` (which may be null) unless the block holds it.
    void freeArrayOutside(void* a) const {
        if (reinterpret_cast<uintptr_t>(a) - start >= size && a) std::free(headerOf(a));
    }
    uintptr_t start, size;
};

}  // namespace

void freeOutsideContent(NodeData* d) {
    if (const NodeBlock* b = d->block) {
        // Only what lies outside the block is freed.  The block's bounds are
        // read once: freeing a string never moves them.
        const BlockRange in(b);
        for (int i = 0; i < d->textCount; i++) in.freeOutside(d->texts[i]);
        for (int i = 0; i < d->clearCount; i++) in.freeOutside(d->clears[i].value);
        for (int i = 0; i < d->attributeCount; i++) {
            in.freeOutside(d->attributes[i].name);
            in.freeOutside(d->attributes[i].value);
        }
        in.freeOutside(d->name);
        in.freeArrayOutside(d->children);
        in.freeArrayOutside(d->texts);
        in.freeArrayOutside(d->clears);
        in.freeArrayOutside(d->attributes);
        in.freeArrayOutside(d->order);
        return;
    }
    for (int i = 0; i < d->textCount; i++) std::free(d->texts[i]);
    for (int i = 0; i < d->clearCount; i++) freeOwned(d->clears[i].value);
    for (int i = 0; i < d->attributeCount; i++) {
        freeOwned(d->attributes[i].name);
        freeOwned(d->attributes[i].value);
    }
    std::free(d->name);
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
    publishUses(b, uses_);
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
