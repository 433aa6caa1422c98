#pragma once
// "Set georeferencing…" from the list's context menu: a GeoTIFF or world file chosen, then the
// boxes to make from it; the model's setGeoreferencing does the rest.

#include <windows.h>

#include "ui/app.h"

namespace bq::win32 {

// The open-file dialog, then the "Set georeferencing" dialog over the file chosen. OK keeps
// the dialog open while what it holds is refused. True when the georeferencing was replaced.
bool runGeoreferencingCommand(HINSTANCE instance, HWND owner, App& app);

}  // namespace bq::win32
