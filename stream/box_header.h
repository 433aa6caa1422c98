#pragma once

#include <cstdint>
#include <span>

#include "stream/box_type.h"
#include "stream/byte_stream.h"

namespace bq {

// How a box's length is written: the 32-bit field, length 1 with a 64-bit extended length
// behind the type, or 0 for a last box that runs to the end of what encloses it.
enum class HeaderForm : std::uint8_t { Plain, Extended, ToEnd };

struct BoxHeader {
    std::uint32_t type = 0;
    HeaderForm form = HeaderForm::Plain;
    std::uint64_t length = 0;  // of the whole box, header included; 0 for ToEnd

    std::uint64_t headerLength() const {
        return form == HeaderForm::Extended ? kExtendedHeaderSize : kBoxHeaderSize;
    }
    // The payload of a box with `room` bytes from its header's start to the end of what
    // encloses it; a box longer than the room still reports the payload its length gives.
    std::uint64_t payloadLength(std::uint64_t room) const {
        const std::uint64_t whole = form == HeaderForm::ToEnd ? room : length;
        return whole > headerLength() ? whole - headerLength() : 0;
    }
};

enum class BoxHeaderFault : std::uint8_t {
    None,
    CutShort,           // fewer than 8 bytes
    ExtendedCutShort,   // length 1 without the 8 bytes of its extended length
    ShorterThanHeader,  // a length of 2 to 7, or an extended length below 16
};

// Reads the header at the stream's position; the stream stays behind the header.
BoxHeaderFault readBoxHeader(ByteStream& stream, BoxHeader& out);
// Reads the header at the start of `bytes`.
BoxHeaderFault readBoxHeader(std::span<const std::uint8_t> bytes, BoxHeader& out);

}  // namespace bq
