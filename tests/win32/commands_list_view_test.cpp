// The editing commands' suite against the list-view document, with the control's own
// state-change notifications reaching the commands as they reach the panel.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <utility>

#include "tests/ui/commands_fixture.h"
#include "tests/win32/test_list_view.h"
#include "ui/control_ids.h"
#include "ui/win32/list_view_box_list.h"

namespace bq::test {
namespace {

constexpr char kParentClass[] = "BoxquillCommandsTestParent";

// A hidden top-level window that hands its list's LVN_ITEMCHANGED notifications on.
LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        auto* notify =
            reinterpret_cast<std::function<void(int)>*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (notify != nullptr && header->idFrom == IDC_LIST && header->code == LVN_ITEMCHANGED) {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if ((change->uChanged & LVIF_STATE) != 0) {
                (*notify)(change->iItem);
            }
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class NotifyingListView final : public win32::ListViewBoxList {
  public:
    explicit NotifyingListView(std::function<void(int)> notify) : notify_(std::move(notify)) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = parentProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kParentClass;
        RegisterClassA(&windowClass);  // fails harmlessly once it is registered
        parent_ = CreateWindowExA(0, kParentClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(parent_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&notify_));
        attachTestListView(*this, parent_);
    }
    ~NotifyingListView() override {
        // The rows go with the control; their notifications must not reach a test that is
        // being torn down.
        SetWindowLongPtrA(parent_, GWLP_USERDATA, 0);
        DestroyWindow(parent_);
    }

  private:
    std::function<void(int)> notify_;
    HWND parent_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(ListView, CommandsTest,
                         testing::Values(NamedBoxListFactory{
                             "ListView",
                             [](std::function<void(int)> notify) {
                                 return std::make_unique<NotifyingListView>(std::move(notify));
                             }}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace bq::test
