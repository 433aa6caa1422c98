#include "formats/jp2_header_boxes.h"

#include <algorithm>
#include <cmath>

#include "stream/byte_reader.h"

namespace bq {

std::optional<ImageHeader> decodeImageHeader(std::span<const std::uint8_t> payload) {
    ByteReader reader(payload);
    ImageHeader header;
    reader.u32(header.height);
    reader.u32(header.width);
    reader.u16(header.components);
    reader.u8(header.bpc);
    reader.u8(header.compression);
    reader.u8(header.colourspaceUnknown);
    reader.u8(header.intellectualProperty);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return header;
}

std::optional<ColourBox> decodeColourBox(std::span<const std::uint8_t> payload) {
    ByteReader reader(payload);
    ColourBox colour;
    std::uint8_t precedence = 0;
    reader.u8(colour.method);
    reader.u8(precedence);
    reader.u8(colour.approximation);
    if (!reader.ok()) {
        return std::nullopt;
    }
    colour.precedence = static_cast<std::int8_t>(precedence);
    if (colour.method == 1) {
        std::uint32_t value = 0;
        if (!reader.u32(value)) {
            return std::nullopt;
        }
        colour.enumerated = value;
    } else if (colour.method == 2 || colour.method == 3) {
        const auto profile = reader.rest();
        colour.profileLength = profile.size();
        colour.profile = decodeIccProfile(profile);
    } else if (colour.method == 4) {
        const auto uuid = reader.take(16);
        if (!reader.ok()) {
            return std::nullopt;
        }
        colour.vendor.emplace();
        std::copy(uuid.begin(), uuid.end(), colour.vendor->begin());
    }
    return colour;
}

std::string colourMethodName(std::uint8_t method) {
    switch (method) {
        case 1:
            return "enumerated";
        case 2:
            return "restricted ICC profile";
        case 3:
            return "any ICC profile";
        case 4:
            return "vendor colour";
        default:
            return {};
    }
}

namespace {

struct SpaceRow {
    std::uint32_t value;
    const char* name;
    int channels;
};

// The JP2 values (16 to 18) and the JPX ones. 19 is CIEJab and 22, 23 the YPbPr spaces, as
// the amended JPX table, ExifTool and glymur have them.
constexpr SpaceRow kSpaces[] = {
    {0, "bi-level", 1},     {1, "YCbCr(1)", 3},        {3, "YCbCr(2)", 3},
    {4, "YCbCr(3)", 3},     {9, "PhotoYCC", 3},        {11, "CMY", 3},
    {12, "CMYK", 4},        {13, "YCCK", 4},           {14, "CIELab", 3},
    {15, "bi-level(2)", 1}, {16, "sRGB", 3},           {17, "greyscale", 1},
    {18, "sYCC", 3},        {19, "CIEJab", 3},         {20, "e-sRGB", 3},
    {21, "ROMM-RGB", 3},    {22, "YPbPr(1125/60)", 3}, {23, "YPbPr(1250/50)", 3},
    {24, "e-sYCC", 3},
};

const SpaceRow* findSpace(std::uint32_t value) {
    for (const SpaceRow& row : kSpaces) {
        if (row.value == value) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

std::string enumeratedSpaceName(std::uint32_t value) {
    const SpaceRow* row = findSpace(value);
    return row != nullptr ? row->name : "";
}

int enumeratedSpaceChannels(std::uint32_t value) {
    const SpaceRow* row = findSpace(value);
    return row != nullptr ? row->channels : 0;
}

std::optional<Palette> decodePalette(std::span<const std::uint8_t> payload) {
    ByteReader reader(payload);
    Palette palette;
    reader.u16(palette.entries);
    reader.u8(palette.columns);
    const auto depths = reader.take(palette.columns);
    if (!reader.ok()) {
        return std::nullopt;
    }
    palette.depths.assign(depths.begin(), depths.end());
    // Each value takes whole bytes: (depth + 7) / 8 of them, at most 5 for 38 bits.
    std::uint64_t rowBytes = 0;
    for (const std::uint8_t depth : palette.depths) {
        rowBytes += static_cast<std::uint64_t>(bitDepth(depth).bits + 7) / 8;
    }
    palette.complete = rowBytes * palette.entries <= reader.remaining();
    return palette;
}

std::optional<std::vector<ComponentMap>> decodeComponentMapping(
    std::span<const std::uint8_t> payload) {
    if (payload.size() % 4 != 0) {
        return std::nullopt;
    }
    ByteReader reader(payload);
    std::vector<ComponentMap> maps(payload.size() / 4);
    for (ComponentMap& map : maps) {
        reader.u16(map.component);
        reader.u8(map.mappingType);
        reader.u8(map.paletteColumn);
    }
    return maps;
}

std::optional<std::vector<ChannelDefinition>> decodeChannelDefinitions(
    std::span<const std::uint8_t> payload) {
    ByteReader reader(payload);
    std::uint16_t count = 0;
    if (!reader.u16(count) || reader.remaining() / 6 < count) {
        return std::nullopt;
    }
    std::vector<ChannelDefinition> channels(count);
    for (ChannelDefinition& channel : channels) {
        reader.u16(channel.channel);
        reader.u16(channel.type);
        reader.u16(channel.association);
    }
    return channels;
}

std::string channelTypeName(std::uint16_t type) {
    switch (type) {
        case 0:
            return "colour";
        case 1:
            return "opacity";
        case 2:
            return "premultiplied opacity";
        case 0xFFFF:
            return "unspecified";
        default:
            return {};
    }
}

std::optional<double> ResolutionAxis::perMetre() const {
    if (numerator == 0 || denominator == 0) {
        return std::nullopt;
    }
    return static_cast<double>(numerator) / denominator * std::pow(10.0, exponent);
}

std::optional<double> ResolutionAxis::perInch() const {
    const std::optional<double> metre = perMetre();
    if (!metre) {
        return std::nullopt;
    }
    return *metre * 0.0254;
}

std::optional<Resolution> decodeResolution(std::span<const std::uint8_t> payload) {
    ByteReader reader(payload);
    Resolution resolution;
    std::uint8_t verticalExponent = 0;
    std::uint8_t horizontalExponent = 0;
    reader.u16(resolution.vertical.numerator);
    reader.u16(resolution.vertical.denominator);
    reader.u16(resolution.horizontal.numerator);
    reader.u16(resolution.horizontal.denominator);
    reader.u8(verticalExponent);
    reader.u8(horizontalExponent);
    if (!reader.ok()) {
        return std::nullopt;
    }
    resolution.vertical.exponent = static_cast<std::int8_t>(verticalExponent);
    resolution.horizontal.exponent = static_cast<std::int8_t>(horizontalExponent);
    return resolution;
}

}  // namespace bq
