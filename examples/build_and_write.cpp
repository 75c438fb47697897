// Builds a small document by hand and prints it, formatted and compact.
#include <cstdio>

#include "xmlParser.h"

int main() {
    XMLNode doc = XMLNode::createXMLTopNode("xml", 1);  // <?xml ...?> declaration
    doc.addAttribute("version", "1.0");
    XMLNode shop = doc.addChild("shop");
    XMLNode item = shop.addChild("item");
    item.addAttribute("sku", "A-1");
    item.addAttribute("price", "9.99");
    item.addText("Tea & biscuits");  // escaped on output
    shop.addChild("item").addAttribute("sku", "B-2");
    shop.addClear(" restocked weekly ", "<!--", "-->");

    char* text = doc.createXMLString(1);  // formatted
    std::fputs(text, stdout);
    freeXMLString(text);

    int size = 0;
    text = doc.createXMLString(0, &size);  // compact
    std::printf("%s\n(%d bytes compact)\n", text, size);
    freeXMLString(text);
    return 0;
}
