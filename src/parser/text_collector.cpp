// text_collector.cpp - stores the text that stands between two tokens of an
// element's content, merging texts around a comment when the settings ask.
#include "internal.h"

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
    char* text = fromXMLString(p, n, x);
    if (!text) return 1;
    x->pendingText = nullptr;

    XMLNodeDataTag* d = nodeData;
    const int t = orderCount(d);
    if (removeCommentsInMiddleOfText && d->textCount > 0 && d->clearCount > 0 && t >= 2) {
        const int last = d->order[t - 1];
        const int before = d->order[t - 2];
        if ((last & 3) == elementClear && (before & 3) == elementText &&
            d->clears[last >> 2].openTag == XMLClearTags[2].open) {
            // Join first, so that a failure leaves the node as it was.
            char*& kept = d->texts[before >> 2];
            const size_t a = kept == x->lastText ? x->lastTextLength : std::strlen(kept);
            const size_t b = std::strlen(text);
            char* joined = static_cast<char*>(std::realloc(kept, a + b + 1));
            if (!joined) {
                std::free(text);
                x->error = errorNoXMLData;
                return 1;
            }
            std::memcpy(joined + a, text, b + 1);
            kept = joined;
            x->lastText = joined;
            x->lastTextLength = a + b;
            std::free(text);

            const int ci = last >> 2;  // the last clear tag: no other one moves
            freeOwned(d->clears[ci].value);
            d->clearCount--;
            if (d->clearCount == 0) {
                std::free(d->clears);
                d->clears = nullptr;
            }
            removeOrderElement(d, elementClear, ci);
            return 0;
        }
    }
    const size_t length = std::strlen(text);
    if (!addText_priv(50, text, -1)) {  // frees the text
        x->error = errorNoXMLData;
        return 1;
    }
    x->lastText = text;
    x->lastTextLength = length;
    return 0;
}
