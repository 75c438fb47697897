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
    const int n = keptText(&p, end);
    if (n == 0) {
        x->pendingText = nullptr;
        return 0;
    }
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
                room = tracked && capacity <= SIZE_MAX / 2 && need < 2 * capacity ? 2 * capacity
                                                                                  : need;
                char* joined = growNodeString(d, kept, a, room);
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
    trimNodeString(d, &d->texts[x->lastTextIndex], x->lastTextLength + 1);
}

}  // namespace xml_internal
