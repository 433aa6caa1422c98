#pragma once

#include "box/box.h"

namespace bq {

// Shared by the XML and label boxes: editable text held in `data`, which always has room for
// at least `capacity` bytes.
class TextBox : public Box {
  public:
    TextBox(std::uint64_t payloadSize, std::uint32_t type, int capacity)
        : Box(payloadSize, type), capacity(capacity) {}

    bool isLocked() const override { return false; }
    bool isEditable() const override { return true; }
    void reserveText(std::uint32_t n) override;
    void setText(std::string_view text) override;

    int capacity;
};

// 'xml ': line ends become CR LF when read or imported.
class XmlBox final : public TextBox {
  public:
    explicit XmlBox(std::uint64_t payloadSize = 0) : TextBox(payloadSize, kTypeXml, 0) {}

    std::unique_ptr<Box> clone() const override { return std::make_unique<XmlBox>(*this); }
    FileKind fileKind() const override { return {"XML", ".xml"}; }
    bool readPayload(ByteStream& stream, ReadContext& context) override;
    bool importPayload(ByteStream& stream, std::uint32_t fileSize) override;

  private:
    bool normaliseLineEnds();
};

// 'lbl ': one trailing NUL is dropped when read.
class LabelBox final : public TextBox {
  public:
    // The capacity only matters once the payload is read, which refuses sizes beyond an int.
    explicit LabelBox(std::uint64_t payloadSize = 0)
        : TextBox(payloadSize, kTypeLbl,
                  payloadSize > kMaxHeldPayload ? 0 : static_cast<int>(payloadSize)) {}

    std::unique_ptr<Box> clone() const override { return std::make_unique<LabelBox>(*this); }
    FileKind fileKind() const override { return {"Text", ".txt"}; }
    bool readPayload(ByteStream& stream, ReadContext& context) override;
    bool importPayload(ByteStream& stream, std::uint32_t fileSize) override;
};

}  // namespace bq
