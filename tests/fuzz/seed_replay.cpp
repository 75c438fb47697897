// seed_replay.cpp - runs a fuzz target over the seed files of a directory,
// as an ordinary program: each seed is handed to LLVMFuzzerTestOneInput in a
// heap block of exactly its size, so the sanitizers see any read past it.
// A failed check in the target aborts, which fails the test.
//   fuzz_replay_TARGET SEED_DIRECTORY
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED_DIRECTORY\n", argv[0]);
        return 2;
    }
    std::vector<std::filesystem::path> seeds;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1], error))
        if (entry.is_regular_file()) seeds.push_back(entry.path());
    if (error || seeds.empty()) {
        // A wrong directory must not pass as a replay of nothing.
        std::fprintf(stderr, "%s: no seed files (%s)\n", argv[1],
                     error ? error.message().c_str() : "empty");
        return 1;
    }
    std::sort(seeds.begin(), seeds.end());
    for (const auto& seed : seeds) {
        std::ifstream in(seed, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "%s: cannot be read\n", seed.c_str());
            return 1;
        }
        std::printf("%s\n", seed.filename().c_str());
        std::fflush(stdout);  // the name stays on record if the target aborts
        uint8_t* data = static_cast<uint8_t*>(std::malloc(bytes.size() ? bytes.size() : 1));
        if (!data) return 1;
        if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        LLVMFuzzerTestOneInput(data, bytes.size());
        std::free(data);
    }
    return 0;
}
