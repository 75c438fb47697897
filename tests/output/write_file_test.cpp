// Writing to a file: byte-order mark, declaration line and encoding names,
// and the failure codes.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "settings_guard.h"

namespace {

const std::string kBom = "\xEF\xBB\xBF";

std::string declaration(const char* encoding) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n";
}

class WriteFileTest : public SettingsGuard {
protected:
    void SetUp() override {
        SettingsGuard::SetUp();
        path_ = ::testing::TempDir() + "write_file_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".xml";
        std::remove(path_.c_str());
    }
    void TearDown() override {
        std::remove(path_.c_str());
        SettingsGuard::TearDown();
    }
    std::string contents() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    bool exists() const {
        std::ifstream in(path_, std::ios::binary);
        return in.good();
    }
    std::string path_;
};

XMLNode element() {
    XMLNode r = XMLNode::createXMLTopNode("r");
    r.addChild("c").addText("t");
    return r;
}

TEST_F(WriteFileTest, EmptyNodeCreatesNoFile) {
    EXPECT_EQ(errorNone, XMLNode().writeToFile(path_.c_str()));
    EXPECT_FALSE(exists());
}

TEST_F(WriteFileTest, Utf8WritesMarkAndDeclarationIgnoringCallerName) {
    EXPECT_EQ(errorNone, element().writeToFile(path_.c_str(), "latin-9"));
    EXPECT_EQ(kBom + declaration("utf-8") + "<r>\n\t<c>t</c>\n</r>\n", contents());

    EXPECT_EQ(errorNone, element().writeToFile(path_.c_str(), nullptr, 0));
    EXPECT_EQ(kBom + declaration("utf-8") + "<r><c>t</c></r>", contents());
}

TEST_F(WriteFileTest, EncodingNamesWithoutMark) {
    struct Case {
        XMLNode::XMLCharEncoding encoding;
        const char* callerName;
        const char* written;
    };
    const Case cases[] = {
        {XMLNode::charEncodingLegacy, nullptr, "ISO-8859-1"},
        {XMLNode::charEncodingLegacy, "windows-1252", "windows-1252"},
        {XMLNode::charEncodingShiftJIS, nullptr, "SHIFT-JIS"},
        {XMLNode::charEncodingShiftJIS, "cp932", "SHIFT-JIS"},
        {XMLNode::charEncodingGB2312, nullptr, "ISO-8859-1"},
        {XMLNode::charEncodingGB2312, "GB2312", "GB2312"},
        {XMLNode::charEncodingBig5, nullptr, "ISO-8859-1"},
        {XMLNode::charEncodingGBK, nullptr, "ISO-8859-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.encoding) + " " + (c.callerName ? c.callerName : "null"));
        useEncoding(c.encoding);
        EXPECT_EQ(errorNone, element().writeToFile(path_.c_str(), c.callerName, 0));
        EXPECT_EQ(declaration(c.written) + "<r><c>t</c></r>", contents());
    }
}

TEST_F(WriteFileTest, WhenTheDeclarationLineIsNeeded) {
    XMLNode top = XMLNode::createXMLTopNode(nullptr);
    top.addChild("xml", 1).addAttribute("version", "1.0");
    top.addChild("r");
    EXPECT_EQ(errorNone, top.writeToFile(path_.c_str()));
    EXPECT_EQ(kBom + "<?xml version=\"1.0\"?>\n<r/>\n", contents());

    XMLNode declarationItself = top.getChildNode(0);
    EXPECT_EQ(errorNone, declarationItself.writeToFile(path_.c_str(), nullptr, 0));
    EXPECT_EQ(kBom + "<?xml version=\"1.0\"?>", contents());

    // A declaration that is not the first child node does not count.
    XMLNode later = XMLNode::createXMLTopNode(nullptr);
    later.addChild("r");
    later.addChild("xml", 1);
    EXPECT_EQ(errorNone, later.writeToFile(path_.c_str(), nullptr, 0));
    EXPECT_EQ(kBom + declaration("utf-8") + "<r/><?xml?>", contents());

    // A named node whose first child is a declaration still needs one.
    XMLNode named = XMLNode::createXMLTopNode("r");
    named.addChild("xml", 1);
    EXPECT_EQ(errorNone, named.writeToFile(path_.c_str(), nullptr, 0));
    EXPECT_EQ(kBom + declaration("utf-8") + "<r><?xml?></r>", contents());

    XMLNode emptyName = XMLNode::createXMLTopNode("");
    EXPECT_EQ(errorNone, emptyName.writeToFile(path_.c_str()));
    EXPECT_EQ(kBom + declaration("utf-8"), contents());
}

TEST_F(WriteFileTest, NamelessNodeWithNothingWritesOnlyMarkAndDeclaration) {
    useEncoding(XMLNode::charEncodingLegacy);
    XMLNode top = XMLNode::createXMLTopNode(nullptr);
    EXPECT_EQ(errorNone, top.writeToFile(path_.c_str()));
    EXPECT_EQ(declaration("ISO-8859-1"), contents());
}

TEST_F(WriteFileTest, FormattingNeedsDropWhiteSpace) {
    XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 0, 1);
    EXPECT_EQ(errorNone, element().writeToFile(path_.c_str(), nullptr, 1));
    EXPECT_EQ(kBom + declaration("utf-8") + "<r><c>t</c></r>", contents());
}

TEST_F(WriteFileTest, CannotOpen) {
    std::string bad = ::testing::TempDir() + "no_such_directory_for_writing/x.xml";
    EXPECT_EQ(errorCannotOpenWriteFile, element().writeToFile(bad.c_str()));
}

TEST_F(WriteFileTest, CannotWrite) {
    std::ifstream full("/dev/full");
    if (!full.good()) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(errorCannotWriteFile, element().writeToFile("/dev/full"));
    useEncoding(XMLNode::charEncodingLegacy);
    EXPECT_EQ(errorCannotWriteFile, element().writeToFile("/dev/full"));
}

}  // namespace
