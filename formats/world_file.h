#pragma once
// World files (.j2w, .tfw, .wld): six numbers, one a line, that place the centre of the first
// pixel and step from pixel to pixel.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace bq {

// GDAL's geotransform (originX, pixelWidth, rotX, originY, rotY, pixelHeight: the top-left
// corner of the top-left pixel) of a world file's text. None, with `why` set, when the text is
// not six finite numbers or they do not make an invertible transform.
std::optional<std::array<double, 6>> parseWorldFile(std::string_view text, std::string& why);

}  // namespace bq
