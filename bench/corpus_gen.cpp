// corpus_gen.cpp - writes the five benchmark documents, deterministically,
// into a directory:
//
//   records.xml  data records: many small elements with a few attributes and
//                short texts
//   attrs.xml    attribute-heavy entries: empty elements with ten attributes
//   prose.xml    text-heavy prose: long paragraphs with entity references and
//                multibyte UTF-8 (two-, three- and four-byte characters)
//   escaped.xml  prose dense with escaped characters: an "&", "<" or '"'
//                every 10 to 20 bytes of text, between many short words of
//                two- and three-byte UTF-8
//   mixed.xml    a mixed document: comments, CDATA sections, a document type,
//                mixed content and nesting 80 levels deep
//
// Every document is well-formed XML 1.0 with one root element, so that every
// library of the comparison reads the same text.  Numeric character
// references stay in the ASCII range, where every reader decodes them to the
// same byte.
//
// Usage: xml_corpus <directory> [megabytes per document, default 20]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A small deterministic generator (xorshift64*), so every run writes the
// same bytes.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed) {}
    uint64_t next() {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 2685821657736338717ULL;
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
    template <size_t N>
    const char* pick(const char* const (&list)[N]) {
        return list[below(N)];
    }
};

const char* const kWords[] = {
    "the",     "of",      "and",    "river",  "stone",  "light",   "window", "garden",
    "silver",  "morning", "quiet",  "market", "letter", "harbour", "winter", "station",
    "lantern", "meadow",  "paper",  "forest", "bridge", "cloud",   "engine", "copper",
    "island",  "orchard", "signal", "thread", "valley", "whisper", "a",      "in",
    "to",      "was",     "for",    "with",   "under",  "over",    "between"};

// Multibyte words: two-byte Latin and Greek, three-byte CJK and symbols,
// four-byte characters outside the basic plane.
const char* const kForeign[] = {"caf\xC3\xA9",
                                "na\xC3\xAFve",
                                "Gr\xC3\xBC\xC3\x9F"
                                "e",
                                "\xCE\xB1\xCE\xBB\xCF\x86\xCE\xB1",
                                "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                                "\xE2\x82\xAC"
                                "42",
                                "\xE4\xB8\xAD\xE6\x96\x87",
                                "\xF0\x9F\x98\x80",
                                "\xF0\x9D\x84\x9E",
                                "se\xC3\xB1or",
                                "\xD0\xBC\xD0\xB8\xD1\x80"};

// Entity and character references, all of the five named ones included.
const char* const kEntities[] = {"&amp;",  "&lt;",  "&gt;",   "&quot;",
                                 "&apos;", "&#38;", "&#x41;", "&#65;"};

const char* const kNames[] = {"alpha", "beta",  "gamma", "delta", "epsilon", "zeta",
                              "eta",   "theta", "iota",  "kappa", "lambda",  "mu"};

void number(std::string& out, unsigned v) { out += std::to_string(v); }

void words(Rng& r, std::string& out, unsigned count) {
    for (unsigned i = 0; i < count; i++) {
        if (i) out += ' ';
        out += r.pick(kWords);
    }
}

std::string records(size_t target) {
    Rng r(1);
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<records>\n";
    for (unsigned id = 1; s.size() < target; id++) {
        s += "  <record id=\"";
        number(s, id);
        s += "\" kind=\"";
        s += r.pick(kNames);
        s += "\">\n    <name>";
        words(r, s, 2);
        s += "</name>\n    <price currency=\"EUR\">";
        number(s, r.below(10000));
        s += '.';
        number(s, 10 + r.below(90));
        s += "</price>\n    <qty>";
        number(s, r.below(500));
        s += "</qty>\n    <active>";
        s += r.below(2) ? "true" : "false";
        s += "</active>\n    <tags>";
        unsigned tags = 1 + r.below(3);
        for (unsigned t = 0; t < tags; t++) {
            s += "<tag>";
            s += r.pick(kNames);
            s += "</tag>";
        }
        s += "</tags>\n    <when y=\"";
        number(s, 1990 + r.below(35));
        s += "\" m=\"";
        number(s, 1 + r.below(12));
        s += "\" d=\"";
        number(s, 1 + r.below(28));
        s += "\"/>\n  </record>\n";
    }
    s += "</records>\n";
    return s;
}

std::string attributes(size_t target) {
    Rng r(2);
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<entries>\n";
    for (unsigned id = 1; s.size() < target; id++) {
        s += "<entry id=\"";
        number(s, id);
        s += '"';
        for (unsigned a = 0; a < 10; a++) {
            s += ' ';
            s += kNames[a];
            s += "=\"";
            switch (r.below(5)) {
                case 0: number(s, r.next() % 1000000); break;
                case 1: s += r.pick(kWords); break;
                case 2: words(r, s, 3); break;
                case 3:
                    s += r.pick(kWords);
                    s += " &amp; ";
                    s += r.pick(kWords);
                    break;
                default: s += r.pick(kForeign); break;
            }
            s += '"';
        }
        s += "/>\n";
    }
    s += "</entries>\n";
    return s;
}

void paragraph(Rng& r, std::string& s, unsigned count) {
    for (unsigned i = 0; i < count; i++) {
        if (i) s += (i % 17 == 0) ? "\n      " : " ";
        unsigned k = r.below(20);
        if (k == 0)
            s += r.pick(kEntities);
        else if (k <= 2)
            s += r.pick(kForeign);
        else
            s += r.pick(kWords);
        if (r.below(12) == 0) s += ',';
    }
    s += '.';
}

std::string prose(size_t target) {
    Rng r(3);
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<book>\n";
    for (unsigned ch = 1; s.size() < target; ch++) {
        s += "  <chapter n=\"";
        number(s, ch);
        s += "\">\n    <title>";
        words(r, s, 4);
        s += "</title>\n";
        for (unsigned p = 0; p < 12; p++) {
            s += "    <p>";
            paragraph(r, s, 60 + r.below(120));
            s += "</p>\n";
        }
        s += "  </chapter>\n";
    }
    s += "</book>\n";
    return s;
}

// Short words, most of them with a multibyte character.
const char* const kShortForeign[] = {"\xC3\xA9t\xC3\xA9",
                                     "o\xC3\xB9",
                                     "\xC3\xA0",
                                     "\xCE\xB1\xCE\xB2",
                                     "\xCF\x80",
                                     "\xD0\xB4\xD0\xB0",
                                     "\xE6\x97\xA5",
                                     "\xE4\xB8\xAD\xE6\x96\x87",
                                     "\xE2\x82\xAC",
                                     "na\xC3\xAF",
                                     "\xC3\xBC"
                                     "ber",
                                     "so",
                                     "et",
                                     "of",
                                     "la",
                                     "ni"};

// The escaped forms of the characters met every 10 to 20 bytes of text.
const char* const kDenseEntities[] = {"&amp;", "&lt;", "&quot;"};

std::string escaped(size_t target) {
    Rng r(5);
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<notes>\n";
    for (unsigned n = 1; s.size() < target; n++) {
        s += "  <note n=\"";
        number(s, n);
        s += "\" by=\"";
        s += r.pick(kShortForeign);
        s += " &quot;";
        s += r.pick(kShortForeign);
        s += "&quot;\">";
        for (unsigned k = 0, count = 20 + r.below(40); k < count; k++) {
            // 10 to 20 bytes of short words, then one escaped character.
            const size_t start = s.size();
            const size_t span = 10 + r.below(11);
            for (size_t gap = 0; gap < span; gap = s.size() - start) {
                const std::string word = std::string(r.pick(kShortForeign)) + ' ';
                if (gap >= 10 && gap + word.size() > 20) break;
                s += word;
            }
            s += r.pick(kDenseEntities);
        }
        s += "</note>\n";
    }
    s += "</notes>\n";
    return s;
}

std::string mixed(size_t target) {
    Rng r(4);
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE archive>\n<!-- a mixed document -->\n<archive>\n";
    const unsigned kDepth = 80;  // below the nesting limits of every reader compared
    for (unsigned n = 1; s.size() < target; n++) {
        s += "<section id=\"s";
        number(s, n);
        s += "\">\n<!-- section ";
        number(s, n);
        s += ": ";
        words(r, s, 5);
        s += " -->\n<intro>";
        words(r, s, 6);
        s += " <em>";
        s += r.pick(kWords);
        s += "</em> ";
        words(r, s, 4);
        s += "</intro>\n<![CDATA[if (a < b && c > d) { emit(\"<raw>\"); } ";
        words(r, s, 8);
        s += "]]>\n";
        unsigned depth = n % 8 == 0 ? kDepth : 4 + r.below(12);
        for (unsigned d = 0; d < depth; d++) {
            s += "<level d=\"";
            number(s, d);
            s += "\">";
            if (d % 3 == 0) {
                s += "text ";
                s += r.pick(kWords);
                s += " &lt;";
                number(s, d);
                s += "&gt;";
            }
            if (d % 7 == 0) {
                s += "<!-- depth ";
                number(s, d);
                s += " -->";
            }
        }
        s += "<leaf><![CDATA[";
        words(r, s, 3);
        s += "]]></leaf>";
        for (unsigned d = depth; d > 0; d--) {
            s += "</level>";
            if (d % 5 == 0) s += '\n';
        }
        s += "\n<note kind=\"";
        s += r.pick(kNames);
        s += "\">";
        paragraph(r, s, 10 + r.below(20));
        s += "</note>\n</section>\n";
    }
    s += "</archive>\n";
    return s;
}

bool writeFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <directory> [megabytes per document]\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    double mb = argc > 2 ? std::atof(argv[2]) : 20.0;
    if (!(mb > 0)) mb = 20.0;
    size_t target = static_cast<size_t>(mb * 1024 * 1024);

    struct Doc {
        const char* file;
        std::string (*make)(size_t);
    } docs[] = {{"records.xml", records},
                {"attrs.xml", attributes},
                {"prose.xml", prose},
                {"escaped.xml", escaped},
                {"mixed.xml", mixed}};
    for (const Doc& d : docs) {
        std::string path = dir + "/" + d.file;
        std::string text = d.make(target);
        if (!writeFile(path, text)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("wrote %s (%.1f MB)\n", path.c_str(), text.size() / 1048576.0);
    }
    return 0;
}
