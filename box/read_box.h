#pragma once

#include <cstdint>
#include <memory>

#include "box/box.h"
#include "stream/byte_stream.h"

namespace bq {

// Reads one box header, creates the box of the kind its type selects and reads its payload.
// Returns none at the end of the sequence: stream at its end, a refused length, or a payload
// the box's kind refused. Finished associations are taken off `nesting` afterwards.
std::unique_ptr<Box> readBox(ByteStream& stream, ReadContext& context);

}  // namespace bq
