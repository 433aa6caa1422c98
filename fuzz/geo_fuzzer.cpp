// Arbitrary bytes as the TIFF of a GeoJP2 box and as the XML of a GMLJP2 root instance, each
// decoded grid turned into a geotransform as `info` does.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "formats/geotiff.h"
#include "formats/gml_grid.h"
#include "inspect/georeferencing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bq::GeoTiffResult tiff = bq::decodeGeoTiff(std::span(data, size));
    if (tiff.geoTiff) {
        volatile auto sink =
            bq::geoTiffFields(*tiff.geoTiff).dump().size() +
            static_cast<std::size_t>(bq::georeferencingOf(*tiff.geoTiff).epsg.has_value());
        (void)sink;
    }
    const bq::GmlGridResult gml =
        bq::decodeGmlGrid(std::string_view(reinterpret_cast<const char*>(data), size));
    if (gml.grid) {
        volatile auto sink =
            bq::gmlGridFields(*gml.grid).dump().size() +
            static_cast<std::size_t>(bq::georeferencingOf(*gml.grid).geoTransform.has_value());
        (void)sink;
    }
    return 0;
}
