#include "ui/commands.h"
#include "ui/control_ids.h"

namespace bq {

bool deleteBox(App& app) {
    BoxList& boxes = app.boxes();
    const int row = boxes.selectedRow();
    const Box* box = boxes.boxAt(row);
    if (box == nullptr || box->isLocked()) {
        return false;
    }
    if (box->type == kTypeAsoc) {
        const int depth = box->depth;
        // The nested boxes are the rows right behind it with a greater depth. The question
        // follows those rows, not the size: an association's size is 0 from reading until
        // the next refresh, and its children must not go unasked in that window.
        const Box* first = boxes.boxAt(row + 1);
        const bool hasChildren = first != nullptr && first->depth > depth;
        if (hasChildren &&
            !app.platform().askYesNo(kConfirmationCaption, kDeleteChildrenQuestion)) {
            return false;
        }
        // Nested boxes go whether locked or not.
        for (const Box* next = boxes.boxAt(row + 1); next != nullptr && next->depth > depth;
             next = boxes.boxAt(row + 1)) {
            boxes.deleteRow(row + 1);
            boxes.repaintAll();
        }
    }
    boxes.deleteRow(row);
    boxes.repaintAll();

    const int count = boxes.rowCount();
    if (count > 0) {
        boxes.selectRow(row < count ? row : count - 1);
    } else {
        // Nothing left to show: the pane and the row buttons must not keep offering the
        // destroyed box.
        Platform& platform = app.platform();
        platform.setControlText(IDC_CONTENT, "");
        platform.setReadOnly(IDC_CONTENT, true);
        platform.enableControl(IDC_DELETE, false);
        platform.enableControl(IDC_PAYLOAD_LOAD, false);
        platform.enableControl(IDC_PAYLOAD_SAVE, false);
    }
    app.markModified();
    return true;
}

}  // namespace bq
