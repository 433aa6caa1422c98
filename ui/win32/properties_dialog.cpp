#include "ui/win32/properties_dialog.h"

#include <commctrl.h>

#include <string>

#include "stream/utf8_path.h"
#include "ui/control_ids.h"
#include "ui/properties.h"
#include "ui/win32/dialog.h"
#include "ui/win32/win32_handles.h"

namespace bq::win32 {
namespace {

using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

struct ActionButton {
    int id;
    const wchar_t* caption;
    std::function<bool(HWND)> PropertiesActions::*action;
};

constexpr ActionButton kActionButtons[] = {
    {IDC_PROPERTIES_XMP, L"Edit XMP\u2026", &PropertiesActions::editXmp},
    {IDC_PROPERTIES_RESOLUTION, L"Resolution\u2026", &PropertiesActions::editResolution},
    {IDC_PROPERTIES_EXPORT_ICC, L"Export profile\u2026", &PropertiesActions::exportProfile},
    {IDC_PROPERTIES_IMPORT_ICC, L"Import profile\u2026", &PropertiesActions::importProfile},
};

void showText(HWND dialog, const PropertiesActions& actions) {
    const std::wstring text = actions.describe ? widen(withCrLf(actions.describe())) : L"";
    SetWindowTextW(GetDlgItem(dialog, IDC_PROPERTIES_TEXT), text.c_str());
}

// The dialog's own font made fixed-pitch, so columns in the text line up; it keeps the size
// the dialog's font has at this screen's dpi.
UniqueFont fixedPitchFont(HWND dialog) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    if (font == nullptr || GetObjectW(font, sizeof description, &description) == 0) {
        return nullptr;
    }
    description.lfWeight = FW_NORMAL;
    description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynW(description.lfFaceName, L"Courier New", LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&description));
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

class PropertiesDialog final : public Dialog {
  public:
    explicit PropertiesDialog(const PropertiesActions& actions) : actions_(actions) {}

  private:
    bool onInit() override {
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
    UniqueFont font_;  // released after the dialog, whose pane uses it
};

}  // namespace

void runPropertiesDialog(HINSTANCE instance, HWND owner, const PropertiesActions& actions) {
    PropertiesDialog dialog(actions);
    dialog.runModal(instance, IDD_PROPERTIES, owner);
}

}  // namespace bq::win32
