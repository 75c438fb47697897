// alloc_replay.h - replays the allocation calls that one parse made: the same
// malloc, realloc and free calls, with the same sizes, in the same order, and
// nothing else.  Its time is what those calls cost by themselves, a floor
// under the parse that made them: no parser that makes exactly these
// allocations can be faster.
#ifndef XMLBENCH_ALLOC_REPLAY_H
#define XMLBENCH_ALLOC_REPLAY_H

#include <cstdint>
#include <vector>

#include "alloc_count.h"

namespace bench {

struct AllocReplay {
    struct Step {
        AllocEvent::Kind kind;
        uint32_t slot;  // which block: the same slot from malloc to free
        size_t size;
    };
    std::vector<Step> steps;
    uint32_t slots = 0;
};

// Turns a trace into steps on numbered slots (outside any timing).  Calls on
// blocks allocated before the trace began are left out.
AllocReplay prepareReplay(const std::vector<AllocEvent>& events);

// Runs the steps once and returns the thread CPU time they took; afterwards
// (not timed) frees every block the steps left allocated.
double runReplay(const AllocReplay& replay);

}  // namespace bench

#endif
