#pragma once
// The editors the Properties dialog opens for a file's metadata: the XMP packet, the JP2
// header's resolution and its colour profile. Each changes the document through the model's own
// operations, which mark it modified and show their refusals.

#include <windows.h>

#include <string_view>

#include "ui/app.h"

namespace bq::win32 {

// What "Add XMP packet" puts in a file that has none: an empty description, room for none.
inline constexpr std::string_view kEmptyXmpPacket =
    "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/><?xpacket end=\"w\"?>";

// The "XMP packet" dialog over the first XMP box's packet; OK keeps the dialog open while the
// packet is refused. True when the packet was replaced.
bool runXmpDialog(HINSTANCE instance, HWND owner, App& app);

// The "Resolution" dialog, opened on the stored resolutions in dpi: capture and display, each set
// (edits left as they opened, or empty, keep it) or removed.
// True when the JP2 header changed.
bool runResolutionDialog(HINSTANCE instance, HWND owner, App& app);

// The first colour profile written to a file the user chooses. Always false: the document does
// not change (a failure is shown).
bool exportProfileToFile(App& app);
// A profile file the user chooses put in the first colour box; true when it is.
bool importProfileFromFile(App& app);

}  // namespace bq::win32
