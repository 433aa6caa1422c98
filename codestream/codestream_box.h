#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "box/box.h"
#include "codestream/marker_parser.h"
#include "codestream/parse_codestream.h"
#include "stream/byte_buffer.h"

namespace bq {

constexpr std::string_view kCodestreamParseError = "ERROR: Failed to parse J2K codestream.";
constexpr std::string_view kCodestreamNoEnd =
    "ERROR: The J2K codestream has no end marker (EOC): it may be incomplete.";
constexpr std::string_view kCodestreamCutShort =
    "ERROR: The J2K codestream is cut short: the file ends inside its box.";

// 'jp2c': the J2K codestream, every byte its box holds, walked marker by marker and shown as
// an image and tile report. Its bytes are held in memory, or left in the source file when they
// are more than the read allows to hold; either way they are written back unchanged.
class CodestreamBox final : public Box {
  public:
    // `declaredSize` is the payload the header gave; `runsToEnd` a header of length 0.
    explicit CodestreamBox(std::uint64_t declaredSize = 0, bool runsToEnd = false)
        : Box(0, kTypeJp2c), declaredSize_(declaredSize), runsToEnd_(runsToEnd) {}

    // The copy shares the held bytes, which no box changes after the read.
    std::unique_ptr<Box> clone() const override;
    std::uint64_t cloneCost() const override;
    FileKind fileKind() const override { return {"J2K", ".j2k"}; }
    std::string text() const override;
    // Takes the bytes the box's length covers (to the end of the file for length 0, and no
    // more than the file has) and walks them. False only when the bytes cannot be had (no
    // memory, or the file shrank while being read).
    bool readPayload(ByteStream& stream, ReadContext& context) override;

    // The codestream's bytes when they are held in memory; empty when left in the file.
    std::span<const std::uint8_t> heldBytes() const { return held_->bytes(); }

    MarkerParser parser;
    CodestreamInfo info;
    WalkResult walk;
    bool cutShort = false;  // the file ended before the box's length did
    std::optional<std::string> errorText;

  protected:
    bool writePayload(ByteStream& stream) const override;

  private:
    bool readHeld(ByteStream& stream, std::uint64_t length);
    // The image and tile report, built when first asked for: a grid may announce far more
    // tiles than the box has bytes, and most boxes are never shown. None after a walk that
    // did not read the image header, or when there was no memory for it.
    const std::string* report() const;

    mutable std::optional<std::string> report_;
    mutable bool reportBuilt_ = false;

    std::uint64_t declaredSize_;
    bool runsToEnd_;
    std::shared_ptr<ByteBuffer> held_ = std::make_shared<ByteBuffer>();
};

}  // namespace bq
