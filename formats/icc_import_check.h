#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace bq {

// How many channels an ICC data colour space has ('RGB ' 3, 'CMYK' 4, '5CLR' 5); none when
// the signature is unknown.
std::optional<int> iccSpaceChannels(std::uint32_t colourSpace);

// Why a profile cannot go into a colour box of an image with `channels` colour
// channels: its size field is not its size, the 'acsp' signature is missing, or its colour
// space does not fit. Empty when it can.
std::string iccImportProblem(std::span<const std::uint8_t> profile, int channels);

}  // namespace bq
