// The version is written once (the header's macros); everything else that
// states it must agree: the version text of the library, the string and
// number macros, the CMake package version and the changelog's latest
// release.  Compiled as C++11, like any user of the header.
#include "xmlParser.h"

#include <cstdio>
#include <cstring>
#include <string>

#if !defined(XMLPARSER_VERSION_MAJOR) || !defined(XMLPARSER_VERSION_MINOR) || \
    !defined(XMLPARSER_VERSION_PATCH) || !defined(XMLPARSER_VERSION)
#error "the version macros are missing"
#endif
// A program can test the version at compile time.
#if XMLPARSER_VERSION < 23900
#error "XMLPARSER_VERSION is below the first packaged release"
#endif

static int failures = 0;

static void expect(bool ok, const std::string& what) {
    if (!ok) {
        std::printf("FAIL: %s\n", what.c_str());
        failures++;
    }
}

// The version of the latest release in a keepachangelog file: the first
// "## [x.y.z]" heading that is not "Unreleased".
static std::string latestRelease(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return "(no " + std::string(path) + ")";
    char line[512];
    std::string found;
    while (found.empty() && std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "## [", 4) != 0) continue;
        const char* end = std::strchr(line + 4, ']');
        if (!end) continue;
        std::string v(line + 4, static_cast<size_t>(end - (line + 4)));
        if (v != "Unreleased") found = v;
    }
    std::fclose(f);
    return found;
}

int main(int argc, char** argv) {
    const std::string major = std::to_string(XMLPARSER_VERSION_MAJOR);
    const std::string minor = std::to_string(XMLPARSER_VERSION_MINOR);
    const std::string patch = std::to_string(XMLPARSER_VERSION_PATCH);
    const std::string full = major + "." + minor + "." + patch;

    const std::string macro = XMLPARSER_VERSION_STRING;
    expect(macro == full, "XMLPARSER_VERSION_STRING is " + macro + ", not " + full);
    expect(XMLPARSER_VERSION == XMLPARSER_VERSION_MAJOR * 10000 + XMLPARSER_VERSION_MINOR * 100 +
                                    XMLPARSER_VERSION_PATCH,
           "XMLPARSER_VERSION does not combine the three numbers");
    const char* text = XMLNode::getVersion();
    const std::string shown = text ? text : "null";
    expect(shown == "v" + major + "." + minor,
           "getVersion() is " + shown + ", not v" + major + "." + minor);
#ifdef XMLPARSER_PACKAGE_VERSION
    const std::string package = XMLPARSER_PACKAGE_VERSION;
    expect(package == full, "the CMake package version is " + package + ", not " + full);
#else
    expect(false, "built without XMLPARSER_PACKAGE_VERSION");
#endif
    if (argc > 1) {
        const std::string released = latestRelease(argv[1]);
        expect(released == full, "the changelog's latest release is " + released + ", not " + full);
    } else {
        expect(false, "usage: version_test CHANGELOG");
    }
    if (failures) return 1;
    std::printf("version %s: header, library, package and changelog agree\n", full.c_str());
    return 0;
}
