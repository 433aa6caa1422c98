#include "ui/win32/context_menu.h"

#include <commctrl.h>

#include <memory>
#include <type_traits>

#include "ui/control_ids.h"

namespace bq::win32 {
namespace {

struct MenuDeleter {
    void operator()(HMENU menu) const {
        if (menu != nullptr) {
            DestroyMenu(menu);
        }
    }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

struct MenuItem {
    int command;
    const wchar_t* text;
};

constexpr MenuItem kListMenu[] = {
    {IDM_PROPERTIES, L"&Properties\u2026\tAlt+Enter"},
    {IDC_ADD, L"&Add\u2026\tIns"},
    {IDC_DELETE, L"&Delete\tDel"},
    {IDC_PAYLOAD_LOAD, L"&Load payload\u2026"},
    {IDC_PAYLOAD_SAVE, L"&Save payload\u2026"},
    {IDM_ADD_XMP, L"Add &XMP packet"},
    {IDM_SET_GEOREF, L"Set &georeferencing\u2026"},
    {IDM_CHECK_FILE, L"&Check file\u2026\tF7"},
    {IDM_UNDO, L"&Undo\tCtrl+Z"},
    {IDM_REDO, L"&Redo\tCtrl+Y"},
};

}  // namespace

int trackListMenu(HWND owner, POINT at, const std::function<bool(int command)>& enabled) {
    const UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        return 0;
    }
    for (const MenuItem& item : kListMenu) {
        const UINT state = enabled(item.command) ? MF_ENABLED : MF_GRAYED;
        if (item.command == IDM_ADD_XMP || item.command == IDM_UNDO) {
            AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
        }
        AppendMenuW(menu.get(), MF_STRING | state, static_cast<UINT_PTR>(item.command), item.text);
        if (item.command == IDM_PROPERTIES) {
            SetMenuDefaultItem(menu.get(), IDM_PROPERTIES, FALSE);
            AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
        }
    }
    // The command comes back here rather than as WM_COMMAND, so it runs once the menu is gone.
    const BOOL chosen =
        TrackPopupMenuEx(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, owner, nullptr);
    return static_cast<int>(chosen);
}

POINT keyboardMenuPoint(HWND list) {
    const auto row = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    RECT bounds{};
    bounds.left = LVIR_LABEL;
    POINT at{0, 0};
    if (row >= 0 && SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                                 reinterpret_cast<LPARAM>(&bounds)) != 0) {
        // Below the row's text, as Explorer puts it, so the row stays visible.
        at = {bounds.left + (bounds.bottom - bounds.top), bounds.bottom};
    }
    // A row scrolled out of sight: the nearest point of the list instead.
    RECT client{};
    GetClientRect(list, &client);
    at.x = at.x < client.left ? client.left : (at.x > client.right ? client.right : at.x);
    at.y = at.y < client.top ? client.top : (at.y > client.bottom ? client.bottom : at.y);
    ClientToScreen(list, &at);
    return at;
}

}  // namespace bq::win32
