#include "ui/win32/metadata_dialogs.h"

#include <array>
#include <optional>
#include <string>

#include "stream/utf8_path.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/jp2_header_edit.h"
#include "ui/properties.h"
#include "ui/save_document.h"
#include "ui/win32/dialog.h"
#include "ui/win32/win32_platform.h"
#include "ui/xmp_edit.h"

namespace bq::win32 {
namespace {

constexpr std::string_view kProfileReadFailed = "Couldn't read the colour profile file.";

FileDialogRequest profileDialog(std::uint32_t options, std::string name = {}) {
    return {{{"ICC profiles", "*.icc;*.icm"}}, std::move(name), options};
}

class XmpDialog final : public Dialog {
  public:
    XmpDialog(App& app, std::string packet)
        : app_(app), target_(app.refer(xmpRow(app.boxes()))), packet_(std::move(packet)) {}

  private:
    bool onInit() override {
        const HWND edit = item(IDC_XMP_TEXT);
        SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
        SetWindowTextW(edit, widen(withCrLf(packet_)).c_str());
        // The caret at the start with nothing selected, so that no key replaces the packet.
        SetFocus(edit);
        SendMessageW(edit, EM_SETSEL, 0, 0);
        return false;
    }

    bool onCommand(int id, int /*code*/) override {
        return endEdit(id, app_, target_, [this] {
            // Refused, the dialog stays so the text can be mended.
            switch (applyXmpEdit(app_, packet_, windowTextUtf8(item(IDC_XMP_TEXT)))) {
                case XmpEdit::Unchanged:
                    return Applied::NoChange;
                case XmpEdit::Replaced:
                    return Applied::Done;
                default:
                    return Applied::Refused;
            }
        });
    }

    App& app_;
    BoxRef target_;
    std::string packet_;
};

// The combo boxes list the units in this order.
constexpr ResolutionUnit kUnits[] = {ResolutionUnit::PerInch, ResolutionUnit::PerCentimetre,
                                     ResolutionUnit::PerMetre};
constexpr const wchar_t* kUnitNames[] = {L"dpi", L"dpcm", L"ppm"};

class ResolutionDialog final : public Dialog {
  public:
    explicit ResolutionDialog(App& app)
        : app_(app),
          target_(app.refer(jp2HeaderRow(app.boxes()))),
          shown_(storedResolutionFields(app.boxes())) {}

  private:
    static constexpr int kFirstIds[] = {IDC_RES_CAPTURE_H, IDC_RES_DISPLAY_H};
    static constexpr const char* kKinds[] = {"Capture", "Display"};

    // Each kind's controls run from its first id: horizontal, vertical, unit, remove.
    bool onInit() override {
        for (std::size_t kind = 0; kind < shown_.size(); ++kind) {
            const int first = kFirstIds[kind];
            SetDlgItemTextW(window(), first, widen(shown_[kind].horizontal).c_str());
            SetDlgItemTextW(window(), first + 1, widen(shown_[kind].vertical).c_str());
            const HWND combo = item(first + 2);
            for (const wchar_t* unit : kUnitNames) {
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(unit));
            }
            SendMessageW(combo, CB_SETCURSEL, 0, 0);
        }
        return true;
    }

    ResolutionFields fields(int first) const {
        ResolutionFields read;
        read.horizontal = windowTextUtf8(item(first));
        read.vertical = windowTextUtf8(item(first + 1));
        const auto unit = SendMessageW(item(first + 2), CB_GETCURSEL, 0, 0);
        read.unit = unit > 0 && unit < 3 ? kUnits[unit] : ResolutionUnit::PerInch;
        read.remove = IsDlgButtonChecked(window(), first + 3) == BST_CHECKED;
        return read;
    }

    // Removing a kind leaves nothing to type in its fields.
    void showRemoved(int first) {
        const bool removed = IsDlgButtonChecked(window(), first + 3) == BST_CHECKED;
        for (int field = first; field < first + 3; ++field) {
            EnableWindow(item(field), removed ? FALSE : TRUE);
        }
    }

    bool onCommand(int id, int /*code*/) override {
        for (const int first : kFirstIds) {
            if (id == first + 3) {
                showRemoved(first);
                return true;
            }
        }
        return endEdit(id, app_, target_, [this] {
            std::array<ResolutionChange, 2> changes;
            for (std::size_t kind = 0; kind < changes.size(); ++kind) {
                std::string why;
                const std::optional<ResolutionChange> change =
                    resolutionFromFields(fields(kFirstIds[kind]), shown_[kind], why);
                if (!change) {
                    app_.showError(std::string(kKinds[kind]) + " resolution: " + why + ".");
                    return Applied::Refused;
                }
                changes[kind] = *change;
            }
            if (changes[0].action == ResolutionChange::Action::Keep &&
                changes[1].action == ResolutionChange::Action::Keep) {
                return Applied::NoChange;
            }
            return setResolution(app_, changes[0], changes[1]) ? Applied::Done : Applied::Refused;
        });
    }

    App& app_;
    BoxRef target_;
    std::array<ResolutionFields, 2> shown_;
};

}  // namespace

bool runXmpDialog(HINSTANCE instance, HWND owner, App& app) {
    std::string why;
    std::optional<std::string> packet = xmpPacket(app.boxes(), why);
    if (!packet) {
        return app.showError(why);
    }
    XmpDialog dialog(app, std::move(*packet));
    return dialog.runModal(instance, IDD_XMP, owner) == IDOK;
}

bool runResolutionDialog(HINSTANCE instance, HWND owner, App& app) {
    ResolutionDialog dialog(app);
    return dialog.runModal(instance, IDD_RESOLUTION, owner) == IDOK;
}

bool exportProfileToFile(App& app) {
    std::string why;
    const std::optional<std::vector<std::uint8_t>> profile =
        colourProfile(app.boxes(), std::nullopt, why);
    if (!profile) {
        return app.showError(why);
    }
    Platform& platform = app.platform();
    std::optional<std::string> path = platform.chooseSaveFile(profileDialog(
        kSaveDialogOptions, proposedExportName(platform.controlText(IDC_PATH), ".icc")));
    if (path) {
        path = withDefaultExtension(std::move(*path), ".icc");
    }
    if (path && !writeProfileFile(*path, *profile, why)) {
        app.showError(why);
    }
    return false;  // the document is as it was
}

bool importProfileFromFile(App& app) {
    const BoxRef header = app.refer(jp2HeaderRow(app.boxes()));
    const std::optional<std::string> path =
        app.platform().chooseOpenFile(profileDialog(kOpenDialogOptions));
    if (!path) {
        return false;
    }
    const InputBytes file = readProfileFile(*path);
    if (file.error != InputError::None) {
        return app.showError(kProfileReadFailed);
    }
    if (app.liveRow(header) < 0) {
        return false;
    }
    return importColourProfile(app, std::nullopt, file.bytes);
}

}  // namespace bq::win32
