#include "formats/geotiff.h"

#include <algorithm>
#include <array>
#include <bit>

namespace bq {

namespace {

// Bytes per value of the TIFF field types; 0 for types this decoder does not know.
std::uint64_t typeSize(std::uint16_t type) {
    static constexpr std::array<std::uint8_t, 14> kSizes = {0, 1, 1, 2, 4, 8, 1,
                                                            1, 2, 4, 8, 4, 8, 4};
    return type < kSizes.size() ? kSizes[type] : 0;
}

// Reads fields of a TIFF file in its own byte order, each read checked against the data.
class TiffReader {
  public:
    TiffReader(std::span<const std::uint8_t> bytes, bool little) : bytes_(bytes), little_(little) {}

    std::uint64_t size() const { return bytes_.size(); }
    bool fits(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    std::uint64_t uint(std::uint64_t offset, int length) const {
        std::uint64_t value = 0;
        for (int i = 0; i < length; ++i) {
            const int index = little_ ? length - 1 - i : i;
            value = (value << 8) |
                    bytes_[static_cast<std::size_t>(offset) + static_cast<std::size_t>(index)];
        }
        return value;
    }
    std::uint16_t u16(std::uint64_t offset) const {
        return static_cast<std::uint16_t>(uint(offset, 2));
    }
    std::uint32_t u32(std::uint64_t offset) const {
        return static_cast<std::uint32_t>(uint(offset, 4));
    }
    double f64(std::uint64_t offset) const { return std::bit_cast<double>(uint(offset, 8)); }
    std::span<const std::uint8_t> span(std::uint64_t offset, std::uint64_t length) const {
        return bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    }

  private:
    std::span<const std::uint8_t> bytes_;
    bool little_;
};

// One IFD entry: where its values lie, after checking that they lie within the data.
struct Entry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint64_t valuesAt = 0;
};

std::string tagName(std::uint16_t tag) {
    return "tag " + std::to_string(tag);
}

// True when the entry has one of `types`; else a warning, and its values are not read.
bool checkType(const Entry& entry, std::initializer_list<std::uint16_t> types, GeoTiff& out) {
    if (std::find(types.begin(), types.end(), entry.type) == types.end()) {
        out.warnings.push_back(tagName(entry.tag) + " has type " + std::to_string(entry.type) +
                               ", not the one expected");
        return false;
    }
    return true;
}

std::vector<double> readDoubles(const TiffReader& reader, const Entry& entry, GeoTiff& out) {
    std::vector<double> values;
    if (!checkType(entry, {kTiffDouble}, out)) {
        return values;
    }
    values.reserve(entry.count);
    for (std::uint64_t i = 0; i < entry.count; ++i) {
        values.push_back(reader.f64(entry.valuesAt + i * 8));
    }
    return values;
}

std::optional<std::uint32_t> readDimension(const TiffReader& reader, const Entry& entry,
                                           GeoTiff& out) {
    if (!checkType(entry, {kTiffShort, kTiffLong}, out) || entry.count < 1) {
        return std::nullopt;
    }
    return entry.type == kTiffShort ? reader.u16(entry.valuesAt) : reader.u32(entry.valuesAt);
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
    if (tiff.size() < 8) {
        result.fault = "the TIFF data is shorter than its header";
        return result;
    }
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) {
        result.fault = "the data is not a TIFF file (no byte order mark)";
        return result;
    }
    const TiffReader reader(tiff, little);
    const std::uint16_t version = reader.u16(2);
    if (version == 43) {
        result.fault = "BigTIFF is not read: a GeoJP2 box holds a classic TIFF file";
        return result;
    }
    if (version != 42) {
        result.fault = "the data is not a TIFF file (version " + std::to_string(version) + ")";
        return result;
    }
    const std::uint64_t ifd = reader.u32(4);
    if (!reader.fits(ifd, 2)) {
        result.fault = "the first IFD lies past the end of the data";
        return result;
    }
    const std::uint16_t entryCount = reader.u16(ifd);
    if (!reader.fits(ifd + 2, std::uint64_t{entryCount} * 12)) {
        result.fault = "the first IFD's " + std::to_string(entryCount) +
                       " entries reach past the end of the data";
        return result;
    }
    GeoTiff& out = result.geoTiff.emplace();
    out.littleEndian = little;
    std::vector<std::uint16_t> directory;
    std::vector<double> doubles;
    std::string ascii;
    for (std::uint16_t i = 0; i < entryCount; ++i) {
        const std::uint64_t at = ifd + 2 + std::uint64_t{i} * 12;
        Entry entry{reader.u16(at), reader.u16(at + 2), reader.u32(at + 4), at + 8};
        const std::uint64_t length = std::uint64_t{entry.count} * typeSize(entry.type);
        if (length > 4) {
            entry.valuesAt = reader.u32(at + 8);
        }
        if (!reader.fits(entry.valuesAt, length)) {
            out.warnings.push_back(tagName(entry.tag) + ": its " + std::to_string(entry.count) +
                                   " values reach past the end of the data");
            continue;
        }
        switch (entry.tag) {
            case kTiffTagImageWidth:
                out.width = readDimension(reader, entry, out);
                break;
            case kTiffTagImageLength:
                out.height = readDimension(reader, entry, out);
                break;
            case kTiffTagPixelScale:
                out.pixelScale = readDoubles(reader, entry, out);
                break;
            case kTiffTagTiepoint:
                out.tiepoints = readDoubles(reader, entry, out);
                break;
            case kTiffTagTransformation:
                out.transformation = readDoubles(reader, entry, out);
                break;
            case kTiffTagGeoDoubleParams:
                doubles = readDoubles(reader, entry, out);
                break;
            case kTiffTagGeoKeyDirectory:
                if (checkType(entry, {kTiffShort}, out)) {
                    directory.reserve(entry.count);
                    for (std::uint64_t k = 0; k < entry.count; ++k) {
                        directory.push_back(reader.u16(entry.valuesAt + k * 2));
                    }
                }
                break;
            case kTiffTagGeoAsciiParams:
                if (checkType(entry, {kTiffAscii}, out)) {
                    const auto bytes = reader.span(entry.valuesAt, entry.count);
                    ascii.assign(bytes.begin(), bytes.end());
                }
                break;
            default:
                break;
        }
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
    if (directory.empty()) {
        out.warnings.push_back("the TIFF data has no GeoKey directory");
    } else {
        resolveKeys(directory, doubles, ascii, out);
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
