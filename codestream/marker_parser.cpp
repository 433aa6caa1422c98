#include "codestream/marker_parser.h"

namespace bq {

int MarkerParser::readMarker(ByteStream& stream) {
    remaining = 0;
    stream.readU16(marker);
    // Only the second byte names the marker; the first is taken to be 0xFF whatever it holds.
    marker &= 0x00FF;
    const std::size_t index = findMarkerRow(static_cast<std::uint8_t>(marker));
    if (index == kMarkerRowCount) {
        return kMarkerRefused;
    }
    seen.set(index);
    const MarkerRow& row = kMarkerTable[index];
    if ((state & row.allowedStates) == 0) {
        return kMarkerRefused;
    }
    if (row.nextState != 0) {
        state = row.nextState;
    }
    if (row.hasSegment != 0) {
        stream.readU16(remaining);
        // The length counts its own two bytes; a segment needs at least one more.
        if (remaining < 3) {
            return kMarkerRefused;
        }
        remaining = static_cast<std::uint16_t>(remaining - 2);
    }
    return kStepOk;
}

int MarkerParser::skipSegment(ByteStream& stream, std::uint64_t count) {
    if (remaining == 0) {
        return stream.good() ? kStepOk : kSkipFailed;
    }
    const std::uint64_t target = stream.tell() + remaining;
    if (target >= count) {
        return kSkipFailed;
    }
    if (!stream.seek(target) || !stream.good()) {
        return kSkipFailed;
    }
    return kStepOk;
}

}  // namespace bq
