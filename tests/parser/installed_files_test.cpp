// The XML files installed on this machine under /usr/share, read as real
// documents: each is parsed in the encoding guessed from its first bytes (as
// openFileHelper does); a tree parsed without any fault reads back, written
// compact and formatted, as the same tree; and every file that libxml2's
// xmllint reads as well-formed and that uses no entity beyond the five
// predefined ones parses without any fault.  Files are found when the test
// runs; without any the test is skipped, and without xmllint the
// well-formedness part is.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "internals.h"
#include "sanitized.h"
#include "settings_guard.h"
#include "tree_compare.h"

namespace fs = std::filesystem;

namespace {

const char* const kRoot = "/usr/share";
const char* const kExtensions[] = {".xml", ".xsl", ".xslt", ".xsd", ".rng", ".svg", ".xhtml"};

// Under the sanitizers every parse and write runs several times slower, so
// the walk stops after this many bytes of files there (the files are taken
// in name order, so a run always sees the same ones); elsewhere it reads
// them all.
#ifdef XMLPARSER_SANITIZED
const uintmax_t kByteBudget = 3u << 20;
#else
const uintmax_t kByteBudget = UINTMAX_MAX;
#endif
const uintmax_t kLargestFile = 16u << 20;

std::vector<std::string> installedXmlFiles() {
    std::vector<std::string> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(kRoot, fs::directory_options::skip_permission_denied, ec);
    if (ec) return files;
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::path& p = it->path();
        const std::string ext = p.extension().string();
        if (std::find(std::begin(kExtensions), std::end(kExtensions), ext) == std::end(kExtensions))
            continue;
        std::error_code fileEc;
        if (!fs::is_regular_file(p, fileEc) || fs::file_size(p, fileEc) == 0 ||
            fs::file_size(p, fileEc) > kLargestFile)
            continue;
        files.push_back(p.string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool readFile(const std::string& path, std::string* bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buffer[65536];
    size_t n;
    bytes->clear();
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
    std::fclose(f);
    return true;
}

std::string findProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        std::string candidate = dirs.substr(start, colon - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = colon + 1;
    }
    return std::string();
}

std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The files that xmllint reports nothing about (no error, no warning) when
// it reads them without fetching or loading any external DTD.  Files are
// checked in batches of one xmllint run each; a file is known well-formed
// when no line of the output begins with its name and a colon.
std::set<std::string> wellFormed(const std::string& xmllint,
                                 const std::vector<std::string>& files) {
    std::set<std::string> good;
    const size_t batch = 200;
    for (size_t i = 0; i < files.size(); i += batch) {
        std::string command = shellQuoted(xmllint) + " --noout --nonet";
        const size_t end = std::min(files.size(), i + batch);
        for (size_t j = i; j < end; j++) command += " " + shellQuoted(files[j]);
        command += " 2>&1";
        std::FILE* out = popen(command.c_str(), "r");
        if (!out) continue;
        std::string report;
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0) report.append(buffer, n);
        pclose(out);
        for (size_t j = i; j < end; j++) {
            const std::string prefix = files[j] + ":";
            const bool mentioned = report.compare(0, prefix.size(), prefix) == 0 ||
                                   report.find("\n" + prefix) != std::string::npos;
            if (!mentioned) good.insert(files[j]);
        }
    }
    return good;
}

// Whether the text holds an entity reference other than "&lt;", "&gt;",
// "&amp;", "&quot;", "&apos;" and character references, wherever it stands
// (comments and CDATA sections included, so some files are left out that
// would qualify).  Zero bytes are passed over, so that UTF-16 text is read
// as well.
bool usesOtherEntities(const std::string& bytes) {
    std::string text;
    for (char c : bytes)
        if (c) text += c;
    static const char* const predefined[] = {"lt", "gt", "amp", "quot", "apos"};
    for (size_t at = text.find('&'); at != std::string::npos; at = text.find('&', at + 1)) {
        if (at + 1 < text.size() && text[at + 1] == '#') continue;
        const size_t semicolon = text.find(';', at);
        if (semicolon == std::string::npos) return true;
        const std::string name = text.substr(at + 1, semicolon - at - 1);
        if (std::find(std::begin(predefined), std::end(predefined), name) == std::end(predefined))
            return true;
    }
    return false;
}

// A text whose first or last character is white space, or an empty text:
// made by character references ("&#10;") or "&#0;", they cannot read back
// while white space is dropped (the trimming runs before decoding).
bool holdsTextTrimmedWhenRead(const XMLNode& root) {
    std::vector<const xml_internal::NodeData*> stack;
    if (xml_internal::NodeAccess::data(root)) stack.push_back(xml_internal::NodeAccess::data(root));
    const unsigned char* table = xml_internal::XML_ByteTable;
    while (!stack.empty()) {
        const xml_internal::NodeData* d = stack.back();
        stack.pop_back();
        for (int i = 0; i < d->textCount; i++) {
            const char* t = d->texts[i];
            if (!*t || xml_internal::isWhiteSpace(static_cast<unsigned char>(*t))) return true;
            const char* last = t;
            for (const char* p = t; *p; p = xml_internal::stepCharacter(table, p)) last = p;
            if (xml_internal::isWhiteSpace(static_cast<unsigned char>(*last))) return true;
        }
        for (int i = 0; i < d->childCount; i++) stack.push_back(d->children[i]);
    }
    return false;
}

class InstalledFilesTest : public SettingsGuard {
protected:
    void SetUp() override {
        SettingsGuard::SetUp();
        const char* locale = std::setlocale(LC_ALL, nullptr);
        savedLocale = locale ? locale : "C";
        utf8Locale = std::setlocale(LC_ALL, "C.UTF-8") || std::setlocale(LC_ALL, "C.utf8");
    }
    void TearDown() override {
        std::setlocale(LC_ALL, savedLocale.c_str());
        SettingsGuard::TearDown();
    }
    std::string savedLocale;
    bool utf8Locale = false;
};

TEST_F(InstalledFilesTest, ReadRightAndReadBack) {
    std::vector<std::string> files = installedXmlFiles();
    if (files.empty()) GTEST_SKIP() << "no XML files under " << kRoot;
    uintmax_t bytesSoFar = 0;
    std::vector<std::string> walked;
    for (const std::string& f : files) {
        std::error_code ec;
        bytesSoFar += fs::file_size(f, ec);
        if (bytesSoFar > kByteBudget) break;
        walked.push_back(f);
    }
    const std::string xmllint = findProgram("xmllint");
    const std::set<std::string> good = xmllint.empty() ? std::set<std::string>()
                                                       : wellFormed(xmllint, walked);

    int parsedWithoutFault = 0, checkedWellFormed = 0, roundTrips = 0, wideSkipped = 0;
    for (const std::string& path : walked) {
        SCOPED_TRACE(path);
        std::string bytes;
        if (!readFile(path, &bytes)) continue;
        const bool wide =
            xml_internal::myIsTextWideChar(bytes.data(), static_cast<int>(bytes.size()));
        if (wide && !utf8Locale) {
            wideSkipped++;
            continue;
        }

        // The encoding guessed as openFileHelper guesses it, from the load-time
        // settings (a guess of charEncodingError leaves UTF-8).
        XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1);
        std::string head = bytes.substr(0, 200);
        XMLNode::setGlobalOptions(
            XMLNode::guessCharEncoding(&head[0], static_cast<int>(head.size()), 1), 1, 1, 1);

        XMLResults r;
        XMLNode tree = XMLNode::parseFile(path.c_str(), nullptr, &r);
        const bool otherEntities = usesOtherEntities(bytes);
        if (good.count(path) && !otherEntities) {
            checkedWellFormed++;
            EXPECT_EQ(r.errorCode, errorNone) << XMLNode::getError(r.errorCode) << " at line "
                                              << r.line << ", column " << r.column;
        }
        if (r.errorCode != errorNone) {
            // Listed for whoever reads the test's output: files that are not
            // expected to parse without fault, and why.
            std::printf("%s: %s at line %d, column %d (%s)\n", path.c_str(),
                        XMLNode::getError(r.errorCode), r.line, r.column,
                        !xmllint.empty() && !good.count(path) ? "not well-formed for xmllint"
                        : otherEntities                       ? "uses entities of its DTD"
                        : xmllint.empty()                     ? "not checked with xmllint"
                                                              : "expected to parse");
            continue;
        }
        parsedWithoutFault++;
        if (holdsTextTrimmedWhenRead(tree)) continue;
        roundTrips++;
        for (int format : {0, 1}) {
            char* text = tree.createXMLString(format);
            ASSERT_NE(text, nullptr);
            XMLResults again;
            XMLNode back = XMLNode::parseString(text, nullptr, &again);
            EXPECT_EQ(again.errorCode, errorNone) << "format " << format << ", line " << again.line;
            EXPECT_TRUE(TreesEqual(tree, back)) << "format " << format;
            freeXMLString(text);
        }
    }
    std::printf(
        "%zu files walked (of %zu found), %d checked as well-formed%s, %d parsed without "
        "fault, %d written and read back; %d wide files skipped without a UTF-8 locale\n",
        walked.size(), files.size(), checkedWellFormed, xmllint.empty() ? " (no xmllint)" : "",
        parsedWithoutFault, roundTrips, wideSkipped);
}

}  // namespace
