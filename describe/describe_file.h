#pragma once

#include <span>

#include "box/box.h"
#include "describe/description.h"

namespace bq {

// A whole file from its boxes in row order (nested boxes behind their association): the file
// type, the JP2 header decoded, the codestream's main header, and warnings of every fault in
// them, between them (image header against SIZ) and in their order.
Description describeFile(std::span<const Box* const> rows);

}  // namespace bq
