#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace bq {

// What an ICC profile says about itself in its header, and its description tag's text.
struct IccProfile {
    std::uint32_t size = 0;  // as the profile states it
    std::uint8_t versionMajor = 0;
    std::uint8_t versionMinor = 0;
    std::uint8_t versionBugfix = 0;
    std::uint32_t deviceClass = 0;           // 'mntr', 'scnr', 'prtr', ...
    std::uint32_t colourSpace = 0;           // 'RGB ', 'GRAY', ...
    std::uint32_t connectionSpace = 0;       // 'XYZ ' or 'Lab '
    std::optional<std::string> description;  // UTF-8
    bool signatureOk = false;                // 'acsp' at offset 36
    // The tag table: every signature the bytes hold, and whether the count fits the bytes
    // and every tag lies inside them (false without a table).
    std::vector<std::uint32_t> tags;
    std::uint32_t tagCount = 0;
    bool tagTableInside = false;
};

// The longest description text kept, in bytes.
constexpr std::size_t kMaxIccDescription = 1024;

// None when the bytes are shorter than the 128-byte header. The description is read from a
// v2 'desc' (textDescriptionType) or the first record of a v4 'mluc' tag, when the tag table
// and the tag lie within the bytes.
std::optional<IccProfile> decodeIccProfile(std::span<const std::uint8_t> bytes);

// "2.1.0"
std::string iccVersionText(const IccProfile& profile);
// What a device class signature means: "display device" for 'mntr'; empty when unknown.
std::string iccClassName(std::uint32_t deviceClass);

}  // namespace bq
