#include "ui/win32/properties_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "stream/utf8_path.h"
#include "ui/control_ids.h"
#include "ui/properties.h"
#include "ui/win32/dialog.h"
#include "ui/win32/win32_handles.h"

namespace bq::win32 {
namespace {

struct ActionButton {
    int id;
    const wchar_t* caption;
    std::function<bool(HWND)> PropertiesActions::*action;
};

constexpr ActionButton kActionButtons[] = {
    {IDC_PROPERTIES_XMP, L"&Edit XMP\u2026", &PropertiesActions::editXmp},
    {IDC_PROPERTIES_RESOLUTION, L"&Resolution\u2026", &PropertiesActions::editResolution},
    {IDC_PROPERTIES_EXPORT_ICC, L"E&xport profile\u2026", &PropertiesActions::exportProfile},
    {IDC_PROPERTIES_IMPORT_ICC, L"&Import profile\u2026", &PropertiesActions::importProfile},
};

void showText(HWND dialog, const PropertiesActions& actions) {
    const std::wstring text = actions.describe ? widen(withCrLf(actions.describe())) : L"";
    SetWindowTextW(GetDlgItem(dialog, IDC_PROPERTIES_TEXT), text.c_str());
}

// Ctrl+A selects the whole text, which older edit controls do not do by themselves.
LRESULT CALLBACK selectAllProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR /*data*/) {
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if (message == WM_KEYDOWN && wParam == 'A' && control) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return 0;
    }
    if (message == WM_CHAR && wParam == 1) {  // the Ctrl+A character: handled above
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(edit, &selectAllProc, id);
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

// A control's rectangle in its dialog's client coordinates.
RECT childRect(HWND dialog, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class PropertiesDialog final : public Dialog {
  public:
    PropertiesDialog(const PropertiesActions& actions, SIZE& size)
        : actions_(actions), size_(size) {}

  private:
    bool isButton(int id) const {
        return id == IDCANCEL ||
               std::any_of(std::begin(kActionButtons), std::end(kActionButtons),
                           [id](const ActionButton& button) { return button.id == id; });
    }

    // The pane takes what the dialog grows by; the buttons keep their distance from the
    // bottom edge, Close from the right one too.
    void layout() {
        RECT client{};
        GetClientRect(window(), &client);
        const int dx = client.right - initialClient_.cx;
        const int dy = client.bottom - initialClient_.cy;
        const HWND pane = item(IDC_PROPERTIES_TEXT);
        MoveWindow(pane, paneRect_.left, paneRect_.top, paneRect_.right - paneRect_.left + dx,
                   paneRect_.bottom - paneRect_.top + dy, TRUE);
        for (const auto& [id, rect] : buttonRects_) {
            const int shift = id == IDCANCEL ? dx : 0;
            SetWindowPos(item(id), nullptr, rect.left + shift, rect.top + dy, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        InvalidateRect(window(), nullptr, TRUE);
    }

    INT_PTR onMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam) override {
        switch (message) {
            case WM_SIZE:
                if (initialClient_.cx > 0) {
                    layout();
                }
                return FALSE;
            case WM_GETMINMAXINFO: {
                auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
                limits->ptMinTrackSize = {initialOuter_.cx, initialOuter_.cy};
                return TRUE;
            }
            case WM_DESTROY: {
                RECT outer{};
                GetWindowRect(window(), &outer);
                size_ = {outer.right - outer.left, outer.bottom - outer.top};
                return FALSE;
            }
            default:
                return FALSE;
        }
    }

    void rememberLayout() {
        RECT client{};
        GetClientRect(window(), &client);
        initialClient_ = {client.right, client.bottom};
        RECT outer{};
        GetWindowRect(window(), &outer);
        initialOuter_ = {outer.right - outer.left, outer.bottom - outer.top};
        paneRect_ = childRect(window(), item(IDC_PROPERTIES_TEXT));
        buttonRects_.clear();
        buttonRects_.push_back({IDCANCEL, childRect(window(), item(IDCANCEL))});
        for (const ActionButton& button : kActionButtons) {
            buttonRects_.push_back({button.id, childRect(window(), item(button.id))});
        }
        // The size it was last closed at, about the same centre.
        const int width = std::max(size_.cx, initialOuter_.cx);
        const int height = std::max(size_.cy, initialOuter_.cy);
        if (width != initialOuter_.cx || height != initialOuter_.cy) {
            SetWindowPos(window(), nullptr, outer.left - (width - initialOuter_.cx) / 2,
                         std::max(0L, outer.top - (height - initialOuter_.cy) / 2), width, height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    bool onInit() override {
        SetWindowTextW(window(), widen(actions_.title).c_str());
        rememberLayout();
        const HWND pane = item(IDC_PROPERTIES_TEXT);
        font_ = fixedPitchFont(window());
        if (font_) {
            SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        }
        showText(window(), actions_);
        for (const ActionButton& button : kActionButtons) {
            const HWND control = item(button.id);
            SetWindowTextW(control, button.caption);
            ShowWindow(control, actions_.*button.action ? SW_SHOW : SW_HIDE);
        }
        SetWindowSubclass(pane, &selectAllProc, 1, 0);
        // The pane takes the keys (arrows scroll, Ctrl+C copies), with nothing selected
        // yet, where the dialog's default would select the whole text.
        SetFocus(pane);
        SendMessageW(pane, EM_SETSEL, 0, 0);
        return false;
    }

    bool onCommand(int id, int code) override {
        // The default button follows the focus among the buttons, back from the dialogs they
        // open too, and is Close while the pane has it.
        if (code == BN_SETFOCUS && isButton(id)) {
            SendMessageW(window(), DM_SETDEFID, static_cast<WPARAM>(id), 0);
            return true;
        }
        if (id == IDC_PROPERTIES_TEXT && code == EN_SETFOCUS) {
            SendMessageW(window(), DM_SETDEFID, IDCANCEL, 0);
            return true;
        }
        if (code == BN_KILLFOCUS) {
            return true;
        }
        // Enter on a button is its click; Enter in the pane ends the dialog.
        if (id == IDOK) {
            const auto defaultId = LOWORD(SendMessageW(window(), DM_GETDEFID, 0, 0));
            if (defaultId != IDCANCEL && isButton(defaultId)) {
                return onCommand(defaultId, BN_CLICKED);
            }
        }
        // Close, Escape, Enter and the close box.
        if (id == IDCANCEL || id == IDOK) {
            end(id);
            return true;
        }
        if (code != BN_CLICKED) {
            return false;
        }
        for (const ActionButton& button : kActionButtons) {
            const auto& action = actions_.*button.action;
            if (button.id == id && action) {
                if (action(window())) {
                    showText(window(), actions_);
                }
                return true;
            }
        }
        return false;
    }

    const PropertiesActions& actions_;
    SIZE& size_;
    SIZE initialClient_{};
    SIZE initialOuter_{};
    RECT paneRect_{};
    std::vector<std::pair<int, RECT>> buttonRects_;
    UniqueFont font_;  // released after the dialog, whose pane uses it
};

}  // namespace

void runPropertiesDialog(HINSTANCE instance, HWND owner, const PropertiesActions& actions,
                         SIZE& size) {
    PropertiesDialog dialog(actions, size);
    dialog.runModal(instance, IDD_PROPERTIES, owner);
}

}  // namespace bq::win32
