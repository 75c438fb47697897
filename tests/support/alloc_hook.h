// alloc_hook.h - counts and fails the heap allocations of the code linked
// into a test program (the linker wraps malloc, realloc and free), and
// counts the blocks that stay allocated.
#ifndef XMLPARSER_TESTS_ALLOC_HOOK_H
#define XMLPARSER_TESTS_ALLOC_HOOK_H

namespace alloc_hook {

// While armed, every malloc and realloc call is counted; the call whose
// number (from 0) equals failAt returns null.  Blocks handed out by malloc
// (or by realloc of null) and blocks released by free are balanced in
// live(), so a scenario that starts and ends inside one scope leaks nothing
// exactly when live() is 0 at its end.
struct Scope {
    explicit Scope(long failAt = -1);
    ~Scope();
    long calls() const;   // calls counted so far
    bool failed() const;  // whether the failing call was reached
    long live() const;    // blocks allocated minus blocks freed while armed
    // From now on, writes the address of each block freed while armed into
    // `log` (at most `capacity` of them); logged() tells how many came.
    void logFrees(const void** log, long capacity);
    long logged() const;
    // Bytes of the blocks allocated while armed and not freed (as the
    // allocator sized them); blocks freed while armed count down even when
    // they came before.
    long long liveBytes() const;
    // From now on every realloc of a block moves it, as some allocators
    // always do: a new block, the old bytes copied, the old block freed.
    void moveOnRealloc();
    // Bytes that moving reallocs have copied so far.
    long long copiedBytes() const;
};

}  // namespace alloc_hook

#endif
