// tree_compare.cpp - content comparison and invariant checks for tests.
#include "tree_compare.h"

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "internals.h"

using xml_internal::NodeAccess;
using xml_internal::NodeData;

namespace {

bool sameString(const char* x, const char* y) {
    if (!x || !y) return x == y;
    return std::strcmp(x, y) == 0;
}

std::string show(const char* s) { return s ? "\"" + std::string(s) + "\"" : "null"; }
}  // namespace

namespace {

// Compares what two nodes hold themselves (not their children).  Returns an
// empty string when equal, else what differs.
std::string compareNode(const NodeData* x, const NodeData* y) {
    if (!x || !y) return x == y ? "" : "one node is empty";
    if (!sameString(x->name, y->name)) return "name " + show(x->name) + " vs " + show(y->name);
    if ((x->declarationFlag != 0) != (y->declarationFlag != 0)) return "declaration flag";
    if (x->attributeCount != y->attributeCount)
        return "attribute count " + std::to_string(x->attributeCount) + " vs " +
               std::to_string(y->attributeCount);
    for (int i = 0; i < x->attributeCount; i++) {
        const XMLAttribute& p = x->attributes[i];
        const XMLAttribute& q = y->attributes[i];
        if (!sameString(p.name, q.name) || !sameString(p.value, q.value))
            return "attribute " + std::to_string(i) + " " + show(p.name) + "=" + show(p.value) +
                   " vs " + show(q.name) + "=" + show(q.value);
    }
    const int n = xml_internal::orderCount(x);
    if (n != xml_internal::orderCount(y))
        return "content count " + std::to_string(n) + " vs " +
               std::to_string(xml_internal::orderCount(y));
    for (int p = 0; p < n; p++) {
        const int ex = x->order[p], ey = y->order[p];
        if ((ex & 3) != (ey & 3)) return "kind at position " + std::to_string(p);
        const int ix = ex >> 2, iy = ey >> 2;
        if ((ex & 3) == elementText && !sameString(x->texts[ix], y->texts[iy]))
            return "text at position " + std::to_string(p) + " " + show(x->texts[ix]) + " vs " +
                   show(y->texts[iy]);
        if ((ex & 3) == elementClear) {
            const XMLClear& c = x->clears[ix];
            const XMLClear& d = y->clears[iy];
            if (!sameString(c.value, d.value) || !sameString(c.openTag, d.openTag) ||
                !sameString(c.closeTag, d.closeTag))
                return "clear tag at position " + std::to_string(p) + " " + show(c.openTag) +
                       show(c.value) + show(c.closeTag) + " vs " + show(d.openTag) + show(d.value) +
                       show(d.closeTag);
        }
    }
    return "";
}

}  // namespace

::testing::AssertionResult TreesEqual(const XMLNode& a, const XMLNode& b) {
    // Depth first with one cursor per open level; the path to a difference
    // is only spelt out when one is found, so any depth costs linear time.
    struct Level {
        const NodeData* x;
        const NodeData* y;
        int position;  // next order position to look at
    };
    std::vector<Level> stack;
    auto failure = [&](const std::string& what) {
        std::string path;
        for (size_t i = 1; i < stack.size(); i++) {
            const NodeData* n = stack[i].x;
            path += "/" + std::string(n->name ? n->name : "(nameless)") + "[" +
                    std::to_string(stack[i - 1].position - 1) + "]";
        }
        return ::testing::AssertionFailure() << (path.empty() ? "/" : path) << ": " << what;
    };
    stack.push_back({NodeAccess::data(a), NodeAccess::data(b), 0});
    std::string diff = compareNode(stack.back().x, stack.back().y);
    if (!diff.empty()) return failure(diff);
    if (!stack.back().x) return ::testing::AssertionSuccess();
    while (!stack.empty()) {
        Level& top = stack.back();
        const int n = xml_internal::orderCount(top.x);
        while (top.position < n && (top.x->order[top.position] & 3) != elementChildNode)
            top.position++;
        if (top.position == n) {
            stack.pop_back();
            continue;
        }
        const int entry = top.x->order[top.position];
        const int other = top.y->order[top.position];
        top.position++;
        const NodeData* cx = top.x->children[entry >> 2];
        const NodeData* cy = top.y->children[other >> 2];
        stack.push_back({cx, cy, 0});
        diff = compareNode(cx, cy);
        if (!diff.empty()) return failure(diff);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TreeInvariantsHold(const XMLNode& root) {
    std::vector<const NodeData*> stack;
    if (NodeAccess::data(root)) stack.push_back(NodeAccess::data(root));
    while (!stack.empty()) {
        const NodeData* d = stack.back();
        stack.pop_back();
        auto fail = [&](const std::string& what) {
            return ::testing::AssertionFailure() << "node " << show(d->name) << ": " << what;
        };
        if (d->childCount < 0 || d->textCount < 0 || d->clearCount < 0 || d->attributeCount < 0)
            return fail("negative count");
        if (d->referenceCount < 1) return fail("reference count below 1");
        if ((d->childCount > 0) != (d->children != nullptr)) return fail("children array vs count");
        if ((d->textCount > 0) != (d->texts != nullptr)) return fail("texts array vs count");
        if ((d->clearCount > 0) != (d->clears != nullptr)) return fail("clears array vs count");
        if ((d->attributeCount > 0) != (d->attributes != nullptr))
            return fail("attributes array vs count");
        const int n = xml_internal::orderCount(d);
        if (n > 0 && !d->order) return fail("order array missing");
        int next[4] = {0, 0, 0, 0};
        for (int p = 0; p < n; p++) {
            const int kind = d->order[p] & 3;
            const int index = d->order[p] >> 2;
            if (kind == elementAttribute) return fail("attribute kind in order array");
            if (index != next[kind])
                return fail("order entry " + std::to_string(p) + " has index " +
                            std::to_string(index) + ", expected " + std::to_string(next[kind]));
            next[kind]++;
        }
        if (next[elementChildNode] != d->childCount || next[elementText] != d->textCount ||
            next[elementClear] != d->clearCount)
            return fail("order entries do not match the counts");
        for (int i = 0; i < d->textCount; i++)
            if (!d->texts[i]) return fail("null text " + std::to_string(i));
        for (int i = 0; i < d->attributeCount; i++)
            if (!d->attributes[i].name) return fail("null attribute name " + std::to_string(i));
        for (int i = 0; i < d->childCount; i++) {
            const NodeData* c = d->children[i];
            if (!c) return fail("null child slot " + std::to_string(i));
            if (c->parent != d) return fail("child " + std::to_string(i) + " has another parent");
            stack.push_back(c);
        }
    }
    return ::testing::AssertionSuccess();
}

namespace {

// The roots of the trees that the handles reach.
std::set<const NodeData*> forestRoots(const XMLNode* handles, size_t count) {
    std::set<const NodeData*> roots;
    for (size_t i = 0; i < count; i++) {
        const NodeData* d = NodeAccess::data(handles[i]);
        if (!d) continue;
        while (d->parent) d = d->parent;
        roots.insert(d);
    }
    return roots;
}

}  // namespace

size_t ForestSize(const XMLNode* handles, size_t count) {
    size_t nodes = 0;
    for (const NodeData* root : forestRoots(handles, count)) {
        std::vector<const NodeData*> stack{root};
        while (!stack.empty()) {
            const NodeData* d = stack.back();
            stack.pop_back();
            nodes++;
            for (int i = 0; i < d->childCount; i++) stack.push_back(d->children[i]);
        }
    }
    return nodes;
}

::testing::AssertionResult ForestInvariantsHold(const XMLNode* handles, size_t count) {
    std::map<const NodeData*, int> held;
    for (size_t i = 0; i < count; i++)
        if (const NodeData* d = NodeAccess::data(handles[i])) held[d]++;
    const std::set<const NodeData*> roots = forestRoots(handles, count);
    for (const NodeData* root : roots) {
        std::vector<const NodeData*> stack{root};
        while (!stack.empty()) {
            const NodeData* d = stack.back();
            stack.pop_back();
            const auto it = held.find(d);
            const int expected = (it == held.end() ? 0 : it->second) + (d->parent ? 1 : 0);
            if (d->referenceCount != expected)
                return ::testing::AssertionFailure()
                       << "node " << show(d->name) << ": reference count " << d->referenceCount
                       << ", expected " << expected;
            for (int i = 0; i < d->childCount; i++) stack.push_back(d->children[i]);
        }
        ::testing::AssertionResult tree =
            TreeInvariantsHold(NodeAccess::handle(const_cast<NodeData*>(root)));
        if (!tree) return tree;
    }
    return ::testing::AssertionSuccess();
}
