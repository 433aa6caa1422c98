#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/box_list.h"

namespace bq {

// The document held in plain memory, behaving like a single-selection list view: rows
// inserted or deleted above the selection move it with its row, and deleting the selected
// row leaves nothing selected.
class MemoryBoxList : public BoxList {
  public:
    MemoryBoxList() = default;

    int rowCount() const override;
    Box* boxAt(int row) const override;
    int insertRow(int row, const RowTexts& texts) override;
    void setRowBox(int row, std::unique_ptr<Box> box) override;
    void deleteRow(int row) override;
    void deleteRows(int first, int count) override;
    void deleteAllRows() override;
    int selectedRow() const override { return selected_; }
    void selectRow(int row) override;
    // Nothing selected, as after opening; no notification, as a list view sends none for it.
    void clearSelection() { selected_ = -1; }
    std::string cellText(int row, int column) const override;
    int firstCodestreamRow() const override;
    void setSizeText(int row, std::string_view text) override;
    void repaintAll() override { ++repaintCount_; }

    int repaintCount() const { return repaintCount_; }

    // Called with the newly selected row whenever selectRow changes the selection, as the
    // list view notifies its owner of a state change.
    std::function<void(int row)> onSelectionChanged;

  private:
    using Text = std::shared_ptr<const std::string>;
    struct Row {
        Text id;
        Text description;
        std::string size;
        std::unique_ptr<Box> box;
    };

    // The text as a neighbour of row `at` already holds it, else a new copy: the rows of one
    // association, and associations nested past the shown depth, repeat their indented ID and
    // Description texts, which would otherwise cost memory per row times the depth.
    Text sharedText(int at, const std::string& text, Text Row::*column) const;

    bool hasRow(int row) const { return row >= 0 && row < rowCount(); }

    // Pointers, so that a row inserted near the top moves 8 bytes a row below it, not a Row.
    std::vector<std::unique_ptr<Row>> rows_;
    int selected_ = -1;
    int repaintCount_ = 0;
    // firstCodestreamRow's answer, kept in step by every change of the rows (a script adds
    // thousands of boxes before the codestream); kUnknown until it is asked again.
    static constexpr int kUnknown = -2;
    mutable int codestreamRow_ = kUnknown;
};

}  // namespace bq
