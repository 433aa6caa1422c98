#pragma once
// A check of a whole file against the JP2 (and JPX) rules: every box the rules name and the
// codestream, each finding under its test's name. It reads headers and small payloads only,
// so memory and time follow the number of boxes, not the file's size.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "stream/byte_stream.h"
#include "validate/codestream_checks.h"
#include "validate/findings.h"

namespace bq {

struct ValidationReport {
    // "jp2", "jpx", "jpm", "j2c", "jpeg" or "unknown"
    std::string format = "unknown";
    Findings findings;
    // What the first codestream's walk found, when its SIZ could be read.
    std::optional<CodestreamFacts> codestream;
    bool valid() const { return !findings.hasErrors(); }
};

// The test a file fails when it cannot be opened or measured: what a collection counts as
// unreadable rather than invalid.
inline constexpr std::string_view kFileReadableTest = "fileIsReadable";

// Checks the `size` bytes of `stream` from its start.
ValidationReport validateStream(ByteStream& stream, std::uint64_t size);
// Checks the file at `path` (UTF-8); one that cannot be read is an error finding.
ValidationReport validateFile(const std::string& path);

}  // namespace bq
