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

TEST(MemoryBoxList, KeptCodestreamRowMatchesAScanThroughInsertsReplacementsAndDeletes) {
    MemoryBoxList list;
    std::uint32_t seed = 7;
    for (int step = 0; step < 2000; ++step) {
        seed = seed * 1103515245u + 12345u;
        const int count = list.rowCount();
        const int row =
            count == 0 ? 0 : static_cast<int>((seed >> 8) % static_cast<unsigned>(count));
        const std::uint32_t type = (seed >> 20) % 3 == 0 ? kTypeJp2c : fourCC("test");
        switch ((seed >> 16) % 5) {
            case 0:
            case 1:
                list.setRowBox(list.insertRow(row, {}), std::make_unique<GenericBox>(0, type));
                break;
            case 2:
                list.setRowBox(row, std::make_unique<GenericBox>(0, type));
                break;
            case 3:
                list.deleteRows(row, static_cast<int>((seed >> 24) % 3));
                break;
            default:
                list.firstCodestreamRow();  // the answer kept, not worked out afresh
                break;
        }
        ASSERT_EQ(list.firstCodestreamRow(), list.BoxList::firstCodestreamRow()) << step;
    }
}

TEST(MemoryBoxList, RepaintsAreCounted) {
    MemoryBoxList list;
    list.repaintAll();
    list.repaintAll();
    EXPECT_EQ(list.repaintCount(), 2);
}

}  // namespace
}  // namespace bq::test
