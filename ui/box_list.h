#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "box/box.h"

namespace bq {

// Inserting at this index (or any index at or beyond the row count) appends.
constexpr int kAppendRow = 99999;

struct RowTexts {
    std::string id;
    std::string description;
    std::string size;
};

// The document: ordered rows in file order, each owning its Box, with the ID, Description
// and Size texts. Implemented in memory (tests, command line) and over the Win32 list view.
class BoxList {
  public:
    BoxList() = default;
    BoxList(const BoxList&) = delete;
    BoxList& operator=(const BoxList&) = delete;
    virtual ~BoxList() = default;

    virtual int rowCount() const = 0;
    // The row's box, or none when no row has that index.
    virtual Box* boxAt(int row) const = 0;
    // Returns the index the row landed at, -1 on failure. Rows from there move down by one.
    virtual int insertRow(int row, const RowTexts& texts) = 0;
    // The row takes ownership of the box.
    virtual void setRowBox(int row, std::unique_ptr<Box> box) = 0;
    // Removes the row and destroys its box.
    virtual void deleteRow(int row) = 0;
    // Removes `count` rows from `first` on and destroys their boxes; rows past the end are
    // ignored. Nothing when `first` is no row.
    virtual void deleteRows(int first, int count) = 0;
    // Removes every row and destroys every box.
    virtual void deleteAllRows() = 0;
    // The first selected row, -1 when none.
    virtual int selectedRow() const = 0;
    // Selects the row (single selection: any other row is deselected). A list view reports
    // the change to its owner, which shows the row's box.
    virtual void selectRow(int row) = 0;
    // Column 0 (ID), 1 (Description) or 2 (Size) of a row; empty when there is no such row.
    virtual std::string cellText(int row, int column) const = 0;
    // The first row holding a codestream box, -1 when none. Add places new boxes before it,
    // so a list that keeps it at hand saves a scan per added box.
    virtual int firstCodestreamRow() const;
    std::string sizeText(int row) const { return cellText(row, 2); }
    virtual void setSizeText(int row, std::string_view text) = 0;
    virtual void repaintAll() = 0;
};

// Puts a box into a new row at `index` (kAppendRow appends) with the texts the box shows as
// it stands, and hands the row the box. Returns the row, or -1 when the list refused it (the
// box is then destroyed).
int insertBoxRow(BoxList& boxes, int index, std::unique_ptr<Box> box);

// How many rows are nested in the box of `row`: the rows right behind it with a greater depth.
// The rows, not the size, since an association's size is 0 from reading until the next refresh.
int nestedRowCount(const BoxList& boxes, int row);

}  // namespace bq
