#include "describe/payload_bytes.h"

#include <new>

#include "stream/file_stream.h"

namespace bq {

std::optional<PayloadBytes> payloadBytes(const Box& box, std::uint64_t limit, std::string& why) {
    PayloadBytes payload;
    if (!box.window) {
        // `data` holds the payload and a NUL behind it, or nothing for an empty payload.
        if (box.data.size() > box.payloadSize) {
            payload.bytes = std::span(box.data.data(), static_cast<std::size_t>(box.payloadSize));
        }
        return payload;
    }
    const FileWindow& window = *box.window;
    if (window.length > limit) {
        why = "not decoded: the payload is larger than " + std::to_string(limit >> 20) + " MiB";
        return std::nullopt;
    }
    FileStream file;
    if (window.source == nullptr || !file.open(window.source->path, "rb") ||
        !file.seek(window.offset)) {
        why = "not decoded: the file cannot be read";
        return std::nullopt;
    }
    try {
        payload.owned.resize(static_cast<std::size_t>(window.length));
    } catch (const std::bad_alloc&) {
        why = "not decoded: not enough memory";
        return std::nullopt;
    }
    file.readBytes(payload.owned.data(), static_cast<std::uint32_t>(window.length));
    if (!file.good()) {
        why = "not decoded: the file cannot be read";
        return std::nullopt;
    }
    payload.bytes = payload.owned;
    return payload;
}

}  // namespace bq
