#include "ui/win32/check_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "stream/utf8_path.h"
#include "ui/control_ids.h"
#include "ui/win32/clipboard.h"
#include "ui/win32/dialog.h"

namespace bq::win32 {
namespace {

struct Column {
    const wchar_t* caption;
    std::string CheckLine::*text;
};

// The message last: the one text of any length, it can run on past the list's right edge.
constexpr Column kColumns[] = {
    {L"Severity", &CheckLine::severity},
    {L"Test", &CheckLine::test},
    {L"Box", &CheckLine::place},
    {L"Message", &CheckLine::message},
};

class CheckDialog final : public Dialog {
  public:
    explicit CheckDialog(const CheckView& view) : view_(view) {}

    int chosenRow() const { return chosen_; }

  private:
    HWND list() const { return item(IDC_CHECK_LIST); }

    int selectedLine() const {
        return static_cast<int>(
            SendMessageW(list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }

    // Ends the dialog on the finding's row; a finding that leads nowhere keeps it open.
    void goTo(int line) {
        if (line < 0 || line >= static_cast<int>(view_.lines.size())) {
            return;
        }
        const int row = view_.lines[static_cast<std::size_t>(line)].row;
        if (row >= 0) {
            chosen_ = row;
            end(IDOK);
        }
    }

    void fillList() {
        const HWND control = list();
        SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                     LVS_EX_FULLROWSELECT);
        int index = 0;
        for (const Column& column : kColumns) {
            LVCOLUMNW heading{};
            heading.mask = LVCF_TEXT | LVCF_SUBITEM;
            heading.pszText = const_cast<wchar_t*>(column.caption);
            heading.iSubItem = index;
            SendMessageW(control, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(&heading));
            ++index;
        }
        int row = 0;
        for (const CheckLine& line : view_.lines) {
            std::wstring text = widen(line.*kColumns[0].text);
            LVITEMW entry{};
            entry.mask = LVIF_TEXT;
            entry.iItem = row;
            entry.pszText = text.data();
            const auto at = static_cast<int>(
                SendMessageW(control, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
            for (int column = 1; at >= 0 && column < static_cast<int>(std::size(kColumns));
                 ++column) {
                text = widen(line.*kColumns[column].text);
                entry.iSubItem = column;
                entry.pszText = text.data();
                SendMessageW(control, LVM_SETITEMTEXTW, static_cast<WPARAM>(at),
                             reinterpret_cast<LPARAM>(&entry));
            }
            ++row;
        }
        fitColumns();
    }

    // Each column as wide as its widest text or its caption, measured in the list's own font
    // (so at any DPI); the last one also fills what is left of the list.
    void fitColumns() {
        const HWND control = list();
        RECT margin{0, 0, 12, 0};  // the header's padding about a caption, in dialog units
        MapDialogRect(window(), &margin);
        RECT client{};
        GetClientRect(control, &client);
        int used = 0;
        const int last = static_cast<int>(std::size(kColumns)) - 1;
        for (int column = 0; column <= last; ++column) {
            const auto index = static_cast<WPARAM>(column);
            SendMessageW(control, LVM_SETCOLUMNWIDTH, index, LVSCW_AUTOSIZE);
            const auto caption =
                reinterpret_cast<LPARAM>(kColumns[static_cast<std::size_t>(column)].caption);
            int width =
                std::max(static_cast<int>(SendMessageW(control, LVM_GETCOLUMNWIDTH, index, 0)),
                         static_cast<int>(SendMessageW(control, LVM_GETSTRINGWIDTHW, 0, caption)) +
                             static_cast<int>(margin.right));
            if (column == last) {
                width = std::max(width, static_cast<int>(client.right) - used);
            }
            SendMessageW(control, LVM_SETCOLUMNWIDTH, index, MAKELPARAM(width, 0));
            used += width;
        }
    }

    bool onInit() override {
        std::string notes;
        for (const std::string& note : view_.notes) {
            notes += (notes.empty() ? "" : "\r\n") + note;
        }
        SetWindowTextW(item(IDC_CHECK_NOTES), widen(notes).c_str());
        fillList();
        // The first finding selected and the list focused, so Enter goes to it at once.
        LVITEMW state{};
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
        SetFocus(view_.lines.empty() ? item(IDCANCEL) : list());
        return false;
    }

    bool onCommand(int id, int /*code*/) override {
        // The dialog has no default button, so Enter in the list comes as IDOK.
        if (id == IDOK) {
            if (GetFocus() == list()) {
                goTo(selectedLine());
            }
            return true;
        }
        if (id == IDCANCEL) {
            end(IDCANCEL);
            return true;
        }
        return false;
    }

    INT_PTR onMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam) override {
        if (message != WM_NOTIFY) {
            return FALSE;
        }
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (header.idFrom != IDC_CHECK_LIST) {
            return FALSE;
        }
        if (header.code == NM_DBLCLK) {
            goTo(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem);
            return TRUE;
        }
        if (header.code == LVN_KEYDOWN) {
            const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
            if (control && reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == 'C') {
                if (!copyTextToClipboard(window(), view_.copyText)) {
                    reportFailure("Couldn't copy the findings to the clipboard.");
                }
            }
            return TRUE;
        }
        return FALSE;
    }

    const CheckView& view_;
    int chosen_ = -1;
};

}  // namespace

int runCheckDialog(HINSTANCE instance, HWND owner, const CheckView& view) {
    CheckDialog dialog(view);
    dialog.runModal(instance, IDD_CHECK, owner);
    return dialog.chosenRow();
}

}  // namespace bq::win32
