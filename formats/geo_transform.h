#pragma once
// The one rule for a geotransform taken from outside (a world file, a GeoTIFF's tags): what
// is written from it must place every pixel, so each number is finite and the pixel steps
// span an area.

#include <array>
#include <optional>
#include <span>
#include <string>

namespace bq {

// Why GDAL's geotransform (originX, pixelWidth, rotX, originY, rotY, pixelHeight) places no
// image: a value not finite, or steps that are zero or in line. None when it is usable.
std::optional<std::string> geoTransformFault(const std::array<double, 6>& geoTransform);

// GDAL's geotransform places the first pixel's corner; world files, GML grids and GeoTIFF's
// PixelIsPoint place its centre. These move between the two by half a pixel along both steps.
std::array<double, 6> cornerFromCentre(std::array<double, 6> geoTransform);
std::array<double, 6> centreFromCorner(std::array<double, 6> geoTransform);

// Why `values` (tie points, scales, a transformation) cannot be stored: one is not finite.
std::optional<std::string> nonFiniteFault(std::span<const double> values, const char* what);

}  // namespace bq
