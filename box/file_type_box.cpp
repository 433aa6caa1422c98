#include "box/file_type_box.h"

#include <new>

namespace bq {

std::string FileTypeBox::text() const {
    return nulTerminatedText(data);
}

bool FileTypeBox::readPayload(ByteStream& stream, ReadContext& /*context*/) {
    // Unsigned on purpose: a payload shorter than 8 bytes wraps to a huge count and is refused.
    const std::uint64_t listBytes = payloadSize - 8;
    if (listBytes / 4 > kMaxCompatibility) {
        return false;
    }
    const auto count = static_cast<std::uint32_t>(listBytes / 4);
    stream.readU32(brand);
    stream.readU32(minorVersion);
    if (brand == kBrandJpx) {
        isJpx = true;
    } else if (brand == kBrandJp2) {
        isJpx = false;
    } else {
        return false;
    }
    compatCount = static_cast<int>(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        stream.readU32(compatibility[i]);
    }
    // The odd bytes behind the last whole entry belong to this box: keeping them means the
    // next box is read from its true start and this one is written back with its length.
    trailing.assign(static_cast<std::size_t>(listBytes % 4), 0);
    if (!trailing.empty()) {
        stream.readBytes(trailing.data(), static_cast<std::uint32_t>(trailing.size()));
    }

    std::string summary = isJpx ? "JPX: [ " : "JP2: [ ";
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i != 0) {
            summary += " | ";
        }
        summary += upperTypeText(compatibility[i]);
    }
    summary += " ]";
    try {
        data.assign(summary.begin(), summary.end());
        data.push_back(0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool FileTypeBox::writeBox(ByteStream& stream, bool withHeader) const {
    if (withHeader) {
        writeHeader(stream, payloadSize);
    }
    stream.writeU32(brand);
    stream.writeU32(minorVersion);
    const int count =
        compatCount < 0 ? 0 : (compatCount > kMaxCompatibility ? kMaxCompatibility : compatCount);
    for (int i = 0; i < count; ++i) {
        stream.writeU32(compatibility[static_cast<std::size_t>(i)]);
    }
    if (!trailing.empty()) {
        stream.writeBytes(trailing.data(), static_cast<std::uint32_t>(trailing.size()));
    }
    return true;
}

}  // namespace bq
