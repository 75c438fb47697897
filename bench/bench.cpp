// bench.cpp - compares this library with other XML libraries on the corpus
// that xml_corpus writes.  Times are CPU times of the benchmark's thread (see
// `now`), the median of the runs; MB is 10^6 bytes.  For each document and
// library it measures:
//
//   parse+release  the document's size over the time of one parse from
//   MB/s           memory into a tree followed by the release of that tree,
//                  timed together, as a caller pays them (each library's
//                  document destruction is timed the same way).  The parse
//                  and release columns split the same runs;
//   write MB/s     the document's size over the time of writing the parsed
//                  tree as compact text into memory (releasing the output is
//                  not timed).  Using the input size for every library keeps
//                  every ratio a plain ratio of times, whatever each
//                  library's output looks like;
//   copy+release   the document's size over the time of a deep copy of the
//   MB/s           parsed tree and the release of the copy (ours only);
//   page faults    the median number of page faults of one parse + release,
//                  of one write and of one copy + release (ours): the pages touched fresh
//                  from the system, which cost time whatever the code does;
//   peak memory    the peak of heap bytes in use during one parse (usable size
//                  of every live block, counted by the malloc wrappers of
//                  alloc_count.cpp, which see every library in the process
//                  alike), as a multiple of the document's size.  The input
//                  text itself is not counted; a copy that a library makes of
//                  it is;
//   allocation     the document's size over the time of replaying the
//   floor MB/s     allocation calls of one parse and release alone
//                  (alloc_replay.h): the same malloc, realloc and free calls
//                  with the same sizes in the same order, without the
//                  parsing.  No parse that makes those calls can be faster;
//
// and the ratio of ours to each other library.  The build benchmark makes a
// tree in the shape of records.xml of about a million elements through each
// library's adders (build_plan.h) and releases it.  Every target of the
// library is then listed with its ratio and whether it is met.
//
// Usage: xml_bench [--runs N] [--lib a,b,...] [--doc name] [--parse-only |
//                  --write-only] [--times-only] <corpus directory>
// --doc build runs the build benchmark alone; --parse-only and --write-only
// leave out the copy and the build.  --times-only measures the timed runs and
// nothing else (no memory, counts, floors): what bench/callgrind.sh needs to
// count one parse's instructions.
#include "alloc_count.h"
#include "alloc_replay.h"
#include "build_plan.h"
#include "engines.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
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
    bool copyAndBuild = true;
    bool floors = true;  // memory, counts and floors besides the times
    std::string dir;
};

struct Result {
    bool parsed = false;
    double parseSeconds = -1;  // negative: not measured
    double releaseSeconds = -1;
    double totalSeconds = -1;  // parse and release together
    double writeSeconds = -1;  // negative: no writer
    double copySeconds = -1;   // negative: no copy
    double parseFaults = -1;   // page faults of one parse + release (median)
    double copyFaults = -1;    // page faults of one copy + release (median)
    double writeFaults = -1;   // page faults of one write (median)
    double peakBytes = -1;
    double allocations = -1;
    double allocSeconds = -1;
};

// CPU time of this thread (user and system, page faults included): on a
// machine shared with other work it moves much less than wall-clock time,
// since time spent waiting for a core is not counted.
double now() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Page faults of the process so far (minor and major): a fault is paid for
// each page of memory a library touches first, so this tells how much of a
// run's time went to memory fresh from the system.
double pageFaults() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_minflt + u.ru_majflt);
}

double median(std::vector<double> v) {
    if (v.empty()) return -1;
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
        // Each run parses, then releases, so every parse after the first
        // meets the heap as the previous release left it.
        std::vector<double> parses, releases, totals, faults;
        for (int i = 0; i < o.runs; i++) {
            const double f0 = pageFaults();
            double t0 = now();
            void* tree = e.parse(data, size);
            double t1 = now();
            if (!tree) return r;
            e.release(tree);
            double t2 = now();
            parses.push_back(t1 - t0);
            releases.push_back(t2 - t1);
            totals.push_back(t2 - t0);
            faults.push_back(pageFaults() - f0);
        }
        r.parseFaults = median(faults);
        r.parseSeconds = median(parses);
        r.releaseSeconds = median(releases);
        r.totalSeconds = median(totals);
    }
    if (o.parse && o.floors) {
        countingStart();
        void* tree = e.parse(data, size);
        r.peakBytes = static_cast<double>(countingStop());
        r.allocations = static_cast<double>(countedCalls());
        if (!tree) return r;
        e.release(tree);

        // Every allocation call is followed by at most one free.
        std::vector<AllocEvent> events;
        events.reserve(2 * countedCalls() + 1024);
        tracingStart(&events);
        tree = e.parse(data, size);
        if (tree) e.release(tree);
        const bool whole = tracingStop();
        if (!tree) return r;
        if (whole) {
            const AllocReplay replay = prepareReplay(events);
            events = std::vector<AllocEvent>();
            std::vector<double> replays;
            for (int i = 0; i < o.runs; i++) replays.push_back(runReplay(replay));
            r.allocSeconds = median(replays);
        }
    }
    r.parsed = true;

    const bool copying = o.copyAndBuild && e.copy;
    if ((o.write && e.write) || copying) {
        void* tree = e.parse(data, size);
        if (!tree) {
            r.parsed = false;
            return r;
        }
        std::vector<double> writes, copies, faults, writeFaults;
        for (int i = 0; o.write && e.write && i < o.runs; i++) {
            size_t length = 0;
            const double f0 = pageFaults();
            double t0 = now();
            void* out = e.write(tree, &length);
            double t1 = now();
            if (!out) break;
            writeFaults.push_back(pageFaults() - f0);
            e.releaseOutput(out);
            writes.push_back(t1 - t0);
        }
        for (int i = 0; copying && i < o.runs; i++) {
            const double f0 = pageFaults();
            double t0 = now();
            void* c = e.copy(tree);
            e.release(c);
            copies.push_back(now() - t0);
            faults.push_back(pageFaults() - f0);
        }
        if (copying) r.copyFaults = median(faults);
        if (!writeFaults.empty()) r.writeFaults = median(writeFaults);
        r.writeSeconds = median(writes);
        r.copySeconds = median(copies);
        e.release(tree);
    }
    return r;
}

// Build and release of the planned tree: the median time, or -1.
double measureBuild(const Engine& e, const BuildPlan& plan, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; i++) {
        double t0 = now();
        void* tree = e.build(plan);
        e.release(tree);
        times.push_back(now() - t0);
    }
    return median(times);
}

std::string cell(double value, const char* format) {
    if (value < 0) return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// One target: ours over a reference, against what is asked.
struct Target {
    std::string what, where, ours, other, note;
    double ratio;
    double goal;
    bool atMost;  // the ratio must not exceed the goal (memory)
    bool met() const { return atMost ? ratio <= goal : ratio >= goal; }
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--lib" && i + 1 < argc)
            o.libs = argv[++i];
        else if (a == "--doc" && i + 1 < argc)
            o.doc = argv[++i];
        else if (a == "--parse-only")
            o.write = o.copyAndBuild = false;
        else if (a == "--write-only")
            o.parse = o.copyAndBuild = false;
        else if (a == "--times-only")
            o.floors = false;
        else if (!a.empty() && a[0] != '-')
            o.dir = a;
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
    const bool haveOurs = !engines.empty() && std::strcmp(engines[0].name, "ours") == 0;

    const char* const docs[] = {"records.xml", "attrs.xml", "prose.xml", "escaped.xml",
                                "mixed.xml"};
    std::printf(
        "Median of %d runs of thread CPU time; MB = 10^6 bytes; every speed is the "
        "input document's size over the time.\n",
        o.runs);
    std::printf("Libraries:");
    for (const Engine& e : engines) std::printf(" %s", e.name);
    std::printf("\n");

    std::vector<Target> targets;
    int failures = 0;
    auto mbps = [](double mb, double seconds) { return seconds > 0 ? mb / seconds : -1; };

    for (const char* name : docs) {
        if (!o.doc.empty() && std::strstr(name, o.doc.c_str()) == nullptr) continue;
        std::string text;
        if (!readFile(o.dir + "/" + name, text)) {
            std::fprintf(stderr, "cannot read %s/%s (run xml_corpus first)\n", o.dir.c_str(), name);
            return 1;
        }
        const double mb = text.size() / 1e6;
        std::vector<Result> results;
        for (const Engine& e : engines) {
            results.push_back(measure(e, text, o));
            std::fflush(stdout);
        }

        std::printf("\n### %s (%.1f MB)\n\n", name, mb);
        std::printf(
            "| library | parse+release MB/s | parse MB/s | release MB/s | write MB/s "
            "| copy+release MB/s | page faults: parse+release, write, copy+release "
            "| peak memory of a parse (x input) "
            "| allocations per parse | allocation floor MB/s "
            "| ours / this: parse+release | ours / this: write |\n");
        std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        const Result& ours = results[0];
        const bool compare = haveOurs && ours.parsed;
        for (size_t i = 0; i < engines.size(); i++) {
            const Result& r = results[i];
            if (!r.parsed) {
                std::printf("| %s | failed to parse | | | | | | | | | | |\n", engines[i].name);
                failures++;
                continue;
            }
            double ratioTotal = -1, ratioWrite = -1;
            if (compare && i > 0 && r.totalSeconds > 0 && ours.totalSeconds > 0)
                ratioTotal = r.totalSeconds / ours.totalSeconds;
            if (compare && i > 0 && r.writeSeconds > 0 && ours.writeSeconds > 0)
                ratioWrite = r.writeSeconds / ours.writeSeconds;
            std::string faults = cell(r.parseFaults, "%.0f");
            if (r.writeFaults >= 0) faults += ", " + cell(r.writeFaults, "%.0f");
            if (r.copyFaults >= 0) faults += ", " + cell(r.copyFaults, "%.0f");
            std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n",
                        engines[i].name, cell(mbps(mb, r.totalSeconds), "%.0f").c_str(),
                        cell(mbps(mb, r.parseSeconds), "%.0f").c_str(),
                        cell(mbps(mb, r.releaseSeconds), "%.0f").c_str(),
                        cell(mbps(mb, r.writeSeconds), "%.0f").c_str(),
                        cell(mbps(mb, r.copySeconds), "%.0f").c_str(), faults.c_str(),
                        cell(r.peakBytes < 0 ? -1 : r.peakBytes / text.size(), "%.2f").c_str(),
                        cell(r.allocations, "%.0f").c_str(),
                        cell(mbps(mb, r.allocSeconds), "%.0f").c_str(),
                        cell(ratioTotal, "%.2fx").c_str(), cell(ratioWrite, "%.2fx").c_str());

            if (!compare) continue;
            auto speed = [&](double seconds) { return cell(mbps(mb, seconds), "%.0f MB/s"); };
            if (i == 0) {
                if (ours.copySeconds > 0 && ours.totalSeconds > 0)
                    targets.push_back(Target{
                        "copy+release vs our parse+release", name, speed(ours.copySeconds),
                        speed(ours.totalSeconds),
                        "page faults per run: copy+release " + cell(ours.copyFaults, "%.0f") +
                            ", parse+release " + cell(ours.parseFaults, "%.0f"),
                        ours.totalSeconds / ours.copySeconds, 1.0, false});
                continue;
            }
            const std::string peer = engines[i].name;
            const double goal = peer == "pugixml"    ? 0.5
                                : peer == "tinyxml2" ? 1.5
                                : peer == "libxml2"  ? 4.0
                                                     : -1;
            if (goal > 0 && ratioTotal > 0) {
                // What the target asks of us, beside what our allocation calls
                // alone allow: a target above that floor cannot be met while
                // the parse makes those calls.
                std::string note;
                const double needed = goal * mb / r.totalSeconds;
                if (ratioTotal < goal && ours.allocSeconds > 0) {
                    const double floor = mb / ours.allocSeconds;
                    note = "needs " + cell(needed, "%.0f") + " MB/s; our allocation calls alone " +
                           cell(floor, "%.0f") + " MB/s" + (floor < needed ? ": out of reach" : "");
                }
                targets.push_back(Target{"parse+release vs " + peer, name, speed(ours.totalSeconds),
                                         speed(r.totalSeconds), note, ratioTotal, goal, false});
            }
            if (peer == "pugixml" && ratioWrite > 0)
                targets.push_back(Target{"compact write vs pugixml", name, speed(ours.writeSeconds),
                                         speed(r.writeSeconds), "", ratioWrite, 1.0, false});
            if (peer == "pugixml" && ours.peakBytes > 0 && r.peakBytes > 0) {
                auto times = [&](double bytes) { return cell(bytes / text.size(), "%.2fx input"); };
                targets.push_back(Target{"peak memory of a parse vs pugixml", name,
                                         times(ours.peakBytes), times(r.peakBytes), "",
                                         ours.peakBytes / r.peakBytes, 1.25, true});
            }
        }
        std::fflush(stdout);
    }

    // The build benchmark.
    if (o.copyAndBuild && (o.doc.empty() || o.doc == "build")) {
        const BuildPlan plan = makeBuildPlan(1000000);
        std::printf("\n### build: %zu elements in the shape of records.xml, then released\n\n",
                    plan.elements);
        std::printf("| library | build+release ms | million elements/s | ours / this |\n");
        std::printf("|---|---:|---:|---:|\n");
        double oursSeconds = -1;
        for (const Engine& e : engines) {
            if (!e.build) continue;
            const double s = measureBuild(e, plan, o.runs);
            const bool isOurs = std::strcmp(e.name, "ours") == 0;
            if (isOurs) oursSeconds = s;
            const bool peer = !isOurs && oursSeconds > 0;
            std::printf("| %s | %.1f | %.2f | %s |\n", e.name, s * 1e3, plan.elements / s / 1e6,
                        cell(peer ? s / oursSeconds : -1, "%.2fx").c_str());
            if (peer && std::strcmp(e.name, "pugixml") == 0)
                targets.push_back(
                    Target{"build+release vs pugixml", "build", cell(oursSeconds * 1e3, "%.1f ms"),
                           cell(s * 1e3, "%.1f ms"), "", s / oursSeconds, 0.5, false});
        }
    }

    if (!targets.empty()) {
        std::printf("\n### Targets\n\n");
        std::printf(
            "| target | document | ours | other | ours / other | asked | verdict | "
            "note |\n");
        std::printf("|---|---|---:|---:|---:|---:|---|---|\n");
        int met = 0;
        for (const Target& t : targets) {
            met += t.met();
            std::printf("| %s | %s | %s | %s | %.2fx | %s %.2fx | %s | %s |\n", t.what.c_str(),
                        t.where.c_str(), t.ours.c_str(), t.other.c_str(), t.ratio,
                        t.atMost ? "<=" : ">=", t.goal, t.met() ? "met" : "MISSED", t.note.c_str());
        }
        std::printf("\n%d of %zu targets met.\n", met, targets.size());
    }
    return failures ? 1 : 0;
}
