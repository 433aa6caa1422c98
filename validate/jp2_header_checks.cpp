// The JP2 header box and the boxes in it (ISO/IEC 15444-1 I.5.3): presence, order and counts,
// then each box's fields. Field values come from the header's own decoders.

#include <algorithm>
#include <string>

#include "formats/jp2_header_boxes.h"
#include "stream/box_type.h"
#include "stream/byte_reader.h"
#include "validate/check_groups.h"

namespace bq {

namespace {

constexpr std::uint32_t kIccA2B0 = fourCC("A2B0");
constexpr std::uint32_t kIccInput = fourCC("scnr");
constexpr std::uint32_t kIccDisplay = fourCC("mntr");
constexpr std::uint32_t kTypeIccHeaderSize = 128;

std::string n(std::uint64_t value) {
    return std::to_string(value);
}

bool validDepth(std::uint8_t byte) {
    return (byte & 0x7F) < 38;  // 1 to 38 bits
}

// What one sub-box's checks share.
struct Sub {
    const BoxAt& box;
    std::span<const std::uint8_t> payload;
    Findings& findings;
    bool error(std::string_view test, bool ok, const std::string& message) const {
        return findings.error(test, ok, message, box.path, box.offset);
    }
    bool length(bool ok, const std::string& expected) const {
        return error("boxLengthIsValid", ok,
                     "payload of " + n(payload.size()) + " bytes; expected " + expected);
    }
};

void checkImageHeader(const Sub& sub, HeaderFacts& facts) {
    if (!sub.length(sub.payload.size() == 14, "14")) {
        return;
    }
    const auto header = decodeImageHeader(sub.payload);
    if (!header) {
        return;
    }
    sub.error("heightIsValid", header->height >= 1, "height " + n(header->height));
    sub.error("widthIsValid", header->width >= 1, "width " + n(header->width));
    sub.error("nCIsValid", header->components >= 1 && header->components <= kMaxComponents,
              "NC " + n(header->components) + "; 1 to 16384 allowed");
    sub.error("bPCIsValid", header->bpc == kDepthVaries || validDepth(header->bpc),
              "BPC " + n(header->bpc) + ": a depth of 1 to 38 bits or 255 allowed");
    sub.error("cIsValid", header->compression == 7,
              "compression type " + n(header->compression) + "; 7 required");
    sub.error("unkCIsValid", header->colourspaceUnknown <= 1,
              "UnkC " + n(header->colourspaceUnknown) + "; 0 or 1 allowed");
    sub.error("iPRIsValid", header->intellectualProperty <= 1,
              "IPR " + n(header->intellectualProperty) + "; 0 or 1 allowed");
    facts.imageHeader = header;
    facts.imageHeaderOffset = sub.box.offset;
}

void checkBitsPerComponent(const Sub& sub, HeaderFacts& facts) {
    if (facts.imageHeader) {
        sub.length(sub.payload.size() == facts.imageHeader->components,
                   n(facts.imageHeader->components) + " (NC)");
    }
    const auto bad = std::find_if_not(sub.payload.begin(), sub.payload.end(), validDepth);
    sub.error("bPCIsValid", bad == sub.payload.end(),
              "component " + n(static_cast<std::uint64_t>(bad - sub.payload.begin())) +
                  ": a depth byte of " + n(bad == sub.payload.end() ? 0 : *bad));
    facts.bitsPerComponent.emplace(sub.payload.begin(), sub.payload.end());
}

void checkIcc(const Sub& sub, const ColourBox& colour, Rules rules) {
    const auto& profile = colour.profile;
    if (!sub.error("iccSizeIsValid", profile && profile->size == colour.profileLength,
                   "profile of " + n(colour.profileLength) + " bytes states a size of " +
                       n(profile ? profile->size : 0))) {
        return;
    }
    sub.error("iccTagTableIsValid", profile->tagTableInside,
              "tag table of " + n(profile->tagCount) + " tags does not lie inside the profile");
    if (colour.method != 2 || rules == Rules::Jpx) {
        return;
    }
    // The restricted method allows only the monochrome and three-component matrix-based
    // input and display profiles.
    sub.error("iccPermittedProfileClass",
              profile->deviceClass == kIccInput || profile->deviceClass == kIccDisplay,
              "profile class '" + typeText(profile->deviceClass) + "'; 'scnr' or 'mntr' allowed");
    sub.error(
        "iccNoLUTBasedProfile",
        std::find(profile->tags.begin(), profile->tags.end(), kIccA2B0) == profile->tags.end(),
        "an A2B0 tag: a LUT-based profile, which the restricted method excludes");
}

void checkColour(const Sub& sub, Rules rules, std::optional<std::uint32_t>& enumerated) {
    const auto colour = decodeColourBox(sub.payload);
    if (!colour && sub.payload.size() >= 3 && sub.payload[0] == 1) {
        // Cut short (a file that ends inside its header): the enumerated space is missing.
        sub.length(false, "7 for an enumerated colour space");
        sub.error("enumCSIsValid", false, "the box ends before EnumCS");
        return;
    }
    if (!sub.length(colour.has_value(), "at least 3")) {
        return;
    }
    const bool jp2 = rules == Rules::Jp2;
    sub.error("methIsValid",
              jp2 ? colour->method == 1 || colour->method == 2
                  : colour->method >= 1 && colour->method <= 4,
              "method " + n(colour->method) + (jp2 ? "; 1 or 2 allowed" : "; 1 to 4 allowed"));
    if (jp2) {
        sub.error("precIsValid", colour->precedence == 0,
                  "precedence " + std::to_string(colour->precedence) + "; 0 required");
    }
    sub.error("approxIsValid", jp2 ? colour->approximation == 0 : colour->approximation <= 4,
              "approximation " + n(colour->approximation) + (jp2 ? "; 0 required" : "; 0 to 4"));
    if (colour->method == 1) {
        // JPX's enumerated spaces may carry parameters after EnumCS; JP2's carry none.
        sub.length(jp2 ? sub.payload.size() == 7 : sub.payload.size() >= 7,
                   jp2 ? "7 for an enumerated colour space" : "at least 7");
        const std::uint32_t space = colour->enumerated.value_or(0);
        sub.error("enumCSIsValid",
                  jp2 ? space >= 16 && space <= 18 : !enumeratedSpaceName(space).empty(),
                  "enumerated colour space " + n(space));
        enumerated = space;
    } else if (colour->method == 2 || colour->method == 3) {
        if (sub.length(colour->profileLength >= kTypeIccHeaderSize,
                       "an ICC profile of at least 128 bytes")) {
            checkIcc(sub, *colour, rules);
        }
    }
}

void checkPalette(const Sub& sub, std::optional<Palette>& out) {
    const auto palette = decodePalette(sub.payload);
    if (!sub.length(palette.has_value(), "at least 3")) {
        return;
    }
    sub.error("nEIsValid", palette->entries >= 1 && palette->entries <= 1024,
              "NE " + n(palette->entries) + "; 1 to 1024 allowed");
    sub.error("nPCIsValid", palette->columns >= 1, "NPC " + n(palette->columns) + "; 1 to 255");
    sub.error("bDepthIsValid",
              std::all_of(palette->depths.begin(), palette->depths.end(), validDepth),
              "a column depth outside 1 to 38 bits");
    std::uint64_t entryBytes = 0;
    for (const std::uint8_t depth : palette->depths) {
        entryBytes += ((depth & 0x7Fu) + 8u) / 8u;
    }
    const std::uint64_t expected = 3 + palette->depths.size() + palette->entries * entryBytes;
    sub.length(sub.payload.size() == expected, n(expected) + " for its entries");
    out = palette;
}

void checkComponentMapping(const Sub& sub, const HeaderFacts& facts,
                           const std::optional<Palette>& palette) {
    const auto maps = decodeComponentMapping(sub.payload);
    if (!sub.length(maps.has_value() && sub.payload.size() % 4 == 0, "a multiple of 4")) {
        return;
    }
    const std::uint32_t components = facts.imageHeader ? facts.imageHeader->components : 0;
    for (const ComponentMap& map : *maps) {
        sub.error("cMPIsValid", components == 0 || map.component < components,
                  "component " + n(map.component) + " of " + n(components));
        sub.error("mTypIsValid", map.mappingType <= 1,
                  "mapping type " + n(map.mappingType) + "; 0 or 1 allowed");
        const bool column =
            map.mappingType != 1 || !palette || map.paletteColumn < palette->columns;
        sub.error("pColIsValid", (map.mappingType != 0 || map.paletteColumn == 0) && column,
                  "palette column " + n(map.paletteColumn));
    }
}

void checkChannels(const Sub& sub, std::optional<std::uint32_t> enumerated) {
    const auto channels = decodeChannelDefinitions(sub.payload);
    std::uint16_t count = 0;
    ByteReader(sub.payload).u16(count);
    if (!sub.length(channels.has_value() && sub.payload.size() == 2 + std::size_t{count} * 6,
                    n(2 + std::uint64_t{count} * 6) + " for " + n(count) + " channels")) {
        return;
    }
    sub.error("nIsValid", count >= 1, "N " + n(count) + "; at least 1");
    // A colour is named by its number in the colour space: at most as many as it has.
    const int colours = enumerated ? enumeratedSpaceChannels(*enumerated) : 0;
    const std::uint64_t most = colours > 0 ? static_cast<std::uint64_t>(colours) : count;
    for (const ChannelDefinition& channel : *channels) {
        sub.error("cNIsValid", channel.channel < count || count == 0,
                  "channel " + n(channel.channel) + " of " + n(count));
        sub.error("cTypIsValid", channel.type <= 2 || channel.type == 0xFFFF,
                  "channel type " + n(channel.type) + "; 0, 1, 2 or 65535 allowed");
        sub.error("cAssocIsValid", channel.association <= most || channel.association == 0xFFFF,
                  "association " + n(channel.association) + " beyond the " + n(most) + " colours");
    }
}

void checkResolutionBox(const Sub& sub, bool capture) {
    const auto resolution = decodeResolution(sub.payload);
    const std::string c = capture ? "c" : "d";
    if (!sub.length(resolution.has_value() && sub.payload.size() == 10, "10")) {
        // Each field the box ends before is missing, so not valid either.
        const std::pair<std::size_t, std::string> fields[] = {
            {2, "vR" + c + "N"}, {4, "vR" + c + "D"}, {6, "hR" + c + "N"},
            {8, "hR" + c + "D"}, {9, "vR" + c + "E"}, {10, "hR" + c + "E"}};
        for (const auto& [end, name] : fields) {
            if (sub.payload.size() < end) {
                sub.error(name + "IsValid", false, "the box ends before " + name);
            }
        }
        return;
    }
    const auto axis = [&](const ResolutionAxis& values, const std::string& name) {
        sub.error(name + "R" + c + "NIsValid", values.numerator >= 1,
                  "numerator " + n(values.numerator) + "; at least 1");
        sub.error(name + "R" + c + "DIsValid", values.denominator >= 1,
                  "denominator " + n(values.denominator) + "; at least 1");
    };
    axis(resolution->vertical, "v");
    axis(resolution->horizontal, "h");
}

void checkResolution(ByteStream& /*unused*/, const Sub& sub) {
    std::vector<BoxAt> inner =
        walkBytes(sub.payload, sub.box.payloadOffset, sub.box.path, sub.findings);
    const auto count = [&](std::uint32_t type) {
        return std::count_if(inner.begin(), inner.end(),
                             [type](const BoxAt& box) { return box.type == type; });
    };
    sub.error("containsCaptureOrDisplayResolutionBox", count(kTypeResc) + count(kTypeResd) > 0,
              "neither a capture nor a display resolution box");
    sub.error("noMoreThanOneCaptureResolutionBox", count(kTypeResc) <= 1,
              n(static_cast<std::uint64_t>(count(kTypeResc))) + " capture resolution boxes");
    sub.error("noMoreThanOneDisplayResolutionBox", count(kTypeResd) <= 1,
              n(static_cast<std::uint64_t>(count(kTypeResd))) + " display resolution boxes");
    for (const BoxAt& box : inner) {
        if (box.type == kTypeResc || box.type == kTypeResd) {
            checkResolutionBox(
                {box, payloadIn(sub.payload, sub.box.payloadOffset, box), sub.findings},
                box.type == kTypeResc);
        }
    }
}

}  // namespace

HeaderFacts checkJp2HeaderBox(ByteStream& stream, const BoxAt& header, Rules rules,
                              Findings& findings) {
    HeaderFacts facts;
    const auto payload = readPayload(stream, header, "jp2HeaderBoxIsChecked", findings);
    if (!payload) {
        return facts;
    }
    const std::vector<BoxAt> boxes =
        walkBytes(*payload, header.payloadOffset, header.path, findings);
    std::vector<std::uint32_t> types;
    for (const BoxAt& box : boxes) {
        types.push_back(box.type);
    }
    const auto count = [&](std::uint32_t type) {
        return static_cast<std::uint64_t>(std::count(types.begin(), types.end(), type));
    };
    const auto error = [&](std::string_view test, bool ok, const std::string& message) {
        return findings.error(test, ok, message, header.path, header.offset);
    };
    error("containsImageHeaderBox", count(kTypeIhdr) > 0, "no image header box");
    error("containsColourSpecificationBox", count(kTypeColr) > 0, "no colour specification box");
    error("firstJP2HeaderBoxIsImageHeaderBox", !types.empty() && types.front() == kTypeIhdr,
          types.empty() ? "empty" : "first box '" + typeText(types.front()) + "'");
    for (const auto& [type, test] : {std::pair{kTypeIhdr, "noMoreThanOneImageHeaderBox"},
                                     std::pair{kTypeBpcc, "noMoreThanOneBitsPerComponentBox"},
                                     std::pair{kTypePclr, "noMoreThanOnePaletteBox"},
                                     std::pair{kTypeCmap, "noMoreThanOneComponentMappingBox"},
                                     std::pair{kTypeCdef, "noMoreThanOneChannelDefinitionBox"},
                                     std::pair{kTypeRes, "noMoreThanOneResolutionBox"}}) {
        error(test, count(type) <= 1, n(count(type)) + " '" + typeText(type) + "' boxes");
    }
    const auto first = std::find(types.begin(), types.end(), kTypeColr);
    const auto last = std::find(types.rbegin(), types.rend(), kTypeColr).base();
    error("colourSpecificationBoxesAreContiguous",
          first == types.end() || static_cast<std::uint64_t>(last - first) == count(kTypeColr),
          "other boxes between the colour specification boxes");
    error("paletteAndComponentMappingBoxesOnlyTogether",
          (count(kTypePclr) > 0) == (count(kTypeCmap) > 0),
          "a palette box needs a component mapping box and the reverse");

    std::optional<Palette> palette;
    std::optional<std::uint32_t> enumerated;
    for (const BoxAt& box : boxes) {
        const Sub sub{box, payloadIn(*payload, header.payloadOffset, box), findings};
        switch (box.type) {
            case kTypeIhdr:
                if (!facts.imageHeader) {
                    checkImageHeader(sub, facts);
                }
                break;
            case kTypeBpcc:
                checkBitsPerComponent(sub, facts);
                break;
            case kTypeColr:
                checkColour(sub, rules, enumerated);
                break;
            case kTypePclr:
                checkPalette(sub, palette);
                break;
            case kTypeRes:
                checkResolution(stream, sub);
                break;
            default:
                break;
        }
    }
    // Mapping and channels refer to the palette and the colour space, wherever they stand.
    for (const BoxAt& box : boxes) {
        const Sub sub{box, payloadIn(*payload, header.payloadOffset, box), findings};
        if (box.type == kTypeCmap) {
            checkComponentMapping(sub, facts, palette);
        } else if (box.type == kTypeCdef) {
            checkChannels(sub, enumerated);
        }
    }
    if (facts.imageHeader && facts.imageHeader->bpc == kDepthVaries) {
        error("containsBitsPerComponentBox", count(kTypeBpcc) > 0,
              "BPC 255 (depths vary) without a bits per component box");
    }
    return facts;
}

}  // namespace bq
