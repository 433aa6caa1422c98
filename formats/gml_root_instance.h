#pragma once
// The XML of a GMLJP2 root instance (version 1): a feature collection holding one rectified
// grid coverage of the image's codestream.

#include <array>
#include <cstdint>
#include <string>

namespace bq {

// The root instance for an image of `width` x `height` pixels placed by GDAL's geotransform in
// the coordinate system of EPSG `epsg`: named "urn:ogc:def:crs:EPSG::N" with latitude first for
// geographic codes, as GML orders them, else "EPSG:N" with easting first.
std::string gmlRootInstance(const std::array<double, 6>& geoTransform, int epsg,
                            std::uint32_t width, std::uint32_t height);

}  // namespace bq
