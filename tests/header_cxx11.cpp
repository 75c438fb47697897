// Compiled as C++11: the public header must build and work there.
#include "xmlParser.h"

#include <cstdio>
#include <cstring>

int main() {
    XMLNode root = XMLNode::createXMLTopNode("root");
    XMLNode child = root.addChild("child");
    child.addAttribute("k", "v");
    child.addText("hello");
    if (root.nChildNode() != 1) return 1;
    if (std::strcmp(root.getChildNode(0).getName(), "child") != 0) return 1;
    if (std::strcmp(child.getAttributeValue(0), "v") != 0) return 1;
    if (std::strcmp(child.getText(0), "hello") != 0) return 1;
    std::puts("1 passed, 0 failed");
    return 0;
}
