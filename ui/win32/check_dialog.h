#pragma once

#include <windows.h>

#include "ui/check_view.h"

namespace bq::win32 {

// The "Check file…" dialog, modal to `owner`: the view's notes above a list of its findings.
// Enter or a double click on a finding that leads to a row ends it; Ctrl+C copies the whole
// check as text. Returns the row gone to, -1 when it was closed otherwise.
int runCheckDialog(HINSTANCE instance, HWND owner, const CheckView& view);

}  // namespace bq::win32
