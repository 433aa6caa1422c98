#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/jp2_header_boxes.h"

namespace bq {

// Everything a JP2 header box ('jp2h') holds, decoded, with what is wrong in it.
struct Jp2Header {
    std::vector<std::uint32_t> order;  // the types of its boxes, in order
    std::optional<ImageHeader> imageHeader;
    std::optional<std::vector<std::uint8_t>> bitsPerComponent;  // 'bpcc'
    std::vector<ColourBox> colours;                             // every 'colr', in order
    std::optional<Palette> palette;
    std::optional<std::vector<ComponentMap>> componentMapping;
    std::optional<std::vector<ChannelDefinition>> channels;
    std::optional<Resolution> capture;  // 'resc' in 'res '
    std::optional<Resolution> display;  // 'resd' in 'res '
    std::vector<std::string> warnings;  // one line each
    std::size_t coloursLeftOut = 0;     // 'colr' boxes past kMaxColourBoxes, not decoded
};

// A header of a million boxes is described by its first few: colour boxes decoded, and
// warnings kept (the rest counted in one last warning).
constexpr std::size_t kMaxColourBoxes = 64;
constexpr std::size_t kMaxHeaderWarnings = 100;

// Decodes the payload of a JP2 header box. Never fails: what cannot be decoded is left out
// and warned of.
Jp2Header decodeJp2Header(std::span<const std::uint8_t> payload);

}  // namespace bq
