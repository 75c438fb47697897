// write_file.cpp - writes a node to a file, with the byte-order mark and
// XML declaration line that the encoding and the node call for.
#include "internal.h"

#include <cstdio>

using namespace xml_internal;

namespace {

// No declaration line when the node is a declaration itself, or when it is a
// nameless container whose first child node is one.
bool needsDeclaration(const NodeData* d) {
    if (d->declarationFlag) return false;
    if (!d->name && d->childCount > 0 && d->children[0]->declarationFlag) return false;
    return true;
}

const char* declaredEncoding(const char* callerName) {
    if (characterEncoding == XMLNode::charEncodingUTF8) return "utf-8";
    if (characterEncoding == XMLNode::charEncodingShiftJIS) return "SHIFT-JIS";
    return callerName ? callerName : "ISO-8859-1";
}

// Closes the file and turns a failed close into a write error.
XMLError closeFile(FILE* f, XMLError result) {
    if (std::fclose(f) != 0 && result == errorNone) return errorCannotWriteFile;
    return result;
}

}  // namespace

// The text is built after the byte-order mark and declaration are written;
// when it cannot be built (memory runs out, or it would exceed INT_MAX bytes)
// the result is errorCannotWriteFile and the file keeps what was written.
XMLError XMLNode::writeToFile(const char* fileName, const char* encoding, char format) const {
    if (!nodeData) return errorNone;
    FILE* f = std::fopen(fileName, "wb");
    if (!f) return errorCannotOpenWriteFile;

    if (characterEncoding == charEncodingUTF8) {
        static const unsigned char bom[3] = {0xEF, 0xBB, 0xBF};
        if (std::fwrite(bom, 1, 3, f) != 3) return closeFile(f, errorCannotWriteFile);
    }
    if (needsDeclaration(nodeData) && std::fprintf(f, "<?xml version=\"1.0\" encoding=\"%s\"?>\n",
                                                   declaredEncoding(encoding)) < 0)
        return closeFile(f, errorCannotWriteFile);

    int length = 0;
    char* text = createXMLString(format, &length);
    if (!text) return closeFile(f, errorCannotWriteFile);
    size_t written = length ? std::fwrite(text, 1, static_cast<size_t>(length), f) : 0;
    freeXMLString(text);
    if (written != static_cast<size_t>(length)) return closeFile(f, errorCannotWriteFile);
    return closeFile(f, errorNone);
}
