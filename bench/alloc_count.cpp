// alloc_count.cpp - the allocation wrappers described in alloc_count.h.  The
// wrappers forward to glibc's __libc_* entry points; when counting is off
// they cost one predictable branch.
#include "alloc_count.h"

#include <malloc.h>

#include <cerrno>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {

bool counting = false;
std::vector<bench::AllocEvent>* trace = nullptr;
bool traceFull = false;

inline void record(bench::AllocEvent::Kind kind, size_t size, void* in, void* out) {
    if (trace->size() == trace->capacity()) {
        traceFull = true;
        return;
    }
    trace->push_back(bench::AllocEvent{kind, size, in, out});
}
int64_t inUse = 0;
int64_t peak = 0;
uint64_t calls = 0;

inline void added(void* p) {
    if (!p) return;
    inUse += static_cast<int64_t>(malloc_usable_size(p));
    if (inUse > peak) peak = inUse;
}

}  // namespace

namespace bench {

void countingStart() {
    inUse = 0;
    peak = 0;
    calls = 0;
    counting = true;
}

int64_t countingStop() {
    counting = false;
    return peak;
}

uint64_t countedCalls() { return calls; }

void tracingStart(std::vector<AllocEvent>* events) {
    traceFull = false;
    trace = events;
}

bool tracingStop() {
    trace = nullptr;
    return !traceFull;
}

}  // namespace bench

extern "C" {

void* malloc(size_t n) {
    void* p = __libc_malloc(n);
    if (__builtin_expect(trace != nullptr, 0)) record(bench::AllocEvent::Malloc, n, nullptr, p);
    if (__builtin_expect(counting, 0)) {
        calls++;
        added(p);
    }
    return p;
}

void* calloc(size_t count, size_t n) {
    void* p = __libc_calloc(count, n);
    if (__builtin_expect(counting, 0)) {
        calls++;
        added(p);
    }
    return p;
}

void* realloc(void* old, size_t n) {
    if (__builtin_expect(trace != nullptr, 0)) {
        void* p = __libc_realloc(old, n);
        record(bench::AllocEvent::Realloc, n, old, p);
        return p;
    }
    if (__builtin_expect(!counting, 1)) return __libc_realloc(old, n);
    calls++;
    int64_t before = old ? static_cast<int64_t>(malloc_usable_size(old)) : 0;
    void* p = __libc_realloc(old, n);
    if (p) {
        inUse -= before;
        added(p);
    } else if (old && n == 0) {
        inUse -= before;  // realloc to size 0 freed the block
    }
    return p;
}

void free(void* p) {
    if (__builtin_expect(trace != nullptr, 0) && p) record(bench::AllocEvent::Free, 0, p, nullptr);
    if (__builtin_expect(counting, 0) && p) inUse -= static_cast<int64_t>(malloc_usable_size(p));
    __libc_free(p);
}

void* memalign(size_t alignment, size_t n) {
    void* p = __libc_memalign(alignment, n);
    if (__builtin_expect(counting, 0)) {
        calls++;
        added(p);
    }
    return p;
}

void* aligned_alloc(size_t alignment, size_t n) { return memalign(alignment, n); }

int posix_memalign(void** out, size_t alignment, size_t n) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = memalign(alignment, n);
    if (!p && n) return ENOMEM;
    *out = p;
    return 0;
}

}  // extern "C"
