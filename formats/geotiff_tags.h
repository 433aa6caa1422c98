#pragma once
// The georeferencing tags of a TIFF file, as stored: what a GeoJP2 box copies from a GeoTIFF
// of any size, read without touching its pixels, and writes back as a 1 x 1 GeoTIFF.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/tiff_directory.h"

namespace bq {

struct GeoTiffTags {
    std::vector<double> pixelScale;           // 33550 ModelPixelScaleTag
    std::vector<double> tiepoints;            // 33922 ModelTiepointTag
    std::vector<double> transformation;       // 34264 ModelTransformationTag
    std::vector<std::uint16_t> keyDirectory;  // 34735 GeoKeyDirectoryTag
    std::vector<double> doubleParams;         // 34736 GeoDoubleParamsTag
    std::string asciiParams;                  // 34737 GeoAsciiParamsTag, without the final NUL
};

struct GeoTiffTagsResult {
    std::optional<GeoTiffTags> tags;
    std::optional<std::string> fault;  // why none could be read
};

// Reads the georeferencing tags of the first IFD of a TIFF or BigTIFF file of `fileSize`
// bytes, in either byte order: the header, the IFD's entries and those tags' values, never the
// image data. A file without a GeoKey directory, or without any of the pixel scale, tiepoint
// and transformation tags, is a fault.
GeoTiffTagsResult readGeoTiffTags(const ReadAt& read, std::uint64_t fileSize);

// A classic little-endian TIFF of one 8-bit grey pixel carrying `tags` (those not empty).
std::vector<std::uint8_t> writeGeoTiff(const GeoTiffTags& tags);

// The payload of a GeoJP2 uuid box: the GeoTIFF identifier, then writeGeoTiff(tags).
std::vector<std::uint8_t> geoJp2Payload(const GeoTiffTags& tags);

// The tags that place an image by GDAL's geotransform (originX, pixelWidth, rotX, originY,
// rotY, pixelHeight) in the coordinate system of an EPSG code, as PixelIsArea: a pixel scale
// and one tiepoint, or a model transformation when the transform rotates.
GeoTiffTags geoTiffTagsFor(const std::array<double, 6>& geoTransform, int epsg, bool geographic);

}  // namespace bq
