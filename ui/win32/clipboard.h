#pragma once

#include <windows.h>

#include <string_view>

namespace bq::win32 {

// Puts the UTF-8 text on the clipboard as Unicode text, its lines ended by CR LF as Windows
// programs expect; false when the clipboard could not take it.
bool copyTextToClipboard(HWND owner, std::string_view text);

}  // namespace bq::win32
