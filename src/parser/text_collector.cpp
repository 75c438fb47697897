// text_collector.cpp - stores the text that stands between two tokens of an
// element's content, merging texts around a comment when the settings ask.
#include "internal.h"
#include "model/memory.h"

using namespace xml_internal;

// Returns 1 when the text cannot be decoded or stored; the state's error
// tells why.
char XMLNode::maybeAddTxT(void* state, const char* end) {
    XML* x = static_cast<XML*>(state);
    const char* p = x->pendingText;
    if (!p) return 0;
    const bool trim = dropWhiteSpace != 0;
    if (trim)
        while (p < end && isWhiteSpace(static_cast<unsigned char>(*p))) p++;
    if (p >= end) {
        x->pendingText = nullptr;
        return 0;
    }
    int n = static_cast<int>(end - p);
    if (trim)
        while (n > 1 && isWhiteSpace(static_cast<unsigned char>(p[n - 1]))) n--;
    size_t length;
    char* text = fromXMLTokenText(p, n, x, &length);
    if (!text) return 1;
    x->pendingText = nullptr;

    XMLNodeDataTag* d = nodeData;
    const int t = orderCount(d);
    if (removeCommentsInMiddleOfText && d->textCount > 0 && d->clearCount > 0 && t >= 2) {
        const int last = d->order[t - 1];
        const int before = d->order[t - 2];
        if (entryKind(last) == elementClear && entryKind(before) == elementText &&
            d->clears[entryIndex(last)].openTag == XMLClearTags[2].open) {
            // Join first, so that a failure leaves the node as it was.
            const int ki = entryIndex(before);
            char*& kept = d->texts[ki];
            const bool tracked = d == x->lastTextNode && ki == x->lastTextIndex;
            const size_t a = tracked ? x->lastTextLength : std::strlen(kept);
            const size_t capacity = tracked ? x->lastTextCapacity : a + 1;
            const size_t b = length;
            const size_t need = a + b + 1;
            size_t room = capacity;
            if (need > capacity) {
                // A text that keeps growing doubles its block.
                room = tracked && capacity <= SIZE_MAX / 2 && need < 2 * capacity ? 2 * capacity : need;
                // A text in a block is copied out to the heap to grow.
                char* joined = inBlock(d, kept) ? static_cast<char*>(std::malloc(room))
                                                : static_cast<char*>(std::realloc(kept, room));
                if (joined && inBlock(d, kept)) std::memcpy(joined, kept, a);
                if (!joined) {
                    std::free(text);
                    x->error = errorNoXMLData;
                    return 1;
                }
                kept = joined;
            }
            std::memcpy(kept + a, text, b + 1);
            if (!tracked) settleLastText(x);
            x->lastTextNode = d;
            x->lastTextIndex = ki;
            x->lastTextLength = a + b;
            x->lastTextCapacity = room;
            std::free(text);

            const int ci = entryIndex(last);  // the last clear tag: no other one moves
            freeNodeString(d, d->clears[ci].value);
            d->clearCount--;
            if (d->clearCount == 0) {
                arrayFree(d, d->clears);
                d->clears = nullptr;
            }
            removeOrderElement(d, elementClear, ci);
            return 0;
        }
    }
    if (!addText_priv(50, text, -1)) {  // frees the text
        x->error = errorNoXMLData;
        return 1;
    }
    settleLastText(x);
    x->lastTextNode = d;
    x->lastTextIndex = d->textCount - 1;
    x->lastTextLength = length;
    x->lastTextCapacity = length + 1;
    return 0;
}

namespace xml_internal {

void settleLastText(XML* x) {
    NodeData* d = x->lastTextNode;
    x->lastTextNode = nullptr;
    if (!d || x->lastTextCapacity <= x->lastTextLength + 1) return;
    char*& s = d->texts[x->lastTextIndex];
    if (inBlock(d, s)) return;
    char* trimmed = static_cast<char*>(std::realloc(s, x->lastTextLength + 1));
    if (trimmed) s = trimmed;
}

}  // namespace xml_internal
