// tree_compare.h - test helper: compares two trees for equality of content.
#ifndef XMLPARSER_TESTS_TREE_COMPARE_H
#define XMLPARSER_TESTS_TREE_COMPARE_H

#include <gtest/gtest.h>

#include "xmlParser.h"

// Succeeds when both trees hold the same content: names, declaration flags,
// attributes (names and values, a missing value differing from an empty
// one), texts, clear tags (values and delimiters, compared as strings) and
// the document order of child nodes, texts and clear tags, at every level.
// On failure the message names the path to the first difference.  Walks
// with a heap stack, so trees of any depth can be compared.
::testing::AssertionResult TreesEqual(const XMLNode& a, const XMLNode& b);

// Checks the structural invariants of every node reachable from `root`: the
// order array holds exactly one entry per child node, text and clear tag,
// entries of one kind in increasing index order; each child's parent pointer
// is its parent; every stored string is non-null where the node requires
// it; and each child's reference count is at least 1 (the parent's slot).
::testing::AssertionResult TreeInvariantsHold(const XMLNode& root);

// For a set of handles that are the only handles held on a forest: checks
// the invariants above on every tree that any of them reaches (from its
// root), and that the reference count of every node of those trees is
// exactly the number of the given handles on it plus one for its parent's
// slot.
::testing::AssertionResult ForestInvariantsHold(const XMLNode* handles, size_t count);

// The number of nodes in the trees that the handles reach (each tree once,
// whichever of its nodes the handles hold).
size_t ForestSize(const XMLNode* handles, size_t count);

#endif
