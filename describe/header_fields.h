#pragma once
// The decoded JP2 header and codestream main header as description fields.

#include <nlohmann/json.hpp>

#include "codestream/main_header.h"
#include "formats/jp2_header.h"

namespace bq {

class CodestreamBox;

nlohmann::ordered_json jp2HeaderFields(const Jp2Header& header);
// The main header, with the walk's tile grid and tile-part count from the box.
nlohmann::ordered_json codestreamFields(const MainHeader& header, const CodestreamBox& box);

}  // namespace bq
