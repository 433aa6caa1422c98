#pragma once

#include "box/box.h"

namespace bq {

// 'asoc': a container whose children follow it in the file as boxes of their own. Its size
// is recomputed from the rows nested in it before it is written.
class AssociationBox final : public Box {
  public:
    explicit AssociationBox(std::uint64_t payloadSize = 0) : Box(payloadSize, kTypeAsoc) {}

    std::unique_ptr<Box> clone() const override { return std::make_unique<AssociationBox>(*this); }
    bool isLocked() const override { return false; }
    bool canImport() const override { return false; }
    bool readPayload(ByteStream& stream, ReadContext& context) override;
    bool writeBox(ByteStream& stream, bool withHeader) const override;
    // The header alone: the children are written, and counted, as rows of their own.
    std::uint64_t writtenSize() const override { return headerSize(); }
};

}  // namespace bq
