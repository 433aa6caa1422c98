#pragma once
// The XMP packet of a file: the uuid box with the XMP identifier, read and replaced as a whole.

#include <optional>
#include <string>
#include <string_view>

#include "ui/app.h"

namespace bq {

// What "Add XMP packet" puts in a file that has none: an empty description, room for none.
inline constexpr std::string_view kEmptyXmpPacket =
    "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/><?xpacket end=\"w\"?>";

// The first XMP uuid box's row; -1 when there is none.
int xmpRow(const BoxList& boxes);
// The packet of the first XMP box; none, with `why` set, when there is no XMP box.
std::optional<std::string> xmpPacket(const BoxList& boxes, std::string& why);
// Replaces the packet of the first XMP box, or adds an XMP box right after the JP2 header when
// there is none. A packet that is not well-formed XML is refused with the parser's message.
// False, after showError, when nothing changed.
bool setXmpPacket(App& app, std::string_view packet);

enum class XmpEdit { Unchanged, Replaced, Refused };
// What the text of an edit control that opened on `opened` (with CR LF line ends, as edit
// controls need) does to the packet. The CR LF go back to LF when the packet had none; the
// same packet is no edit; a refusal has been shown.
XmpEdit applyXmpEdit(App& app, std::string_view opened, std::string_view edited);

}  // namespace bq
