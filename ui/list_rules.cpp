#include "ui/list_rules.h"

namespace bq {

Colour rowTextColour(const BoxList& boxes, int row, Colour windowTextColour) {
    const Box* box = boxes.boxAt(row);
    return box != nullptr && box->isLocked() ? kLockedTextColour : windowTextColour;
}

}  // namespace bq
