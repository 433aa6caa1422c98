#pragma once
// The boxes a check walks: where each lies in the file, the path findings name it by and
// the row `list` gives it. Headers are read with the one box-header reader; a payload is read
// into memory only under a cap, so memory stays bounded whatever a box claims.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "stream/byte_stream.h"
#include "validate/findings.h"

namespace bq {

struct BoxAt {
    std::uint32_t type = 0;
    std::uint64_t offset = 0;  // of the header, in the file
    std::uint64_t payloadOffset = 0;
    std::uint64_t payloadLength = 0;
    std::string path;  // "jp2h/colr[1]"
    std::optional<int> row;
};

// Header boxes, XML and uuid payloads larger than this are not read (and said so).
constexpr std::uint64_t kMaxCheckedPayload = 16ull << 20;
// A file of millions of tiny boxes is checked by its first boxes only.
constexpr std::size_t kMaxCheckedBoxes = 100'000;
// Associations nest no deeper than this in a check.
constexpr int kMaxCheckedDepth = 32;

// The type as text for paths and messages: "xml" for 'xml ', \xNN for bytes outside ASCII.
std::string typeText(std::uint32_t type);

// The boxes in [begin, end) of the stream, each tested by boxLengthIsValid; the walk stops
// at a header that cannot be read or a box that runs past `end` (kept, cut to the room).
std::vector<BoxAt> walkBoxes(ByteStream& stream, std::uint64_t begin, std::uint64_t end,
                             const std::string& parent, Findings& findings);
// The same over bytes already in memory that start at file offset `base`.
std::vector<BoxAt> walkBytes(std::span<const std::uint8_t> bytes, std::uint64_t base,
                             const std::string& parent, Findings& findings);

// The payload of a box of at most kMaxCheckedPayload bytes; none (with a warning under
// `test`) when larger, none when the stream cannot give it.
std::optional<std::vector<std::uint8_t>> readPayload(ByteStream& stream, const BoxAt& box,
                                                     std::string_view test, Findings& findings);

// The part of `bytes` (a payload that starts at file offset `payloadBase`) that `box` covers.
std::span<const std::uint8_t> payloadIn(std::span<const std::uint8_t> bytes,
                                        std::uint64_t payloadBase, const BoxAt& box);

}  // namespace bq
