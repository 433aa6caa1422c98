#include "formats/geotiff.h"
#include "formats/geotiff_tags.h"

#include <array>
#include <bit>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace bq {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Hostile counts stop here, before anything is allocated: a real first IFD holds a few dozen
// entries, and 16 MiB of one georeferencing tag is two million doubles.
constexpr std::uint64_t kMaxBigTiffEntries = 1'000'000;
constexpr std::uint64_t kMaxValueBytes = 16 * 1024 * 1024;

struct GeoTag {
    std::uint16_t tag;
    std::uint16_t type;
    const char* name;
};

constexpr std::array<GeoTag, 6> kGeoTags = {{
    {kTiffTagPixelScale, kTiffDouble, "ModelPixelScale"},
    {kTiffTagTiepoint, kTiffDouble, "ModelTiepoint"},
    {kTiffTagTransformation, kTiffDouble, "ModelTransformation"},
    {kTiffTagGeoKeyDirectory, kTiffShort, "GeoKeyDirectory"},
    {kTiffTagGeoDoubleParams, kTiffDouble, "GeoDoubleParams"},
    {kTiffTagGeoAsciiParams, kTiffAscii, "GeoAsciiParams"},
}};

std::uint64_t typeSize(std::uint16_t type) {
    return type == kTiffDouble ? 8 : type == kTiffShort ? 2 : 1;
}

std::string typeName(std::uint16_t type) {
    switch (type) {
        case kTiffAscii:
            return "ASCII";
        case kTiffShort:
            return "SHORT";
        case kTiffDouble:
            return "DOUBLE";
        default:
            return std::to_string(type);
    }
}

// The unsigned integer of `length` bytes at `at`, in the file's byte order.
std::uint64_t uintAt(const Bytes& bytes, std::size_t at, std::size_t length, bool little) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        value = (value << 8) | bytes[at + (little ? length - 1 - i : i)];
    }
    return value;
}

// Reads ranges of the file, each checked against its size first, so a hostile offset or count
// neither wraps around nor asks for bytes that are not there.
class File {
  public:
    File(const ReadAt& read, std::uint64_t size) : read_(read), size_(size) {}

    // The `length` bytes at `offset`; nullopt, with fault() saying why, when they can't be read.
    std::optional<Bytes> get(std::uint64_t offset, std::uint64_t length, const std::string& what) {
        const std::string where =
            ": " + std::to_string(length) + " bytes at offset " + std::to_string(offset);
        if (offset > size_ || length > size_ - offset) {
            fault_ = "the file ends before " + what + where + ", in a file of " +
                     std::to_string(size_) + " bytes";
            return std::nullopt;
        }
        Bytes bytes(static_cast<std::size_t>(length));
        if (!read_(offset, bytes)) {
            fault_ = "couldn't read " + what + where;
            return std::nullopt;
        }
        return bytes;
    }
    const std::string& fault() const { return fault_; }

  private:
    const ReadAt& read_;
    std::uint64_t size_;
    std::string fault_;
};

GeoTiffTagsResult faulted(std::string fault) {
    return {std::nullopt, std::move(fault)};
}

void store(std::uint16_t tag, const Bytes& values, bool little, GeoTiffTags& tags) {
    const auto doubles = [&values, little](std::vector<double>& out) {
        for (std::size_t at = 0; at < values.size(); at += 8) {
            out.push_back(std::bit_cast<double>(uintAt(values, at, 8, little)));
        }
    };
    switch (tag) {
        case kTiffTagPixelScale:
            doubles(tags.pixelScale);
            break;
        case kTiffTagTiepoint:
            doubles(tags.tiepoints);
            break;
        case kTiffTagTransformation:
            doubles(tags.transformation);
            break;
        case kTiffTagGeoKeyDirectory:
            for (std::size_t at = 0; at < values.size(); at += 2) {
                tags.keyDirectory.push_back(
                    static_cast<std::uint16_t>(uintAt(values, at, 2, little)));
            }
            break;
        case kTiffTagGeoDoubleParams:
            doubles(tags.doubleParams);
            break;
        default:
            tags.asciiParams.assign(values.begin(), values.end());
            if (!tags.asciiParams.empty() && tags.asciiParams.back() == '\0') {
                tags.asciiParams.pop_back();
            }
    }
}

}  // namespace

GeoTiffTagsResult readGeoTiffTags(const ReadAt& read, std::uint64_t fileSize) {
    File file(read, fileSize);
    if (fileSize < 8) {
        return faulted("the file is shorter than a TIFF header (" + std::to_string(fileSize) +
                       " bytes)");
    }
    const std::optional<Bytes> header = file.get(0, 8, "the TIFF header");
    if (!header) {
        return faulted(file.fault());
    }
    const bool little = (*header)[0] == 'I' && (*header)[1] == 'I';
    if (!little && !((*header)[0] == 'M' && (*header)[1] == 'M')) {
        return faulted("the file is not a TIFF file (no byte order mark)");
    }
    const std::uint64_t version = uintAt(*header, 2, 2, little);
    const bool big = version == 43;
    if (!big && version != 42) {
        return faulted("the file is not a TIFF file (version " + std::to_string(version) + ")");
    }
    // Classic TIFF and BigTIFF differ only in these sizes: of an offset or count, of the IFD's
    // entry count and of one entry.
    const std::size_t fieldSize = big ? 8 : 4;
    const std::size_t countSize = big ? 8 : 2;
    const std::size_t entrySize = big ? 20 : 12;
    std::uint64_t ifd = uintAt(*header, 4, 4, little);
    if (big) {
        const std::uint64_t offsetSize = uintAt(*header, 4, 2, little);
        if (offsetSize != 8 || uintAt(*header, 6, 2, little) != 0) {
            return faulted("the BigTIFF header gives offsets of " + std::to_string(offsetSize) +
                           " bytes, not 8");
        }
        const std::optional<Bytes> rest = file.get(8, 8, "the rest of the BigTIFF header");
        if (!rest) {
            return faulted(file.fault());
        }
        ifd = uintAt(*rest, 0, 8, little);
    }
    if (ifd == 0) {
        return faulted("the TIFF file has no IFD");
    }
    const std::optional<Bytes> countBytes = file.get(ifd, countSize, "the first IFD");
    if (!countBytes) {
        return faulted(file.fault());
    }
    const std::uint64_t entries = uintAt(*countBytes, 0, countSize, little);
    if (entries > kMaxBigTiffEntries) {
        return faulted("the first IFD lists " + std::to_string(entries) +
                       " entries, more than the " + std::to_string(kMaxBigTiffEntries) +
                       " this reads");
    }
    // One read for all the entries; get() succeeded at ifd, so ifd + countSize cannot wrap.
    const std::optional<Bytes> ifdBytes =
        file.get(ifd + countSize, entries * entrySize,
                 "the first IFD's " + std::to_string(entries) + " entries");
    if (!ifdBytes) {
        return faulted(file.fault());
    }
    GeoTiffTags tags;
    std::array<bool, kGeoTags.size()> seen{};
    for (std::size_t at = 0; at < ifdBytes->size(); at += entrySize) {
        const std::uint64_t tag = uintAt(*ifdBytes, at, 2, little);
        std::size_t which = 0;
        while (which < kGeoTags.size() && kGeoTags[which].tag != tag) {
            ++which;
        }
        if (which == kGeoTags.size()) {
            continue;
        }
        const GeoTag& geo = kGeoTags[which];
        const std::string name = "tag " + std::to_string(tag) + " (" + geo.name + ")";
        const auto type = static_cast<std::uint16_t>(uintAt(*ifdBytes, at + 2, 2, little));
        const std::uint64_t count = uintAt(*ifdBytes, at + 4, fieldSize, little);
        const std::size_t field = at + 4 + fieldSize;
        if (seen[which]) {
            return faulted(name + " appears twice in the first IFD");
        }
        seen[which] = true;
        if (type != geo.type) {
            return faulted(name + " has type " + typeName(type) + ", not " + typeName(geo.type));
        }
        // Checked before multiplying, so the length cannot wrap into something small.
        if (count > kMaxValueBytes / typeSize(type)) {
            return faulted(name + " has " + std::to_string(count) + " values, more than the " +
                           std::to_string(kMaxValueBytes >> 20) + " MiB this reads of one tag");
        }
        const std::uint64_t length = count * typeSize(type);
        std::optional<Bytes> values;
        if (length <= fieldSize) {
            values.emplace(ifdBytes->begin() + static_cast<std::ptrdiff_t>(field),
                           ifdBytes->begin() + static_cast<std::ptrdiff_t>(field + length));
        } else {
            values = file.get(uintAt(*ifdBytes, field, fieldSize, little), length,
                              "the values of " + name);
        }
        if (!values) {
            return faulted(file.fault());
        }
        store(geo.tag, *values, little, tags);
    }
    if (tags.keyDirectory.empty()) {
        return faulted("the file has no GeoKey directory: it is not a GeoTIFF");
    }
    if (tags.pixelScale.empty() && tags.tiepoints.empty() && tags.transformation.empty()) {
        return faulted(
            "the file has no pixel scale, tiepoint or transformation tag: nothing places its "
            "pixels on the Earth");
    }
    return {std::move(tags), std::nullopt};
}

}  // namespace bq
