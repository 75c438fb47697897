// alloc_hook.h - counts and fails the heap allocations of the code linked
// into the parser's test program (the linker wraps malloc and realloc).
#ifndef XMLPARSER_TESTS_ALLOC_HOOK_H
#define XMLPARSER_TESTS_ALLOC_HOOK_H

namespace alloc_hook {

// While armed, every malloc and realloc call is counted; the call whose
// number (from 0) equals failAt returns null.
struct Scope {
    explicit Scope(long failAt = -1);
    ~Scope();
    long calls() const;   // calls counted so far
    bool failed() const;  // whether the failing call was reached
};

}  // namespace alloc_hook

#endif
