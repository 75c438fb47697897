// Parses a file and queries it: children by name, attributes, paths.
#include <cstdio>

#include "xmlParser.h"

int main(int argc, char** argv) {
    const char* file = argc > 1 ? argv[1] : "sample.xml";
    XMLResults results;
    XMLNode root = XMLNode::parseFile(file, "catalogue", &results);
    if (results.errorCode != errorNone) {
        std::printf("%s at line %d, column %d\n", XMLNode::getError(results.errorCode),
                    results.line, results.column);
        return 1;
    }
    std::printf("catalogue updated %s\n", root.getAttribute("updated"));

    // Every <book>, in document order.
    int it = 0;
    for (XMLNode book = root.getChildNode("book", &it); !book.isEmpty();
         book = root.getChildNode("book", &it)) {
        std::printf("%s: %s by %s (%d), %.2f %s\n", book.getAttribute("id"),
                    book.getChildNode("title").getText(), book.getChildNode("author").getText(),
                    xmltoi(book.getChildNode("year").getText(), 0),
                    xmltof(book.getChildNode("price").getText(), 0.0),
                    book.getChildNode("price").getAttribute("currency"));
    }

    // A path, and a child found by an attribute value.
    std::printf("magazine: %s\n", root.getChildNodeByPath("magazine/title").getText());
    XMLNode fr = root.getChildNodeWithAttribute("book", "lang", "FR");
    std::printf("french book note: %s\n", fr.getChildNode("note").getClear().value);
    return 0;
}
