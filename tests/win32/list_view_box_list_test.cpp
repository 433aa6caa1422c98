#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "tests/ui/box_list_suite.h"
#include "tests/ui/counted_box.h"
#include "tests/win32/test_list_view.h"
#include "ui/control_ids.h"
#include "ui/win32/list_view_box_list.h"

namespace bq::test {
namespace {

// The list-view document on a report list view of its own, in a hidden window.
class StandaloneListView final : public win32::ListViewBoxList {
  public:
    StandaloneListView() {
        parent_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        attachTestListView(*this, parent_);
    }
    ~StandaloneListView() override { DestroyWindow(parent_); }

    HWND parent() const { return parent_; }

  private:
    HWND parent_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(ListView, BoxListSuite,
                         testing::Values(BoxListSuiteFactory{
                             "ListView", [] { return std::make_unique<StandaloneListView>(); }}),
                         [](const auto& info) { return info.param.name; });

TEST(ListViewBoxList, DestroyingTheControlDestroysTheBoxesOfItsRows) {
    int destroyed = 0;
    StandaloneListView list;
    for (int i = 0; i < 3; ++i) {
        list.setRowBox(list.insertRow(kAppendRow, {"R", "D", "0"}),
                       std::make_unique<CountedBox>(0u, destroyed));
    }
    DestroyWindow(list.parent());
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(list.rowCount(), 0);
}

TEST(ListViewBoxList, SetsFullRowSelectAndKeepsTheStylesAlreadySet) {
    StandaloneListView list;
    SendMessageA(list.control(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);
    list.setup(list.control(), true, false, false, false);
    const auto style = SendMessageA(list.control(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_TRUE(style & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(style & LVS_EX_INFOTIP);
    EXPECT_TRUE(style & LVS_EX_GRIDLINES);  // from the first set-up
    EXPECT_FALSE(style & LVS_EX_CHECKBOXES);
}

TEST(ListViewBoxList, ARowsDataWordIsItsBoxAddress) {
    int destroyed = 0;
    StandaloneListView list;
    auto box = std::make_unique<CountedBox>(5u, destroyed);
    Box* address = box.get();
    list.setRowBox(list.insertRow(kAppendRow, {"R", "D", "5"}), std::move(box));
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = 0;
    ASSERT_TRUE(SendMessageA(list.control(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(reinterpret_cast<Box*>(item.lParam), address);
}

}  // namespace
}  // namespace bq::test
