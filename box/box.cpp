#include "box/box.h"

#include <algorithm>
#include <new>

namespace bq {

namespace {

std::uint8_t upperAscii(std::uint8_t c) {
    return (c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
}

const char* typeName(std::uint32_t type) {
    switch (type) {
        case kTypeAsoc:
            return "Association box";
        case kTypeFtyp:
            return "File type";
        case kTypeJp2c:
            return "Image codestream";
        case kTypeJp2h:
            return "JP2 header";
        case kTypeLbl:
            return "Label";
        case kTypeRreq:
            return "Reader requirements";
        case kTypeUuid:
            return "User data";
        case kTypeXml:
            return "XML file";
        default:
            return "";
    }
}

// Makes a zeroed buffer of count + 1 bytes and reads count bytes into it, so bytes the stream
// cannot supply stay zero and the last byte is the NUL. False when the memory cannot be had.
bool readZeroFilled(ByteStream& stream, std::uint32_t count, std::vector<std::uint8_t>& out) {
    try {
        std::vector<std::uint8_t> buffer(std::size_t{count} + 1, 0);
        stream.readBytes(buffer.data(), count);
        buffer[count] = 0;  // a stream never writes past count, but the NUL is the contract
        out.swap(buffer);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int shownDepth(const Box& box) {
    return box.depth < 0 ? 0 : (box.depth > kMaxShownDepth ? kMaxShownDepth : box.depth);
}

}  // namespace

std::string Box::description() const {
    return baseDescription(*this);
}

std::string Box::text() const {
    if (isLocked() || data.empty()) {
        return {};
    }
    return nulTerminatedText(data);
}

bool Box::readPayload(ByteStream& stream, std::uint32_t /*fileSize*/, NestingContext& /*nesting*/) {
    if (payloadSize == 0) {
        return true;
    }
    return readDataBytes(stream);
}

bool Box::importPayload(ByteStream& stream, std::uint32_t fileSize) {
    // Read into a new buffer first, so a box whose import fails keeps its old payload.
    std::vector<std::uint8_t> fresh;
    if (!readZeroFilled(stream, fileSize, fresh)) {
        return false;
    }
    data.swap(fresh);
    payloadSize = fileSize;
    return true;
}

bool Box::writeBox(ByteStream& stream, bool withHeader) const {
    if (withHeader) {
        if (payloadSize > 0xFFFFFFFFu - kBoxHeaderSize) {
            return false;  // the length would not fit the header
        }
        stream.writeU32(payloadSize + kBoxHeaderSize);
        stream.writeU32(type);
    }
    writePaddedBytes(stream, 0, payloadSize);
    return true;
}

bool Box::readDataBytes(ByteStream& stream) {
    return readZeroFilled(stream, payloadSize, data);
}

void Box::writePaddedBytes(ByteStream& stream, std::size_t offset, std::uint32_t count) const {
    // Only bytes `data` really holds are written from it; a shortfall (no payload read, or a
    // buffer smaller than the size claims) is written as zeros so the length stays true.
    std::uint32_t fromData = 0;
    if (offset < data.size()) {
        const std::size_t available = data.size() - offset;
        fromData = available < count ? static_cast<std::uint32_t>(available) : count;
        stream.writeBytes(data.data() + offset, fromData);
    }
    static constexpr std::uint8_t kZeros[256] = {};
    for (std::uint32_t left = count - fromData; left != 0;) {
        const std::uint32_t chunk = left < sizeof kZeros ? left : std::uint32_t{sizeof kZeros};
        stream.writeBytes(kZeros, chunk);
        left -= chunk;
    }
}

std::string nulTerminatedText(const std::vector<std::uint8_t>& bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return std::string(bytes.begin(), end);
}

std::string upperTypeText(std::uint32_t value) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<std::uint8_t>(value >> (24 - 8 * i));
        text[static_cast<std::size_t>(i)] = static_cast<char>(upperAscii(byte));
    }
    return text;
}

std::string idText(const Box& box, std::optional<std::uint32_t> value) {
    std::string text;
    for (int level = 0; level < shownDepth(box); ++level) {
        text += "|  ";
    }
    text += upperTypeText(value.value_or(box.type));
    return text;
}

std::string baseDescription(const Box& box) {
    std::string text(static_cast<std::size_t>(shownDepth(box)) * 3, ' ');
    text += typeName(box.type);
    return text;
}

}  // namespace bq
