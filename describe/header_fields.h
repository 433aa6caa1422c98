#pragma once
// The decoded JP2 header and codestream main header as description fields.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "codestream/main_header.h"
#include "formats/jp2_header.h"

namespace bq {

class CodestreamBox;

// Arrays go as far as the image's components and channels reach; what is left out is said
// in `warnings`, so the output is bounded by the image, not by a box's length.
nlohmann::ordered_json jp2HeaderFields(const Jp2Header& header, std::vector<std::string>& warnings);
// The main header, with the walk's tile grid and tile-part count from the box.
nlohmann::ordered_json codestreamFields(const MainHeader& header, const CodestreamBox& box);

}  // namespace bq
