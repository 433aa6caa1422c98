#pragma once
// The codestream's tests: the main header's marker segments, every tile-part and its header,
// and the counts that tie them together. They read the codestream through a stream, segment
// by segment, so memory stays bounded whatever the codestream's size.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stream/byte_stream.h"
#include "validate/findings.h"

namespace bq {

// What the file-level tests need from SIZ (the image header is checked against it), or
// nothing when SIZ could not be read.
struct CodestreamFacts {
    std::uint32_t width = 0;   // Xsiz - XOsiz
    std::uint32_t height = 0;  // Ysiz - YOsiz
    struct Component {
        std::uint8_t bitDepth = 0;  // 1 to 38
        bool isSigned = false;
    };
    std::vector<Component> components;
    // Which markers stand in the main header, and in how many tile-part headers each stands,
    // by the marker's second byte: what profiles ask of a codestream's layout.
    std::array<bool, 256> mainHeaderMarkers{};
    std::array<std::uint32_t, 256> tilePartMarkers{};
    std::uint64_t tileParts = 0;
    // Tile-parts per tile over the tiles found (counted up to 255); 0 when none was.
    std::uint32_t fewestTileParts = 0;
    std::uint32_t mostTileParts = 0;
};

// Checks the codestream of `length` bytes that starts at `offset` of `stream` (a box's
// payload, or a whole raw codestream file). `box` is the path findings name ("jp2c", or
// empty for a raw codestream).
std::optional<CodestreamFacts> checkCodestream(ByteStream& stream, std::uint64_t offset,
                                               std::uint64_t length, const std::string& box,
                                               Findings& findings);

}  // namespace bq
