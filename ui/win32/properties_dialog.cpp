#include "ui/win32/properties_dialog.h"

#include <commctrl.h>

#include <string>

#include "stream/utf8_path.h"
#include "ui/control_ids.h"
#include "ui/properties.h"
#include "ui/win32/win32_handles.h"

namespace bq::win32 {
namespace {

using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

// Lives on the stack of runPropertiesDialog, so for as long as the dialog.
struct DialogState {
    std::wstring text;
    UniqueFont font;
};

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

INT_PTR CALLBACK propertiesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<DialogState*>(lParam);
            const HWND pane = GetDlgItem(dialog, IDC_PROPERTIES_TEXT);
            state->font = fixedPitchFont(dialog);
            if (state->font) {
                SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(state->font.get()), FALSE);
            }
            SetWindowTextW(pane, state->text.c_str());
            SetWindowSubclass(pane, &selectAllProc, 1, 0);
            // The pane takes the keys (arrows scroll, Ctrl+C copies), with nothing selected
            // yet, where the dialog's default would select the whole text.
            SetFocus(pane);
            SendMessageW(pane, EM_SETSEL, 0, 0);
            return FALSE;
        }
        case WM_COMMAND:
            // Close, Escape, Enter and the close box.
            if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void runPropertiesDialog(HINSTANCE instance, HWND owner, std::string_view text) {
    DialogState state{widen(withCrLf(text)), nullptr};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROPERTIES), owner, &propertiesDialogProc,
                    reinterpret_cast<LPARAM>(&state));
}

}  // namespace bq::win32
