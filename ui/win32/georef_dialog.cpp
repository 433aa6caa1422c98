#include "ui/win32/georef_dialog.h"

#include <optional>
#include <string>

#include "stream/utf8_path.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/georef_edit.h"
#include "ui/jp2_header_edit.h"
#include "ui/win32/dialog.h"
#include "ui/win32/win32_platform.h"

namespace bq::win32 {
namespace {

class GeorefDialog final : public Dialog {
  public:
    GeorefDialog(App& app, std::string path)
        : app_(app),
          header_(app.refer(jp2HeaderRow(app.boxes()))),
          path_(std::move(path)),
          tiff_(isTiffFile(path_)) {}

  private:
    bool onInit() override {
        SetDlgItemTextW(window(), IDC_GEOREF_FILE, widen(baseName(path_)).c_str());
        CheckDlgButton(window(), IDC_GEOREF_GEOJP2, BST_CHECKED);
        const HWND edit = item(IDC_GEOREF_EPSG);
        SendMessageW(edit, EM_SETLIMITTEXT, 16, 0);
        if (tiff_) {
            EnableWindow(edit, FALSE);
            SetDlgItemTextW(window(), IDC_GEOREF_NOTE,
                            L"A GeoTIFF names its own coordinate system.");
            return true;
        }
        SetFocus(edit);
        return false;  // the focus is set
    }

    bool onCommand(int id, int /*code*/) override {
        return endEdit(id, app_, header_,
                       [this] { return apply() ? Applied::Done : Applied::Refused; });
    }

    // What OK does; false while the dialog has to stay open.
    bool apply() {
        const GeoreferencingBoxes which{
            IsDlgButtonChecked(window(), IDC_GEOREF_GEOJP2) == BST_CHECKED,
            IsDlgButtonChecked(window(), IDC_GEOREF_GML) == BST_CHECKED};
        std::optional<int> epsg;
        if (!tiff_) {
            const HWND edit = item(IDC_GEOREF_EPSG);
            epsg = parseEpsgCode(windowTextUtf8(edit));
            if (!epsg) {
                app_.showError("The EPSG code is a whole number from 1 to 32766.");
                SendMessageW(window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
                return false;
            }
        }
        std::string why;
        const std::optional<GeoTiffTags> tags = georeferencingTags(path_, epsg, why);
        if (!tags) {
            return app_.showError("Can't take the georeferencing of '" + baseName(path_) +
                                  "': " + why);
        }
        return setGeoreferencing(app_, *tags, which);
    }

    App& app_;
    BoxRef header_;  // the georeferencing goes in behind it
    std::string path_;
    bool tiff_;  // a GeoTIFF names its own coordinate system; a world file needs an EPSG code
};

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
    GeorefDialog dialog(app, std::move(*path));
    return dialog.runModal(instance, IDD_GEOREF, owner) == IDOK;
}

}  // namespace bq::win32
