#pragma once
// Changes to the JP2 header box: the box stays where it is with its header form, and its
// sub-boxes are written back byte for byte except those the change replaces. A header whose
// lengths do not add up is never rewritten.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/jp2_header_rewrite.h"
#include "ui/app.h"

namespace bq {

// The first top-level JP2 header row; -1 when there is none.
int jp2HeaderRow(const BoxList& boxes);

// The JP2 header's payload (held, or read from the file it was left in). None, with `why`
// set, when there is no JP2 header or its bytes cannot be read.
std::optional<std::vector<std::uint8_t>> jp2HeaderPayload(const BoxList& boxes, std::string& why);

// Builds a new payload from the old one; none, with `why` set, when it cannot.
using Jp2HeaderChange = std::function<std::optional<std::vector<std::uint8_t>>(
    std::span<const std::uint8_t>, std::string& why)>;

// Replaces the JP2 header's payload with what `change` makes of it, marks the document modified
// and refreshes the sizes. False, after showError, when there is no header or the change fails.
bool changeJp2Header(App& app, const Jp2HeaderChange& change);

bool setResolution(App& app, const ResolutionChange& capture, const ResolutionChange& display);

// Replaces the profile of colour box `colr` (the first one when none), after checking
// the profile against the image's colour channels.
bool importColourProfile(App& app, std::optional<std::size_t> colr,
                         std::span<const std::uint8_t> profile);
// The profile of colour box `colr`, or of the first with a profile when none.
std::optional<std::vector<std::uint8_t>> colourProfile(const BoxList& boxes,
                                                       std::optional<std::size_t> colr,
                                                       std::string& why);

}  // namespace bq
