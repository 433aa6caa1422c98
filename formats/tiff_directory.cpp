#include "formats/tiff_directory.h"

#include <algorithm>
#include <array>
#include <bit>

#include "formats/geotiff.h"

namespace bq {

namespace {

// Hostile counts stop here, before anything is allocated: a real first IFD holds a few dozen
// entries, and 16 MiB of one georeferencing tag is two million doubles.
constexpr std::uint64_t kMaxBigTiffEntries = 1'000'000;
constexpr std::uint64_t kMaxValueBytes = 16 * 1024 * 1024;
constexpr std::uint16_t kClassicVersion = 42;
constexpr std::uint16_t kBigTiffVersion = 43;

// Bytes per value of the TIFF field types; 0 for types this reader does not know.
std::uint64_t typeSize(std::uint16_t type) {
    static constexpr std::array<std::uint8_t, 14> kSizes = {0, 1, 1, 2, 4, 8, 1,
                                                            1, 2, 4, 8, 4, 8, 4};
    return type < kSizes.size() ? kSizes[type] : 0;
}

std::string typeName(std::uint16_t type) {
    switch (type) {
        case kTiffAscii:
            return "ASCII";
        case kTiffShort:
            return "SHORT";
        case kTiffLong:
            return "LONG";
        case kTiffDouble:
            return "DOUBLE";
        default:
            return std::to_string(type);
    }
}

// Reads ranges of the file, each checked against its size first, so a hostile offset or count
// neither wraps around nor asks for bytes that are not there.
class File {
  public:
    File(const ReadAt& read, std::uint64_t size) : read_(read), size_(size) {}

    // The `length` bytes at `offset`; nullopt, with fault() saying why, when they can't be read.
    std::optional<std::vector<std::uint8_t>> get(std::uint64_t offset, std::uint64_t length,
                                                 const std::string& what) {
        const std::string where =
            ": " + std::to_string(length) + " bytes at offset " + std::to_string(offset);
        if (offset > size_ || length > size_ - offset) {
            fault_ = "the file ends before " + what + where + ", in a file of " +
                     std::to_string(size_) + " bytes";
            return std::nullopt;
        }
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
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

TiffDirectoryResult faulted(std::string fault) {
    return {std::nullopt, std::move(fault)};
}

}  // namespace

ReadAt readFromBytes(std::span<const std::uint8_t> bytes) {
    return [bytes](std::uint64_t offset, std::span<std::uint8_t> out) {
        if (offset > bytes.size() || out.size() > bytes.size() - offset) {
            return false;
        }
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return true;
    };
}

const TiffField* TiffDirectory::find(std::uint16_t tag) const {
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [tag](const TiffField& field) { return field.tag == tag; });
    return found == fields.end() ? nullptr : &*found;
}

std::vector<double> TiffDirectory::doubles(std::uint16_t tag) const {
    std::vector<double> out;
    if (const TiffField* field = find(tag)) {
        ByteReader in = reader(*field);
        for (std::uint64_t bits = 0; in.u64(bits);) {
            out.push_back(std::bit_cast<double>(bits));
        }
    }
    return out;
}

std::vector<std::uint16_t> TiffDirectory::shorts(std::uint16_t tag) const {
    std::vector<std::uint16_t> out;
    if (const TiffField* field = find(tag)) {
        ByteReader in = reader(*field);
        for (std::uint16_t value = 0; in.u16(value);) {
            out.push_back(value);
        }
    }
    return out;
}

TiffDirectoryResult readTiffDirectory(const ReadAt& read, std::uint64_t fileSize,
                                      std::span<const TiffTagWanted> wanted) {
    File file(read, fileSize);
    if (fileSize < 8) {
        return faulted("the file is shorter than a TIFF header (" + std::to_string(fileSize) +
                       " bytes)");
    }
    const auto header = file.get(0, 8, "the TIFF header");
    if (!header) {
        return faulted(file.fault());
    }
    TiffDirectory out;
    out.littleEndian = (*header)[0] == 'I' && (*header)[1] == 'I';
    if (!out.littleEndian && !((*header)[0] == 'M' && (*header)[1] == 'M')) {
        return faulted("the file is not a TIFF file (no byte order mark)");
    }
    const ByteOrder order = out.littleEndian ? ByteOrder::Little : ByteOrder::Big;
    ByteReader head(*header, order);
    std::uint16_t version = 0;
    head.take(2);  // the byte order mark
    head.u16(version);
    out.bigTiff = version == kBigTiffVersion;
    if (!out.bigTiff && version != kClassicVersion) {
        return faulted("the file is not a TIFF file (version " + std::to_string(version) + ")");
    }
    // Classic TIFF and BigTIFF differ only in these sizes: of an offset or count, of the IFD's
    // entry count and of one entry.
    const std::size_t fieldSize = out.bigTiff ? 8 : 4;
    const std::size_t countSize = out.bigTiff ? 8 : 2;
    const std::size_t entrySize = out.bigTiff ? 20 : 12;
    std::uint64_t ifd = 0;
    if (out.bigTiff) {
        std::uint16_t offsetSize = 0;
        std::uint16_t zero = 0;
        head.u16(offsetSize);
        head.u16(zero);
        if (offsetSize != 8 || zero != 0) {
            return faulted("the BigTIFF header gives offsets of " + std::to_string(offsetSize) +
                           " bytes, not 8");
        }
        const auto rest = file.get(8, 8, "the rest of the BigTIFF header");
        if (!rest) {
            return faulted(file.fault());
        }
        ByteReader(*rest, order).u64(ifd);
    } else {
        head.uint(4, ifd);
    }
    if (ifd == 0) {
        return faulted("the TIFF file has no IFD");
    }
    const auto countBytes = file.get(ifd, countSize, "the first IFD");
    if (!countBytes) {
        return faulted(file.fault());
    }
    std::uint64_t entries = 0;
    ByteReader(*countBytes, order).uint(countSize, entries);
    if (entries > kMaxBigTiffEntries) {
        return faulted("the first IFD lists " + std::to_string(entries) +
                       " entries, more than the " + std::to_string(kMaxBigTiffEntries) +
                       " this reads");
    }
    // One read for all the entries; get() succeeded at ifd, so ifd + countSize cannot wrap.
    const auto ifdBytes = file.get(ifd + countSize, entries * entrySize,
                                   "the first IFD's " + std::to_string(entries) + " entries");
    if (!ifdBytes) {
        return faulted(file.fault());
    }
    ByteReader entry(*ifdBytes, order);
    for (std::uint64_t i = 0; i < entries; ++i) {
        std::uint16_t tag = 0;
        std::uint16_t type = 0;
        std::uint64_t count = 0;
        entry.u16(tag);
        entry.u16(type);
        entry.uint(fieldSize, count);
        const auto field = entry.take(fieldSize);
        const auto want = std::find_if(wanted.begin(), wanted.end(),
                                       [tag](const TiffTagWanted& w) { return w.tag == tag; });
        if (want == wanted.end()) {
            continue;
        }
        const std::string name = "tag " + std::to_string(tag) + " (" + want->name + ")";
        if (out.find(tag) != nullptr) {
            return faulted(name + " appears twice in the first IFD");
        }
        if (type != want->type && (want->otherType == 0 || type != want->otherType)) {
            return faulted(name + " has type " + typeName(type) + ", not " + typeName(want->type) +
                           (want->otherType != 0 ? " or " + typeName(want->otherType) : ""));
        }
        // Checked before multiplying, so the length cannot wrap into something small.
        if (count > kMaxValueBytes / typeSize(type)) {
            return faulted(name + " has " + std::to_string(count) + " values, more than the " +
                           std::to_string(kMaxValueBytes >> 20) + " MiB this reads of one tag");
        }
        const std::uint64_t length = count * typeSize(type);
        std::optional<std::vector<std::uint8_t>> values;
        if (length <= fieldSize) {
            values.emplace(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(length));
        } else {
            std::uint64_t offset = 0;
            ByteReader(field, order).uint(fieldSize, offset);
            values = file.get(offset, length, "the values of " + name);
        }
        if (!values) {
            return faulted(file.fault());
        }
        out.fields.push_back({tag, type, count, std::move(*values)});
    }
    return {std::move(out), std::nullopt};
}

}  // namespace bq
