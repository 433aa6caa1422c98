#include "validate/box_walk.h"

#include <map>

#include "stream/box_header.h"

namespace bq {

namespace {

constexpr std::string_view kLengthTest = "boxLengthIsValid";

std::string faultText(BoxHeaderFault fault) {
    switch (fault) {
        case BoxHeaderFault::CutShort:
            return "fewer than 8 bytes left for a box header";
        case BoxHeaderFault::ExtendedCutShort:
            return "length 1 without its 8-byte extended length";
        case BoxHeaderFault::ShorterThanHeader:
            return "a length shorter than the box's own header";
        case BoxHeaderFault::None:
            break;
    }
    return {};
}

// Names siblings of one type apart: "colr", "colr[1]", ...
class PathNamer {
  public:
    explicit PathNamer(const std::string& parent) : parent_(parent) {}
    std::string operator()(std::uint32_t type) {
        const int seen = seen_[type]++;
        std::string path = parent_.empty() ? typeText(type) : parent_ + "/" + typeText(type);
        return seen == 0 ? path : path + "[" + std::to_string(seen) + "]";
    }

    const std::string& parent() const { return parent_; }

  private:
    std::string parent_;
    std::map<std::uint32_t, int> seen_;
};

// One step of a walk: the box whose header `header` (or fault) was read at `at`, with
// `room` bytes to the end of what encloses it. False when the walk must stop.
bool takeBox(BoxHeaderFault fault, const BoxHeader& header, std::uint64_t at, std::uint64_t room,
             PathNamer& name, std::vector<BoxAt>& boxes, Findings& findings) {
    if (fault != BoxHeaderFault::None) {
        findings.error(kLengthTest, false,
                       "box header at offset " + std::to_string(at) + ": " + faultText(fault), {},
                       at);
        return false;
    }
    BoxAt box;
    box.type = header.type;
    box.offset = at;
    box.path = name(header.type);
    box.payloadOffset = at + header.headerLength();
    box.payloadLength = header.payloadLength(room);
    const bool fits = header.form == HeaderForm::ToEnd || header.length <= room;
    findings.error(kLengthTest, fits,
                   "'" + typeText(header.type) + "' claims " + std::to_string(header.length) +
                       " bytes; only " + std::to_string(room) + " remain",
                   box.path, at);
    if (!fits) {
        box.payloadLength = room > header.headerLength() ? room - header.headerLength() : 0;
    }
    boxes.push_back(std::move(box));
    return fits && header.form != HeaderForm::ToEnd;
}

void noteCap(std::size_t count, const std::string& parent, std::uint64_t at, Findings& findings) {
    findings.limit(
        "boxesChecked", count < kMaxCheckedBoxes,
        "more than " + std::to_string(kMaxCheckedBoxes) + " boxes; the rest are not checked",
        parent, at);
}

}  // namespace

std::string typeText(std::uint32_t type) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<unsigned char>(type >> shift);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            text += static_cast<char>(byte);
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
        }
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::vector<BoxAt> walkBoxes(ByteStream& stream, std::uint64_t begin, std::uint64_t end,
                             const std::string& parent, Findings& findings) {
    std::vector<BoxAt> boxes;
    PathNamer name(parent);
    std::uint64_t at = begin;
    while (at < end) {
        if (boxes.size() >= kMaxCheckedBoxes) {
            noteCap(boxes.size(), parent, at, findings);
            break;
        }
        BoxHeader header;
        const std::uint64_t room = end - at;
        BoxHeaderFault fault = BoxHeaderFault::CutShort;
        if (room >= kBoxHeaderSize && stream.seek(at)) {
            fault = readBoxHeader(stream, header);
            if (fault == BoxHeaderFault::None && header.headerLength() > room) {
                fault = BoxHeaderFault::ExtendedCutShort;
            }
        }
        if (!takeBox(fault, header, at, room, name, boxes, findings)) {
            break;
        }
        at += header.length;
    }
    return boxes;
}

std::vector<BoxAt> walkBytes(std::span<const std::uint8_t> bytes, std::uint64_t base,
                             const std::string& parent, Findings& findings) {
    std::vector<BoxAt> boxes;
    PathNamer name(parent);
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (boxes.size() >= kMaxCheckedBoxes) {
            noteCap(boxes.size(), parent, base + at, findings);
            break;
        }
        BoxHeader header;
        const BoxHeaderFault fault = readBoxHeader(bytes.subspan(at), header);
        if (!takeBox(fault, header, base + at, bytes.size() - at, name, boxes, findings)) {
            break;
        }
        at += static_cast<std::size_t>(header.length);
    }
    return boxes;
}

std::optional<std::vector<std::uint8_t>> readPayload(ByteStream& stream, const BoxAt& box,
                                                     std::string_view test, Findings& findings) {
    if (!findings.limit(test, box.payloadLength <= kMaxCheckedPayload,
                        "payload of " + std::to_string(box.payloadLength) +
                            " bytes, over the checked limit; not checked",
                        box.path, box.offset)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(box.payloadLength));
    if (!stream.seek(box.payloadOffset)) {
        return std::nullopt;
    }
    if (!bytes.empty()) {
        stream.readBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    if (!stream.good()) {
        return std::nullopt;
    }
    return bytes;
}

std::span<const std::uint8_t> payloadIn(std::span<const std::uint8_t> bytes,
                                        std::uint64_t payloadBase, const BoxAt& box) {
    const std::uint64_t start = box.payloadOffset - payloadBase;
    if (start > bytes.size() || box.payloadLength > bytes.size() - start) {
        return {};
    }
    return bytes.subspan(static_cast<std::size_t>(start),
                         static_cast<std::size_t>(box.payloadLength));
}

}  // namespace bq
