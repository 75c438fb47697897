// engines.h - one XML library as the benchmark drives it: parse a document
// held in memory into a tree, release the tree, and write the tree as compact
// text.  Each library lives in its own engine_*.cpp, compiled only when CMake
// found that library.
#ifndef XMLBENCH_ENGINES_H
#define XMLBENCH_ENGINES_H

#include <cstddef>
#include <vector>

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
    // Reads, once, every byte that writing the tree must read (each string
    // whole, each array entry, following the tree's own pointers) and does
    // nothing else; returns a sum of what it read.  A writer that must read
    // the tree more than once cannot beat that many such reads.  Null when
    // not measured.
    size_t (*readTree)(void* tree);
    // Runs the writer's length pass alone (the pass that sizes the output
    // before the pass that writes it) and returns the length.  Null when the
    // writer has no such pass.
    size_t (*lengthPass)(void* tree);
};

void addOurs(std::vector<Engine>& engines);
void addPugixml(std::vector<Engine>& engines);
void addTinyxml2(std::vector<Engine>& engines);
void addRapidxml(std::vector<Engine>& engines);
void addLibxml2(std::vector<Engine>& engines);
void addExpat(std::vector<Engine>& engines);

}  // namespace bench

#endif
