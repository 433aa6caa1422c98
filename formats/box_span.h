#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace bq {

// One box found inside a superbox's payload.
struct SpanBox {
    std::uint32_t type = 0;
    std::size_t offset = 0;        // of its header, within the bytes split
    std::size_t headerLength = 8;  // 8, or 16 with an extended length
    bool extended = false;         // length 1 and a 64-bit length
    bool toEnd = false;            // length 0: up to the end of the enclosing box
    std::span<const std::uint8_t> payload;
};

struct SpanBoxes {
    std::vector<SpanBox> boxes;
    // What stopped the split before the end of the bytes (a length shorter than its header
    // or longer than what encloses it, a header cut short); none when every byte was used.
    std::optional<std::string> fault;
};

// Splits a superbox's payload into its boxes. Every length is checked against the bytes that
// remain, so a box never reaches past its enclosing box.
SpanBoxes splitBoxes(std::span<const std::uint8_t> bytes);

// The four characters of a type, bytes outside printable ASCII as '?'.
std::string typeName(std::uint32_t type);
// The type between single quotes, as messages name a box: 'colr'.
std::string quoted(std::uint32_t type);

}  // namespace bq
