#pragma once
// The grid of a GMLJP2 root instance: the RectifiedGrid of a GML feature collection (version
// 1) or of a GMLJP2 coverage collection (version 2).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bq {

struct GmlGrid {
    int version = 1;  // 2 for a gmljp2:GMLJP2CoverageCollection
    std::optional<std::string> srsName;
    std::optional<int> epsg;
    // Coordinates as x (easting or longitude), y (northing or latitude): swapped from the
    // file's latitude-first order for a geographic code named as a URN or a /def/crs/ URL (not
    // "EPSG:N" nor ".../gml/srs/epsg.xml#N").
    bool axesSwapped = false;
    std::optional<std::array<std::int64_t, 2>> low;
    std::optional<std::array<std::int64_t, 2>> high;
    std::array<double, 2> origin{};  // the centre of the first pixel
    std::array<double, 2> offset1{};
    std::array<double, 2> offset2{};
    std::vector<std::string> warnings;  // what was left out, and why
};

struct GmlGridResult {
    std::optional<GmlGrid> grid;
    std::optional<std::string> fault;  // why there is none: not XML, no RectifiedGrid, ...
};

GmlGridResult decodeGmlGrid(std::string_view xml);
// The same, parsing `xml` in place: no copy of a large text.
GmlGridResult decodeGmlGridInPlace(std::string xml);

// The EPSG code of "urn:ogc:def:crs:EPSG::4326", "http://www.opengis.net/def/crs/EPSG/0/4326",
// "http://www.opengis.net/gml/srs/epsg.xml#4326" or "EPSG:4326"; none for other names.
std::optional<int> epsgFromSrsName(std::string_view name);

// Codes read with latitude first in GML: EPSG's geographic range, taken as 4000 to 4999.
bool isGeographicEpsg(int code);

}  // namespace bq
