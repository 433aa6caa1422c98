#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "box/box.h"
#include "codestream/marker_parser.h"
#include "codestream/parse_codestream.h"

namespace bq {

constexpr std::string_view kCodestreamParseError = "ERROR: Failed to parse J2K codestream.";

// 'jp2c': the J2K codestream captured up to and including its first 0xFF 0xD9 pair, walked
// marker by marker, and shown as an image and tile report.
class CodestreamBox final : public Box {
  public:
    CodestreamBox() : Box(0, kTypeJp2c) {}

    FileKind fileKind() const override { return {"J2K", ".j2k"}; }
    std::string text() const override;
    // Captures the codestream (the header's length is not used: the box ends at the first
    // 0xFF 0xD9 pair), walks it and builds the report. False only when nothing could be
    // captured; a codestream that does not parse stays, showing the error line.
    bool readPayload(ByteStream& stream, std::uint32_t fileSize, NestingContext& nesting) override;

    // Builds `report` from `info`, once, after a successful walk.
    void buildReport();

    MarkerParser parser;
    CodestreamInfo info;  // owns the tile records
    std::optional<std::string> errorText;
    std::optional<std::string> report;
};

}  // namespace bq
