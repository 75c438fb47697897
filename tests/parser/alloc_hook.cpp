// alloc_hook.cpp - see alloc_hook.h.
#include "alloc_hook.h"

#include <cstddef>

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_realloc(void* p, size_t size);

namespace {
bool armed = false;
long counted = 0;
long failAtCall = -1;
bool reached = false;

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
    return __real_malloc(size);
}

extern "C" void* __wrap_realloc(void* p, size_t size) {
    if (failNow()) return nullptr;
    return __real_realloc(p, size);
}

namespace alloc_hook {

Scope::Scope(long failAt) {
    counted = 0;
    failAtCall = failAt;
    reached = false;
    armed = true;
}
Scope::~Scope() { armed = false; }
long Scope::calls() const { return counted; }
bool Scope::failed() const { return reached; }

}  // namespace alloc_hook
