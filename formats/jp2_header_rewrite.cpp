#include "formats/jp2_header_rewrite.h"

#include <algorithm>

#include "formats/box_span.h"
#include "stream/box_type.h"

namespace bq {

namespace {

// A sub-box as it will be written: its bytes as read while unchanged, else its new payload
// behind a header of the form it had.
struct Part {
    std::uint32_t type = 0;
    std::span<const std::uint8_t> original;  // the whole box, header included
    std::span<const std::uint8_t> payload;   // within `original`
    std::vector<std::uint8_t> replacement;
    bool replaced = false;
    bool extended = false;
    bool toEnd = false;
};

std::optional<std::vector<Part>> splitParts(std::span<const std::uint8_t> bytes,
                                            std::string_view what, std::string& why) {
    const SpanBoxes split = splitBoxes(bytes);
    if (split.fault) {
        why = std::string(what) + " can't be rewritten: its box lengths do not add up (" +
              *split.fault + ")";
        return std::nullopt;
    }
    std::vector<Part> parts;
    for (const SpanBox& box : split.boxes) {
        Part part;
        part.type = box.type;
        part.original = bytes.subspan(box.offset, box.headerLength + box.payload.size());
        part.payload = box.payload;
        part.extended = box.extended;
        part.toEnd = box.toEnd;
        parts.push_back(std::move(part));
    }
    return parts;
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::vector<std::uint8_t> assemble(const std::vector<Part>& parts) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part& part = parts[i];
        const bool last = i + 1 == parts.size();
        // Length 0 runs to the end of the header: a box that no longer ends it needs a length.
        if (!part.replaced && (!part.toEnd || last)) {
            out.insert(out.end(), part.original.begin(), part.original.end());
            continue;
        }
        const auto payload =
            part.replaced ? std::span<const std::uint8_t>(part.replacement) : part.payload;
        const std::uint64_t size = payload.size();
        if (part.toEnd && last) {
            putU32(out, 0);
            putU32(out, part.type);
        } else if (part.extended || size > kMaxPlainPayload) {
            const std::uint64_t length = size + kExtendedHeaderSize;
            putU32(out, 1);
            putU32(out, part.type);
            putU32(out, static_cast<std::uint32_t>(length >> 32));
            putU32(out, static_cast<std::uint32_t>(length));
        } else {
            putU32(out, static_cast<std::uint32_t>(size + kBoxHeaderSize));
            putU32(out, part.type);
        }
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

Part newPart(std::uint32_t type, std::vector<std::uint8_t> payload) {
    Part part;
    part.type = type;
    part.replacement = std::move(payload);
    part.replaced = true;
    return part;
}

std::vector<std::uint8_t> resolutionPayload(const ResolutionChange& change) {
    std::vector<std::uint8_t> out;
    for (const std::uint16_t field : {change.vertical.numerator, change.vertical.denominator,
                                      change.horizontal.numerator, change.horizontal.denominator}) {
        out.push_back(static_cast<std::uint8_t>(field >> 8));
        out.push_back(static_cast<std::uint8_t>(field));
    }
    out.push_back(static_cast<std::uint8_t>(change.vertical.exponent));
    out.push_back(static_cast<std::uint8_t>(change.horizontal.exponent));
    return out;
}

// Applies one change to the boxes of a 'res ' box; the capture box stays before the display one.
void applyResolution(std::vector<Part>& inner, std::uint32_t type, const ResolutionChange& change) {
    if (change.action == ResolutionChange::Action::Keep) {
        return;
    }
    if (change.action == ResolutionChange::Action::Remove) {
        std::erase_if(inner, [type](const Part& part) { return part.type == type; });
        return;
    }
    const auto found = std::find_if(inner.begin(), inner.end(),
                                    [type](const Part& part) { return part.type == type; });
    if (found != inner.end()) {
        found->replacement = resolutionPayload(change);
        found->replaced = true;
        return;
    }
    auto at = inner.end();
    if (type == kTypeResc) {
        at = std::find_if(inner.begin(), inner.end(),
                          [](const Part& part) { return part.type == kTypeResd; });
    }
    inner.insert(at, newPart(type, resolutionPayload(change)));
}

// Where a new 'res ' box goes: behind the image header and the colour boxes.
std::size_t resolutionPlace(const std::vector<Part>& parts) {
    constexpr std::uint32_t kBefore[] = {kTypeIhdr, kTypeBpcc, kTypeColr,
                                         kTypePclr, kTypeCmap, kTypeCdef};
    std::size_t place = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (std::find(std::begin(kBefore), std::end(kBefore), parts[i].type) != std::end(kBefore)) {
            place = i + 1;
        }
    }
    return parts.empty() ? 0 : (place == 0 ? parts.size() : place);
}

Part* colourPart(std::vector<Part>& parts, std::size_t colr, std::string& why) {
    std::size_t seen = 0;
    for (Part& part : parts) {
        if (part.type == kTypeColr && seen++ == colr) {
            return &part;
        }
    }
    why = "the JP2 header has " + std::to_string(seen) + " colour box" + (seen == 1 ? "" : "es") +
          ", none numbered " + std::to_string(colr);
    return nullptr;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> setJp2Resolution(std::span<const std::uint8_t> payload,
                                                          const ResolutionChange& capture,
                                                          const ResolutionChange& display,
                                                          std::string& why) {
    std::optional<std::vector<Part>> parts = splitParts(payload, "the JP2 header", why);
    if (!parts) {
        return std::nullopt;
    }
    const auto res = std::find_if(parts->begin(), parts->end(),
                                  [](const Part& part) { return part.type == kTypeRes; });
    // Readers differ on which of two resolution boxes counts: rewriting one would leave the
    // other's answer beside it, and dropping one would lose what no one asked to lose.
    const auto resBoxes = std::count_if(parts->begin(), parts->end(),
                                        [](const Part& part) { return part.type == kTypeRes; });
    if (resBoxes > 1) {
        why = "the JP2 header has " + std::to_string(resBoxes) +
              " resolution ('res ') boxes; delete all but one before setting the resolution";
        return std::nullopt;
    }
    std::vector<Part> inner;
    if (res != parts->end()) {
        std::optional<std::vector<Part>> found =
            splitParts(res->payload, "the resolution box", why);
        if (!found) {
            return std::nullopt;
        }
        inner = std::move(*found);
    }
    applyResolution(inner, kTypeResc, capture);
    applyResolution(inner, kTypeResd, display);
    if (inner.empty()) {
        if (res != parts->end()) {
            parts->erase(res);
        }
        return assemble(*parts);
    }
    if (res != parts->end()) {
        res->replacement = assemble(inner);
        res->replaced = true;
    } else {
        const std::size_t place = resolutionPlace(*parts);
        parts->insert(parts->begin() + static_cast<std::ptrdiff_t>(place),
                      newPart(kTypeRes, assemble(inner)));
    }
    return assemble(*parts);
}

std::optional<std::vector<std::uint8_t>> setJp2Profile(std::span<const std::uint8_t> payload,
                                                       std::size_t colr,
                                                       std::span<const std::uint8_t> profile,
                                                       std::string& why) {
    std::optional<std::vector<Part>> parts = splitParts(payload, "the JP2 header", why);
    if (!parts) {
        return std::nullopt;
    }
    Part* part = colourPart(*parts, colr, why);
    if (part == nullptr) {
        return std::nullopt;
    }
    if (part->payload.size() < 3) {
        why = "colour box " + std::to_string(colr) + " is cut short";
        return std::nullopt;
    }
    const std::uint8_t method = part->payload[0] == 3 ? 3 : 2;
    std::vector<std::uint8_t> fresh{method, part->payload[1], part->payload[2]};
    fresh.insert(fresh.end(), profile.begin(), profile.end());
    part->replacement = std::move(fresh);
    part->replaced = true;
    return assemble(*parts);
}

std::optional<std::size_t> firstProfileColour(std::span<const std::uint8_t> payload) {
    std::size_t index = 0;
    for (const SpanBox& box : splitBoxes(payload).boxes) {
        if (box.type != kTypeColr) {
            continue;
        }
        if (!box.payload.empty() && (box.payload[0] == 2 || box.payload[0] == 3)) {
            return index;
        }
        ++index;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> jp2Profile(std::span<const std::uint8_t> payload,
                                                    std::size_t colr, std::string& why) {
    std::optional<std::vector<Part>> parts = splitParts(payload, "the JP2 header", why);
    if (!parts) {
        return std::nullopt;
    }
    const Part* part = colourPart(*parts, colr, why);
    if (part == nullptr) {
        return std::nullopt;
    }
    if (part->payload.empty() || (part->payload[0] != 2 && part->payload[0] != 3)) {
        why = "colour box " + std::to_string(colr) + " holds no ICC profile";
        return std::nullopt;
    }
    if (part->payload.size() < 3) {
        why = "colour box " + std::to_string(colr) + " is cut short";
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(part->payload.begin() + 3, part->payload.end());
}

}  // namespace bq
