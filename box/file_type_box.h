#pragma once

#include <array>

#include "box/box.h"

namespace bq {

// 'ftyp': brand, minor version and compatibility list, shown as a one-line summary.
class FileTypeBox final : public Box {
  public:
    static constexpr int kMaxCompatibility = 32;

    explicit FileTypeBox(std::uint64_t payloadSize) : Box(payloadSize, kTypeFtyp) {}

    std::unique_ptr<Box> clone() const override { return std::make_unique<FileTypeBox>(*this); }
    std::uint64_t cloneCost() const override { return data.capacity() + trailing.capacity(); }
    std::string text() const override;
    bool readPayload(ByteStream& stream, ReadContext& context) override;
    bool writeBox(ByteStream& stream, bool withHeader) const override;

    int compatCount = 0;
    std::uint32_t brand = 0;
    std::uint32_t minorVersion = 0;
    bool isJpx = false;
    std::array<std::uint32_t, kMaxCompatibility> compatibility{};
    // Bytes behind the last whole compatibility entry (payload length not a multiple of
    // four), kept so the box is written back with the length it was read with.
    std::vector<std::uint8_t> trailing;
};

}  // namespace bq
