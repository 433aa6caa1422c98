#pragma once
// The XMP packet of a file: the uuid box with the XMP identifier, read and replaced as a whole.

#include <optional>
#include <string>
#include <string_view>

#include "ui/app.h"

namespace bq {

// The first XMP uuid box's row; -1 when there is none.
int xmpRow(const BoxList& boxes);
// The packet of the first XMP box; none, with `why` set, when there is no XMP box.
std::optional<std::string> xmpPacket(const BoxList& boxes, std::string& why);
// Replaces the packet of the first XMP box, or adds an XMP box right after the JP2 header when
// there is none. A packet that is not well-formed XML is refused with the parser's message.
// False, after showError, when nothing changed.
bool setXmpPacket(App& app, std::string_view packet);

}  // namespace bq
