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
bool readZeroFilled(ByteStream& stream, std::uint64_t count, std::vector<std::uint8_t>& out) {
    if (count > kMaxHeldPayload) {
        return false;
    }
    try {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(count) + 1, 0);
        stream.readBytes(buffer.data(), static_cast<std::uint32_t>(count));
        buffer[static_cast<std::size_t>(count)] = 0;  // the NUL is the contract
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

bool Box::readPayload(ByteStream& stream, ReadContext& context) {
    if (payloadSize == 0 || leaveInSource(stream, context)) {
        return true;
    }
    if (payloadSize > kMaxHeldPayload) {
        context.refusal = kPayloadTooLargeMessage;
        return false;
    }
    return readDataBytes(stream);
}

bool Box::leaveInSource(ByteStream& stream, ReadContext& context) {
    if (!isLocked() || context.source == nullptr || payloadSize <= context.holdLimit) {
        return false;
    }
    return windowOnSource(stream, context, payloadSize);
}

bool Box::windowOnSource(ByteStream& stream, const ReadContext& context, std::uint64_t length) {
    if (context.source == nullptr) {
        return false;
    }
    const std::uint64_t start = stream.tell();
    const std::uint64_t available = context.fileSize > start ? context.fileSize - start : 0;
    const std::uint64_t present = std::min(length, available);
    std::optional<FileWindow> found = makeFileWindow(stream, context.source, start, present);
    if (!found || !stream.seek(start + present)) {
        stream.seek(start);
        return false;
    }
    window = std::move(found);
    return true;
}

void Box::moveWindow(std::shared_ptr<const SourceFile> source, std::uint64_t offset) {
    if (window) {
        window->source = std::move(source);
        window->offset = offset;
    }
}

std::uint64_t Box::headerSize() const {
    const bool extended = headerForm == HeaderForm::Extended ||
                          (headerForm == HeaderForm::Plain && payloadSize > kMaxPlainPayload);
    return extended ? kExtendedHeaderSize : kBoxHeaderSize;
}

void Box::writeHeader(ByteStream& stream, std::uint64_t payload) const {
    if (headerForm == HeaderForm::ToEnd) {
        stream.writeU32(0);
        stream.writeU32(type);
        return;
    }
    if (headerForm == HeaderForm::Plain && payload <= kMaxPlainPayload) {
        stream.writeU32(static_cast<std::uint32_t>(payload + kBoxHeaderSize));
        stream.writeU32(type);
        return;
    }
    const std::uint64_t length = payload + kExtendedHeaderSize;  // payloads stay far below 2^64
    stream.writeU32(1);
    stream.writeU32(type);
    stream.writeU32(static_cast<std::uint32_t>(length >> 32));
    stream.writeU32(static_cast<std::uint32_t>(length));
}

bool Box::writePayload(ByteStream& stream) const {
    if (!window) {
        writePaddedBytes(stream, 0, payloadSize);
        return true;
    }
    if (!copyFileWindow(*window, stream)) {
        return false;
    }
    // A payload that ran past the end of its file is written with zeros for the bytes the file
    // did not have, as a held one is, so the box keeps its length.
    writePaddedBytes(stream, data.size(), payloadSize - window->length);
    return true;
}

bool Box::importPayload(ByteStream& stream, std::uint32_t fileSize) {
    // Read into a new buffer first, so a box whose import fails keeps its old payload.
    std::vector<std::uint8_t> fresh;
    if (!readZeroFilled(stream, fileSize, fresh)) {
        return false;
    }
    data.swap(fresh);
    window.reset();
    payloadSize = fileSize;
    return true;
}

bool Box::writeBox(ByteStream& stream, bool withHeader) const {
    if (withHeader) {
        writeHeader(stream, payloadSize);
    }
    return writePayload(stream);
}

bool Box::readDataBytes(ByteStream& stream) {
    return readZeroFilled(stream, payloadSize, data);
}

void Box::writePaddedBytes(ByteStream& stream, std::size_t offset, std::uint64_t count) const {
    // Only bytes `data` really holds are written from it; a shortfall (no payload read, or a
    // buffer smaller than the size claims) is written as zeros so the length stays true.
    std::uint64_t fromData = 0;
    if (offset < data.size()) {
        const std::uint64_t available = data.size() - offset;
        fromData = std::min(available, count);
        stream.writeBytes(data.data() + offset, static_cast<std::uint32_t>(fromData));
    }
    static constexpr std::uint8_t kZeros[4096] = {};
    for (std::uint64_t left = count - fromData; left != 0;) {
        const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, sizeof kZeros));
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
