#pragma once
// Changes to the JP2 header box: the box stays where it is with its header form, and its
// sub-boxes are written back byte for byte except those the change replaces. A header whose
// lengths do not add up is never rewritten.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/jp2_header_rewrite.h"
#include "formats/resolution_fraction.h"
#include "stream/input_file.h"
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

// A resolution as typed: a positive number, spaces around it allowed.
std::optional<double> parseResolutionValue(std::string_view text);

struct FittedResolution {
    ResolutionChange change;  // Set, both axes
    // The first axis the fields hold only as the nearest fraction to what was asked.
    std::optional<ResolutionAxis> inexact;
};
// Both axes in `unit` fitted into a resolution box's fields; none when either is beyond them.
std::optional<FittedResolution> fitResolutions(double horizontal, double vertical,
                                               ResolutionUnit unit);

// One kind of resolution (capture or display) as the Resolution dialog's fields hold it.
struct ResolutionFields {
    std::string horizontal;
    std::string vertical;
    ResolutionUnit unit = ResolutionUnit::PerInch;
    bool remove = false;

    bool operator==(const ResolutionFields&) const = default;
};

// The header's capture and display resolutions as the dialog opens on them, in dpi; empty
// texts for a kind the header does not hold (or when it cannot be read).
std::array<ResolutionFields, 2> storedResolutionFields(const BoxList& boxes);

// The change `fields` ask for: Remove when ticked; Keep when they are as the dialog opened
// (`shown`), so a stored fraction is not refitted from its rounded text, or both texts are
// empty; else Set, an empty vertical standing for the horizontal. None, with `why` set, when
// the texts are not positive numbers or beyond what the box holds.
std::optional<ResolutionChange> resolutionFromFields(const ResolutionFields& fields,
                                                     const ResolutionFields& shown,
                                                     std::string& why);

// Profiles are a few kilobytes; a file far larger is no profile, and a larger one is never
// written out.
inline constexpr std::uint64_t kMaxProfile = 16u << 20;

// The bytes of the profile file at `path`, refused beyond kMaxProfile.
InputBytes readProfileFile(const std::string& path);

// Replaces the profile of colour box `colr` (the first one when none), after checking
// the profile against the image's colour channels.
bool importColourProfile(App& app, std::optional<std::size_t> colr,
                         std::span<const std::uint8_t> profile);
// The profile of colour box `colr`, or of the first with a profile when none.
std::optional<std::vector<std::uint8_t>> colourProfile(const BoxList& boxes,
                                                       std::optional<std::size_t> colr,
                                                       std::string& why);
// `profile` written to `path` through the one replacement routine; false, with `why` set, when
// it is over kMaxProfile or cannot be written.
bool writeProfileFile(const std::string& path, std::span<const std::uint8_t> profile,
                      std::string& why);

}  // namespace bq
