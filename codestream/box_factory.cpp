#include "codestream/box_factory.h"

#include "codestream/codestream_box.h"

namespace bq {

std::unique_ptr<Box> makeDocumentBox(std::uint32_t type, std::uint64_t payloadSize,
                                     bool runsToEnd) {
    if (type == kTypeJp2c) {
        return std::make_unique<CodestreamBox>(payloadSize, runsToEnd);
    }
    return makeBoxOfKind(type, payloadSize, runsToEnd);
}

}  // namespace bq
