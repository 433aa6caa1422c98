#include "formats/box_span.h"

#include "formats/byte_reader.h"

namespace bq {

std::string typeName(std::uint32_t type) {
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>((type >> shift) & 0xFF);
        name += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return name;
}

std::string quoted(std::uint32_t type) {
    // Built by appending: GCC 12 for Windows warns wrongly about + on a one-character literal.
    std::string text = "'";
    text += typeName(type);
    text += '\'';
    return text;
}

SpanBoxes splitBoxes(std::span<const std::uint8_t> bytes) {
    SpanBoxes result;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t left = bytes.size() - at;
        ByteReader reader(bytes.subspan(at));
        std::uint32_t length = 0;
        SpanBox box;
        box.offset = at;
        if (!reader.u32(length) || !reader.u32(box.type)) {
            result.fault = "a box header at offset " + std::to_string(at) + " is cut short (" +
                           std::to_string(left) + " bytes left)";
            return result;
        }
        std::uint64_t boxLength = length;
        if (length == 1) {
            box.extended = true;
            box.headerLength = 16;
            if (!reader.u64(boxLength)) {
                result.fault = "the extended header of '" + typeName(box.type) + "' at offset " +
                               std::to_string(at) + " is cut short";
                return result;
            }
        } else if (length == 0) {
            box.toEnd = true;
            boxLength = left;
        }
        if (boxLength < box.headerLength) {
            result.fault = quoted(box.type) + " at offset " + std::to_string(at) + " has length " +
                           std::to_string(boxLength) + ", shorter than its header";
            return result;
        }
        if (boxLength > left) {
            result.fault = quoted(box.type) + " at offset " + std::to_string(at) +
                           " is cut short: length " + std::to_string(boxLength) + ", " +
                           std::to_string(left) + " bytes left";
            return result;
        }
        const auto whole = static_cast<std::size_t>(boxLength);
        box.payload = bytes.subspan(at + box.headerLength, whole - box.headerLength);
        result.boxes.push_back(box);
        at += whole;
    }
    return result;
}

}  // namespace bq
