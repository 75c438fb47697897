// engines.h - one XML library as the benchmark drives it: parse a document
// held in memory into a tree, release the tree, write the tree as compact
// text, and (where measured) copy a tree and build one through its adders.  Each library lives in its own engine_*.cpp, compiled only when CMake
// found that library.
#ifndef XMLBENCH_ENGINES_H
#define XMLBENCH_ENGINES_H

#include <cstddef>
#include <vector>

#include "build_plan.h"

namespace bench {

struct Engine {
    const char* name;
    // Parses `size` bytes at `text` (which are also zero-terminated) into a
    // tree.  Returns the tree, or null when the library reports an error.
    void* (*parse)(const char* text, size_t size);
    // Releases what parse returned.
    void (*release)(void* tree);
    // Writes the tree as compact text (no indentation, no added line feeds).
    // Returns a handle to the output and stores its length, or null on
    // failure.  Null when the library has no writer (or is compared as a
    // parser only).
    void* (*write)(void* tree, size_t* length);
    // Releases what write returned.
    void (*releaseOutput)(void* output);
    // A deep copy of the tree, released with `release`.  Null when not
    // measured.
    void* (*copy)(void* tree);
    // Builds the tree of `plan` through the library's own calls for adding
    // elements, attributes and texts; released with `release`.  Null when not
    // measured.
    void* (*build)(const BuildPlan& plan);
};

void addOurs(std::vector<Engine>& engines);
void addPugixml(std::vector<Engine>& engines);
void addTinyxml2(std::vector<Engine>& engines);
void addRapidxml(std::vector<Engine>& engines);
void addLibxml2(std::vector<Engine>& engines);
void addExpat(std::vector<Engine>& engines);

}  // namespace bench

#endif
