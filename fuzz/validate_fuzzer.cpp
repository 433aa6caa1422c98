// Arbitrary bytes as a whole file for the validator: every box, the JP2 header, the
// metadata, the JPX structure and the codestream's markers and tile-parts. Beyond the
// sanitizers, a finding must name its test and point inside the file.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "stream/memory_stream.h"
#include "validate/validate_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0xFFFFFFFFu) {
        return 0;
    }
    bq::MemoryStream stream;
    stream.attach(data, static_cast<std::uint32_t>(size));
    const bq::ValidationReport report = bq::validateStream(stream, size);
    for (const bq::Finding& finding : report.findings.all()) {
        if (finding.test.empty() || finding.message.empty() ||
            (finding.offset && *finding.offset > size)) {
            std::abort();
        }
    }
    return 0;
}
