#include "ui/win32/metadata_dialogs.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "formats/jp2_header.h"
#include "formats/resolution_fraction.h"
#include "stream/input_file.h"
#include "stream/replace_file.h"
#include "stream/utf8_path.h"
#include "ui/control_ids.h"
#include "ui/jp2_header_edit.h"
#include "ui/properties.h"
#include "ui/save_document.h"
#include "ui/win32/win32_platform.h"
#include "ui/xmp_edit.h"

namespace bq::win32 {
namespace {

// Profiles are a few kilobytes; anything far larger is no profile.
constexpr std::uint64_t kMaxProfile = 16u << 20;
constexpr std::string_view kProfileReadFailed = "Couldn't read the colour profile file.";

FileDialogRequest profileDialog(std::uint32_t options) {
    return {{{"ICC profiles", "*.icc;*.icm"}}, std::string(), options};
}

std::string withoutCr(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            plain.push_back(text[i]);
        }
    }
    return plain;
}

struct XmpState {
    App& app;
    std::string packet;
    bool lineFeedsOnly;  // the packet had no CR LF, so the edit's CR LF go back to LF
};

INT_PTR CALLBACK xmpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto* state = reinterpret_cast<const XmpState*>(lParam);
        const HWND edit = GetDlgItem(dialog, IDC_XMP_TEXT);
        SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
        SetWindowTextW(edit, widen(withCrLf(state->packet)).c_str());
        return TRUE;
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    auto* state = reinterpret_cast<XmpState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (LOWORD(wParam) == IDOK && state != nullptr) {
        std::string packet = windowTextUtf8(GetDlgItem(dialog, IDC_XMP_TEXT));
        if (state->lineFeedsOnly) {
            packet = withoutCr(packet);
        }
        // Unchanged is no edit; refused, the dialog stays so the text can be mended.
        if (packet == state->packet || setXmpPacket(state->app, packet)) {
            EndDialog(dialog, packet == state->packet ? IDCANCEL : IDOK);
        }
        return TRUE;
    }
    return FALSE;
}

std::optional<double> positive(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    if (first == std::string::npos) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = text.data() + last + 1;
    const auto [stop, error] = std::from_chars(text.data() + first, end, value);
    if (error != std::errc() || stop != end || !(value > 0)) {
        return std::nullopt;
    }
    return value;
}

// The dialog opens on the header's resolutions in dpi; a kind left as it opened is kept as
// stored, not refitted from its rounded text.
struct ResolutionState {
    App& app;
    std::array<std::string, 4> shown;  // capture H, V, display H, V
};

std::string dpiText(const ResolutionAxis& axis) {
    const std::optional<double> perInch = axis.perInch();
    if (!perInch) {
        return {};
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", *perInch);
    return text;
}

void showStoredResolutions(HWND dialog, ResolutionState& state) {
    std::string why;
    const auto payload = jp2HeaderPayload(state.app.boxes(), why);
    if (!payload) {
        return;
    }
    const Jp2Header header = decodeJp2Header(*payload);
    const std::optional<Resolution>* kinds[] = {&header.capture, &header.display};
    for (std::size_t kind = 0; kind < 2; ++kind) {
        if (!*kinds[kind]) {
            continue;
        }
        state.shown[kind * 2] = dpiText((*kinds[kind])->horizontal);
        state.shown[kind * 2 + 1] = dpiText((*kinds[kind])->vertical);
        const int firstId = kind == 0 ? IDC_RES_CAPTURE_H : IDC_RES_DISPLAY_H;
        for (int axis = 0; axis < 2; ++axis) {
            SetDlgItemTextW(dialog, firstId + axis,
                            widen(state.shown[kind * 2 + static_cast<std::size_t>(axis)]).c_str());
        }
    }
}

// One kind's controls read into a change; none, after showError, when they make no sense.
std::optional<ResolutionChange> readKind(const ResolutionState& state, HWND dialog, int firstId,
                                         std::string_view kind) {
    App& app = state.app;
    ResolutionChange change;
    if (IsDlgButtonChecked(dialog, firstId + 3) == BST_CHECKED) {
        change.action = ResolutionChange::Action::Remove;
        return change;
    }
    const std::string horizontalText = windowTextUtf8(GetDlgItem(dialog, firstId));
    const std::string verticalText = windowTextUtf8(GetDlgItem(dialog, firstId + 1));
    const std::size_t first = firstId == IDC_RES_CAPTURE_H ? 0 : 2;
    const bool asShown = horizontalText == state.shown[first] &&
                         verticalText == state.shown[first + 1] &&
                         SendMessageW(GetDlgItem(dialog, firstId + 2), CB_GETCURSEL, 0, 0) == 0;
    if (asShown || (horizontalText.find_first_not_of(' ') == std::string::npos &&
                    verticalText.find_first_not_of(' ') == std::string::npos)) {
        return change;  // Keep
    }
    const std::optional<double> horizontal = positive(horizontalText);
    // One number stands for both axes.
    const std::optional<double> vertical = verticalText.find_first_not_of(' ') == std::string::npos
                                               ? horizontal
                                               : positive(verticalText);
    if (!horizontal || !vertical) {
        app.showError(std::string(kind) + " resolution: give positive numbers.");
        return std::nullopt;
    }
    const auto unitIndex = SendMessageW(GetDlgItem(dialog, firstId + 2), CB_GETCURSEL, 0, 0);
    const ResolutionUnit unit = unitIndex == 1   ? ResolutionUnit::PerCentimetre
                                : unitIndex == 2 ? ResolutionUnit::PerMetre
                                                 : ResolutionUnit::PerInch;
    const std::optional<ResolutionFit> h = fitResolution(*horizontal, unit);
    const std::optional<ResolutionFit> v = fitResolution(*vertical, unit);
    if (!h || !v) {
        app.showError(std::string(kind) + " resolution: beyond what a resolution box can hold.");
        return std::nullopt;
    }
    change.action = ResolutionChange::Action::Set;
    change.horizontal = h->axis;
    change.vertical = v->axis;
    return change;
}

INT_PTR CALLBACK resolutionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        showStoredResolutions(dialog, *reinterpret_cast<ResolutionState*>(lParam));
        for (const int unitId : {IDC_RES_CAPTURE_UNIT, IDC_RES_DISPLAY_UNIT}) {
            const HWND combo = GetDlgItem(dialog, unitId);
            for (const wchar_t* unit : {L"dpi", L"dpcm", L"ppm"}) {
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(unit));
            }
            SendMessageW(combo, CB_SETCURSEL, 0, 0);
        }
        return TRUE;
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    auto* state = reinterpret_cast<ResolutionState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (LOWORD(wParam) == IDOK && state != nullptr) {
        const std::optional<ResolutionChange> capture =
            readKind(*state, dialog, IDC_RES_CAPTURE_H, "Capture");
        if (!capture) {
            return TRUE;
        }
        const std::optional<ResolutionChange> display =
            readKind(*state, dialog, IDC_RES_DISPLAY_H, "Display");
        if (!display) {
            return TRUE;
        }
        if (capture->action == ResolutionChange::Action::Keep &&
            display->action == ResolutionChange::Action::Keep) {
            EndDialog(dialog, IDCANCEL);
        } else if (setResolution(state->app, *capture, *display)) {
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool runXmpDialog(HINSTANCE instance, HWND owner, App& app) {
    std::string why;
    std::optional<std::string> packet = xmpPacket(app.boxes(), why);
    if (!packet) {
        return app.showError(why);
    }
    XmpState state{app, std::move(*packet), false};
    state.lineFeedsOnly = state.packet.find("\r\n") == std::string::npos;
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_XMP), owner, &xmpDialogProc,
                           reinterpret_cast<LPARAM>(&state)) == IDOK;
}

bool runResolutionDialog(HINSTANCE instance, HWND owner, App& app) {
    ResolutionState state{app, {}};
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_RESOLUTION), owner, &resolutionDialogProc,
                           reinterpret_cast<LPARAM>(&state)) == IDOK;
}

bool exportProfileToFile(App& app) {
    std::string why;
    const std::optional<std::vector<std::uint8_t>> profile =
        colourProfile(app.boxes(), std::nullopt, why);
    if (!profile) {
        return app.showError(why);
    }
    if (profile->size() > kMaxProfile) {
        return app.showError("The colour profile is too large to export.");
    }
    const std::optional<std::string> path =
        app.platform().chooseSaveFile(profileDialog(kSaveDialogOptions));
    if (!path) {
        return false;
    }
    const ReplaceResult written = replaceFile(*path, [&](FileStream& file) {
        if (!profile->empty()) {
            file.writeBytes(profile->data(), static_cast<std::uint32_t>(profile->size()));
        }
        return true;
    });
    if (written.outcome != ReplaceOutcome::Written) {
        return app.showError(replaceFailureMessage(written.outcome));
    }
    return false;  // the document is as it was
}

bool importProfileFromFile(App& app) {
    const std::optional<std::string> path =
        app.platform().chooseOpenFile(profileDialog(kOpenDialogOptions));
    if (!path) {
        return false;
    }
    const InputBytes file = readInput(*path, kMaxProfile);
    if (file.error != InputError::None) {
        return app.showError(kProfileReadFailed);
    }
    return importColourProfile(app, std::nullopt, file.bytes);
}

}  // namespace bq::win32
