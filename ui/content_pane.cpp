#include <limits>
#include <string>

#include "ui/commands.h"
#include "ui/control_ids.h"

namespace bq {

void showBox(App& app, int row) {
    const Box* box = app.boxes().boxAt(row);
    if (box == nullptr) {
        return;
    }
    Platform& platform = app.platform();
    // A box with no payload buffer yet (a new XML or label box) shows an empty pane.
    platform.setControlText(IDC_CONTENT, box->text());
    platform.setReadOnly(IDC_CONTENT, box->isLocked() || !box->isEditable());
    platform.enableControl(IDC_DELETE, !box->isLocked());
    platform.enableControl(IDC_PAYLOAD_LOAD, box->canImport());
    platform.enableControl(IDC_PAYLOAD_SAVE, true);
}

void showNoBox(App& app) {
    Platform& platform = app.platform();
    platform.setControlText(IDC_CONTENT, "");
    platform.setReadOnly(IDC_CONTENT, true);
    platform.enableControl(IDC_DELETE, false);
    platform.enableControl(IDC_PAYLOAD_LOAD, false);
    platform.enableControl(IDC_PAYLOAD_SAVE, false);
}

bool takePaneText(App& app) {
    const int row = app.boxes().selectedRow();
    Box* box = app.boxes().boxAt(row);
    // The pane is writable only for editable boxes; anything else typed there (a pane left
    // writable by a stale notification) must not mark the document modified.
    if (box == nullptr || box->isLocked() || !box->isEditable()) {
        return false;
    }
    const std::string text = app.platform().controlText(IDC_CONTENT);
    if (text.size() >= std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    // setText makes room for the text and its terminator and copies it, which is what
    // reserving the length and copying into the box's buffer amounts to.
    UndoStep step(app, row);
    box->setText(text);
    step.commit();
    app.markModified();
    return true;
}

}  // namespace bq
