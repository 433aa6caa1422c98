#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace bq {

// The identifier of a uuid box holding an XMP packet.
inline constexpr std::array<std::uint8_t, 16> kXmpUuid = {
    0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8, 0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC};

// Why `text` is not well-formed XML: the parser's message, the byte offset and the line and
// column there. Empty when it is well-formed.
std::string xmlProblem(std::string_view text);

}  // namespace bq
