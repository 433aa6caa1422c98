#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "box/box.h"

namespace bq {

// A box's payload for decoding: the bytes it holds, or those read from the file it left them
// in (which the read made sure is still the one opened, as far as its size tells).
struct PayloadBytes {
    std::vector<std::uint8_t> owned;  // when read from the file
    std::span<const std::uint8_t> bytes;
};

// The largest payload read back from a file to be decoded.
constexpr std::uint64_t kMaxDecodedPayload = 16u << 20;

// None, with `why` set, when the payload is larger than `limit` or its file cannot be read.
std::optional<PayloadBytes> payloadBytes(const Box& box, std::uint64_t limit, std::string& why);

}  // namespace bq
