// fuzz_model.cpp - the input drives a sequence of operations of the document
// model on a small forest held by a few handles: adders, moves, renames,
// updates, deletions, lookups, deep copies, navigation, handle copies and
// releases, and writing.
// After every step the forest's invariants are checked: order arrays,
// counts, parent pointers, and reference counts exactly matching the handles
// held here plus the parents' slots.
#include <cstdint>

#include "fuzz_check.h"
#include "internal.h"
#include "tree_compare.h"

using xml_internal::NodeAccess;

namespace {

const int kHandles = 6;

// Reads the input byte by byte; zeros once it is used up.
struct Input {
    const uint8_t* p;
    size_t n;
    uint8_t byte() {
        if (!n) return 0;
        n--;
        return *p++;
    }
    int position() { return static_cast<int>(byte() % 8) - 2; }  // -2 to 5
    XMLNode& handle(XMLNode* h) { return h[byte() % kHandles]; }
};

const char* const kNames[] = {"a", "B", "b", "item", "Item", "x", "", nullptr};
const char* const kTexts[] = {"t", "a&b", "<x>", "", "caf\xc3\xa9", "\xe6", "'\"", nullptr};

const char* name(Input& in) { return kNames[in.byte() % 8]; }
const char* text(Input& in) { return kTexts[in.byte() % 8]; }

// Deep copies moved back into the forest double it, and the invariants are
// checked after every step, so the copies stop once the forest holds this
// many nodes: the input's steps then go to other operations instead of to
// checking ever larger trees.
const size_t kMaxForest = 4096;

// A heap copy for the owning variants (null stays null).
char* owned(const char* s) { return s ? stringDup(s) : nullptr; }

void step(Input& in, XMLNode* h) {
    const uint8_t op = in.byte();
    XMLNode& a = in.handle(h);
    switch (op % 34) {
        case 0: a = XMLNode::createXMLTopNode(name(in), in.byte() & 1); break;
        case 1: a = XMLNode::createXMLTopNode_WOSD(owned(name(in)), in.byte() & 1); break;
        case 2: {
            XMLNode& b = in.handle(h);
            const char* n = name(in);
            const char decl = in.byte() & 1;
            b = a.addChild(n, decl, in.position());
            break;
        }
        case 3: {
            XMLNode& b = in.handle(h);
            char* n = owned(name(in));
            const char decl = in.byte() & 1;
            b = a.addChild_WOSD(n, decl, in.position());
            break;
        }
        case 4: {
            const char* n = name(in);
            a.addAttribute(n, text(in));
            break;
        }
        case 5: {
            char* n = owned(name(in));
            a.addAttribute_WOSD(n, owned(text(in)));
            break;
        }
        case 6: {
            const char* t = text(in);
            a.addText(t, in.position());
            break;
        }
        case 7: {
            char* t = owned(text(in));
            a.addText_WOSD(t, in.position());
            break;
        }
        case 8: {
            const char* v = text(in);
            const uint8_t d = in.byte();
            a.addClear(v, d & 1 ? "<!--" : nullptr, d & 2 ? "-->" : nullptr, in.position());
            break;
        }
        case 9: {
            char* v = owned(text(in));
            a.addClear_WOSD(v, nullptr, nullptr, in.position());
            break;
        }
        case 10: {  // move a node (or a nameless node's children)
            XMLNode& b = in.handle(h);
            XMLNode moved = a.addChild(b, in.position());
            FUZZ_CHECK(moved.isEmpty() || NodeAccess::data(moved) == NodeAccess::data(b));
            break;
        }
        case 11: a.updateName(name(in)); break;
        case 12: a.updateName_WOSD(owned(name(in))); break;
        case 13: a.deleteNodeContent(); break;
        case 14: {
            XMLNode& b = in.handle(h);
            b = a.getChildNode(static_cast<int>(in.byte() % 6) - 1);
            break;
        }
        case 15: {
            XMLNode& b = in.handle(h);
            b = a.getParentNode();
            break;
        }
        case 16: {  // handle copy, by construction and by assignment
            XMLNode& b = in.handle(h);
            XMLNode copy(a);
            b = copy;
            break;
        }
        case 17: a = XMLNode(); break;
        case 18: {
            int size = -1;
            char* s = a.createXMLString(in.byte() & 1, &size);
            FUZZ_CHECK(a.isEmpty() ? (!s && size == 0) : (s && std::strlen(s) <= size_t(size)));
            freeXMLString(s);
            break;
        }
        case 20: {  // lookups by name, with iterators and occurrences
            const char* n = name(in);
            int it = static_cast<int>(in.byte() % 4) - 1;
            if (it < 0) it = 0;
            XMLNode& b = in.handle(h);
            const int occurrence = static_cast<int>(in.byte() % 4) - 1;
            if (!n) break;  // null names are outside the lookups' contract
            a.getChildNode(n, &it);
            a.getChildNode(n, occurrence);
            a.nChildNode(n);
            a.getAttribute(n, &it);
            a.getAttribute(n, occurrence);
            a.isAttributeSet(n);
            b = a.getChildNodeWithAttribute(n, "a", in.byte() & 1 ? "t" : nullptr, &it);
            break;
        }
        case 21: {  // paths, creating missing children or not
            static const char* const kPaths[] = {"a",  "a/b", "a/b/x",  "",
                                                 "//", "b/",  "x/item", nullptr};
            const char* path = kPaths[in.byte() % 8];
            XMLNode& b = in.handle(h);
            b = a.getChildNodeByPath(path, in.byte() & 1, '/');
            break;
        }
        case 22: {  // positions
            const int i = static_cast<int>(in.byte() % 6) - 1;
            XMLNode& b = in.handle(h);
            const int n = a.nElement() - a.nAttribute();
            for (int p : {a.positionOfChildNode(i), a.positionOfChildNode(b),
                          a.positionOfChildNode(name(in), i), a.positionOfText(i),
                          a.positionOfText(a.getText(i)), a.positionOfClear(i),
                          a.positionOfClear(a.getClear(i).value)})
                FUZZ_CHECK_MSG(p >= -1 && p < n, "position %d of %d", p, n);
            XMLClear c = a.getClear(i);
            a.positionOfClear(c.value ? &c : nullptr);
            break;
        }
        case 23: {  // enumeration of all contents
            for (int i = -1; i <= a.nElement(); i++) {
                XMLContentEntry e = a.enumContents(i);
                if (i >= 0 && i < a.nElement()) FUZZ_CHECK(e.kind != elementNull);
            }
            break;
        }
        case 24: {
            const char* v = text(in);
            const char* n = name(in);
            a.updateAttribute(v, n, static_cast<int>(in.byte() % 4) - 1);
            break;
        }
        case 25: {
            char* v = owned(text(in));
            char* n = owned(name(in));
            const char* old = name(in);
            if (!old) {  // a null old name is outside the contract
                std::free(v);
                std::free(n);
                break;
            }
            a.updateAttribute_WOSD(v, n, old);
            break;
        }
        case 26: {
            XMLAttribute* old = a.nAttribute() ? &NodeAccess::data(a)->attributes[0] : nullptr;
            XMLAttribute fresh = {name(in), text(in)};
            if (!fresh.name) fresh.name = "n";
            a.updateAttribute(&fresh, in.byte() & 1 ? old : nullptr);
            break;
        }
        case 27: {
            const int i = static_cast<int>(in.byte() % 4) - 1;
            if (in.byte() & 1)
                a.updateText(text(in), i);
            else
                a.updateText_WOSD(owned(text(in)), a.getText(i));
            break;
        }
        case 28: {
            const int i = static_cast<int>(in.byte() % 4) - 1;
            const uint8_t how = in.byte();
            if (how & 1) {
                a.updateClear(text(in), i);
            } else if (how & 2) {
                a.updateClear_WOSD(owned(text(in)), a.getClear(i).value);
            } else {
                XMLClear c = a.getClear(i);
                XMLClear fresh = {text(in), nullptr, nullptr};
                if (!fresh.value) fresh.value = "v";
                a.updateClear(&fresh, c.value ? &c : nullptr);
            }
            break;
        }
        case 29: {
            const int i = static_cast<int>(in.byte() % 4) - 1;
            const uint8_t how = in.byte() % 3;
            if (how == 0) a.deleteAttribute(i);
            if (how == 1 && name(in)) a.deleteAttribute(kNames[0]);
            if (how == 2) {
                XMLAttribute r = a.getAttribute(i);
                a.deleteAttribute(r.name ? &r : nullptr);
            }
            break;
        }
        case 30: {
            const int i = static_cast<int>(in.byte() % 4) - 1;
            if (in.byte() & 1)
                a.deleteText(i);
            else
                a.deleteText(a.getText(i));
            break;
        }
        case 31: {
            const int i = static_cast<int>(in.byte() % 4) - 1;
            const uint8_t how = in.byte() % 3;
            if (how == 0) a.deleteClear(i);
            if (how == 1) a.deleteClear(a.getClear(i).value);
            if (how == 2) {
                XMLClear c = a.getClear(i);
                a.deleteClear(c.value ? &c : nullptr);
            }
            break;
        }
        case 32: {  // deep copy: equal content, an independent root
            XMLNode& b = in.handle(h);
            if (ForestSize(h, kHandles) > kMaxForest) break;
            XMLNode copy = a.deepCopy();
            FUZZ_CHECK(copy.isEmpty() == a.isEmpty());
            if (!copy.isEmpty()) {
                const ::testing::AssertionResult same = TreesEqual(copy, a);
                FUZZ_CHECK_MSG(same, "%s", same.message());
                FUZZ_CHECK(copy.getParentNode().isEmpty());
            }
            b = copy;
            break;
        }
        case 33: {  // adding through a path that the node's own text names
            char path[] = "a/b";
            XMLNode& b = in.handle(h);
            b = a.getChildNodeByPathNonConst(path, 1, '/');
            FUZZ_CHECK(std::strcmp(path, "a/b") == 0);
            break;
        }
        case 19: {  // read accessors with any index
            const int i = static_cast<int>(in.byte() % 6) - 1;
            a.getAttribute(i);
            a.getAttributeName(i);
            a.getAttributeValue(i);
            a.getText(i);
            a.getClear(i);
            FUZZ_CHECK(a.nElement() == a.nChildNode() + a.nText() + a.nClear() + a.nAttribute());
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    XMLNode h[kHandles];
    while (in.n) {
        step(in, h);
        const ::testing::AssertionResult ok = ForestInvariantsHold(h, kHandles);
        FUZZ_CHECK_MSG(ok, "%s", ok.message());
    }
    return 0;
}
