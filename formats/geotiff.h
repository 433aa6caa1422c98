#pragma once
// The GeoJP2 box: a uuid box whose data is a small TIFF file carrying the GeoTIFF tags.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/tiff_directory.h"

namespace bq {

// The identifier that opens a GeoJP2 box's payload.
inline constexpr std::array<std::uint8_t, 16> kGeoJp2Identifier = {
    0xB1, 0x4B, 0xF8, 0xBD, 0x08, 0x3D, 0x4B, 0x43, 0xA5, 0xAE, 0x8C, 0xD7, 0xD5, 0xA6, 0xCE, 0x03};

// The TIFF tags of a GeoTIFF's first IFD that this program reads and writes, and their field
// types.
constexpr std::uint16_t kTiffTagImageWidth = 256;
constexpr std::uint16_t kTiffTagImageLength = 257;
constexpr std::uint16_t kTiffTagPixelScale = 33550;
constexpr std::uint16_t kTiffTagTiepoint = 33922;
constexpr std::uint16_t kTiffTagTransformation = 34264;
constexpr std::uint16_t kTiffTagGeoKeyDirectory = 34735;
constexpr std::uint16_t kTiffTagGeoDoubleParams = 34736;
constexpr std::uint16_t kTiffTagGeoAsciiParams = 34737;
constexpr std::uint16_t kTiffAscii = 2;
constexpr std::uint16_t kTiffShort = 3;
constexpr std::uint16_t kTiffLong = 4;
constexpr std::uint16_t kTiffDouble = 12;

// The georeferencing tags, as `info` and `georef` read them.
inline constexpr std::array<TiffTagWanted, 6> kGeoTiffTags = {{
    {kTiffTagPixelScale, kTiffDouble, 0, "ModelPixelScale"},
    {kTiffTagTiepoint, kTiffDouble, 0, "ModelTiepoint"},
    {kTiffTagTransformation, kTiffDouble, 0, "ModelTransformation"},
    {kTiffTagGeoKeyDirectory, kTiffShort, 0, "GeoKeyDirectory"},
    {kTiffTagGeoDoubleParams, kTiffDouble, 0, "GeoDoubleParams"},
    {kTiffTagGeoAsciiParams, kTiffAscii, 0, "GeoAsciiParams"},
}};

// GeoKey ids read by name.
constexpr std::uint16_t kGeoKeyModelType = 1024;
constexpr std::uint16_t kGeoKeyRasterType = 1025;
constexpr std::uint16_t kGeoKeyCitation = 1026;
constexpr std::uint16_t kGeoKeyGeographicType = 2048;
constexpr std::uint16_t kGeoKeyGeogCitation = 2049;
constexpr std::uint16_t kGeoKeyProjectedType = 3072;
constexpr std::uint16_t kGeoKeyPcsCitation = 3073;

// One entry of the GeoKey directory with its value resolved: a short, doubles or a text,
// depending on where the entry says the value lives.
struct GeoKey {
    std::uint16_t id = 0;
    std::uint16_t location = 0;  // 0: the value itself; else the tag holding it
    std::uint16_t count = 0;
    std::uint16_t valueOffset = 0;
    std::optional<std::uint16_t> shortValue;
    std::vector<double> doubles;
    std::optional<std::string> text;  // the trailing '|' dropped
};

struct GeoTiff {
    bool littleEndian = false;
    std::optional<std::uint32_t> width;
    std::optional<std::uint32_t> height;
    std::vector<double> pixelScale;      // ModelPixelScaleTag: Sx, Sy, Sz
    std::vector<double> tiepoints;       // ModelTiepointTag: I, J, K, X, Y, Z per point
    std::vector<double> transformation;  // ModelTransformationTag: 16 values, row by row
    std::optional<std::uint16_t> keyDirectoryVersion;
    std::optional<std::uint16_t> keyRevision;
    std::optional<std::uint16_t> minorRevision;
    std::vector<GeoKey> keys;
    // Faults that did not stop the decode (a tag whose values reach past the data, ...).
    std::vector<std::string> warnings;

    const GeoKey* key(std::uint16_t id) const;
    std::optional<std::uint16_t> shortKey(std::uint16_t id) const;
};

struct GeoTiffResult {
    std::optional<GeoTiff> geoTiff;
    std::optional<std::string> fault;  // why nothing could be decoded
};

// True when a uuid box's payload starts with the GeoTIFF identifier.
bool isGeoTiffPayload(std::span<const std::uint8_t> payload);

// Decodes the TIFF file that follows the 16-byte identifier of a GeoJP2 box's payload.
GeoTiffResult decodeGeoTiff(std::span<const std::uint8_t> tiff);

// The GeoKey names read here ("GTModelTypeGeoKey", ...); empty for others.
std::string geoKeyName(std::uint16_t id);

}  // namespace bq
