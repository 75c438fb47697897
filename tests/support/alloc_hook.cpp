// alloc_hook.cpp - see alloc_hook.h.
#include "alloc_hook.h"

#include <cstddef>
#include <cstring>

#include <malloc.h>

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_realloc(void* p, size_t size);
extern "C" void __real_free(void* p);

namespace {
bool armed = false;
long counted = 0;
long failAtCall = -1;
bool reached = false;
long liveBlocks = 0;
const void** freeLog = nullptr;
long freeLogCapacity = 0;
long freeLogCount = 0;
long long liveByteCount = 0;
bool moving = false;
long long copiedByteCount = 0;

long long sizeOf(void* p) { return static_cast<long long>(malloc_usable_size(p)); }

bool failNow() {
    if (!armed) return false;
    if (counted++ == failAtCall) {
        reached = true;
        return true;
    }
    return false;
}
}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
    if (failNow()) return nullptr;
    void* p = __real_malloc(size);
    if (p && armed) {
        liveBlocks++;
        liveByteCount += sizeOf(p);
    }
    return p;
}

extern "C" void* __wrap_realloc(void* p, size_t size) {
    if (failNow()) return nullptr;
    if (armed && moving && p && size > 0) {
        void* q = __real_malloc(size);
        if (!q) return nullptr;
        const size_t old = malloc_usable_size(p);
        const size_t n = old < size ? old : size;
        std::memcpy(q, p, n);
        copiedByteCount += static_cast<long long>(n);
        liveByteCount += sizeOf(q) - sizeOf(p);
        __real_free(p);
        return q;
    }
    const long long before = p && armed ? sizeOf(p) : 0;
    void* q = __real_realloc(p, size);
    if (q && armed) {
        if (!p) liveBlocks++;
        liveByteCount += sizeOf(q) - before;
    }
    return q;
}

extern "C" void __wrap_free(void* p) {
    if (p && armed) {
        liveBlocks--;
        liveByteCount -= sizeOf(p);
        if (freeLogCount < freeLogCapacity) freeLog[freeLogCount++] = p;
    }
    __real_free(p);
}

namespace alloc_hook {

Scope::Scope(long failAt) {
    counted = 0;
    failAtCall = failAt;
    reached = false;
    liveBlocks = 0;
    freeLog = nullptr;
    freeLogCapacity = 0;
    freeLogCount = 0;
    liveByteCount = 0;
    moving = false;
    copiedByteCount = 0;
    armed = true;
}
Scope::~Scope() {
    armed = false;
    moving = false;
    freeLog = nullptr;
    freeLogCapacity = 0;
}
void Scope::logFrees(const void** log, long capacity) {
    freeLog = log;
    freeLogCapacity = capacity;
    freeLogCount = 0;
}
long Scope::logged() const { return freeLogCount; }
long Scope::calls() const { return counted; }
bool Scope::failed() const { return reached; }
long Scope::live() const { return liveBlocks; }
long long Scope::liveBytes() const { return liveByteCount; }
void Scope::moveOnRealloc() { moving = true; }
long long Scope::copiedBytes() const { return copiedByteCount; }

}  // namespace alloc_hook
