#include "describe/header_fields.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <utility>

#include "codestream/codestream_box.h"
#include "describe/description.h"
#include "formats/box_span.h"

namespace bq {

namespace {

using Json = nlohmann::ordered_json;

Json depthFields(std::uint8_t byte) {
    const BitDepth depth = bitDepth(byte);
    return {{"bitDepth", depth.bits}, {"signed", depth.isSigned}};
}

Json optionalNumber(const std::optional<double>& value) {
    return value ? Json(*value) : Json(nullptr);
}

Json axisFields(const ResolutionAxis& axis) {
    return {{"numerator", axis.numerator},
            {"denominator", axis.denominator},
            {"exponent", axis.exponent},
            {"pixelsPerMetre", optionalNumber(axis.perMetre())},
            {"pixelsPerInch", optionalNumber(axis.perInch())}};
}

Json resolutionFields(const Resolution& resolution) {
    return {{"vertical", axisFields(resolution.vertical)},
            {"horizontal", axisFields(resolution.horizontal)}};
}

std::string hexText(std::span<const std::uint8_t> bytes) {
    std::string text;
    char digits[3];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

Json colourFields(const ColourBox& colour) {
    Json fields = {{"method", colour.method},
                   {"methodName", colourMethodName(colour.method)},
                   {"precedence", colour.precedence},
                   {"approximation", colour.approximation}};
    if (colour.enumerated) {
        fields["enumeratedColourSpace"] = *colour.enumerated;
        const std::string name = enumeratedSpaceName(*colour.enumerated);
        fields["colourSpace"] = name.empty() ? Json(nullptr) : Json(name);
    }
    if (colour.method == 2 || colour.method == 3) {
        Json icc = {{"length", colour.profileLength}};
        if (colour.profile) {
            const IccProfile& p = *colour.profile;
            icc["size"] = p.size;
            icc["version"] = iccVersionText(p);
            icc["class"] = typeName(p.deviceClass);
            icc["className"] = iccClassName(p.deviceClass);
            icc["colourSpace"] = typeName(p.colourSpace);
            icc["connectionSpace"] = typeName(p.connectionSpace);
            icc["description"] = p.description ? Json(*p.description) : Json(nullptr);
        }
        fields["iccProfile"] = std::move(icc);
    }
    if (colour.vendor) {
        fields["vendorUuid"] = hexText(*colour.vendor);
    }
    return fields;
}

// A header's own boxes listed: its colour boxes and a dozen others.
constexpr std::size_t kMaxListedBoxes = kMaxColourBoxes + 36;

// How many of `count` entries are shown when `meaningful` mean something; warns of the rest.
std::size_t shownEntries(std::size_t count, std::size_t meaningful, const std::string& what,
                         std::vector<std::string>& warnings) {
    if (count <= meaningful) {
        return count;
    }
    warnings.push_back(what + ": " + std::to_string(count - meaningful) +
                       " more entries not shown (" + std::to_string(meaningful) + " shown)");
    return meaningful;
}

// The code-block style's bits one by one, for rules that ask for one of them.
Json codeBlockStyleFlags(std::uint8_t style) {
    static constexpr const char* kNames[] = {"bypass",
                                             "reset",
                                             "termination",
                                             "verticallyCausal",
                                             "predictableTermination",
                                             "segmentationSymbols",
                                             "highThroughput"};
    Json flags = Json::object();
    for (unsigned bit = 0; bit < std::size(kNames); ++bit) {
        flags[kNames[bit]] = (style & (1u << bit)) != 0;
    }
    return flags;
}

}  // namespace

Json jp2HeaderFields(const Jp2Header& header, std::vector<std::string>& warnings) {
    Json fields = objectWithRoom(12);
    // The components the image has, and the channels they make (a palette adds its columns).
    const std::size_t components =
        header.imageHeader ? std::min<std::size_t>(header.imageHeader->components, kMaxComponents)
                           : kMaxComponents;
    const std::size_t channels = components + (header.palette ? header.palette->columns : 0);
    Json order = Json::array();
    const std::size_t boxes =
        shownEntries(header.order.size(), kMaxListedBoxes, "the JP2 header's boxes", warnings);
    for (std::size_t i = 0; i < boxes; ++i) {
        order.push_back(typeName(header.order[i]));
    }
    fields["boxes"] = std::move(order);
    if (header.imageHeader) {
        const ImageHeader& image = *header.imageHeader;
        Json ihdr = {{"height", image.height},
                     {"width", image.width},
                     {"components", image.components},
                     {"bpc", image.bpc}};
        if (image.bpc == kDepthVaries) {
            ihdr["bitDepth"] = nullptr;
            ihdr["signed"] = nullptr;
        } else {
            ihdr.update(depthFields(image.bpc));
        }
        ihdr["compression"] = image.compression;
        ihdr["colourspaceUnknown"] = image.colourspaceUnknown;
        ihdr["intellectualProperty"] = image.intellectualProperty;
        fields["imageHeader"] = std::move(ihdr);
    }
    if (header.bitsPerComponent) {
        Json depths = Json::array();
        const std::size_t shown =
            shownEntries(header.bitsPerComponent->size(), components, "'bpcc'", warnings);
        for (std::size_t i = 0; i < shown; ++i) {
            depths.push_back(depthFields((*header.bitsPerComponent)[i]));
        }
        fields["bitsPerComponent"] = std::move(depths);
    }
    Json colours = Json::array();
    for (const ColourBox& colour : header.colours) {
        colours.push_back(colourFields(colour));
    }
    fields["colourSpecs"] = std::move(colours);
    if (header.coloursLeftOut > 0) {
        warnings.push_back(std::to_string(header.coloursLeftOut) +
                           " more colour boxes not shown (" + std::to_string(kMaxColourBoxes) +
                           " shown)");
    }
    if (header.palette) {
        Json depths = Json::array();
        for (const std::uint8_t byte : header.palette->depths) {
            depths.push_back(depthFields(byte));
        }
        fields["palette"] = {{"entries", header.palette->entries},
                             {"columns", header.palette->columns},
                             {"columnDepths", depths}};
    }
    if (header.componentMapping) {
        Json maps = Json::array();
        const auto& all = *header.componentMapping;
        const std::size_t shown = shownEntries(all.size(), channels, "'cmap'", warnings);
        for (const ComponentMap& map : std::span(all).first(shown)) {
            maps.push_back({{"component", map.component},
                            {"mappingType", map.mappingType == 1 ? "palette" : "direct"},
                            {"paletteColumn", map.paletteColumn}});
        }
        fields["componentMapping"] = std::move(maps);
    }
    if (header.channels) {
        Json definitions = Json::array();
        const auto& all = *header.channels;
        const std::size_t shown = shownEntries(all.size(), channels, "'cdef'", warnings);
        for (const ChannelDefinition& channel : std::span(all).first(shown)) {
            const std::string name = channelTypeName(channel.type);
            definitions.push_back({{"channel", channel.channel},
                                   {"type", channel.type},
                                   {"typeName", name.empty() ? Json(nullptr) : Json(name)},
                                   {"association", channel.association}});
        }
        fields["channelDefinitions"] = std::move(definitions);
    }
    if (header.capture) {
        fields["captureResolution"] = resolutionFields(*header.capture);
    }
    if (header.display) {
        fields["displayResolution"] = resolutionFields(*header.display);
    }
    return fields;
}

Json codestreamFields(const MainHeader& header, const CodestreamBox& box) {
    Json fields = objectWithRoom(18);
    if (header.size) {
        const ImageSize& size = *header.size;
        fields["width"] = std::uint64_t{size.xsiz} - std::min(size.xosiz, size.xsiz);
        fields["height"] = std::uint64_t{size.ysiz} - std::min(size.yosiz, size.ysiz);
        fields["rsiz"] = size.rsiz;
        fields["capabilities"] = capabilitiesText(size.rsiz);
        fields["imageOffset"] = {{"x", size.xosiz}, {"y", size.yosiz}};
        fields["tileSize"] = {{"width", size.xtsiz}, {"height", size.ytsiz}};
        fields["tileOffset"] = {{"x", size.xtosiz}, {"y", size.ytosiz}};
        Json components = Json::array();
        for (const SizComponent& component : size.components) {
            Json entry = depthFields(component.ssiz);
            entry["xSubsampling"] = component.dx;
            entry["ySubsampling"] = component.dy;
            components.push_back(std::move(entry));
        }
        fields["components"] = std::move(components);
    }
    fields["tilesAcross"] = box.info.tilesAcross;
    fields["tilesDown"] = box.info.tilesDown;
    fields["tiles"] = box.info.tileCount;
    fields["tileParts"] = box.info.tileParts;
    if (header.coding) {
        const CodingStyle& cod = *header.coding;
        Json coding = {{"progressionOrder", progressionName(cod.progression)},
                       {"layers", cod.layers},
                       {"multipleComponentTransform", cod.multipleComponentTransform},
                       {"decompositionLevels", cod.levels},
                       {"codeBlockWidth", cod.codeBlockWidthExponent <= 8
                                              ? Json(1u << (cod.codeBlockWidthExponent + 2))
                                              : Json(nullptr)},
                       {"codeBlockHeight", cod.codeBlockHeightExponent <= 8
                                               ? Json(1u << (cod.codeBlockHeightExponent + 2))
                                               : Json(nullptr)},
                       {"codeBlockStyle", codeBlockStyleText(cod.codeBlockStyle)},
                       {"codeBlockStyleFlags", codeBlockStyleFlags(cod.codeBlockStyle)},
                       {"transform", cod.transform == 1   ? "5-3 reversible"
                                     : cod.transform == 0 ? "9-7 irreversible"
                                                          : "unknown"},
                       {"sop", (cod.scod & 2) != 0},
                       {"eph", (cod.scod & 4) != 0}};
        if ((cod.scod & 1) != 0) {
            Json precincts = Json::array();
            for (const std::uint8_t p : cod.precincts) {
                precincts.push_back({{"width", 1u << (p & 0x0F)}, {"height", 1u << (p >> 4)}});
            }
            coding["precincts"] = precincts;
        }
        fields["coding"] = std::move(coding);
    }
    if (header.quantization) {
        const std::string name = quantizationName(header.quantization->style());
        fields["quantization"] = {{"style", name.empty() ? Json(nullptr) : Json(name)},
                                  {"guardBits", header.quantization->guardBits()}};
    }
    Json markers = Json::array();
    for (const auto& [present, name] : {std::pair{header.hasCoc, "COC"},
                                        {header.hasQcc, "QCC"},
                                        {header.hasRgn, "RGN"},
                                        {header.hasPoc, "POC"},
                                        {header.hasTlm, "TLM"},
                                        {header.hasPlm, "PLM"},
                                        {header.hasPpm, "PPM"},
                                        {header.hasCrg, "CRG"}}) {
        if (present) {
            markers.push_back(name);
        }
    }
    fields["markers"] = std::move(markers);
    Json comments = Json::array();
    for (const CodestreamComment& comment : header.comments) {
        Json entry = {{"registration", comment.registration}, {"length", comment.length}};
        if (comment.registration == 1) {
            entry["text"] = comment.text;
        }
        comments.push_back(entry);
    }
    fields["comments"] = std::move(comments);
    fields["mainHeaderLength"] = header.length;
    return fields;
}

}  // namespace bq
