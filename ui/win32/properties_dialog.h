#pragma once

#include <windows.h>

#include <string_view>

namespace bq::win32 {

// The Properties dialog, modal to `owner`: `text` (UTF-8, lines ended by "\n") in a
// read-only, selectable pane, and a Close button. Returns once it is closed.
void runPropertiesDialog(HINSTANCE instance, HWND owner, std::string_view text);

}  // namespace bq::win32
