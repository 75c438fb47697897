// File entry points: real files in a temporary directory, read whole, with
// byte-order marks, wide-character contents and guessed encodings; files that
// cannot be read; and the message and exit status of openFileHelper, checked
// in a child process.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alloc_hook.h"
#include "internals.h"
#include "settings_guard.h"
#include "tree_compare.h"

namespace {

// A temporary directory with the files a test writes; the settings and the
// locale are restored afterwards.
class FileEntryTest : public SettingsGuard {
protected:
    void SetUp() override {
        SettingsGuard::SetUp();
        const char* locale = std::setlocale(LC_ALL, nullptr);
        savedLocale = locale ? locale : "C";
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/xmlfileXXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        dir = name.data();
    }
    void TearDown() override {
        for (const std::string& f : files) unlink(f.c_str());
        if (!dir.empty()) rmdir(dir.c_str());
        std::setlocale(LC_ALL, savedLocale.c_str());
        SettingsGuard::TearDown();
    }

    std::string write(const std::string& name, const std::string& bytes) {
        std::string path = dir + "/" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr) << path;
        if (f) {
            EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
            std::fclose(f);
        }
        files.push_back(path);
        return path;
    }
    static void setGuessWide(char on) {
        XMLNode::setGlobalOptions(xml_internal::characterEncoding, on, xml_internal::dropWhiteSpace,
                                  xml_internal::removeCommentsInMiddleOfText);
    }
    static bool useUtf8Locale() {
        return std::setlocale(LC_ALL, "C.UTF-8") || std::setlocale(LC_ALL, "C.utf8");
    }

    std::string dir;
    std::vector<std::string> files;
    std::string savedLocale;
};

// UTF-32 little-endian of UTF-8 text (the platform's wide units).
std::string utf32le(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned int cp;
        size_t n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if (c < 0xE0) {
            cp = c & 0x1F;
            n = 2;
        } else if (c < 0xF0) {
            cp = c & 0x0F;
            n = 3;
        } else {
            cp = c & 0x07;
            n = 4;
        }
        for (size_t j = 1; j < n; j++)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + j]) & 0x3F);
        for (int b = 0; b < 4; b++) out += static_cast<char>((cp >> (8 * b)) & 0xFF);
        i += n;
    }
    return out;
}

// UTF-16 of UTF-8 text, in either byte order, with surrogate pairs.
std::string utf16(const std::string& utf8, bool bigEndian) {
    const std::string wide = utf32le(utf8);
    std::string out;
    auto unit = [&](unsigned u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (size_t i = 0; i < wide.size(); i += 4) {
        unsigned cp = 0;
        for (int b = 3; b >= 0; b--)
            cp = (cp << 8) | static_cast<unsigned char>(wide[i + static_cast<size_t>(b)]);
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

const std::string kDoc = "<root k='v'><item>caf\xC3\xA9 \xE2\x82\xAC</item><item/></root>";

XMLResults garbageResults() {
    XMLResults r;
    r.errorCode = errorCannotWriteFile;
    r.line = 77;
    r.column = 88;
    return r;
}

// ---------------------------------------------------------------------------
// parseFile
// ---------------------------------------------------------------------------

TEST_F(FileEntryTest, EmptyAndMissingFiles) {
    XMLResults r = garbageResults();
    EXPECT_TRUE(XMLNode::parseFile(write("empty.xml", "").c_str(), nullptr, &r).isEmpty());
    EXPECT_EQ(r.errorCode, errorNoXMLData);
    EXPECT_EQ(r.line, 0);
    EXPECT_EQ(r.column, 0);

    r = garbageResults();
    EXPECT_TRUE(XMLNode::parseFile((dir + "/missing.xml").c_str(), nullptr, &r).isEmpty());
    EXPECT_EQ(r.errorCode, errorFileNotFound);
    EXPECT_EQ(r.line, 0);
    EXPECT_EQ(r.column, 0);

    r = garbageResults();
    EXPECT_TRUE(XMLNode::parseFile(nullptr, nullptr, &r).isEmpty());
    EXPECT_EQ(r.errorCode, errorFileNotFound);
    EXPECT_TRUE(XMLNode::parseFile((dir + "/missing.xml").c_str()).isEmpty());  // no results
}

TEST_F(FileEntryTest, Utf8WithAndWithoutMark) {
    XMLNode expected = XMLNode::parseString(kDoc.c_str());
    ASSERT_FALSE(expected.isEmpty());
    XMLResults r = garbageResults();
    XMLNode plain = XMLNode::parseFile(write("plain.xml", kDoc).c_str(), nullptr, &r);
    EXPECT_EQ(r.errorCode, errorNone);
    EXPECT_TRUE(TreesEqual(plain, expected));

    std::string marked = write("marked.xml", "\xEF\xBB\xBF" + kDoc);
    r = garbageResults();
    XMLNode withMark = XMLNode::parseFile(marked.c_str(), nullptr, &r);
    EXPECT_EQ(r.errorCode, errorNone);
    EXPECT_TRUE(TreesEqual(withMark, expected));

    // Without the wide-character guess no mark is looked for: the mark is
    // text before the root.
    setGuessWide(0);
    XMLNode asText = XMLNode::parseFile(marked.c_str(), nullptr, &r);
    EXPECT_FALSE(TreesEqual(asText, expected));
}

TEST_F(FileEntryTest, Utf32WithAndWithoutMark) {
    ASSERT_TRUE(useUtf8Locale());
    XMLNode expected = XMLNode::parseString(kDoc.c_str());
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"utf32.xml", utf32le(kDoc)},
        {"utf32mark.xml", std::string("\xFF\xFE\0\0", 4) + utf32le(kDoc)},
    };
    for (const auto& c : cases) {
        XMLResults r = garbageResults();
        XMLNode node = XMLNode::parseFile(write(c.name, c.bytes).c_str(), nullptr, &r);
        EXPECT_EQ(r.errorCode, errorNone) << c.name;
        EXPECT_TRUE(TreesEqual(node, expected)) << c.name;
    }
    // With the guess off the same bytes are 8-bit text: "<" then a zero byte.
    setGuessWide(0);
    XMLResults r = garbageResults();
    XMLNode node = XMLNode::parseFile(write("utf32b.xml", utf32le(kDoc)).c_str(), nullptr, &r);
    EXPECT_FALSE(TreesEqual(node, expected));
}

TEST_F(FileEntryTest, WideTextThatCannotBeConverted) {
    ASSERT_TRUE(useUtf8Locale());
    std::string bytes = utf32le("<a>x</a>");
    bytes += std::string("\x00\xD8\x00\x00", 4);  // a lone surrogate
    bytes += utf32le("<b/>");
    XMLResults r = garbageResults();
    EXPECT_TRUE(XMLNode::parseFile(write("bad32.xml", bytes).c_str(), nullptr, &r).isEmpty());
    EXPECT_EQ(r.errorCode, errorCharConversion);
    EXPECT_EQ(r.line, 0);
    EXPECT_EQ(r.column, 0);
}

// A wide file whose length is not a whole number of units still ends with
// a zero unit inside the buffer (the sanitizers check the reads).
TEST_F(FileEntryTest, WideTextOfAnyEvenLength) {
    std::string bytes = utf32le("<a>xy</a>") + std::string("z\0", 2);
    XMLResults r = garbageResults();
    XMLNode node = XMLNode::parseFile(write("odd32.xml", bytes).c_str(), nullptr, &r);
    EXPECT_EQ(r.errorCode, errorNone);
    // The half unit at the end, completed by zero bytes, is the text "z".
    EXPECT_STREQ(node.getChildNode(0).getName(), "a");
    EXPECT_STREQ(node.getText(), "z");
    // A UTF-16 file of any even length: the text ends at the zero unit
    // after the contents.
    std::string odd16 = std::string("\xFF\xFE", 2) + utf16("<a>xy</a>z", false);
    r = garbageResults();
    node = XMLNode::parseFile(write("odd16.xml", odd16).c_str(), nullptr, &r);
    EXPECT_EQ(r.errorCode, errorNone);
    EXPECT_STREQ(node.getText(), "z");
}

// A file that begins with a two-byte mark (FF FE not followed by 00 00, or
// FE FF) is UTF-16 in the byte order of its mark; characters beyond 0xFFFF
// are surrogate pairs.  Read by parseFile and openFileHelper alike.
TEST_F(FileEntryTest, Utf16InEitherByteOrder) {
    if (!useUtf8Locale()) GTEST_SKIP() << "no UTF-8 locale";
    const std::string doc = kDoc + "<!-- \xF0\x9F\x98\x80 \xE4\xB8\xAD -->";
    XMLNode expected = XMLNode::parseString(doc.c_str());
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"le.xml", std::string("\xFF\xFE", 2) + utf16(doc, false)},
        {"be.xml", std::string("\xFE\xFF", 2) + utf16(doc, true)},
        // A text that begins with a character whose low byte is 0 (U+0100)
        // is still UTF-16: only FF FE 00 00 is the 32-bit mark.
        {"le100.xml", std::string("\xFF\xFE", 2) + utf16("\xC4\x80" + doc, false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = write(c.name, c.bytes);
        XMLResults r = garbageResults();
        XMLNode node = XMLNode::parseFile(path.c_str(), nullptr, &r);
        EXPECT_EQ(r.errorCode, errorNone);
        if (c.name[2] == '1') {
            // The leading character is a text before the root.
            EXPECT_STREQ(node.getText(), "\xC4\x80");
            EXPECT_TRUE(TreesEqual(node.getChildNode(0), expected.getChildNode(0)));
            continue;
        }
        EXPECT_TRUE(TreesEqual(node, expected));
        EXPECT_TRUE(TreesEqual(XMLNode::openFileHelper(path.c_str(), nullptr), expected));
    }
}

// A character that the locale cannot hold: the file cannot be converted.
TEST_F(FileEntryTest, Utf16BeyondTheLocale) {
    if (!std::setlocale(LC_ALL, "C")) GTEST_SKIP() << "no C locale";
    const wchar_t eAcute[] = {0xE9, 0};
    char* converted = xml_internal::myWideCharToMultiByte(eAcute);
    const bool held = converted != nullptr;
    std::free(converted);
    if (held) GTEST_SKIP() << "this C locale holds U+00E9";
    XMLResults r = garbageResults();
    const std::string ascii = std::string("\xFE\xFF", 2) + utf16("<a>x</a>", true);
    EXPECT_STREQ(XMLNode::parseFile(write("ascii16.xml", ascii).c_str(), nullptr, &r).getName(),
                 "a");
    EXPECT_EQ(r.errorCode, errorNone);
    const std::string bytes = std::string("\xFE\xFF", 2) + utf16("<a>caf\xC3\xA9</a>", true);
    r = garbageResults();
    EXPECT_TRUE(XMLNode::parseFile(write("latin16.xml", bytes).c_str(), nullptr, &r).isEmpty());
    EXPECT_EQ(r.errorCode, errorCharConversion);
}

// A surrogate without its partner is no character: the file cannot be
// converted.
TEST_F(FileEntryTest, Utf16WithALoneSurrogate) {
    if (!useUtf8Locale()) GTEST_SKIP() << "no UTF-8 locale";
    const std::string units[] = {
        std::string("\x00\xD8", 2) + utf16("<b/>", false),  // high, then no low
        std::string("\x00\xDC", 2) + utf16("<b/>", false),  // low alone
        std::string("\x00\xD8", 2),                         // high at the very end
        std::string("\x00\xD8\x00\xD8", 4),                 // high, high
    };
    for (const std::string& u : units) {
        const std::string bytes = std::string("\xFF\xFE", 2) + utf16("<a>x</a>", false) + u;
        XMLResults r = garbageResults();
        EXPECT_TRUE(XMLNode::parseFile(write("lone16.xml", bytes).c_str(), nullptr, &r).isEmpty());
        EXPECT_EQ(r.errorCode, errorCharConversion);
        EXPECT_EQ(r.line, 0);
        EXPECT_EQ(r.column, 0);
    }
}

TEST_F(FileEntryTest, FilesThatCannotBeReadAreRefused) {
    // 2 GiB, sparse: refused without reading.
    std::string big = dir + "/big.xml";
    int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    files.push_back(big);
    ASSERT_EQ(ftruncate(fd, 0x80000000LL), 0);
    close(fd);
    XMLResults r = garbageResults();
    EXPECT_TRUE(XMLNode::parseFile(big.c_str(), nullptr, &r).isEmpty());
    EXPECT_EQ(r.errorCode, errorNoXMLData);
    EXPECT_EQ(r.line, 0);
    EXPECT_EQ(r.column, 0);

    // A directory opens but yields nothing to read.
    r = garbageResults();
    EXPECT_TRUE(XMLNode::parseFile(dir.c_str(), nullptr, &r).isEmpty());
    EXPECT_TRUE(r.errorCode == errorFileNotFound || r.errorCode == errorNoXMLData) << r.errorCode;

    // A pipe has no size.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "<a/>", 4), 4);
    std::string pipeName = "/proc/self/fd/" + std::to_string(ends[0]);
    r = garbageResults();
    EXPECT_TRUE(XMLNode::parseFile(pipeName.c_str(), nullptr, &r).isEmpty());
    EXPECT_EQ(r.errorCode, errorFileNotFound);
    close(ends[0]);
    close(ends[1]);
}

TEST_F(FileEntryTest, BufferThatCannotBeAllocated) {
    std::string path = write("small.xml", kDoc);
    XMLResults r = garbageResults();
    {
        alloc_hook::Scope failFirst(0);
        EXPECT_TRUE(XMLNode::parseFile(path.c_str(), nullptr, &r).isEmpty());
        EXPECT_TRUE(failFirst.failed());
    }
    EXPECT_EQ(r.errorCode, errorNoXMLData);
    EXPECT_EQ(r.line, 0);
    // Every later allocation failing is handled too, without leaks: either
    // the parse fails or (a failed trim) the tree is whole.
    XMLNode expected = XMLNode::parseString(kDoc.c_str());
    for (long at = 1;; at++) {
        alloc_hook::Scope scope(at);
        XMLNode node = XMLNode::parseFile(path.c_str(), nullptr, &r);
        if (!scope.failed()) break;
        if (node.isEmpty()) {
            EXPECT_GE(r.errorCode, errorNoXMLData) << at;
        } else {
            EXPECT_EQ(r.errorCode, errorNone) << at;
            EXPECT_TRUE(TreesEqual(node, expected)) << at;
        }
    }
}

TEST_F(FileEntryTest, Latin1NeedsTheLegacyEncoding) {
    std::string declared = write("latin1d.xml",
                                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                 "<root><item>caf\xE9 cr\xE8me</item></root>");
    std::string bare = write("latin1.xml",
                             "<root><item>caf\xE9 cr\xE8me br\xFBl\xE9"
                             "e</item></root>");
    for (const std::string& path : {declared, bare}) {
        XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8);
        XMLNode root = XMLNode::openFileHelper(path.c_str(), "root");
        EXPECT_EQ(xml_internal::characterEncoding, XMLNode::charEncodingLegacy) << path;
        ASSERT_FALSE(root.isEmpty()) << path;
        const char* text = root.getChildNode(0).getText();
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::strncmp(text, "caf\xE9 cr\xE8me", 10), 0) << path;
    }
}

TEST_F(FileEntryTest, ShiftJisDeclared) {
    // 0x83 0x3C is one Shift-JIS character: its second byte is no "<".
    std::string path = write("sjis.xml",
                             "<?xml version=\"1.0\" encoding=\"SJIS\"?>\n"
                             "<root><item>\x83\x3C\x83\x5C\x95\x5C</item></root>");
    XMLNode root = XMLNode::openFileHelper(path.c_str(), "root");
    EXPECT_EQ(xml_internal::characterEncoding, XMLNode::charEncodingShiftJIS);
    ASSERT_FALSE(root.isEmpty());
    EXPECT_STREQ(root.getChildNode(0).getText(), "\x83\x3C\x83\x5C\x95\x5C");

    // Read as single bytes the same file does not parse.
    XMLNode::setGlobalOptions(XMLNode::charEncodingLegacy);
    XMLResults r = garbageResults();
    XMLNode::parseFile(path.c_str(), "root", &r);
    EXPECT_NE(r.errorCode, errorNone);
}

TEST_F(FileEntryTest, OpenFileHelperMatchesParseFileAndKeepsTheGuess) {
    std::string path =
        write("gbk.xml", "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<root a='1'><b/>x</root>");
    XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1);
    XMLNode helped = XMLNode::openFileHelper(path.c_str());
    EXPECT_EQ(xml_internal::characterEncoding, XMLNode::charEncodingGBK);
    EXPECT_EQ(xml_internal::guessWideCharChars, 1);
    EXPECT_EQ(xml_internal::dropWhiteSpace, 1);
    XMLResults r = garbageResults();
    XMLNode parsed = XMLNode::parseFile(path.c_str(), nullptr, &r);
    EXPECT_EQ(r.errorCode, errorNone);
    EXPECT_TRUE(TreesEqual(helped, parsed));

    // A guess of charEncodingError (wide text) leaves the encoding alone.
    ASSERT_TRUE(useUtf8Locale());
    XMLNode::setGlobalOptions(XMLNode::charEncodingGB2312, 1, 0, 0);
    std::string wide = write("wide.xml", utf32le("<root><a>plain text</a><b/></root>"));
    XMLNode fromWide = XMLNode::openFileHelper(wide.c_str());
    EXPECT_EQ(xml_internal::characterEncoding, XMLNode::charEncodingGB2312);
    EXPECT_EQ(xml_internal::dropWhiteSpace, 0);
    EXPECT_FALSE(fromWide.isEmpty());
}

// ---------------------------------------------------------------------------
// openFileHelper's failure: message on standard output, exit status 255
// ---------------------------------------------------------------------------

struct ChildOutcome {
    int status = -1;  // exit status, or -1 when the child did not exit
    std::string out;
};

ChildOutcome runHelperInChild(const std::string& dir, const char* fileName, const char* firstTag) {
    ChildOutcome outcome;
    std::string outPath = dir + "/child_stdout";
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(outPath.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) _exit(3);
        close(fd);
        XMLNode::openFileHelper(fileName, firstTag);
        _exit(4);  // returned: a success
    }
    if (pid < 0) return outcome;
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    std::FILE* f = std::fopen(outPath.c_str(), "rb");
    if (f) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) outcome.out.append(chunk, n);
        std::fclose(f);
    }
    unlink(outPath.c_str());
    return outcome;
}

std::string expectedMessage(const std::string& fileName, XMLError code, int line, int column,
                            const std::string& firstTag = std::string()) {
    std::string m = "XML Parsing error inside file '" + fileName + "'.\n" +
                    XMLNode::getError(code) + "\nAt line " + std::to_string(line) + ", column " +
                    std::to_string(column) + ".\n";
    if (code == errorFirstTagNotFound) m += "First Tag should be '" + firstTag + "'.\n";
    return m;
}

TEST_F(FileEntryTest, OpenFileHelperEndsTheProcessOnFailure) {
    std::string missing = dir + "/missing.xml";
    ChildOutcome c = runHelperInChild(dir, missing.c_str(), nullptr);
    EXPECT_EQ(c.status, 255);
    EXPECT_EQ(c.out, "XML Parsing error inside file '" + missing +
                         "'.\nError: File not found\nAt line 0, column 0.\n");

    std::string doc = write("doc.xml", "<root><a/></root>\n<!-- a comment long enough -->");
    c = runHelperInChild(dir, doc.c_str(), "nothere");
    XMLResults r;
    XMLNode::parseFile(doc.c_str(), "nothere", &r);
    ASSERT_EQ(r.errorCode, errorFirstTagNotFound);
    EXPECT_EQ(c.status, 255);
    EXPECT_EQ(c.out, expectedMessage(doc, r.errorCode, r.line, r.column, "nothere"));

    // A fault in the text: its message, line and column.
    std::string broken = write("broken.xml", "<root>\n  <a></b>\n</root> and some more text");
    XMLNode::parseFile(broken.c_str(), nullptr, &r);
    ASSERT_GE(r.errorCode, errorNoXMLData);
    c = runHelperInChild(dir, broken.c_str(), nullptr);
    EXPECT_EQ(c.status, 255);
    EXPECT_EQ(c.out, expectedMessage(broken, r.errorCode, r.line, r.column));

    // A warning is no success either.
    std::string warned = write("warned.xml", "<root><a></root> and some more text here");
    XMLNode::parseFile(warned.c_str(), nullptr, &r);
    ASSERT_EQ(r.errorCode, warningUnmatchedEndTag);
    c = runHelperInChild(dir, warned.c_str(), nullptr);
    EXPECT_EQ(c.status, 255);
    EXPECT_EQ(c.out, expectedMessage(warned, r.errorCode, r.line, r.column));

    // A well-formed file: the helper returns.
    c = runHelperInChild(dir, doc.c_str(), "root");
    EXPECT_EQ(c.status, 4);
    EXPECT_EQ(c.out, "");
}

TEST_F(FileEntryTest, OpenFileHelperMessageIsWholeForLongNames) {
    std::string longName = dir + "/" + std::string(20000, 'n');  // too long to open
    ChildOutcome c = runHelperInChild(dir, longName.c_str(), nullptr);
    EXPECT_EQ(c.status, 255);
    EXPECT_EQ(c.out, expectedMessage(longName, errorFileNotFound, 0, 0));

    std::string doc = write("doc.xml", "<root><a/></root>\n<!-- a comment long enough -->");
    std::string longTag(100000, 't');
    XMLResults r;
    XMLNode::parseFile(doc.c_str(), longTag.c_str(), &r);
    c = runHelperInChild(dir, doc.c_str(), longTag.c_str());
    EXPECT_EQ(c.status, 255);
    EXPECT_EQ(c.out, expectedMessage(doc, errorFirstTagNotFound, r.line, r.column, longTag));
}

}  // namespace
