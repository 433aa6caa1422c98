#include "formats/geo_transform.h"

#include <algorithm>
#include <cmath>

namespace bq {

std::optional<std::string> nonFiniteFault(std::span<const double> values, const char* what) {
    if (std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); })) {
        return std::nullopt;
    }
    return std::string("the ") + what + " holds a value that is not a finite number";
}

namespace {

std::array<double, 6> shiftHalfPixel(std::array<double, 6> gt, double sign) {
    gt[0] += sign * (gt[1] + gt[2]) * 0.5;
    gt[3] += sign * (gt[4] + gt[5]) * 0.5;
    return gt;
}

}  // namespace

std::array<double, 6> cornerFromCentre(std::array<double, 6> geoTransform) {
    return shiftHalfPixel(geoTransform, -1.0);
}

std::array<double, 6> centreFromCorner(std::array<double, 6> geoTransform) {
    return shiftHalfPixel(geoTransform, 1.0);
}

std::optional<std::string> geoTransformFault(const std::array<double, 6>& geoTransform) {
    if (auto fault = nonFiniteFault(geoTransform, "pixel placement")) {
        return fault;
    }
    const auto [x, a, b, y, d, e] = geoTransform;
    // Huge steps can overflow the product to infinity: that is not singular.
    const double determinant = a * e - b * d;
    if (determinant == 0.0 || std::isnan(determinant)) {
        return "the pixel size is zero or the transformation is singular: the pixels have no "
               "area";
    }
    return std::nullopt;
}

}  // namespace bq
