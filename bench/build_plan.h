// build_plan.h - the data of the build benchmark: a tree in the shape of
// records.xml (a root of records, each with two attributes and the elements
// name, price, qty, active, tags with one to three tag elements, and when
// with three attributes), made through each library's own calls for adding
// elements, attributes and texts.  Every string is made beforehand, so a
// build times only the library.
#ifndef XMLBENCH_BUILD_PLAN_H
#define XMLBENCH_BUILD_PLAN_H

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

struct PlannedRecord {
    std::string id, kind, name, price, qty, active, year, month, day;
    std::vector<std::string> tags;
};

struct BuildPlan {
    std::vector<PlannedRecord> records;
    size_t elements = 0;  // every element of the tree, the root included
};

// Records up to `elements` elements in all, from a fixed seed.
BuildPlan makeBuildPlan(size_t elements);

}  // namespace bench

#endif
