#pragma once
// Where an image lies on the ground, from its GeoJP2 box or its GMLJP2 grid, as GDAL reads
// them: the EPSG code and the affine transform of the top-left corner of the top-left pixel.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "box/box.h"
#include "describe/description.h"
#include "formats/geotiff.h"
#include "formats/gml_grid.h"

namespace bq {

struct Georeferencing {
    std::string source;  // "GeoJP2" or "GMLJP2"
    std::optional<int> epsg;
    // GDAL's geotransform: originX, pixelWidth, rotX, originY, rotY, pixelHeight. None when
    // the file gives only tiepoints without a scale.
    std::optional<std::array<double, 6>> geoTransform;
    std::optional<std::string> rasterType;  // "PixelIsArea" or "PixelIsPoint"
};

Georeferencing georeferencingOf(const GeoTiff& geoTiff);
Georeferencing georeferencingOf(const GmlGrid& grid);

// Where the two disagree (EPSG code, origin, pixel size), one line each.
void compareGeoreferencing(const Georeferencing& geoJp2, const Georeferencing& gml,
                           std::vector<std::string>& warnings);

struct RasterSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// "source", "epsg", "geoTransform", "origin", "pixelSize", "rasterType", and "corners" when
// the image size is known.
nlohmann::ordered_json georeferencingFields(const Georeferencing& georef,
                                            std::optional<RasterSize> size);
nlohmann::ordered_json geoTiffFields(const GeoTiff& geoTiff);
nlohmann::ordered_json gmlGridFields(const GmlGrid& grid);

// Each association's first label among the rows directly inside it, by the association.
std::map<const Box*, std::string> firstLabelTexts(std::span<const Box* const> rows);

// The file's georeferencing from its rows: the GeoJP2 box (preferred, as GDAL does) or the
// XML box of the "gml.root-instance" association inside "gml.data", with warnings when the
// two disagree or the grid does not match the image size. Adds nothing to a file with
// neither.
void describeGeoreferencing(std::span<const Box* const> rows, std::optional<RasterSize> size,
                            Description& description);

// One box: a GeoJP2 uuid box's payload, or an XML box holding a GML grid. False when the box
// holds neither.
bool describeGeoJp2Payload(std::span<const std::uint8_t> payload, Description& description);
bool describeGmlText(std::string_view xml, Description& description);

}  // namespace bq
