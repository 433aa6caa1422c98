#pragma once
// The editors the Properties dialog opens for a file's metadata: the XMP packet, the JP2
// header's resolution and its colour profile. Each changes the document through the model's own
// operations, which mark it modified and show their refusals.

#include <windows.h>

#include "ui/app.h"

namespace bq::win32 {

// The "XMP packet" dialog over the first XMP box's packet; OK keeps the dialog open while the
// packet is refused. True when the packet was replaced.
bool runXmpDialog(HINSTANCE instance, HWND owner, App& app);

// The "Resolution" dialog, opened on the stored resolutions in dpi: capture and display, each set
// (edits left as they opened, or empty, keep it) or removed.
// True when the JP2 header changed.
bool runResolutionDialog(HINSTANCE instance, HWND owner, App& app);

// The first colour profile written to a file the user chooses, proposed as the document's name
// with ".icc", which a name given without an extension gets too. Always false: the document
// does not change (a failure is shown).
bool exportProfileToFile(App& app);
// A profile file the user chooses put in the first colour box; true when it is.
bool importProfileFromFile(App& app);

}  // namespace bq::win32
