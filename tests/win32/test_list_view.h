#pragma once
// A report list view like the panel's, for tests that hold a list-view document without the
// whole program.

#include <windows.h>

#include <commctrl.h>

#include "ui/control_ids.h"
#include "ui/win32/list_view_box_list.h"

namespace bq::test {

// Creates the list control inside `parent` and sets the document up on it with the
// program's styles and columns.
inline void attachTestListView(win32::ListViewBoxList& list, HWND parent) {
    InitCommonControls();
    const HWND control = CreateWindowExA(
        0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
        0, 0, 380, 280, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LIST)),
        GetModuleHandleA(nullptr), nullptr);
    list.setup(control, true, true, false, true);
    list.addColumn(0, 52, "ID", 0);
    list.addColumn(1, 113, "Description", 0);
    list.addColumn(2, 57, "Size", 2);
}

}  // namespace bq::test
