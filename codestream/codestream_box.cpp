#include "codestream/codestream_box.h"

namespace bq {

// Placeholder until the marker walk lands: captures nothing and reads like a generic box.
std::string CodestreamBox::text() const { return {}; }

bool CodestreamBox::readPayload(ByteStream& stream, std::uint32_t fileSize,
                                NestingContext& nesting) {
    return Box::readPayload(stream, fileSize, nesting);
}

}  // namespace bq
