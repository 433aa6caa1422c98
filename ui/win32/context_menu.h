#pragma once

#include <windows.h>

#include <functional>

namespace bq::win32 {

// The box list's context menu: Properties, then the panel's Add, Delete and payload Load and
// Save, by their command ids (IDM_PROPERTIES and the buttons' control ids), then Add XMP packet
// (IDM_ADD_XMP), Set georeferencing (IDM_SET_GEOREF) and Check file (IDM_CHECK_FILE), then
// Undo and Redo.
// Shows it at `at` (screen coordinates) with each item enabled as `enabled` answers, and
// returns the command chosen, 0 when none was.
int trackListMenu(HWND owner, POINT at, const std::function<bool(int command)>& enabled);

// Where the menu opens from the keyboard: at the selected row's ID text, else at the list's
// top left corner; in screen coordinates.
POINT keyboardMenuPoint(HWND list);

}  // namespace bq::win32
