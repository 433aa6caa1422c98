#pragma once

#include <array>

#include "box/box.h"

namespace bq {

// The identifier that marks a uuid box as holding a GeoTIFF file.
inline constexpr std::array<std::uint8_t, 16> kGeoTiffUuid = {
    0xB1, 0x4B, 0xF8, 0xBD, 0x08, 0x3D, 0x4B, 0x43, 0xA5, 0xAE, 0x8C, 0xD7, 0xD5, 0xA6, 0xCE, 0x03};

// 'uuid': a 16-byte identifier and data.
class UuidBox final : public Box {
  public:
    explicit UuidBox(std::uint64_t payloadSize = 0, bool isGeoTiff = false)
        : Box(payloadSize, kTypeUuid), isGeoTiff(isGeoTiff) {}

    std::unique_ptr<Box> clone() const override { return std::make_unique<UuidBox>(*this); }
    bool isLocked() const override { return false; }
    FileKind fileKind() const override;
    std::string description() const override;
    std::string text() const override;
    bool readPayload(ByteStream& stream, ReadContext& context) override;
    bool importPayload(ByteStream& stream, std::uint32_t fileSize) override;
    // The identifier stays in `data`; the window holds what follows it.
    bool importWindow(FileWindow payload) override;
    void moveWindow(std::shared_ptr<const SourceFile> source, std::uint64_t offset) override;
    bool writeBox(ByteStream& stream, bool withHeader) const override;
    std::uint64_t writtenSize() const override;

    bool isGeoTiff;
};

}  // namespace bq
