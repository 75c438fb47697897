// build_plan.cpp - see build_plan.h.
#include "build_plan.h"

#include <cstdint>

namespace bench {

BuildPlan makeBuildPlan(size_t elements) {
    static const char* const names[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta"};
    static const char* const words[] = {"river", "stone", "light", "window", "garden", "silver"};
    uint64_t s = 7;
    auto next = [&s](unsigned n) {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return static_cast<unsigned>((s * 2685821657736338717ULL) % n);
    };
    BuildPlan plan;
    plan.elements = 1;
    for (unsigned id = 1;; id++) {
        PlannedRecord r;
        r.id = std::to_string(id);
        r.kind = names[next(6)];
        r.name = std::string(words[next(6)]) + " " + words[next(6)];
        r.price = std::to_string(next(10000)) + "." + std::to_string(10 + next(90));
        r.qty = std::to_string(next(500));
        r.active = next(2) ? "true" : "false";
        for (unsigned t = 0, n = 1 + next(3); t < n; t++) r.tags.push_back(names[next(6)]);
        r.year = std::to_string(1990 + next(35));
        r.month = std::to_string(1 + next(12));
        r.day = std::to_string(1 + next(28));
        const size_t count = 7 + r.tags.size();  // record, 5 children, when, the tags
        if (plan.elements + count > elements) break;
        plan.elements += count;
        plan.records.push_back(std::move(r));
    }
    return plan;
}

}  // namespace bench
