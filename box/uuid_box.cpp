#include "box/uuid_box.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

namespace bq {

namespace {

constexpr std::uint32_t kIdSize = 16;

}  // namespace

FileKind UuidBox::fileKind() const {
    return isGeoTiff ? FileKind{"TIFF", ".tif"} : FileKind{"Data", ".dat"};
}

std::string UuidBox::description() const {
    return isGeoTiff ? std::string("GeoTIFF") : baseDescription(*this);
}

// The identifier line lists the identifier bytes the box really has: all 16 for a GeoTIFF
// box, otherwise those of the payload, which may be fewer (or none) in a damaged file.
std::string UuidBox::text() const {
    const std::uint8_t* id = kGeoTiffUuid.data();
    std::uint32_t count = kIdSize;
    if (!isGeoTiff) {
        id = data.data();
        const std::uint64_t present = std::min<std::uint64_t>(payloadSize, data.size());
        count = static_cast<std::uint32_t>(std::min<std::uint64_t>(present, kIdSize));
    }
    std::string text = "ID: [ ";
    for (std::uint32_t i = 0; i < count; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(id[i]));
        if (i != 0) {
            text += ", ";
        }
        text += hex;
    }
    text += " ]";
    if (isGeoTiff && payloadSize != 0) {
        text += "\r\n\r\n<GeoTIFF file>";
    }
    return text;
}

bool UuidBox::readPayload(ByteStream& stream, ReadContext& context) {
    // Too large to hold (a big GeoTIFF imported from a stream, say): the identifier is read
    // and the rest stays in the file, as the import of such a payload left it.
    if (payloadSize > kMaxHeldPayload && context.source != nullptr) {
        std::vector<std::uint8_t> id(kIdSize + 1, 0);
        stream.readBytes(id.data(), kIdSize);
        if (!stream.good() || !windowOnSource(stream, context, payloadSize - kIdSize)) {
            context.refusal = kPayloadTooLargeMessage;
            return false;
        }
        data.swap(id);
        isGeoTiff = std::equal(kGeoTiffUuid.begin(), kGeoTiffUuid.end(), data.begin());
        return true;
    }
    if (!Box::readPayload(stream, context)) {
        return false;
    }
    isGeoTiff = payloadSize >= kIdSize && data.size() >= kIdSize &&
                std::equal(kGeoTiffUuid.begin(), kGeoTiffUuid.end(), data.begin());
    return true;
}

// The imported file becomes the data behind the identifier. A box that already has an
// identifier of its own keeps it (an XMP box stays an XMP box); one without gets the GeoTIFF
// identifier, and isGeoTiff then tells the truth about what is written.
bool UuidBox::importPayload(ByteStream& stream, std::uint32_t fileSize) {
    if (fileSize > 0xFFFFFFFFu - kIdSize) {
        return false;
    }
    const std::uint32_t newSize = fileSize + kIdSize;
    std::array<std::uint8_t, kIdSize> id = kGeoTiffUuid;
    if (!isGeoTiff && payloadSize >= kIdSize && data.size() >= kIdSize) {
        std::copy_n(data.begin(), kIdSize, id.begin());
    }
    try {
        std::vector<std::uint8_t> buffer(std::size_t{newSize} + 1, 0);
        std::copy(id.begin(), id.end(), buffer.begin());
        stream.readBytes(buffer.data() + kIdSize, fileSize);
        buffer[newSize] = 0;
        data.swap(buffer);
    } catch (const std::bad_alloc&) {
        return false;
    }
    window.reset();
    payloadSize = newSize;
    isGeoTiff = id == kGeoTiffUuid;
    return true;
}

bool UuidBox::importWindow(FileWindow payload) {
    if (payload.length > 0xFFFFFFFFu - kIdSize - 8) {
        return false;
    }
    std::array<std::uint8_t, kIdSize> id = kGeoTiffUuid;
    if (!isGeoTiff && payloadSize >= kIdSize && data.size() >= kIdSize) {
        std::copy_n(data.begin(), kIdSize, id.begin());
    }
    try {
        std::vector<std::uint8_t> held(id.begin(), id.end());
        held.push_back(0);
        data.swap(held);
    } catch (const std::bad_alloc&) {
        return false;
    }
    payloadSize = kIdSize + payload.length;
    window = std::move(payload);
    isGeoTiff = id == kGeoTiffUuid;
    return true;
}

void UuidBox::moveWindow(std::shared_ptr<const SourceFile> source, std::uint64_t offset) {
    Box::moveWindow(std::move(source), offset + kIdSize);
}

bool UuidBox::writeBox(ByteStream& stream, bool withHeader) const {
    if (payloadSize == 0) {
        // A GeoTIFF box added but never filled leaves no trace; an empty box read from a file
        // is written back as the bare header it was.
        if (withHeader && !isGeoTiff) {
            writeHeader(stream, 0);
        }
        return true;
    }
    const auto idBytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(payloadSize, kIdSize));
    if (withHeader) {
        writeHeader(stream, payloadSize);
        if (isGeoTiff) {
            stream.writeBytes(kGeoTiffUuid.data(), idBytes);
        } else {
            writePaddedBytes(stream, 0, idBytes);
        }
    }
    if (window) {
        return copyFileWindow(*window, stream);
    }
    if (payloadSize > kIdSize) {
        writePaddedBytes(stream, kIdSize, payloadSize - kIdSize);
    }
    return true;
}

std::uint64_t UuidBox::writtenSize() const {
    if (payloadSize == 0) {
        return isGeoTiff ? 0 : headerSize();
    }
    return headerSize() + payloadSize;
}

}  // namespace bq
