// update.cpp - replacing attributes, texts and clear-tag values in place, by
// index, by the old string or by record.  The owning (_WOSD) variants take
// over every string handed in: each is stored, or freed when it replaces
// nothing and cannot be stored.  The copying variants copy their strings with
// stringDup and hand the copies to the owning variants.
#include "internal.h"
#include "model/memory.h"

using namespace xml_internal;

namespace {

// Copies `s` for a copying variant.  False when a non-null string could not
// be copied (memory exhausted); the copying variants then change nothing and
// answer null.
bool copyArg(const char* s, char** out) {
    *out = stringDup(s);
    return !s || *out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Attributes
// ---------------------------------------------------------------------------

XMLAttribute* XMLNode::updateAttribute_WOSD(char* newValue, char* newName, int index) {
    if (!nodeData) {
        std::free(newValue);
        std::free(newName);
        return nullptr;
    }
    if (index < 0 || index >= nodeData->attributeCount) {
        if (newName) return addAttribute_WOSD(newName, newValue);
        std::free(newValue);
        return nullptr;
    }
    XMLAttribute* r = nodeData->attributes + index;
    if (r->value && r->value != newValue) freeNodeString(nodeData, r->value);
    storeString(nodeData, r->value, newValue);
    if (newName && r->name != newName) {
        freeNodeString(nodeData, r->name);
        storeString(nodeData, r->name, newName);
    }
    return r;
}

// A null old name selects no attribute: the update then goes as for an index
// that selects none (appended under the new name; without one the value is
// freed and the result is null).
XMLAttribute* XMLNode::updateAttribute_WOSD(char* newValue, char* newName, const char* oldName) {
    if (!oldName) return updateAttribute_WOSD(newValue, newName, -1);
    if (!nodeData) {
        std::free(newValue);
        std::free(newName);
        return &emptyXMLAttribute;
    }
    const int i = findAttributeByName(nodeData, oldName, 0);
    if (i >= 0) return updateAttribute_WOSD(newValue, newName, i);
    // Not present: set it.  A failed copy of the old name makes the adder
    // free the value and answer &emptyXMLAttribute.
    return addAttribute_WOSD(newName ? newName : stringDup(oldName), newValue);
}

// A null new record carries nothing to store: nothing changes and the result
// is null.
XMLAttribute* XMLNode::updateAttribute_WOSD(XMLAttribute* newRecord, XMLAttribute* oldRecord) {
    if (!newRecord) return nullptr;
    char* value = const_cast<char*>(newRecord->value);
    char* name = const_cast<char*>(newRecord->name);
    if (!oldRecord) return addAttribute_WOSD(name, value);
    return updateAttribute_WOSD(value, name, oldRecord->name);
}

XMLAttribute* XMLNode::updateAttribute(const char* newValue, const char* newName, int index) {
    if (!nodeData) return nullptr;
    char* v;
    char* n;
    if (!copyArg(newValue, &v) || !copyArg(newName, &n)) {
        std::free(v);
        return nullptr;
    }
    return updateAttribute_WOSD(v, n, index);
}

XMLAttribute* XMLNode::updateAttribute(const char* newValue, const char* newName,
                                       const char* oldName) {
    if (!nodeData) return oldName ? &emptyXMLAttribute : nullptr;
    char* v;
    char* n;
    if (!copyArg(newValue, &v) || !copyArg(newName, &n)) {
        std::free(v);
        return nullptr;
    }
    return updateAttribute_WOSD(v, n, oldName);
}

XMLAttribute* XMLNode::updateAttribute(XMLAttribute* newRecord, XMLAttribute* oldRecord) {
    if (!newRecord) return nullptr;
    XMLAttribute copy;
    char* v;
    char* n;
    if (!copyArg(newRecord->value, &v) || !copyArg(newRecord->name, &n)) {
        std::free(v);
        return nullptr;
    }
    copy.value = v;
    copy.name = n;
    return updateAttribute_WOSD(&copy, oldRecord);
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

// A null new text never replaces a stored text (stored texts are never
// null): the update is refused, the old text stays and the result is null.
const char* XMLNode::updateText_WOSD(char* newText, int index) {
    if (!nodeData) {
        std::free(newText);
        return nullptr;
    }
    if (index < 0 || index >= nodeData->textCount) return addText_WOSD(newText, -1);
    if (!newText) return nullptr;
    char** slot = nodeData->texts + index;
    if (*slot != newText) {
        freeNodeString(nodeData, *slot);
        storeString(nodeData, *slot, newText);
    }
    return newText;
}

const char* XMLNode::updateText_WOSD(char* newText, const char* storedText) {
    if (!nodeData) {
        std::free(newText);
        return nullptr;
    }
    return updateText_WOSD(newText, indexText(storedText));
}

const char* XMLNode::updateText(const char* newText, int index) {
    if (!nodeData) return nullptr;
    char* t;
    if (!copyArg(newText, &t)) return nullptr;
    return updateText_WOSD(t, index);
}

const char* XMLNode::updateText(const char* newText, const char* storedText) {
    if (!nodeData) return nullptr;
    char* t;
    if (!copyArg(newText, &t)) return nullptr;
    return updateText_WOSD(t, storedText);
}

// ---------------------------------------------------------------------------
// Clear tags
// ---------------------------------------------------------------------------

XMLClear* XMLNode::updateClear_WOSD(char* newValue, int index) {
    if (!nodeData) {
        std::free(newValue);
        return nullptr;
    }
    if (index < 0 || index >= nodeData->clearCount)
        return addClear_WOSD(newValue, nullptr, nullptr, -1);
    XMLClear* r = nodeData->clears + index;
    if (r->value != newValue) {
        freeNodeString(nodeData, r->value);
        // May be null: the clear tag is then left without value.
        storeString(nodeData, r->value, newValue);
    }
    return r;
}

XMLClear* XMLNode::updateClear_WOSD(char* newValue, const char* storedValue) {
    if (!nodeData) {
        std::free(newValue);
        return nullptr;
    }
    return updateClear_WOSD(newValue, indexClear(storedValue));
}

// A null new record carries nothing: nothing changes, the result is null.
// A null old record selects no clear tag, so, as for a value the node does
// not store, the new value is appended with the default delimiters; the
// owning variant thus takes over the new record's value on every path.
XMLClear* XMLNode::updateClear_WOSD(XMLClear* newRecord, XMLClear* oldRecord) {
    if (!newRecord) return nullptr;
    char* value = const_cast<char*>(newRecord->value);
    if (!oldRecord) {
        if (!nodeData) {
            std::free(value);
            return nullptr;
        }
        return addClear_WOSD(value, nullptr, nullptr, -1);
    }
    return updateClear_WOSD(value, oldRecord->value);
}

XMLClear* XMLNode::updateClear(const char* newValue, int index) {
    if (!nodeData) return nullptr;
    char* v;
    if (!copyArg(newValue, &v)) return nullptr;
    return updateClear_WOSD(v, index);
}

XMLClear* XMLNode::updateClear(const char* newValue, const char* storedValue) {
    if (!nodeData) return nullptr;
    char* v;
    if (!copyArg(newValue, &v)) return nullptr;
    return updateClear_WOSD(v, storedValue);
}

XMLClear* XMLNode::updateClear(XMLClear* newRecord, XMLClear* oldRecord) {
    if (!newRecord || !nodeData) return nullptr;
    char* v;
    if (!copyArg(newRecord->value, &v)) return nullptr;
    XMLClear copy = *newRecord;
    copy.value = v;
    return updateClear_WOSD(&copy, oldRecord);
}
