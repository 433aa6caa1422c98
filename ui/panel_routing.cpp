#include <optional>

#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/open_document.h"
#include "ui/save_document.h"

namespace bq {

void panelCommand(App& app, int controlId, int notifyCode) {
    switch (controlId) {
        case IDC_LOAD:
            openDocument(app, std::nullopt);
            break;
        case IDC_SAVE:
            saveDocument(app);
            break;
        case IDC_ADD:
            addBox(app);
            break;
        case IDC_DELETE:
            deleteBox(app);
            break;
        case IDC_PAYLOAD_LOAD:
            importBoxPayload(app);
            break;
        case IDC_PAYLOAD_SAVE:
            exportBoxPayload(app);
            break;
        case IDC_CONTENT:
            // The Win32 layer suppresses the EN_CHANGE that a program-set pane text causes,
            // so every change that arrives here was typed.
            if (notifyCode == kEnChange) {
                takePaneText(app);
            }
            break;
        default:
            break;
    }
}

void listKeyDown(App& app, int virtualKey) {
    if (virtualKey == kVkInsert) {
        addBox(app);
    } else if (virtualKey == kVkDelete) {
        deleteBox(app);
    }
}

void listItemChanged(App& app, int row, unsigned changedMask) {
    if ((changedMask & kLvifState) == 0 || row < 0) {
        return;
    }
    // Edits reach the selected row, so the pane shows that row whenever there is one: a
    // focus-only change of another row must not put that row's text where typing would
    // land in the selected box.
    const int selected = app.boxes().selectedRow();
    if (selected >= 0) {
        showBox(app, selected);
        return;
    }
    // With nothing selected no edit reaches any box: show the row, but read-only.
    showBox(app, row);
    if (app.boxes().boxAt(row) != nullptr) {
        app.platform().setReadOnly(IDC_CONTENT, true);
    }
}

}  // namespace bq
