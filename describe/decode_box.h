#pragma once
// The decoders of formats/ and codestream/ applied to a box of a read document, wherever its
// payload lies.

#include <optional>
#include <string>
#include <vector>

#include "box/box.h"
#include "codestream/codestream_box.h"
#include "codestream/main_header.h"
#include "formats/jp2_header.h"

namespace bq {

// A JP2 header box's contents; none, with a warning, when its payload cannot be had.
std::optional<Jp2Header> decodeJp2HeaderBox(const Box& box, std::vector<std::string>& warnings);
// The main header of a codestream box, read from memory or through a window of its file (the
// codestream is never read whole); none, with a warning, when the file cannot be read. The
// walk's own verdict (no end marker, cut short) is added to `warnings`.
std::optional<MainHeader> decodeMainHeaderBox(const CodestreamBox& box,
                                              std::vector<std::string>& warnings);

}  // namespace bq
