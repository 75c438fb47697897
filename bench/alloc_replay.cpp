// alloc_replay.cpp - see alloc_replay.h.
#include "alloc_replay.h"

#include <cstdlib>
#include <ctime>
#include <unordered_map>

namespace bench {

AllocReplay prepareReplay(const std::vector<AllocEvent>& events) {
    AllocReplay r;
    r.steps.reserve(events.size());
    std::unordered_map<void*, uint32_t> live;  // block address -> slot
    for (const AllocEvent& e : events) {
        switch (e.kind) {
            case AllocEvent::Malloc:
                if (!e.out) break;
                live[e.out] = r.slots;
                r.steps.push_back({AllocEvent::Malloc, r.slots++, e.size});
                break;
            case AllocEvent::Realloc: {
                if (!e.out) break;  // failed: the block stays as it was
                uint32_t slot;
                if (!e.in) {
                    slot = r.slots++;
                } else {
                    auto it = live.find(e.in);
                    if (it == live.end()) break;
                    slot = it->second;
                    live.erase(it);
                }
                live[e.out] = slot;
                r.steps.push_back({e.in ? AllocEvent::Realloc : AllocEvent::Malloc, slot, e.size});
                break;
            }
            case AllocEvent::Free: {
                auto it = live.find(e.in);
                if (it == live.end()) break;
                r.steps.push_back({AllocEvent::Free, it->second, 0});
                live.erase(it);
                break;
            }
        }
    }
    return r;
}

namespace {

double threadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

double runReplay(const AllocReplay& replay) {
    std::vector<void*> blocks(replay.slots, nullptr);
    const double t0 = threadSeconds();
    for (const AllocReplay::Step& s : replay.steps) {
        switch (s.kind) {
            case AllocEvent::Malloc: blocks[s.slot] = std::malloc(s.size); break;
            case AllocEvent::Realloc: {
                void* p = std::realloc(blocks[s.slot], s.size);
                if (p) blocks[s.slot] = p;
                break;
            }
            case AllocEvent::Free:
                std::free(blocks[s.slot]);
                blocks[s.slot] = nullptr;
                break;
        }
    }
    const double t1 = threadSeconds();
    for (void* b : blocks) std::free(b);
    return t1 - t0;
}

}  // namespace bench
