#include "validate/codestream_checks.h"

namespace bq {

// Not written yet: the codestream passes unchecked.
std::optional<CodestreamFacts> checkCodestream(ByteStream& /*stream*/, std::uint64_t /*offset*/,
                                               std::uint64_t /*length*/,
                                               const std::string& /*box*/,
                                               Findings& /*findings*/) {
    return std::nullopt;
}

}  // namespace bq
