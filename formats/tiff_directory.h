#pragma once
// The one reader of a TIFF file's first IFD: classic or BigTIFF, either byte order, over random
// access, so that a GeoJP2 box's bytes and a GeoTIFF of any size are read by the same rules.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "stream/byte_reader.h"

namespace bq {

// Random access to a file: fills `out` with the bytes at `offset`; false when they are not all
// there.
using ReadAt = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> out)>;

// Random access to bytes already in memory (which must outlive the function).
ReadAt readFromBytes(std::span<const std::uint8_t> bytes);

// A tag whose values are read, the field types it may have (a second 0: only one) and the
// name messages give it. Other tags are passed over unread.
struct TiffTagWanted {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint16_t otherType;
    const char* name;
};

struct TiffField {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint64_t count = 0;
    std::vector<std::uint8_t> values;  // in the file's byte order
};

struct TiffDirectory {
    bool littleEndian = false;
    bool bigTiff = false;
    std::vector<TiffField> fields;  // the wanted tags present, each once, in the IFD's order

    const TiffField* find(std::uint16_t tag) const;
    ByteReader reader(const TiffField& field) const {
        return ByteReader(field.values, littleEndian ? ByteOrder::Little : ByteOrder::Big);
    }
    // The values of a tag; empty when the tag is absent.
    std::vector<double> doubles(std::uint16_t tag) const;
    std::vector<std::uint16_t> shorts(std::uint16_t tag) const;
};

struct TiffDirectoryResult {
    std::optional<TiffDirectory> directory;
    std::optional<std::string> fault;  // why the directory could not be read
};

// Reads the wanted tags of the first IFD of a file of `fileSize` bytes. One policy for every
// caller: any fault in the header, the IFD or a wanted tag (a repeated tag, a type not
// allowed, values past the end or over the cap) leaves no directory, only the fault.
TiffDirectoryResult readTiffDirectory(const ReadAt& read, std::uint64_t fileSize,
                                      std::span<const TiffTagWanted> wanted);

}  // namespace bq
