// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Runs a fuzz target without libFuzzer: LLVMFuzzerTestOneInput over every
// regular file of the directories named on the command line (in name order),
// and over every file named there itself. The test suite replays the corpora
// with it, so that the stored inputs keep passing in every build.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

namespace {

bool collect(const fs::path &argument, std::vector<fs::path> &files)
{
    std::error_code error;
    if (fs::is_directory(argument, error)) {
        std::vector<fs::path> entries;
        for (const fs::directory_entry &entry : fs::directory_iterator(argument, error)) {
            if (entry.is_regular_file(error))
                entries.push_back(entry.path());
        }
        if (error)
            return false;
        std::sort(entries.begin(), entries.end());
        files.insert(files.end(), entries.begin(), entries.end());
        return true;
    }
    if (fs::is_regular_file(argument, error)) {
        files.push_back(argument);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR|FILE...\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (!collect(argv[i], files)) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[i]);
            return 2;
        }
    }
    // An empty corpus would pass without testing anything.
    if (files.empty()) {
        std::fprintf(stderr, "%s: no inputs found\n", argv[0]);
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    for (const fs::path &file : files) {
        std::ifstream stream(file, std::ios::binary);
        if (!stream) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], file.c_str());
            return 2;
        }
        const std::vector<char> bytes {std::istreambuf_iterator<char>(stream),
                                       std::istreambuf_iterator<char>()};
        // Named first, so that a crash report follows the name of its input.
        std::fprintf(stderr, "replaying %s (%zu bytes)\n", file.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("replayed %zu inputs in %lld ms\n", files.size(),
                static_cast<long long>(elapsed.count()));
    return 0;
}
