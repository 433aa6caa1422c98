#include "ui/win32/list_view_box_list.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "ui/list_rules.h"

namespace bq::win32 {
namespace {

Box* boxFromParam(LPARAM param) {
    return reinterpret_cast<Box*>(param);
}

}  // namespace

ListViewBoxList::~ListViewBoxList() {
    if (control_ != nullptr && IsWindow(control_)) {
        deleteAllRows();
        detach();
    }
}

bool ListViewBoxList::setup(HWND control, bool zebra, bool gridlines, bool checkBoxes,
                            bool headerDragDrop) {
    if (control_ != nullptr && control_ != control && IsWindow(control_)) {
        detach();
    }
    control_ = control;
    zebra_ = zebra;
    // The replacement procedure also destroys the rows' boxes with the control, so it is
    // installed whether or not the rows are striped. Unicode calls keep the control Unicode.
    if (previous_ == nullptr && control != nullptr) {
        SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        previous_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&zebraProc)));
    }
    DWORD style = static_cast<DWORD>(SendMessageA(control, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    if (gridlines) {
        style |= LVS_EX_GRIDLINES;
    }
    if (checkBoxes) {
        style |= LVS_EX_CHECKBOXES;
    }
    if (headerDragDrop) {
        style |= LVS_EX_HEADERDRAGDROP;
    }
    style |= LVS_EX_FULLROWSELECT;
    SendMessageA(control, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
    return true;
}

void ListViewBoxList::detach() {
    if (previous_ != nullptr) {
        SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        SetWindowLongPtrW(control_, GWLP_USERDATA, 0);
        previous_ = nullptr;
    }
    control_ = nullptr;
}

int ListViewBoxList::addColumn(int index, int width, std::string_view caption, int alignment) {
    std::string text(caption);
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = alignment == 2 ? LVCFMT_RIGHT : alignment == 1 ? LVCFMT_CENTER : LVCFMT_LEFT;
    column.cx = width;
    column.pszText = text.data();
    return static_cast<int>(SendMessageA(control_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                                         reinterpret_cast<LPARAM>(&column)));
}

int ListViewBoxList::rowCount() const {
    if (control_ == nullptr) {
        return 0;
    }
    return static_cast<int>(SendMessageA(control_, LVM_GETITEMCOUNT, 0, 0));
}

Box* ListViewBoxList::boxAt(int row) const {
    if (!hasRow(row)) {
        return nullptr;
    }
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(control_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
        return nullptr;
    }
    return boxFromParam(item.lParam);
}

int ListViewBoxList::insertRow(int row, const RowTexts& texts) {
    if (control_ == nullptr || row < 0) {
        return -1;
    }
    std::string id = texts.id;
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = std::min(row, rowCount());
    item.pszText = id.data();
    item.lParam = 0;  // no box until setRowBox
    const int landed = static_cast<int>(
        SendMessageA(control_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (landed < 0) {
        return -1;
    }
    setCellText(landed, 1, texts.description);
    setCellText(landed, 2, texts.size);
    return landed;
}

void ListViewBoxList::setCellText(int row, int column, std::string_view text) {
    std::string copy(text);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = copy.data();
    SendMessageA(control_, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

void ListViewBoxList::setRowBox(int row, std::unique_ptr<Box> box) {
    // A box meant for no row has no owner: it goes when `box` does.
    if (!hasRow(row)) {
        return;
    }
    std::unique_ptr<Box> previous(boxAt(row));
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = reinterpret_cast<LPARAM>(box.get());
    if (SendMessageA(control_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
        box.release();  // the row owns it now
    } else {
        previous.release();  // still the row's
    }
}

void ListViewBoxList::deleteRow(int row) {
    if (!hasRow(row)) {
        return;
    }
    std::unique_ptr<Box> box(boxAt(row));
    if (!SendMessageA(control_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0)) {
        box.release();  // the row is still there and keeps it
    }
}

void ListViewBoxList::deleteRows(int first, int count) {
    if (!hasRow(first) || count <= 0) {
        return;
    }
    const int last = first + std::min(count, rowCount() - first) - 1;
    // One redraw for the lot; from the end, so the rows still to go keep their indices.
    SendMessageA(control_, WM_SETREDRAW, FALSE, 0);
    for (int row = last; row >= first; --row) {
        deleteRow(row);
    }
    SendMessageA(control_, WM_SETREDRAW, TRUE, 0);
}

void ListViewBoxList::deleteAllRows() {
    if (control_ == nullptr) {
        return;
    }
    std::vector<std::unique_ptr<Box>> boxes;
    const int count = rowCount();
    boxes.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        boxes.emplace_back(boxAt(row));
    }
    SendMessageA(control_, LVM_DELETEALLITEMS, 0, 0);
    // Rows the control failed to delete keep their boxes.
    for (int row = 0; row < rowCount(); ++row) {
        if (Box* kept = boxAt(row)) {
            for (auto& box : boxes) {
                if (box.get() == kept) {
                    box.release();
                }
            }
        }
    }
}

int ListViewBoxList::selectedRow() const {
    if (control_ == nullptr) {
        return -1;
    }
    return static_cast<int>(
        SendMessageA(control_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListViewBoxList::selectRow(int row) {
    // Index -1 would address every row.
    if (!hasRow(row)) {
        return;
    }
    // Focused too, so that the arrow keys move on from the row selected (a new one, after
    // an add) and not from the row the user last clicked.
    LVITEMA item{};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(control_, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    SendMessageA(control_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

LRESULT ListViewBoxList::customDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            // Without the focus the control paints the selected row in the button face, which
            // the striped rows hide: the selection keeps the highlight colours throughout.
            // Cleared, the selected state no longer makes the control choose its own.
            if ((draw.nmcd.uItemState & CDIS_SELECTED) != 0) {
                draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED);
                draw.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
                draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
                return CDRF_NEWFONT;
            }
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
    }
}

std::string ListViewBoxList::cellText(int row, int column) const {
    if (!hasRow(row) || column < 0 || column > 2) {
        return {};
    }
    // The control copies at most the buffer less one; a full buffer may mean more waits.
    for (std::size_t size = 256; size <= (1u << 20); size *= 4) {
        std::string text(size, '\0');
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(size);
        const auto copied = static_cast<std::size_t>(SendMessageA(
            control_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (copied + 1 < size) {
            text.resize(copied);
            return text;
        }
    }
    return {};
}

void ListViewBoxList::setSizeText(int row, std::string_view text) {
    if (hasRow(row)) {
        setCellText(row, 2, text);
    }
}

void ListViewBoxList::repaintAll() {
    if (control_ != nullptr) {
        InvalidateRect(control_, nullptr, TRUE);
    }
}

LRESULT CALLBACK ListViewBoxList::zebraProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    auto* self = reinterpret_cast<ListViewBoxList*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->previous_ == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return self->handleMessage(window, message, wParam, lParam);
    } catch (...) {
        // Painting must not fail the whole program; the control paints itself plainly.
        return self->callPrevious(window, message, wParam, lParam);
    }
}

LRESULT ListViewBoxList::callPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(previous_, window, message, wParam, lParam);
}

LRESULT ListViewBoxList::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            if (zebra_) {
                paintRows();
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            if (zebra_) {
                eraseRows(reinterpret_cast<HDC>(wParam));
                return 0;
            }
            break;
        case WM_DESTROY: {
            // The rows vanish with the control: their boxes go with them.
            deleteAllRows();
            const WNDPROC previous = previous_;
            detach();
            return CallWindowProcW(previous, window, message, wParam, lParam);
        }
        default:
            break;
    }
    return callPrevious(window, message, wParam, lParam);
}

int ListViewBoxList::slotTop(int slot) const {
    const int count = rowCount();
    POINT position{};
    if (slot < count) {
        SendMessageA(control_, LVM_GETITEMPOSITION, static_cast<WPARAM>(slot),
                     reinterpret_cast<LPARAM>(&position));
        return position.y;
    }
    // The control knows no position past its last row; rows are equally high.
    RECT last{};
    last.left = LVIR_BOUNDS;
    SendMessageA(control_, LVM_GETITEMRECT, static_cast<WPARAM>(count - 1),
                 reinterpret_cast<LPARAM>(&last));
    return last.bottom + (slot - count) * (last.bottom - last.top);
}

void ListViewBoxList::paintRows() {
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    RECT update{};
    GetUpdateRect(control_, &update, FALSE);
    callPrevious(control_, WM_PAINT, 0, 0);
    if (rowCount() == 0) {
        return;
    }
    const int perPage = static_cast<int>(SendMessageA(control_, LVM_GETCOUNTPERPAGE, 0, 0));
    const int top = static_cast<int>(SendMessageA(control_, LVM_GETTOPINDEX, 0, 0));
    for (int slot = top; slot <= top + perPage + 1; ++slot) {
        if (textColourCallback) {
            SendMessageA(control_, LVM_SETTEXTCOLOR, 0,
                         static_cast<LPARAM>(textColourCallback(slot)));
        }
        const RECT band{update.left, slotTop(slot), update.right, slotTop(slot + 1)};
        RECT overlap{};
        if (IntersectRect(&overlap, &band, &update)) {
            SendMessageA(control_, LVM_SETTEXTBKCOLOR, 0,
                         static_cast<LPARAM>(rowBackgroundColour(slot, window)));
            InvalidateRect(control_, &overlap, FALSE);
            callPrevious(control_, WM_PAINT, 0, 0);
        }
    }
}

void ListViewBoxList::eraseRows(HDC dc) {
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    RECT client{};
    GetClientRect(control_, &client);
    if (rowCount() == 0) {
        const UniqueBrush brush(CreateSolidBrush(window));
        FillRect(dc, &client, brush.get());
        return;
    }
    const int perPage = static_cast<int>(SendMessageA(control_, LVM_GETCOUNTPERPAGE, 0, 0));
    const int top = static_cast<int>(SendMessageA(control_, LVM_GETTOPINDEX, 0, 0));
    for (int slot = top; slot <= top + perPage + 1; ++slot) {
        const RECT band{client.left, slotTop(slot), client.right, slotTop(slot + 1)};
        const UniqueBrush brush(CreateSolidBrush(rowBackgroundColour(slot, window)));
        FillRect(dc, &band, brush.get());
    }
}

}  // namespace bq::win32
