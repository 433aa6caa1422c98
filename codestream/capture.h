#pragma once

#include <cstdint>
#include <vector>

#include "stream/byte_stream.h"

namespace bq {

// The block the capture scans at a time; a marker pair may straddle two blocks.
constexpr std::uint32_t kCaptureBlockSize = 256 * 1024;

// Captures the bytes from the stream's position up to and including the first 0xFF 0xD9 pair
// into `out` (exactly that many bytes), leaving the stream just behind the pair.
//
// Refuses (false, `out` untouched) when the stream runs out first, leaving it at its end; when
// the pair would make the capture longer than `limit` bytes, leaving it limit + 1 bytes on;
// and when the memory for the bytes cannot be had, leaving it just behind the pair.
bool captureCodestream(ByteStream& stream, std::uint32_t limit, std::vector<std::uint8_t>& out);

}  // namespace bq
