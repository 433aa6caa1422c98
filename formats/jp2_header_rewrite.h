#pragma once
// Rewriting a JP2 header's payload: every sub-box is written back byte for byte except those
// a change replaces, so a change touches nothing it does not mean to.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/jp2_header_boxes.h"

namespace bq {

// What to do with one resolution box ('resc' or 'resd'): leave it, set it, or remove it.
struct ResolutionChange {
    enum class Action : std::uint8_t { Keep, Set, Remove };
    Action action = Action::Keep;
    ResolutionAxis vertical;
    ResolutionAxis horizontal;
};

// The new payload of a JP2 header whose 'res ' box holds the capture and display resolution as
// changed. A new 'res ' goes after the image header and colour boxes; one left empty goes. None,
// with `why` set, when the header's or the 'res ' box's lengths do not add up.
std::optional<std::vector<std::uint8_t>> setJp2Resolution(std::span<const std::uint8_t> payload,
                                                          const ResolutionChange& capture,
                                                          const ResolutionChange& display,
                                                          std::string& why);

// The new payload of a JP2 header whose colour box number `colr` (0-based among the
// 'colr' boxes) holds `profile`: method 2 or 3 as it was (2 for any other), precedence and
// approximation kept. None, with `why` set, when the header is unreadable or has no such box.
std::optional<std::vector<std::uint8_t>> setJp2Profile(std::span<const std::uint8_t> payload,
                                                       std::size_t colr,
                                                       std::span<const std::uint8_t> profile,
                                                       std::string& why);

// The index (among the 'colr' boxes) of the first colour box with an ICC profile.
std::optional<std::size_t> firstProfileColour(std::span<const std::uint8_t> payload);
// The profile bytes of colour box number `colr`; none, with `why`, when it has none.
std::optional<std::vector<std::uint8_t>> jp2Profile(std::span<const std::uint8_t> payload,
                                                    std::size_t colr, std::string& why);

}  // namespace bq
