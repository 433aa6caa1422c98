#include "formats/geotiff.h"

#include <algorithm>
#include <array>

#include "formats/tiff_directory.h"

namespace bq {

namespace {

// The tags `info` shows: the georeferencing ones and the image size, SHORT or LONG.
constexpr auto kInfoTags = [] {
    std::array<TiffTagWanted, kGeoTiffTags.size() + 2> tags = {{
        {kTiffTagImageWidth, kTiffShort, kTiffLong, "ImageWidth"},
        {kTiffTagImageLength, kTiffShort, kTiffLong, "ImageLength"},
    }};
    std::copy(kGeoTiffTags.begin(), kGeoTiffTags.end(), tags.begin() + 2);
    return tags;
}();

std::optional<std::uint32_t> dimension(const TiffDirectory& directory, std::uint16_t tag) {
    const TiffField* field = directory.find(tag);
    if (field == nullptr || field->count < 1) {
        return std::nullopt;
    }
    ByteReader in = directory.reader(*field);
    std::uint64_t value = 0;
    in.uint(field->type == kTiffShort ? 2 : 4, value);
    return static_cast<std::uint32_t>(value);
}

void resolveKeys(const std::vector<std::uint16_t>& directory, const std::vector<double>& doubles,
                 const std::string& ascii, GeoTiff& out) {
    if (directory.size() < 4) {
        out.warnings.push_back("the GeoKey directory is shorter than its header");
        return;
    }
    out.keyDirectoryVersion = directory[0];
    out.keyRevision = directory[1];
    out.minorRevision = directory[2];
    std::size_t count = directory[3];
    const std::size_t room = (directory.size() - 4) / 4;
    if (count > room) {
        out.warnings.push_back("the GeoKey directory lists " + std::to_string(count) +
                               " keys but holds " + std::to_string(room));
        count = room;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 4 + i * 4;
        GeoKey key{directory[at],     directory[at + 1], directory[at + 2],
                   directory[at + 3], std::nullopt,      {},
                   std::nullopt};
        const std::size_t first = key.valueOffset;
        const std::size_t n = key.count;
        const auto outside = [&out, &key] {
            out.warnings.push_back("GeoKey " + std::to_string(key.id) +
                                   " points past the values of tag " +
                                   std::to_string(key.location));
        };
        if (key.location == 0) {
            key.shortValue = key.valueOffset;
        } else if (key.location == kTiffTagGeoKeyDirectory) {
            if (n >= 1 && first < directory.size()) {
                key.shortValue = directory[first];
            } else {
                outside();
            }
        } else if (key.location == kTiffTagGeoDoubleParams) {
            if (first <= doubles.size() && n <= doubles.size() - first) {
                key.doubles.assign(doubles.begin() + static_cast<std::ptrdiff_t>(first),
                                   doubles.begin() + static_cast<std::ptrdiff_t>(first + n));
            } else {
                outside();
            }
        } else if (key.location == kTiffTagGeoAsciiParams) {
            if (first <= ascii.size() && n <= ascii.size() - first) {
                std::string text = ascii.substr(first, n);
                while (!text.empty() && (text.back() == '|' || text.back() == '\0')) {
                    text.pop_back();
                }
                key.text = std::move(text);
            } else {
                outside();
            }
        }
        out.keys.push_back(std::move(key));
    }
}

}  // namespace

const GeoKey* GeoTiff::key(std::uint16_t id) const {
    const auto found =
        std::find_if(keys.begin(), keys.end(), [id](const GeoKey& k) { return k.id == id; });
    return found == keys.end() ? nullptr : &*found;
}

std::optional<std::uint16_t> GeoTiff::shortKey(std::uint16_t id) const {
    const GeoKey* found = key(id);
    return found != nullptr ? found->shortValue : std::nullopt;
}

bool isGeoTiffPayload(std::span<const std::uint8_t> payload) {
    return payload.size() >= kGeoJp2Identifier.size() &&
           std::equal(kGeoJp2Identifier.begin(), kGeoJp2Identifier.end(), payload.begin());
}

GeoTiffResult decodeGeoTiff(std::span<const std::uint8_t> tiff) {
    GeoTiffResult result;
    TiffDirectoryResult read = readTiffDirectory(readFromBytes(tiff), tiff.size(), kInfoTags);
    if (!read.directory) {
        result.fault = std::move(read.fault);
        return result;
    }
    const TiffDirectory& directory = *read.directory;
    if (directory.bigTiff) {
        result.fault = "BigTIFF is not read: a GeoJP2 box holds a classic TIFF file";
        return result;
    }
    GeoTiff& out = result.geoTiff.emplace();
    out.littleEndian = directory.littleEndian;
    out.width = dimension(directory, kTiffTagImageWidth);
    out.height = dimension(directory, kTiffTagImageLength);
    out.pixelScale = directory.doubles(kTiffTagPixelScale);
    out.tiepoints = directory.doubles(kTiffTagTiepoint);
    out.transformation = directory.doubles(kTiffTagTransformation);
    const std::vector<std::uint16_t> keyDirectory = directory.shorts(kTiffTagGeoKeyDirectory);
    const std::vector<double> doubles = directory.doubles(kTiffTagGeoDoubleParams);
    std::string ascii;
    if (const TiffField* field = directory.find(kTiffTagGeoAsciiParams)) {
        ascii.assign(field->values.begin(), field->values.end());
    }
    if (out.pixelScale.size() != 0 && out.pixelScale.size() < 2) {
        out.warnings.push_back("the pixel scale has fewer than 2 values");
    }
    if (out.tiepoints.size() % 6 != 0) {
        out.warnings.push_back("the tiepoints are not a whole number of 6 values");
    }
    if (!out.transformation.empty() && out.transformation.size() != 16) {
        out.warnings.push_back("the model transformation has " +
                               std::to_string(out.transformation.size()) + " values, not 16");
    }
    if (keyDirectory.empty()) {
        out.warnings.push_back("the TIFF data has no GeoKey directory");
    } else {
        resolveKeys(keyDirectory, doubles, ascii, out);
    }
    return result;
}

std::string geoKeyName(std::uint16_t id) {
    switch (id) {
        case kGeoKeyModelType:
            return "GTModelTypeGeoKey";
        case kGeoKeyRasterType:
            return "GTRasterTypeGeoKey";
        case kGeoKeyCitation:
            return "GTCitationGeoKey";
        case kGeoKeyGeographicType:
            return "GeographicTypeGeoKey";
        case kGeoKeyGeogCitation:
            return "GeogCitationGeoKey";
        case kGeoKeyProjectedType:
            return "ProjectedCSTypeGeoKey";
        case kGeoKeyPcsCitation:
            return "PCSCitationGeoKey";
        default:
            return {};
    }
}

}  // namespace bq
