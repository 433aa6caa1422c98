#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codestream/parse_codestream.h"

namespace bq {

// The room a report gets: 64 bytes per tile and four more lines' worth for the header,
// computed in 64 bits so no grid can wrap it.
std::uint64_t reportCapacity(const CodestreamInfo& info);

// The image and tile report of a walked codestream, at most capacity - 1 characters long: the
// header, then one line per tile in row-major order while whole lines still fit.
std::string formatReport(const CodestreamInfo& info, std::uint64_t capacity);

}  // namespace bq
