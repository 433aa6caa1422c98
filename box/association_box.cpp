#include "box/association_box.h"

namespace bq {

// Nothing is read: the children follow as boxes of their own, and readBox takes this box off
// the context once the stream passes endPosition.
bool AssociationBox::readPayload(ByteStream& stream, ReadContext& context) {
    context.nesting.parent = this;
    ++context.nesting.depth;
    // Payload sizes come from a header and stay far below 2^64 - 2^32.
    endPosition = stream.tell() + payloadSize;
    payloadSize = 0;
    return true;
}

// Header only, with or without `withHeader`: the children are written as the rows behind it.
bool AssociationBox::writeBox(ByteStream& stream, bool /*withHeader*/) const {
    writeHeader(stream, payloadSize);
    return true;
}

}  // namespace bq
