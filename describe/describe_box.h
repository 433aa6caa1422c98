#pragma once

#include <string>

#include "box/box.h"
#include "describe/description.h"

namespace bq {

// One box: its type, where its header starts in the file (none for a box the editor added),
// its header form and length, and what its payload decodes to (file type, JP2 header,
// codestream main header, UUID), with the warnings found in it.
Description describeBox(const Box& box);

// describeBox as text, lines ending in "\n": what `boxquill-cli info FILE INDEX` prints and
// the Properties dialog shows.
std::string describeBoxText(const Box& box);

// "plain", "extended" or "to end".
std::string headerFormText(HeaderForm form);

}  // namespace bq
