#include <memory>
#include <string>
#include <utility>

#include "box/association_box.h"
#include "box/text_box.h"
#include "box/uuid_box.h"
#include "ui/commands.h"
#include "ui/control_ids.h"

namespace bq {

namespace {

struct Placement {
    int depth = 0;
    Box* parent = nullptr;
};

template <typename Kind, typename... Args>
std::unique_ptr<Box> makeBox(Placement at, Args&&... args) {
    auto box = std::make_unique<Kind>(std::forward<Args>(args)...);
    box->depth = at.depth;
    box->parent = at.parent;
    return box;
}

}  // namespace

// The GMLJP2 arrangement: an association holding the label "gml.data" and a nested
// association pairing the label "gml.root-instance" with an XML box.
int insertGmlSet(BoxList& boxes, int index, int depth, Box* parent, std::string_view xml) {
    const Placement at{depth, parent};
    auto outer = makeBox<AssociationBox>(at);
    Box* outerBox = outer.get();
    auto dataLabel = makeBox<LabelBox>({at.depth + 1, outerBox});
    dataLabel->setText("gml.data");
    auto inner = makeBox<AssociationBox>({at.depth + 1, outerBox});
    Box* innerBox = inner.get();
    auto rootLabel = makeBox<LabelBox>({at.depth + 2, innerBox});
    rootLabel->setText("gml.root-instance");
    auto xmlBox = makeBox<XmlBox>({at.depth + 2, innerBox});
    if (!xml.empty()) {
        xmlBox->setText(xml);
    }

    std::unique_ptr<Box> set[] = {std::move(outer), std::move(dataLabel), std::move(inner),
                                  std::move(rootLabel), std::move(xmlBox)};
    int row = -1;
    for (int i = 0; i < 5; ++i) {
        row = insertBoxRow(boxes, index + i, std::move(set[i]));
        if (row < 0) {
            return -1;
        }
    }
    return row;
}

int insertionIndex(App& app) {
    BoxList& boxes = app.boxes();
    const int selected = boxes.selectedRow();
    if (selected >= 0) {
        return selected;
    }
    const int codestream = boxes.firstCodestreamRow();
    return codestream >= 0 ? codestream - 1 : kAppendRow;
}

bool addBox(App& app) {
    BoxList& boxes = app.boxes();
    if (boxes.rowCount() == 0) {
        return false;
    }
    const int choice = app.platform().runAddDialog();

    const int reference = insertionIndex(app);
    Placement at;
    if (reference != kAppendRow) {
        if (Box* box = boxes.boxAt(reference); box != nullptr) {
            if (box->type == kTypeAsoc) {
                at = {box->depth + 1, box};
            } else {
                at = {box->depth, box->parent};
            }
        }
    }
    // Appending stays appending: 99999 + 1 still lands past the end.
    const int index = reference == kAppendRow ? kAppendRow : reference + 1;

    const int rowsBefore = boxes.rowCount();
    UndoStep step(app);
    int selectRow = -1;
    switch (choice) {
        case IDC_ADD_XML:
            selectRow = insertBoxRow(boxes, index, makeBox<XmlBox>(at));
            break;
        case IDC_ADD_GEOTIFF:
            selectRow = insertBoxRow(boxes, index, makeBox<UuidBox>(at, 0u, true));
            break;
        case IDC_ADD_ASSOCIATION:
            selectRow = insertBoxRow(boxes, index, makeBox<AssociationBox>(at));
            break;
        case IDC_ADD_LABEL:
            selectRow = insertBoxRow(boxes, index, makeBox<LabelBox>(at));
            break;
        case IDC_ADD_GML:
            selectRow = insertGmlSet(boxes, index, at.depth, at.parent);
            break;
        default:
            return false;
    }
    if (selectRow >= 0) {
        boxes.selectRow(selectRow);
    }
    // A GML set the list took only in part still changed the document.
    if (boxes.rowCount() == rowsBefore) {
        return false;
    }
    step.commit();
    app.markModified();
    return true;
}

}  // namespace bq
