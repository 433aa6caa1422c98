#pragma once
// Decoders of the boxes a JP2 header holds, each over its payload alone. Each returns none
// when the payload is too short for its fields; nothing a file says is trusted beyond that.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/icc_profile.h"

namespace bq {

// A bit depth byte (BPC, bpcc entries, palette depths, Ssiz): bit 7 the sign, the low seven
// bits the depth less one.
struct BitDepth {
    bool isSigned = false;
    int bits = 0;
};
inline BitDepth bitDepth(std::uint8_t byte) {
    return {(byte & 0x80) != 0, (byte & 0x7F) + 1};
}
// The BPC value of an image header whose components differ in depth (see 'bpcc').
constexpr std::uint8_t kDepthVaries = 0xFF;

// The most components an image can have (Csiz in SIZ, NC in 'ihdr').
constexpr std::size_t kMaxComponents = 16384;

// 'ihdr'
struct ImageHeader {
    std::uint32_t height = 0;
    std::uint32_t width = 0;
    std::uint16_t components = 0;
    std::uint8_t bpc = 0;
    std::uint8_t compression = 0;           // 7 for a JPEG 2000 codestream
    std::uint8_t colourspaceUnknown = 0;    // UnkC
    std::uint8_t intellectualProperty = 0;  // IPR
};
std::optional<ImageHeader> decodeImageHeader(std::span<const std::uint8_t> payload);

// 'colr'
struct ColourBox {
    std::uint8_t method = 0;  // 1 enumerated, 2 restricted ICC, 3 any ICC, 4 vendor
    std::int8_t precedence = 0;
    std::uint8_t approximation = 0;
    std::optional<std::uint32_t> enumerated;  // method 1
    std::size_t profileLength = 0;            // methods 2 and 3
    std::optional<IccProfile> profile;        // methods 2 and 3, when the header is whole
    std::optional<std::array<std::uint8_t, 16>> vendor;  // method 4
};
std::optional<ColourBox> decodeColourBox(std::span<const std::uint8_t> payload);
// "enumerated", "restricted ICC profile", "any ICC profile", "vendor colour"; empty else.
std::string colourMethodName(std::uint8_t method);
// The name of an enumerated colour space ("sRGB" for 16); empty for a value with none.
std::string enumeratedSpaceName(std::uint32_t value);
// How many channels an enumerated colour space has; 0 when unknown.
int enumeratedSpaceChannels(std::uint32_t value);

// 'pclr'
struct Palette {
    std::uint16_t entries = 0;
    std::uint8_t columns = 0;
    std::vector<std::uint8_t> depths;  // one bit depth byte a column
    bool complete = false;             // the payload holds every entry
};
std::optional<Palette> decodePalette(std::span<const std::uint8_t> payload);

// 'cmap'
struct ComponentMap {
    std::uint16_t component = 0;
    std::uint8_t mappingType = 0;  // 0 direct, 1 palette
    std::uint8_t paletteColumn = 0;
};
std::optional<std::vector<ComponentMap>> decodeComponentMapping(
    std::span<const std::uint8_t> payload);

// 'cdef'
struct ChannelDefinition {
    std::uint16_t channel = 0;
    std::uint16_t type = 0;         // 0 colour, 1 opacity, 2 premultiplied opacity
    std::uint16_t association = 0;  // 0 the whole image, 0xFFFF none, else colour number
};
std::optional<std::vector<ChannelDefinition>> decodeChannelDefinitions(
    std::span<const std::uint8_t> payload);
std::string channelTypeName(std::uint16_t type);

// 'resc' and 'resd': per axis a numerator, a denominator and a signed decimal exponent.
struct ResolutionAxis {
    std::uint16_t numerator = 0;
    std::uint16_t denominator = 0;
    std::int8_t exponent = 0;
    // N / D x 10^E in pixels per metre; none when N or D is 0.
    std::optional<double> perMetre() const;
    std::optional<double> perInch() const;
};
struct Resolution {
    ResolutionAxis vertical;
    ResolutionAxis horizontal;
};
std::optional<Resolution> decodeResolution(std::span<const std::uint8_t> payload);

}  // namespace bq
