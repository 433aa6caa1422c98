#include "ui/memory_box_list.h"

#include <algorithm>
#include <new>
#include <utility>

namespace bq {

int MemoryBoxList::rowCount() const {
    return static_cast<int>(rows_.size());
}

Box* MemoryBoxList::boxAt(int row) const {
    return hasRow(row) ? rows_[static_cast<std::size_t>(row)]->box.get() : nullptr;
}

int MemoryBoxList::insertRow(int row, const RowTexts& texts) {
    if (row < 0) {
        return -1;
    }
    const int at = row >= rowCount() ? rowCount() : row;
    try {
        auto fresh = std::make_unique<Row>(Row{sharedText(at, texts.id, &Row::id),
                                               sharedText(at, texts.description, &Row::description),
                                               texts.size, nullptr});
        rows_.insert(rows_.begin() + at, std::move(fresh));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    if (selected_ >= at) {
        ++selected_;
    }
    if (codestreamRow_ >= at) {
        ++codestreamRow_;  // the new row has no box yet: it is no codestream
    }
    return at;
}

MemoryBoxList::Text MemoryBoxList::sharedText(int at, const std::string& text,
                                              Text Row::*column) const {
    for (const int neighbour : {at - 1, at}) {
        if (hasRow(neighbour)) {
            const Text& held = (*rows_[static_cast<std::size_t>(neighbour)]).*column;
            if (*held == text) {
                return held;
            }
        }
    }
    return std::make_shared<const std::string>(text);
}

void MemoryBoxList::setRowBox(int row, std::unique_ptr<Box> box) {
    // A box meant for no row has no owner left: it goes at once.
    if (hasRow(row)) {
        if (row == codestreamRow_) {
            codestreamRow_ = kUnknown;
        } else if (box != nullptr && box->type == kTypeJp2c &&
                   (codestreamRow_ == -1 || row < codestreamRow_)) {
            codestreamRow_ = row;
        }
        rows_[static_cast<std::size_t>(row)]->box = std::move(box);
    }
}

void MemoryBoxList::deleteRow(int row) {
    deleteRows(row, 1);
}

void MemoryBoxList::deleteRows(int first, int count) {
    if (!hasRow(first) || count <= 0) {
        return;
    }
    const int removed = std::min(count, rowCount() - first);
    rows_.erase(rows_.begin() + first, rows_.begin() + first + removed);
    if (codestreamRow_ >= first + removed) {
        codestreamRow_ -= removed;
    } else if (codestreamRow_ >= first) {
        codestreamRow_ = kUnknown;
    }
    if (selected_ >= first + removed) {
        selected_ -= removed;
    } else if (selected_ >= first) {
        selected_ = -1;
    }
}

void MemoryBoxList::deleteAllRows() {
    rows_.clear();
    selected_ = -1;
    codestreamRow_ = -1;
}

void MemoryBoxList::selectRow(int row) {
    if (!hasRow(row) || selected_ == row) {
        return;
    }
    selected_ = row;
    if (onSelectionChanged) {
        onSelectionChanged(row);
    }
}

std::string MemoryBoxList::cellText(int row, int column) const {
    if (!hasRow(row)) {
        return {};
    }
    const Row& cells = *rows_[static_cast<std::size_t>(row)];
    switch (column) {
        case 0:
            return *cells.id;
        case 1:
            return *cells.description;
        case 2:
            return cells.size;
        default:
            return {};
    }
}

int MemoryBoxList::firstCodestreamRow() const {
    if (codestreamRow_ == kUnknown) {
        codestreamRow_ = BoxList::firstCodestreamRow();
    }
    return codestreamRow_;
}

void MemoryBoxList::setSizeText(int row, std::string_view text) {
    if (hasRow(row)) {
        rows_[static_cast<std::size_t>(row)]->size = std::string(text);
    }
}

}  // namespace bq
