// alloc_count.h - heap accounting for the benchmark.  The benchmark program
// replaces malloc, calloc, realloc, free and the aligned allocators with thin
// wrappers around the C library's own, so every allocation of every library
// in the process (C++ operator new included, which ends in malloc) passes
// through them.  While counting is on they keep the bytes in use (the usable
// size of each live block, as the allocator reports it) and the peak.
#ifndef XMLBENCH_ALLOC_COUNT_H
#define XMLBENCH_ALLOC_COUNT_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

// Starts counting from zero: the blocks allocated from now on are added, the
// blocks freed from now on are subtracted (whenever they were allocated).
void countingStart();
// Stops counting and returns the peak of the bytes in use since the start.
int64_t countingStop();
// Number of allocation calls (malloc, calloc, realloc, aligned) since the
// start.
uint64_t countedCalls();

// One allocation call as the tracer saw it: malloc (in is null), realloc,
// or free (out is null).
struct AllocEvent {
    enum Kind : unsigned char { Malloc, Realloc, Free } kind;
    size_t size;
    void* in;
    void* out;
};

// Records every malloc, realloc and free call from now on into `events`,
// whose capacity must already be reserved: the tracer never grows it (calls
// beyond its capacity are dropped and reported by tracingStop).
void tracingStart(std::vector<AllocEvent>* events);
// Stops recording; false when calls were dropped.
bool tracingStop();

}  // namespace bench

#endif
