// bench.cpp - compares this library with other XML libraries on the corpus
// that xml_corpus writes.  For each document and library it measures:
//
// Times are CPU times of the benchmark's thread (see `now`).
//
//   parse MB/s   the document's size over the median time of one parse from
//                memory into a tree (releasing the tree is not timed);
//   release MB/s the document's size over the median time of releasing the
//                parsed tree, shown beside the parse: an allocator may move
//                work between the two (merging freed blocks, say), so a
//                parse should be judged with its release in view;
//   write MB/s   the document's size over the median time of writing the
//                parsed tree as compact text into memory (releasing the
//                output is not timed).  Using the input size for both keeps
//                every ratio a plain ratio of times, whatever each library's
//                output looks like;
//   allocation   the document's size over the median time of replaying the
//   floor MB/s   allocation calls of one parse alone (alloc_replay.h): the
//                same malloc, realloc and free calls with the same sizes in
//                the same order, without the parsing.  No parse that makes
//                those calls can be faster than this;
//   write floor  the document's size over the median time of reading the
//   MB/s         parsed tree twice (Engine::readTree), as the writer's length
//                pass and write pass must, and storing the output's bytes
//                once into a new block of their size: no writer that reads
//                the tree twice can be faster (ours only);
//   length pass  the share of the write time that the writer's length pass
//                takes alone (ours only);
//   peak memory  the peak of heap bytes in use during one parse (usable size
//                of every live block, counted by the malloc wrappers of
//                alloc_count.cpp, which see every library in the process
//                alike), as a multiple of the document's size.  The input
//                text itself is not counted; a copy that a library makes of
//                it is;
//
// and the ratio of ours to each other library.  MB is 10^6 bytes.
//
// Usage: xml_bench [--runs N] [--lib a,b,...] [--doc name] [--parse-only |
//                  --write-only] [--times-only] <corpus directory>
// --times-only measures the timed runs and nothing else (no memory, counts,
// floors): what bench/callgrind.sh needs to count one parse's instructions.
#include "alloc_count.h"
#include "alloc_replay.h"
#include "engines.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace bench;

namespace {

struct Options {
    int runs = 7;
    std::string libs;  // comma-separated names; empty means all
    std::string doc;   // substring of a document's name; empty means all
    bool parse = true;
    bool write = true;
    bool floors = true;  // memory, counts and floors besides the times
    std::string dir;
};

struct Result {
    bool parsed = false;
    double parseSeconds = 0;
    double releaseSeconds = 0;
    double writeSeconds = -1;  // negative: no writer
    size_t written = 0;
    double peakBytes = 0;
    uint64_t allocations = 0;
    double allocSeconds = -1;  // negative: not measured
    double readSeconds = -1;    // the write floor; negative: not measured
    double lengthSeconds = -1;  // the writer's length pass alone
};

// CPU time of this thread (user and system, page faults included): on a
// machine shared with other work it moves much less than wall-clock time,
// since time spent waiting for a core is not counted.
double now() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool readFile(const std::string& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, n);
    std::fclose(f);
    return true;
}

bool selected(const std::string& list, const char* name) {
    if (list.empty()) return true;
    std::string padded = "," + list + ",";
    return padded.find("," + std::string(name) + ",") != std::string::npos;
}

Result measure(const Engine& e, const std::string& text, const Options& o) {
    Result r;
    const char* data = text.c_str();
    const size_t size = text.size();

    if (o.parse) {
        std::vector<double> times, releases;
        for (int i = 0; i < o.runs; i++) {
            double t0 = now();
            void* tree = e.parse(data, size);
            double t1 = now();
            if (!tree) return r;
            e.release(tree);
            double t2 = now();
            times.push_back(t1 - t0);
            releases.push_back(t2 - t1);
        }
        r.parseSeconds = median(times);
        r.releaseSeconds = median(releases);
    }
    if (o.parse && o.floors) {
        countingStart();
        void* tree = e.parse(data, size);
        r.peakBytes = static_cast<double>(countingStop());
        r.allocations = countedCalls();
        if (!tree) return r;
        e.release(tree);

        // Every allocation call is followed by at most one free.
        std::vector<AllocEvent> events;
        events.reserve(2 * r.allocations + 1024);
        tracingStart(&events);
        tree = e.parse(data, size);
        const bool whole = tracingStop();
        if (!tree) return r;
        e.release(tree);
        if (whole) {
            const AllocReplay replay = prepareReplay(events);
            events = std::vector<AllocEvent>();
            std::vector<double> replays;
            for (int i = 0; i < o.runs; i++) replays.push_back(runReplay(replay));
            r.allocSeconds = median(replays);
        }
    }
    r.parsed = true;

    if (o.write && e.write) {
        void* tree = e.parse(data, size);
        if (!tree) {
            r.parsed = false;
            return r;
        }
        std::vector<double> times;
        for (int i = 0; i < o.runs; i++) {
            size_t length = 0;
            double t0 = now();
            void* out = e.write(tree, &length);
            double t1 = now();
            if (!out) break;
            r.written = length;
            e.releaseOutput(out);
            times.push_back(t1 - t0);
        }
        if (!times.empty()) r.writeSeconds = median(times);
        if (o.floors && e.readTree && r.written > 0) {
            // As many reads of the tree as the writer makes (a length pass
            // and a write pass), and the output's bytes stored once into a
            // new block of their size, as the writer must.  The fill goes
            // through a volatile pointer so that it cannot be left out.
            static void* (*volatile fill)(void*, int, size_t) = std::memset;
            std::vector<double> reads;
            volatile size_t sink = 0;
            for (int i = 0; i < o.runs; i++) {
                double t0 = now();
                sink = sink + e.readTree(tree) + e.readTree(tree);
                void* block = std::malloc(r.written + 1);
                if (!block) break;
                fill(block, 'x', r.written + 1);
                double t1 = now();
                std::free(block);
                reads.push_back(t1 - t0);
            }
            if (!reads.empty()) r.readSeconds = median(reads);
        }
        if (o.floors && e.lengthPass) {
            std::vector<double> passes;
            volatile size_t sink = 0;
            for (int i = 0; i < o.runs; i++) {
                double t0 = now();
                sink = sink + e.lengthPass(tree);
                passes.push_back(now() - t0);
            }
            r.lengthSeconds = median(passes);
        }
        e.release(tree);
    }
    return r;
}

void cell(char* buf, size_t n, double value, const char* format) {
    if (value < 0) std::snprintf(buf, n, "-");
    else std::snprintf(buf, n, format, value);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--lib" && i + 1 < argc) o.libs = argv[++i];
        else if (a == "--doc" && i + 1 < argc) o.doc = argv[++i];
        else if (a == "--parse-only") o.write = false;
        else if (a == "--write-only") o.parse = false;
        else if (a == "--times-only") o.floors = false;
        else if (!a.empty() && a[0] != '-') o.dir = a;
        else {
            std::fprintf(stderr,
                         "usage: %s [--runs N] [--lib a,b] [--doc name] [--parse-only | "
                         "--write-only] [--times-only] <corpus directory>\n",
                         argv[0]);
            return 2;
        }
    }
    if (o.dir.empty()) o.dir = "bench/corpus";

    std::vector<Engine> all;
    addOurs(all);
#ifdef HAVE_PUGIXML
    addPugixml(all);
#endif
#ifdef HAVE_TINYXML2
    addTinyxml2(all);
#endif
#ifdef HAVE_RAPIDXML
    addRapidxml(all);
#endif
#ifdef HAVE_LIBXML2
    addLibxml2(all);
#endif
#ifdef HAVE_EXPAT
    addExpat(all);
#endif
    std::vector<Engine> engines;
    for (const Engine& e : all)
        if (selected(o.libs, e.name)) engines.push_back(e);

    const char* const docs[] = {"records.xml", "attrs.xml", "prose.xml", "mixed.xml"};
    std::printf("Median of %d runs of thread CPU time; MB = 10^6 bytes; write speed is "
                "document size over write time.\n",
                o.runs);
    std::printf("Libraries:");
    for (const Engine& e : engines) std::printf(" %s", e.name);
    std::printf("\n");

    struct Verdict {
        std::string text;
        bool pass;
    };
    std::vector<Verdict> verdicts;
    int failures = 0;

    for (const char* name : docs) {
        if (!o.doc.empty() && std::strstr(name, o.doc.c_str()) == nullptr) continue;
        std::string text;
        if (!readFile(o.dir + "/" + name, text)) {
            std::fprintf(stderr, "cannot read %s/%s (run xml_corpus first)\n", o.dir.c_str(),
                         name);
            return 1;
        }
        const double mb = text.size() / 1e6;
        std::vector<Result> results;
        for (const Engine& e : engines) {
            results.push_back(measure(e, text, o));
            std::fflush(stdout);
        }

        std::printf("\n### %s (%.1f MB)\n\n", name, mb);
        std::printf("| library | parse MB/s | release MB/s | write MB/s "
                    "| peak memory of a parse (x input) | allocations per parse "
                    "| allocation floor MB/s | write floor MB/s | length pass share "
                    "| ours / this: parse | ours / this: write |\n");
        std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        const Result& ours = results[0];
        const bool haveOurs = std::strcmp(engines[0].name, "ours") == 0 && ours.parsed;
        for (size_t i = 0; i < engines.size(); i++) {
            const Result& r = results[i];
            if (!r.parsed) {
                std::printf("| %s | failed to parse | | | | | | | | | |\n", engines[i].name);
                failures++;
                continue;
            }
            char parse[32], rel[32], write[32], peak[32], allocs[32], floor[32], rfloor[32],
                share[32], rp[32], rw[32];
            cell(parse, sizeof parse, o.parse ? mb / r.parseSeconds : -1, "%.0f");
            cell(rel, sizeof rel, o.parse && r.releaseSeconds > 0 ? mb / r.releaseSeconds : -1,
                 "%.0f");
            cell(write, sizeof write, r.writeSeconds < 0 ? -1 : mb / r.writeSeconds, "%.0f");
            cell(peak, sizeof peak, o.parse && o.floors ? r.peakBytes / text.size() : -1, "%.2f");
            cell(allocs, sizeof allocs,
                 o.parse && o.floors ? static_cast<double>(r.allocations) : -1, "%.0f");
            cell(floor, sizeof floor, r.allocSeconds > 0 ? mb / r.allocSeconds : -1, "%.0f");
            cell(rfloor, sizeof rfloor, r.readSeconds > 0 ? mb / r.readSeconds : -1, "%.0f");
            cell(share, sizeof share,
                 r.lengthSeconds > 0 && r.writeSeconds > 0 ? 100 * r.lengthSeconds / r.writeSeconds
                                                           : -1,
                 "%.0f %%");
            double ratioParse = -1, ratioWrite = -1;
            if (haveOurs && i > 0 && o.parse) ratioParse = r.parseSeconds / ours.parseSeconds;
            if (haveOurs && i > 0 && r.writeSeconds > 0 && ours.writeSeconds > 0)
                ratioWrite = r.writeSeconds / ours.writeSeconds;
            cell(rp, sizeof rp, ratioParse, "%.2fx");
            cell(rw, sizeof rw, ratioWrite, "%.2fx");
            std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n",
                        engines[i].name, parse, rel, write, peak, allocs, floor, rfloor, share, rp,
                        rw);

            // The targets: parse at least 1.3x tinyxml2 and 3x libxml2 on every
            // document, at least half of pugixml on the prose; write at least
            // as fast as pugixml's raw save everywhere.
            if (!haveOurs || i == 0) continue;
            auto check = [&](const char* what, double ratio, double need) {
                if (ratio < 0) return;
                char line[480];
                int n = std::snprintf(line, sizeof line, "%s: %s vs %s %.2fx (target %.2fx)",
                                      name, what, engines[i].name, ratio, need);
                // A missed target whose needed speed lies above our floor
                // (the allocation calls of a parse; the reads and the output
                // fill of a write) cannot be met while those stay.
                const bool parsing = std::strcmp(what, "parse") == 0;
                const double needed =
                    need * mb / (parsing ? r.parseSeconds : r.writeSeconds);
                const double floorSeconds = parsing ? ours.allocSeconds : ours.readSeconds;
                if (ratio < need && floorSeconds > 0 && n > 0 &&
                    static_cast<size_t>(n) < sizeof line) {
                    const double floorSpeed = mb / floorSeconds;
                    n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n),
                                       "; needs %.0f MB/s, %s allow %.0f MB/s%s", needed,
                                       parsing ? "our allocation calls alone"
                                               : "two reads of our tree and one fill of the output",
                                       floorSpeed, floorSpeed < needed ? ": out of reach" : "");
                }
                // What the write pass alone achieves: the speed our writer
                // would have without the length pass that sizes its output.
                if (ratio < need && !parsing && ours.lengthSeconds > 0 &&
                    ours.writeSeconds > ours.lengthSeconds && n > 0 &&
                    static_cast<size_t>(n) < sizeof line) {
                    const double single = mb / (ours.writeSeconds - ours.lengthSeconds);
                    std::snprintf(line + n, sizeof line - static_cast<size_t>(n),
                                  "; the write pass alone runs at %.0f MB/s", single);
                }
                verdicts.push_back(Verdict{line, ratio >= need});
            };
            const std::string peer = engines[i].name;
            if (peer == "tinyxml2") check("parse", ratioParse, 1.3);
            if (peer == "libxml2") check("parse", ratioParse, 3.0);
            if (peer == "pugixml" && std::strcmp(name, "prose.xml") == 0)
                check("parse", ratioParse, 0.5);
            if (peer == "pugixml") check("write", ratioWrite, 1.0);
        }
        std::fflush(stdout);
    }

    if (!verdicts.empty()) {
        std::printf("\n### Targets\n\n");
        for (const Verdict& v : verdicts)
            std::printf("- %s %s\n", v.pass ? "met:    " : "MISSED: ", v.text.c_str());
    }
    return failures ? 1 : 0;
}
