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

}  // namespace bq
