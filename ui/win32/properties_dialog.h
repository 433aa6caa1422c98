#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace bq::win32 {

// What the Properties dialog offers for its row beyond the text: each set action gets its
// button, run with the dialog as the owner of what it opens; true when it changed the document,
// and the text is then described again.
struct PropertiesActions {
    std::string title;                      // UTF-8
    std::function<std::string()> describe;  // the row's text, UTF-8, lines ended by "\n"
    std::function<bool(HWND)> editXmp;
    std::function<bool(HWND)> editResolution;
    std::function<bool(HWND)> exportProfile;
    std::function<bool(HWND)> importProfile;
};

// The Properties dialog, modal to `owner`: the row's text in a read-only, selectable pane, the
// buttons of the actions set and a Close button. Returns once it is closed. It opens at `size`
// (outer pixels) when that is larger than its own, and leaves there the size it was closed at.
void runPropertiesDialog(HINSTANCE instance, HWND owner, const PropertiesActions& actions,
                         SIZE& size);

}  // namespace bq::win32
