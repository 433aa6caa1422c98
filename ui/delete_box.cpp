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
    // The question follows the nested rows, not the size, so children never go unasked.
    const int nested = box->type == kTypeAsoc ? nestedRowCount(boxes, row) : 0;
    if (nested > 0 && !app.platform().askYesNo(kConfirmationCaption, kDeleteChildrenQuestion)) {
        return false;
    }
    // Nested boxes go whether locked or not, all at once: one row at a time would cost each
    // remaining row a move per deletion.
    UndoStep step(app);
    boxes.deleteRows(row, nested + 1);
    app.boxesDestroyed();
    step.commit();
    boxes.repaintAll();

    const int count = boxes.rowCount();
    if (count > 0) {
        boxes.selectRow(row < count ? row : count - 1);
    } else {
        // Nothing left to show: the pane and the row buttons must not keep offering the
        // destroyed box.
        showNoBox(app);
    }
    app.markModified();
    return true;
}

}  // namespace bq
