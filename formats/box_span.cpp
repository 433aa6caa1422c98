#include "formats/box_span.h"

#include "stream/box_header.h"

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
        BoxHeader header;
        const BoxHeaderFault fault = readBoxHeader(bytes.subspan(at), header);
        const std::string where = " at offset " + std::to_string(at);
        if (fault == BoxHeaderFault::CutShort) {
            result.fault =
                "a box header" + where + " is cut short (" + std::to_string(left) + " bytes left)";
            return result;
        }
        if (fault == BoxHeaderFault::ExtendedCutShort) {
            result.fault =
                "the extended header of '" + typeName(header.type) + "'" + where + " is cut short";
            return result;
        }
        const std::uint64_t boxLength = header.form == HeaderForm::ToEnd ? left : header.length;
        if (fault == BoxHeaderFault::ShorterThanHeader || boxLength < header.headerLength()) {
            result.fault = quoted(header.type) + where + " has length " +
                           std::to_string(boxLength) + ", shorter than its header";
            return result;
        }
        if (boxLength > left) {
            result.fault = quoted(header.type) + where + " is cut short: length " +
                           std::to_string(boxLength) + ", " + std::to_string(left) + " bytes left";
            return result;
        }
        SpanBox box;
        box.type = header.type;
        box.offset = at;
        box.headerLength = static_cast<std::size_t>(header.headerLength());
        box.extended = header.form == HeaderForm::Extended;
        box.toEnd = header.form == HeaderForm::ToEnd;
        const auto whole = static_cast<std::size_t>(boxLength);
        box.payload = bytes.subspan(at + box.headerLength, whole - box.headerLength);
        result.boxes.push_back(box);
        at += whole;
    }
    return result;
}

}  // namespace bq
