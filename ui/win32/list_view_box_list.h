#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ui/box_list.h"
#include "ui/win32/win32_handles.h"

namespace bq::win32 {

// The document held in the panel's report-style list view: each row's data word is the
// address of the Box it owns. Also paints the rows in alternating stripes, with a text
// colour per row.
class ListViewBoxList : public BoxList {
  public:
    ListViewBoxList() = default;
    ~ListViewBoxList() override;

    // Attaches to the control once; always true. Rows' boxes are destroyed with the control
    // at the latest, so a control destroyed with rows in it leaks nothing.
    bool setup(HWND control, bool zebra, bool gridlines, bool checkBoxes, bool headerDragDrop);
    // alignment: 0 left, 1 centre, 2 right. The control's answer: the new column's index.
    int addColumn(int index, int width, std::string_view caption, int alignment);
    HWND control() const { return control_; }
    // NM_CUSTOMDRAW from the control, as its parent receives it: the result to give back.
    LRESULT customDraw(NMLVCUSTOMDRAW& draw) const;

    // Chooses each row's text colour while painting; a slot may have no row.
    std::function<COLORREF(int row)> textColourCallback;

    int rowCount() const override;
    Box* boxAt(int row) const override;
    int insertRow(int row, const RowTexts& texts) override;
    void setRowBox(int row, std::unique_ptr<Box> box) override;
    void deleteRow(int row) override;
    void deleteRows(int first, int count) override;
    void deleteAllRows() override;
    int selectedRow() const override;
    void selectRow(int row) override;
    std::string cellText(int row, int column) const override;
    void setSizeText(int row, std::string_view text) override;
    void repaintAll() override;

  private:
    static LRESULT CALLBACK zebraProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT callPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paintRows();
    void eraseRows(HDC dc);
    // The top edge of slot `slot`, in client coordinates; slots past the last row lie one row
    // height apart below it.
    int slotTop(int slot) const;
    bool hasRow(int row) const { return row >= 0 && row < rowCount(); }
    void setCellText(int row, int column, std::string_view text);
    void detach();

    HWND control_ = nullptr;
    WNDPROC previous_ = nullptr;
    bool zebra_ = false;
};

}  // namespace bq::win32
