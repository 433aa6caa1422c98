#include "describe/decode_box.h"

#include "describe/payload_bytes.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "stream/window_stream.h"

namespace bq {

std::optional<Jp2Header> decodeJp2HeaderBox(const Box& box, std::vector<std::string>& warnings) {
    std::string why;
    const std::optional<PayloadBytes> payload = payloadBytes(box, kMaxDecodedPayload, why);
    if (!payload) {
        warnings.push_back("JP2 header " + why);
        return std::nullopt;
    }
    Jp2Header header = decodeJp2Header(payload->bytes);
    warnings.insert(warnings.end(), header.warnings.begin(), header.warnings.end());
    return header;
}

std::optional<MainHeader> decodeMainHeaderBox(const CodestreamBox& box,
                                              std::vector<std::string>& warnings) {
    if (box.errorText) {
        constexpr std::string_view kPrefix = "ERROR: ";
        std::string_view text = *box.errorText;
        if (text.starts_with(kPrefix)) {
            text.remove_prefix(kPrefix.size());
        }
        warnings.emplace_back(text);
    }
    std::optional<MainHeader> header;
    const std::span<const std::uint8_t> held = box.heldBytes();
    if (!held.empty()) {
        MemoryStream stream;
        stream.attach(held.data(), static_cast<std::uint32_t>(held.size()));
        header = readMainHeader(stream, held.size());
    } else if (box.window && box.window->source != nullptr) {
        FileStream file;
        if (!file.open(box.window->source->path, "rb")) {
            warnings.emplace_back("the codestream cannot be read from the file");
            return std::nullopt;
        }
        WindowStream stream(file, box.window->offset, box.window->length);
        header = readMainHeader(stream, box.window->length);
    } else {
        warnings.emplace_back("the codestream box is empty");
        return std::nullopt;
    }
    if (header->fault) {
        warnings.push_back("codestream main header: " + *header->fault);
    }
    warnings.insert(warnings.end(), header->warnings.begin(), header->warnings.end());
    return header;
}

}  // namespace bq
