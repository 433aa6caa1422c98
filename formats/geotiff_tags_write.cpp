#include <algorithm>
#include <bit>
#include <cstdint>
#include <iterator>

#include "formats/geotiff.h"
#include "formats/geotiff_tags.h"

namespace bq {

namespace {

struct Field {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::vector<std::uint8_t> values;  // little-endian
};

void putLe(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

Field shorts(std::uint16_t tag, std::span<const std::uint16_t> values) {
    Field field{tag, kTiffShort, static_cast<std::uint32_t>(values.size()), {}};
    for (const std::uint16_t value : values) {
        putLe(field.values, value, 2);
    }
    return field;
}

Field doubles(std::uint16_t tag, std::span<const double> values) {
    Field field{tag, kTiffDouble, static_cast<std::uint32_t>(values.size()), {}};
    for (const double value : values) {
        putLe(field.values, std::bit_cast<std::uint64_t>(value), 8);
    }
    return field;
}

}  // namespace

std::vector<std::uint8_t> writeGeoTiff(const GeoTiffTags& tags) {
    // One grey pixel, uncompressed, in one strip; the strip's offset is filled in below.
    std::vector<Field> fields;
    const auto one = [&fields](std::uint16_t tag, std::uint16_t value) {
        const std::uint16_t values[] = {value};
        fields.push_back(shorts(tag, values));
    };
    one(kTiffTagImageWidth, 1);
    one(kTiffTagImageLength, 1);
    one(258, 8);  // BitsPerSample
    one(259, 1);  // Compression: none
    one(262, 1);  // PhotometricInterpretation: BlackIsZero
    const std::size_t stripOffsets = fields.size();
    fields.push_back({273, kTiffLong, 1, {0, 0, 0, 0}});  // StripOffsets
    one(277, 1);                                          // SamplesPerPixel
    one(278, 1);                                          // RowsPerStrip
    fields.push_back({279, kTiffLong, 1, {1, 0, 0, 0}});  // StripByteCounts
    one(284, 1);                                          // PlanarConfiguration: chunky
    if (!tags.pixelScale.empty()) {
        fields.push_back(doubles(kTiffTagPixelScale, tags.pixelScale));
    }
    if (!tags.tiepoints.empty()) {
        fields.push_back(doubles(kTiffTagTiepoint, tags.tiepoints));
    }
    if (!tags.transformation.empty()) {
        fields.push_back(doubles(kTiffTagTransformation, tags.transformation));
    }
    if (!tags.keyDirectory.empty()) {
        fields.push_back(shorts(kTiffTagGeoKeyDirectory, tags.keyDirectory));
    }
    if (!tags.doubleParams.empty()) {
        fields.push_back(doubles(kTiffTagGeoDoubleParams, tags.doubleParams));
    }
    if (!tags.asciiParams.empty()) {
        Field ascii{kTiffTagGeoAsciiParams,
                    kTiffAscii,
                    static_cast<std::uint32_t>(tags.asciiParams.size() + 1),
                    {}};
        ascii.values.assign(tags.asciiParams.begin(), tags.asciiParams.end());
        ascii.values.push_back(0);
        fields.push_back(std::move(ascii));
    }

    // Header, IFD, then the values that do not fit in their entries (each at an even offset),
    // then the pixel.
    const std::uint64_t ifdSize = 2 + 12 * std::uint64_t{fields.size()} + 4;
    std::uint64_t next = 8 + ifdSize;
    std::vector<std::uint64_t> placed(fields.size(), 0);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].values.size() > 4) {
            placed[i] = next;
            next += fields[i].values.size() + (fields[i].values.size() & 1);
        }
    }
    const std::uint64_t pixelAt = next;
    fields[stripOffsets].values = {};
    putLe(fields[stripOffsets].values, pixelAt, 4);

    std::vector<std::uint8_t> out = {'I', 'I', 42, 0};
    out.reserve(static_cast<std::size_t>(pixelAt + 1));
    putLe(out, 8, 4);
    putLe(out, fields.size(), 2);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Field& field = fields[i];
        putLe(out, field.tag, 2);
        putLe(out, field.type, 2);
        putLe(out, field.count, 4);
        if (field.values.size() > 4) {
            putLe(out, placed[i], 4);
        } else {
            out.insert(out.end(), field.values.begin(), field.values.end());
            out.resize(out.size() + 4 - field.values.size(), 0);
        }
    }
    putLe(out, 0, 4);  // no next IFD
    for (const Field& field : fields) {
        if (field.values.size() > 4) {
            out.insert(out.end(), field.values.begin(), field.values.end());
            if ((field.values.size() & 1) != 0) {
                out.push_back(0);
            }
        }
    }
    out.push_back(0);  // the pixel
    return out;
}

std::vector<std::uint8_t> geoJp2Payload(const GeoTiffTags& tags) {
    std::vector<std::uint8_t> payload(kGeoJp2Identifier.begin(), kGeoJp2Identifier.end());
    const std::vector<std::uint8_t> tiff = writeGeoTiff(tags);
    payload.insert(payload.end(), tiff.begin(), tiff.end());
    return payload;
}

GeoTiffTags geoTiffTagsFor(const std::array<double, 6>& gt, int epsg, bool geographic) {
    GeoTiffTags tags;
    // North up: a scale and the top-left corner as one tiepoint, as most readers expect; any
    // other orientation needs the whole matrix.
    if (gt[2] == 0.0 && gt[4] == 0.0 && gt[5] < 0.0) {
        tags.pixelScale = {gt[1], -gt[5], 0.0};
        tags.tiepoints = {0.0, 0.0, 0.0, gt[0], gt[3], 0.0};
    } else {
        tags.transformation = {gt[1], gt[2], 0.0, gt[0], gt[4], gt[5], 0.0, gt[3],
                               0.0,   0.0,   0.0, 0.0,   0.0,   0.0,   0.0, 1.0};
    }
    const auto code = static_cast<std::uint16_t>(std::clamp(epsg, 0, 65535));
    // Version 1.1.0 and three keys: the model type, PixelIsArea, and the code.
    const auto modelType = static_cast<std::uint16_t>(geographic ? 2 : 1);
    const std::uint16_t codeKey = geographic ? kGeoKeyGeographicType : kGeoKeyProjectedType;
    const std::uint16_t keys[3][4] = {
        {kGeoKeyModelType, 0, 1, modelType}, {kGeoKeyRasterType, 0, 1, 1}, {codeKey, 0, 1, code}};
    tags.keyDirectory = {1, 1, 0, 3};
    for (const auto& key : keys) {
        tags.keyDirectory.insert(tags.keyDirectory.end(), std::begin(key), std::end(key));
    }
    return tags;
}

}  // namespace bq
