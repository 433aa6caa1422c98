#include "ui/box_list.h"

#include <string>
#include <utility>

namespace bq {

int insertBoxRow(BoxList& boxes, int index, std::unique_ptr<Box> box) {
    const RowTexts texts{idText(*box), box->description(), std::to_string(box->payloadSize)};
    const int row = boxes.insertRow(index, texts);
    if (row >= 0) {
        boxes.setRowBox(row, std::move(box));
    }
    return row;
}

int BoxList::firstCodestreamRow() const {
    const int count = rowCount();
    for (int row = 0; row < count; ++row) {
        if (const Box* box = boxAt(row); box != nullptr && box->type == kTypeJp2c) {
            return row;
        }
    }
    return -1;
}

int nestedRowCount(const BoxList& boxes, int row) {
    const Box* box = boxes.boxAt(row);
    if (box == nullptr) {
        return 0;
    }
    int nested = 0;
    for (const Box* next = boxes.boxAt(row + 1); next != nullptr && next->depth > box->depth;
         next = boxes.boxAt(row + 1 + nested)) {
        ++nested;
    }
    return nested;
}

}  // namespace bq
