// Runs a fuzz target over saved inputs without libFuzzer, so that the inputs kept under
// fuzz/regressions (and the real files) are replayed by every build, sanitizers included.
//
// replay [--skip-missing] [--crafted] PATH...   each PATH a file or a folder, walked
// recursively; --crafted adds the inputs built by craftedXmlInputs, too large to keep

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/document_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    bool skipMissing = false;
    bool crafted = false;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--skip-missing") {
            skipMissing = true;
            continue;
        }
        if (arg == "--crafted") {
            crafted = true;
            continue;
        }
        std::error_code error;
        if (fs::is_directory(arg, error)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg, error)) {
                if (entry.is_regular_file(error) && entry.path().filename() != "README.md") {
                    files.push_back(entry.path());
                }
            }
        } else if (fs::is_regular_file(arg, error)) {
            files.emplace_back(arg);
        } else if (skipMissing) {
            std::printf("skipped: %s is absent\n", arg.c_str());
        } else {
            std::fprintf(stderr, "no such input: %s\n", arg.c_str());
            return 2;
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const auto bytes = bq::harness::readWholeFile(file);
        if (!bytes) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 2;
        }
        std::printf("%s\n", file.c_str());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(bytes->data(), bytes->size());
    }
    std::size_t built = 0;
    if (crafted) {
        for (const auto& [name, bytes] : bq::harness::craftedXmlInputs()) {
            std::printf("%s (built)\n", name.c_str());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++built;
        }
    }
    std::printf("replayed %zu input(s)\n", files.size() + built);
    return 0;
}
