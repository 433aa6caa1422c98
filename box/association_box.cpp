#include "box/association_box.h"

namespace bq {

// Nothing is read: the children follow as boxes of their own, and readBox takes this box off
// the context once the stream passes endPosition.
bool AssociationBox::readPayload(ByteStream& stream, std::uint32_t /*fileSize*/,
                                 NestingContext& nesting) {
    nesting.parent = this;
    ++nesting.depth;
    const std::uint64_t end = std::uint64_t{stream.tell()} + payloadSize;
    endPosition = end > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(end);
    payloadSize = 0;
    return true;
}

// Header only, with or without `withHeader`: the children are written as the rows behind it.
bool AssociationBox::writeBox(ByteStream& stream, bool /*withHeader*/) const {
    if (payloadSize > 0xFFFFFFFFu - kBoxHeaderSize) {
        return false;
    }
    stream.writeU32(payloadSize + kBoxHeaderSize);
    stream.writeU32(type);
    return true;
}

}  // namespace bq
