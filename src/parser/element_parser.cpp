// element_parser.cpp - builds the tree from the token stream: start tags and
// their attributes, content, end tags with recovery of misplaced end tags.
#include "internal.h"

using namespace xml_internal;

namespace {

enum Mode { contentMode, expectingName, afterName, afterEquals };

}  // namespace

// One loop parses the element it is called on and every element nested in
// it.  The open elements are the chain of parent pointers from the current
// node up to the node the call began with, so nesting costs no stack: an
// element that closes hands control to its parent, which is always reading
// content (the only state an element has while a child is open).  Returning
// 1 from the current node and moving to its parent is what a nested call's
// return 1 would be; returning 0 ends the whole call, as it would end every
// nested call.
int XMLNode::ParseXMLElement(void* state) {
    XML* const x = static_cast<XML*>(state);
    if (!nodeData) return 0;

    // A handle on the current node that holds no reference of its own.
    struct Cursor {
        XMLNode h;
        ~Cursor() { h.nodeData = nullptr; }
    } cur;
    XMLNodeDataTag* const base = nodeData;
    XMLNodeDataTag* d = base;
    cur.h.nodeData = d;

    Mode mode = expectingName;
    if (x->atTopLevel) {
        x->atTopLevel = 0;
        mode = contentMode;
    }
    const char* attrName = nullptr;  // the pending attribute name
    int attrLength = 0;

    for (;;) {
        int length;
        XMLTokenTypeTag type;
        if (mode == contentMode) skipToMarkup(x, XML_ByteTable);
        const TokenRef token = GetNextToken(x, &length, &type);

        if (type == endOfTextToken) {
            if (!d->declarationFlag && d->parent) {
                x->error = warningUnmatchedEndTag;
                x->warningIndex = x->index;
            }
            cur.h.maybeAddTxT(x, x->document + x->index);
            return 0;
        }

        bool closed = false;  // the current element is closed: "return 1"
        switch (mode) {
            case contentMode:
                switch (type) {
                    case openAngleToken:
                    case declarationToken: {
                        if (cur.h.maybeAddTxT(x, token.start)) return 0;
                        XMLTokenTypeTag nameType;
                        const TokenRef name = GetNextToken(x, &length, &nameType);
                        if (nameType != textToken) {
                            x->error = errorMissingStartTagName;
                            return 0;
                        }
                        // A declaration whose name runs into its "?>" ("<?pi?>") gets
                        // the name without the "?", which is then read as a "?" after
                        // an attribute name is; one left without any name ("<??>") is
                        // refused like a start tag without a name.
                        const bool nameEndsTag = type == declarationToken &&
                                                 name.start[length - 1] == '?' &&
                                                 x->document[x->index] == '>';
                        if (nameEndsTag && --length == 0) {
                            x->error = errorMissingStartTagName;
                            return 0;
                        }
                        char* copy = stringDup(name.start, length);
                        if (!copy) {
                            x->error = errorNoXMLData;
                            return 0;
                        }
                        XMLNodeDataTag* child =
                            cur.h.addChild_priv(50, copy, type == declarationToken, -1).nodeData;
                        if (!child) {
                            x->error = errorNoXMLData;
                            return 0;
                        }
                        d = child;
                        cur.h.nodeData = d;
                        mode = expectingName;
                        if (nameEndsTag) {
                            attrName = name.start + length;  // the "?"
                            attrLength = 1;
                            mode = afterName;
                        }
                        continue;
                    }
                    case closingTagToken: {
                        if (cur.h.maybeAddTxT(x, token.start)) return 0;
                        XMLTokenTypeTag t;
                        const TokenRef name = GetNextToken(x, &length, &t);
                        if (t != textToken) {
                            x->error = errorMissingEndTagName;
                            return 0;
                        }
                        const int nameLength = length;
                        GetNextToken(x, &length, &t);
                        if (t != closeAngleToken) {
                            x->error = errorMissingEndTagName;
                            return 0;
                        }
                        x->pendingText = x->document + x->index;
                        if (myTagCompare(d->name, name.start)) {
                            x->error = warningUnmatchedEndTag;
                            x->warningIndex = x->index;
                            x->pendingEndTag = name.start;
                            x->pendingEndTagLength = nameLength;
                        }
                        exactMemory(d);
                        closed = true;
                        break;
                    }
                    case clearTagToken:
                        if (cur.h.maybeAddTxT(x, token.start)) return 0;
                        if (cur.h.parseClearTag(x, const_cast<ClearTagRow*>(token.clearTag)))
                            return 0;
                        x->pendingText = x->document + x->index;
                        continue;
                    default:
                        continue;  // part of the text collected later
                }
                break;

            case expectingName:
                if (type == textToken) {
                    attrName = token.start;
                    attrLength = length;
                    mode = afterName;
                    continue;
                }
                if (type == closeAngleToken) {
                    x->pendingText = x->document + x->index;
                    mode = contentMode;
                    continue;
                }
                if (type == emptyElementEndToken) {
                    exactMemory(d);
                    x->pendingText = x->document + x->index;
                    closed = true;
                    break;
                }
                x->error = errorUnexpectedToken;
                return 0;

            case afterName:
                if (type == textToken) {
                    char* copy = stringDup(attrName, attrLength);
                    if (!copy || cur.h.addAttribute_priv(50, copy, nullptr) == &emptyXMLAttribute) {
                        x->error = errorNoXMLData;
                        return 0;
                    }
                    attrName = token.start;
                    attrLength = length;
                    continue;
                }
                if (type == equalsToken) {
                    mode = afterEquals;
                    continue;
                }
                if (type == closeAngleToken || type == emptyElementEndToken) {
                    x->pendingText = x->document + x->index;
                    bool empty = type == emptyElementEndToken;
                    if (d->declarationFlag && attrName[attrLength - 1] == '?') {
                        attrLength--;
                        // "?>" closes a declaration nested in an element.
                        if (d->parent && d->parent->parent) empty = true;
                    }
                    if (attrLength > 0) {
                        char* copy = stringDup(attrName, attrLength);
                        if (!copy ||
                            cur.h.addAttribute_priv(50, copy, nullptr) == &emptyXMLAttribute) {
                            x->error = errorNoXMLData;
                            return 0;
                        }
                    }
                    if (!empty) {
                        mode = contentMode;
                        continue;
                    }
                    exactMemory(d);
                    closed = true;
                    break;
                }
                x->error = errorUnexpectedToken;
                return 0;

            case afterEquals: {
                if (type != textToken && type != quotedTextToken) {
                    x->error = errorUnexpectedToken;
                    return 0;
                }
                const char* v = token.start;
                int n = length;
                if (d->declarationFlag && v[n - 1] == '?') n--;
                if (type == quotedTextToken) {
                    v++;
                    n -= 2;
                }
                char* value = fromXMLTokenText(v, n, x);
                if (!value) return 0;
                char* copy = stringDup(attrName, attrLength);
                if (!copy) {
                    std::free(value);
                    x->error = errorNoXMLData;
                    return 0;
                }
                if (cur.h.addAttribute_priv(50, copy, value) == &emptyXMLAttribute) {
                    x->error = errorNoXMLData;
                    return 0;
                }
                mode = expectingName;
                continue;
            }
        }

        // The current element is closed.  Hand control to its parent, which
        // offers a pending end tag to itself and, while it does not match,
        // closes in turn.
        while (closed) {
            if (d == base) return 1;
            d = d->parent;
            cur.h.nodeData = d;
            if (x->pendingEndTagLength) {
                if (!d->name) {
                    x->error = errorUnmatchedEndTag;
                    return 0;
                }
                if (myTagCompare(d->name, x->pendingEndTag) == 0) x->pendingEndTagLength = 0;
                continue;  // closed too, without reading an end tag: not trimmed
            }
            closed = false;
            mode = contentMode;
        }
    }
}
