#pragma once

#include <bitset>
#include <cstdint>

#include "codestream/marker_table.h"
#include "stream/byte_stream.h"

namespace bq {

// Result codes of the parser's steps.
constexpr int kStepOk = 0;
constexpr int kMarkerRefused = 2;
constexpr int kSkipFailed = 3;

// The state of one walk over a codestream.
class MarkerParser {
  public:
    // Reads one marker and, when its row says so, its segment length. kMarkerRefused when the
    // code is not in the table, not allowed in the current state, or its length is below 3.
    int readMarker(ByteStream& stream);
    // Moves past the `remaining` bytes of the current segment of a codestream of `count` bytes;
    // kSkipFailed when the target is at or beyond the end of the bytes or the stream is not good.
    int skipSegment(ByteStream& stream, std::uint64_t count);

    std::bitset<kMarkerRowCount> seen;  // one flag per table row that matched a marker
    std::uint16_t marker = 0;           // the second byte of the last marker read
    std::uint16_t remaining = 0;        // bytes of the current segment not yet consumed
    std::uint8_t state = kStateStart;
};

}  // namespace bq
