#include "ui/win32/georef_dialog.h"

#include <optional>
#include <string>

#include "stream/utf8_path.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/georef_edit.h"
#include "ui/win32/win32_platform.h"

namespace bq::win32 {
namespace {

struct GeorefState {
    App& app;
    std::string path;
    bool tiff;  // a GeoTIFF names its own coordinate system; a world file needs an EPSG code
};

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// What OK does; false while the dialog has to stay open.
bool applyGeoreferencing(HWND dialog, GeorefState& state) {
    const GeoreferencingBoxes which{IsDlgButtonChecked(dialog, IDC_GEOREF_GEOJP2) == BST_CHECKED,
                                    IsDlgButtonChecked(dialog, IDC_GEOREF_GML) == BST_CHECKED};
    if (!which.geoJp2 && !which.gml) {
        return state.app.showError("Choose the GeoJP2 box, the GMLJP2 boxes or both.");
    }
    std::string why;
    std::optional<GeoTiffTags> tags;
    if (state.tiff) {
        tags = geoTiffFileTags(state.path, why);
    } else {
        const HWND edit = GetDlgItem(dialog, IDC_GEOREF_EPSG);
        const std::optional<int> epsg = parseEpsgCode(trimmed(windowTextUtf8(edit)));
        if (!epsg) {
            state.app.showError("The EPSG code is a whole number from 1 to 32766.");
            SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
            return false;
        }
        tags = worldFileTags(state.path, *epsg, why);
    }
    if (!tags) {
        std::string message = "Can't take the georeferencing of '";
        message += baseName(state.path);
        message += "': ";
        message += why;
        return state.app.showError(message);
    }
    return setGeoreferencing(state.app, *tags, which);
}

INT_PTR CALLBACK georefDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto* state = reinterpret_cast<const GeorefState*>(lParam);
        SetDlgItemTextW(dialog, IDC_GEOREF_FILE, widen(baseName(state->path)).c_str());
        CheckDlgButton(dialog, IDC_GEOREF_GEOJP2, BST_CHECKED);
        const HWND edit = GetDlgItem(dialog, IDC_GEOREF_EPSG);
        SendMessageW(edit, EM_SETLIMITTEXT, 16, 0);
        if (state->tiff) {
            EnableWindow(edit, FALSE);
            SetDlgItemTextW(dialog, IDC_GEOREF_NOTE, L"A GeoTIFF names its own coordinate system.");
            return TRUE;
        }
        SetFocus(edit);
        return FALSE;  // the focus is set
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    auto* state = reinterpret_cast<GeorefState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (LOWORD(wParam) == IDOK && state != nullptr) {
        if (applyGeoreferencing(dialog, *state)) {
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool runGeoreferencingCommand(HINSTANCE instance, HWND owner, App& app) {
    const FileDialogRequest request{
        {{"GeoTIFF or world file", "*.tif;*.tiff;*.j2w;*.tfw;*.wld;*.jgw"}, {"All files", "*.*"}},
        std::string(),
        kOpenDialogOptions};
    std::optional<std::string> path = app.platform().chooseOpenFile(request);
    if (!path) {
        return false;
    }
    GeorefState state{app, std::move(*path), false};
    state.tiff = isTiffFile(state.path);
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_GEOREF), owner, &georefDialogProc,
                           reinterpret_cast<LPARAM>(&state)) == IDOK;
}

}  // namespace bq::win32
