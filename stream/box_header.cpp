#include "stream/box_header.h"

#include <algorithm>

#include "stream/memory_stream.h"

namespace bq {

BoxHeaderFault readBoxHeader(ByteStream& stream, BoxHeader& out) {
    std::uint32_t length = 0;
    std::uint32_t type = 0;
    stream.readU32(length);
    stream.readU32(type);
    if (stream.atEnd() || !stream.good()) {
        return BoxHeaderFault::CutShort;
    }
    out = BoxHeader{type, HeaderForm::Plain, length};
    if (length == 0) {
        out.form = HeaderForm::ToEnd;
        return BoxHeaderFault::None;
    }
    if (length == 1) {
        std::uint32_t high = 0;
        std::uint32_t low = 0;
        stream.readU32(high);
        stream.readU32(low);
        if (stream.atEnd() || !stream.good()) {
            return BoxHeaderFault::ExtendedCutShort;
        }
        out.form = HeaderForm::Extended;
        out.length = (std::uint64_t{high} << 32) | low;
    }
    return out.length < out.headerLength() ? BoxHeaderFault::ShorterThanHeader
                                           : BoxHeaderFault::None;
}

BoxHeaderFault readBoxHeader(std::span<const std::uint8_t> bytes, BoxHeader& out) {
    // A header needs 16 bytes at most, so a stream over them never sees a size past 32 bits.
    const auto head = bytes.first(std::min<std::size_t>(bytes.size(), kExtendedHeaderSize));
    if (head.empty()) {
        return BoxHeaderFault::CutShort;
    }
    MemoryStream stream;
    stream.attach(head.data(), static_cast<std::uint32_t>(head.size()));
    return readBoxHeader(stream, out);
}

}  // namespace bq
