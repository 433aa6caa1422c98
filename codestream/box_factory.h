#pragma once

#include <cstdint>
#include <memory>

#include "box/box.h"

namespace bq {

// Every kind a document can hold, the codestream included: the maker a document read uses.
std::unique_ptr<Box> makeDocumentBox(std::uint32_t type, std::uint64_t payloadSize, bool runsToEnd);

}  // namespace bq
