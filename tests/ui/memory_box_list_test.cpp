#include "ui/memory_box_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/ui/box_list_suite.h"

namespace bq::test {
namespace {

INSTANTIATE_TEST_SUITE_P(Memory, BoxListSuite,
                         testing::Values(BoxListSuiteFactory{
                             "Memory", [] { return std::make_unique<MemoryBoxList>(); }}),
                         [](const auto& info) { return info.param.name; });

TEST(MemoryBoxList, SelectingReportsEachChangeOnce) {
    MemoryBoxList list;
    for (int i = 0; i < 3; ++i) {
        list.insertRow(kAppendRow, {});
    }
    std::vector<int> reported;
    list.onSelectionChanged = [&](int row) { reported.push_back(row); };
    list.selectRow(1);
    list.selectRow(1);
    list.selectRow(7);
    list.selectRow(-1);
    list.selectRow(2);
    EXPECT_EQ(reported, (std::vector<int>{1, 2}));
    EXPECT_EQ(list.selectedRow(), 2);
}

TEST(MemoryBoxList, InsertAtANegativeIndexFailsAndItsBoxGoesToNoRow) {
    MemoryBoxList list;
    int destroyed = 0;
    const int row = list.insertRow(-1, {"x", "", ""});
    EXPECT_EQ(row, -1);
    list.setRowBox(row, std::make_unique<CountedBox>(1, destroyed));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(list.rowCount(), 0);
}

TEST(MemoryBoxList, RepaintsAreCounted) {
    MemoryBoxList list;
    list.repaintAll();
    list.repaintAll();
    EXPECT_EQ(list.repaintCount(), 2);
}

}  // namespace
}  // namespace bq::test
