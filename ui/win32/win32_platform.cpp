#include "ui/win32/win32_platform.h"

#include <commdlg.h>

#include <array>
#include <string>

#include "stream/utf8_path.h"
#include "ui/control_ids.h"
#include "ui/win32/dialog.h"

namespace bq::win32 {
namespace {

std::optional<std::string> runFileDialog(HWND owner, const FileDialogRequest& request, bool save) {
    // "name\0pattern\0" per entry and one more NUL at the end.
    std::wstring filter;
    for (const FileFilter& entry : request.filters) {
        filter += widen(entry.name);
        filter.push_back(L'\0');
        filter += widen(entry.pattern);
        filter.push_back(L'\0');
    }
    filter.push_back(L'\0');

    // The wide dialogs: their buffer holds 259 UTF-16 units of any script, where the narrow
    // ones carry only what the system's code page can spell.
    std::array<wchar_t, kPathBufferSize> name{};
    widen(cutToWindowsLength(request.initialName, name.size() - 1))
        .copy(name.data(), name.size() - 1);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.Flags = request.options;
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) {
        return std::nullopt;
    }
    name.back() = L'\0';
    return narrow(name.data());
}

// A window's text through the narrow or the wide calls.
template <typename Text, typename Length, typename Get>
Text readText(HWND window, Length length, Get get) {
    const int count = length(window);
    if (count <= 0) {
        return {};
    }
    Text text(static_cast<std::size_t>(count) + 1, typename Text::value_type{});
    const int copied = get(window, text.data(), count + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

// Ends with the id of the button pressed.
class AddDialog final : public Dialog {
    bool onCommand(int id, int /*code*/) override {
        switch (id) {
            case IDOK:  // Enter: the default button
                end(IDC_ADD_XML);
                return true;
            case IDC_ADD_XML:
            case IDC_ADD_ASSOCIATION:
            case IDC_ADD_LABEL:
            case IDC_ADD_GEOTIFF:
            case IDC_ADD_GML:
            case IDC_ADD_CANCEL:  // Cancel, Escape and the close box
                end(id);
                return true;
            default:
                return false;
        }
    }
};

// A visible, enabled dialog (a dialog resource, a message box or a file dialog) of this thread
// owned by `owner`.
HWND dialogOwnedBy(HWND owner) {
    struct Search {
        HWND owner;
        HWND found;
    } search{owner, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            if (GetWindow(window, GW_OWNER) == s.owner && IsWindowVisible(window) &&
                lstrcmpW(className, L"#32770") == 0) {
                s.found = window;
                return IsWindowEnabled(window) ? FALSE : TRUE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND Win32Platform::owner() const {
    // A modal dialog disables its owner: follow the disabled windows up to the one that
    // takes input. The depth bound guards against an ownership cycle.
    HWND window = mainWindow_;
    for (int depth = 0; depth < 16 && window != nullptr && !IsWindowEnabled(window); ++depth) {
        const HWND above = dialogOwnedBy(window);
        if (above == nullptr) {
            break;
        }
        window = above;
    }
    return window;
}

std::string windowTextUtf8(HWND window) {
    return narrow(readText<std::wstring>(window, GetWindowTextLengthW, GetWindowTextW));
}

bool Win32Platform::askYesNo(std::string_view caption, std::string_view text) {
    return MessageBoxW(owner(), widen(text).c_str(), widen(caption).c_str(), MB_YESNO) == IDYES;
}

void Win32Platform::showErrorBox(std::string_view caption, std::string_view text) {
    MessageBoxW(owner(), widen(text).c_str(), widen(caption).c_str(), MB_OK | MB_ICONERROR);
}

std::optional<std::string> Win32Platform::chooseOpenFile(const FileDialogRequest& request) {
    return runFileDialog(owner(), request, false);
}

std::optional<std::string> Win32Platform::chooseSaveFile(const FileDialogRequest& request) {
    return runFileDialog(owner(), request, true);
}

int Win32Platform::runAddDialog() {
    // Modal, so the document cannot change under the command while the dialog is open.
    AddDialog dialog;
    const INT_PTR id = dialog.runModal(instance_, IDD_ADD, owner());
    return id != IDCANCEL ? static_cast<int>(id) : IDC_ADD_CANCEL;
}

void Win32Platform::setTitle(std::string_view title) {
    if (mainWindow_ != nullptr) {
        SetWindowTextW(mainWindow_, widen(title).c_str());
    }
}

void Win32Platform::setControlText(int id, std::string_view text) {
    if (panel_ == nullptr) {
        return;
    }
    const bool outer = settingText_;
    settingText_ = true;
    if (id == IDC_CONTENT) {
        SetDlgItemTextA(panel_, id, std::string(text).c_str());
    } else {
        SetDlgItemTextW(panel_, id, widen(text).c_str());
    }
    settingText_ = outer;
}

std::string Win32Platform::controlText(int id) {
    const HWND window = control(id);
    if (window == nullptr) {
        return {};
    }
    // The content pane shows a box's bytes one character per byte, as the narrow calls do;
    // every other control shows UTF-8 text.
    if (id == IDC_CONTENT) {
        return readText<std::string>(window, GetWindowTextLengthA, GetWindowTextA);
    }
    return windowTextUtf8(window);
}

void Win32Platform::enableControl(int id, bool enabled) {
    if (const HWND window = control(id)) {
        EnableWindow(window, enabled ? TRUE : FALSE);
    }
}

bool Win32Platform::isControlEnabled(int id) {
    const HWND window = control(id);
    return window != nullptr && IsWindowEnabled(window);
}

void Win32Platform::setReadOnly(int id, bool readOnly) {
    if (const HWND window = control(id)) {
        SendMessageA(window, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
    }
}

}  // namespace bq::win32
