#pragma once

#include "box/box.h"

namespace bq {

// 'jp2c': the J2K codestream captured up to and including its first 0xFF 0xD9 pair, walked
// marker by marker, and shown as an image and tile report.
class CodestreamBox final : public Box {
public:
    CodestreamBox() : Box(0, kTypeJp2c) {}

    FileKind fileKind() const override { return {"J2K", ".j2k"}; }
    std::string text() const override;
    bool readPayload(ByteStream& stream, std::uint32_t fileSize, NestingContext& nesting) override;
};

}  // namespace bq
