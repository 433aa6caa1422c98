// Any input that opens must survive a save and a second open: the same rows and the same
// bytes for every box, apart from what the reader normalises by design (a label's trailing
// NUL; XML line ends, which the first read has already normalised).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/document_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bq::harness::TempFolder folder("boxquill-fuzz-roundtrip");
    const std::string input = folder.file("input.jp2");
    const std::string saved = folder.file("saved.jp2");
    if (!bq::harness::writeWholeFile(input, data, size)) {
        std::fprintf(stderr, "roundtrip fuzzer: cannot write %s\n", input.c_str());
        std::abort();
    }
    const bq::harness::RoundTrip result = bq::harness::roundTrip(input, saved);
    if (result.difference) {
        std::fprintf(stderr, "roundtrip fuzzer: %s\n", result.difference->c_str());
        std::abort();
    }
    return 0;
}
