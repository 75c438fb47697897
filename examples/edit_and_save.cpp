// Parses a file, edits it in place and saves it to another file.
#include <cstdio>

#include "xmlParser.h"

int main(int argc, char** argv) {
    const char* in = argc > 1 ? argv[1] : "sample.xml";
    const char* out = argc > 2 ? argv[2] : "edited.xml";
    XMLResults results;
    XMLNode root = XMLNode::parseFile(in, "catalogue", &results);
    if (results.errorCode != errorNone) return 1;

    root.updateAttribute("2026-12-10", nullptr, "updated");  // set an attribute by name
    XMLNode b1 = root.getChildNodeWithAttribute("book", "id", "b1");
    b1.getChildNode("price").updateText("22.00");       // replace a text
    b1.addChild("stock", 0, 0).addText("12");           // insert as first item
    root.getChildNode("magazine").deleteNodeContent();  // remove a whole element

    XMLNode copy = root.getChildNode("book", 1).deepCopy();  // duplicate a subtree
    copy.updateAttribute("b3", nullptr, "id");
    root.addChild(copy);

    if (root.writeToFile(out) != errorNone) return 1;
    XMLNode again = XMLNode::parseFile(out, "catalogue", &results);
    std::printf("saved: %d books, first price %s, stock %s\n", again.nChildNode("book"),
                again.getChildNode("book").getChildNode("price").getText(),
                again.getChildNode("book").getChildNode("stock").getText());
    char* text = again.getChildNode("book").createXMLString(1);
    std::fputs(text, stdout);
    freeXMLString(text);
    return 0;
}
