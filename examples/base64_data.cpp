// Carries binary data inside an XML document as Base64 text.
#include <cstdio>
#include <cstring>

#include "xmlParser.h"

int main() {
    unsigned char data[40];
    for (int i = 0; i < 40; i++) data[i] = static_cast<unsigned char>(i * 7);

    XMLParserBase64Tool base64;
    XMLNode doc = XMLNode::createXMLTopNode("blob");
    doc.addAttribute("bytes", "40");
    doc.addText(base64.encode(data, sizeof data, 1));

    char* text = doc.createXMLString(1);
    std::fputs(text, stdout);

    XMLNode parsed = XMLNode::parseString(text, "blob");
    freeXMLString(text);
    int size = 0;
    XMLError error = errorNone;
    unsigned char* decoded = base64.decode(parsed.getText(), &size, &error);
    const bool same = decoded && size == 40 && std::memcmp(decoded, data, 40) == 0;
    std::printf("decoded %d bytes (%s): %s\n", size, XMLNode::getError(error),
                same ? "identical" : "DIFFERENT");
    return same ? 0 : 1;
}
