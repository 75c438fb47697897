// alloc_hook.cpp - see alloc_hook.h.
#include "alloc_hook.h"

#include <cstddef>

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
    if (p && armed) liveBlocks++;
    return p;
}

extern "C" void* __wrap_realloc(void* p, size_t size) {
    if (failNow()) return nullptr;
    void* q = __real_realloc(p, size);
    if (q && !p && armed) liveBlocks++;
    return q;
}

extern "C" void __wrap_free(void* p) {
    if (p && armed) {
        liveBlocks--;
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
    armed = true;
}
Scope::~Scope() {
    armed = false;
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

}  // namespace alloc_hook
