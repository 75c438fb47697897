// A program that uses the installed library, as a user's project would.
#include <cstdio>
#include <cstring>

#include "xmlParser.h"

int main() {
    XMLNode n = XMLNode::parseString("<greeting lang='en'>hello</greeting>");
    char* text = n.createXMLString(0);
    const bool ok = text && std::strcmp(text, "<greeting lang=\"en\">hello</greeting>") == 0;
    std::printf("%s %s\n", XMLNode::getVersion(), ok ? "ok" : "FAILED");
    freeXMLString(text);
    return ok ? 0 : 1;
}
