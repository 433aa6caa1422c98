#pragma once
// The behaviour every BoxList must show, whatever holds the rows. Instantiate it with a
// factory for the implementation under test:
//
//   INSTANTIATE_TEST_SUITE_P(Memory, BoxListSuite,
//       testing::Values(BoxListSuiteFactory{"Memory", [] { return std::make_unique<...>(); }}),
//       [](const auto& info) { return info.param.name; });

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "box/box.h"
#include "tests/ui/counted_box.h"
#include "ui/box_list.h"

namespace bq::test {

struct BoxListSuiteFactory {
    std::string name;
    std::function<std::unique_ptr<BoxList>()> make;
};

inline void PrintTo(const BoxListSuiteFactory& factory, std::ostream* out) {
    *out << factory.name;
}

class BoxListSuite : public testing::TestWithParam<BoxListSuiteFactory> {
  protected:
    void SetUp() override {
        list_ = GetParam().make();
        ASSERT_NE(list_, nullptr);
    }

    static std::string numbered(char prefix, int i) {
        std::string text(1, prefix);
        text += std::to_string(i);
        return text;
    }
    // Appends rows named "R0", "R1", ... each owning a CountedBox whose size is its index.
    void appendRows(int count) {
        for (int i = 0; i < count; ++i) {
            const int row = list_->insertRow(
                kAppendRow, {numbered('R', i), numbered('D', i), std::to_string(i)});
            ASSERT_EQ(row, i);
            list_->setRowBox(
                row, std::make_unique<CountedBox>(static_cast<std::uint32_t>(i), destroyed_));
        }
    }
    std::vector<std::string> ids() const {
        std::vector<std::string> texts;
        for (int row = 0; row < list_->rowCount(); ++row) {
            texts.push_back(list_->cellText(row, 0));
        }
        return texts;
    }

    std::unique_ptr<BoxList> list_;
    int destroyed_ = 0;
};

TEST_P(BoxListSuite, NewListIsEmptyWithNothingSelected) {
    EXPECT_EQ(list_->rowCount(), 0);
    EXPECT_EQ(list_->selectedRow(), -1);
    EXPECT_EQ(list_->boxAt(0), nullptr);
    EXPECT_EQ(list_->cellText(0, 0), "");
}

TEST_P(BoxListSuite, InsertLandsWhereAskedOrAppendsAtAndBeyondTheEnd) {
    struct Case {
        int index;
        int landsAt;
        std::vector<std::string> order;
    };
    const Case cases[] = {
        {kAppendRow, 3, {"R0", "R1", "R2", "new"}}, {3, 3, {"R0", "R1", "R2", "new"}},
        {5, 3, {"R0", "R1", "R2", "new"}},          {1, 1, {"R0", "new", "R1", "R2"}},
        {0, 0, {"new", "R0", "R1", "R2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        list_ = GetParam().make();
        appendRows(3);
        EXPECT_EQ(list_->insertRow(c.index, {"new", "desc", "7"}), c.landsAt);
        EXPECT_EQ(ids(), c.order);
        EXPECT_EQ(list_->cellText(c.landsAt, 1), "desc");
        EXPECT_EQ(list_->sizeText(c.landsAt), "7");
    }
}

TEST_P(BoxListSuite, BoxesMoveWithTheirRows) {
    appendRows(3);
    Box* second = list_->boxAt(1);
    Box* third = list_->boxAt(2);
    const int row = list_->insertRow(1, {"new", "", "0"});
    list_->setRowBox(row, std::make_unique<CountedBox>(99, destroyed_));
    EXPECT_EQ(list_->boxAt(1)->payloadSize, 99u);
    EXPECT_EQ(list_->boxAt(2), second);
    EXPECT_EQ(list_->boxAt(3), third);
    EXPECT_EQ(list_->boxAt(4), nullptr);
    EXPECT_EQ(list_->boxAt(-1), nullptr);
}

TEST_P(BoxListSuite, DeletingARowDestroysItsBoxAndClosesTheGap) {
    appendRows(3);
    Box* last = list_->boxAt(2);
    list_->deleteRow(1);
    EXPECT_EQ(destroyed_, 1);
    EXPECT_EQ(ids(), (std::vector<std::string>{"R0", "R2"}));
    EXPECT_EQ(list_->boxAt(1), last);
}

TEST_P(BoxListSuite, DeletingRowsRemovesARunAndTheSelectionMovesAsForOneRow) {
    struct Case {
        int first;
        int count;
        int selected;
        std::vector<std::string> left;
        int selectedAfter;
    };
    const Case cases[] = {
        {1, 2, 4, {"R0", "R3", "R4"}, 2},
        {1, 2, 2, {"R0", "R3", "R4"}, -1},
        {1, 2, 0, {"R0", "R3", "R4"}, 0},
        {3, 0x7FFFFFFF, 0, {"R0", "R1", "R2"}, 0},
        {5, 1, 4, {"R0", "R1", "R2", "R3", "R4"}, 4},
        {-1, 2, 4, {"R0", "R1", "R2", "R3", "R4"}, 4},
        {1, 0, 4, {"R0", "R1", "R2", "R3", "R4"}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << " + " << c.count);
        list_ = GetParam().make();
        destroyed_ = 0;
        appendRows(5);
        list_->selectRow(c.selected);
        list_->deleteRows(c.first, c.count);
        EXPECT_EQ(ids(), c.left);
        EXPECT_EQ(destroyed_, 5 - static_cast<int>(c.left.size()));
        EXPECT_EQ(list_->selectedRow(), c.selectedAfter);
    }
}

TEST_P(BoxListSuite, DeletingAllRowsDestroysEveryBox) {
    appendRows(4);
    list_->selectRow(2);
    list_->deleteAllRows();
    EXPECT_EQ(destroyed_, 4);
    EXPECT_EQ(list_->rowCount(), 0);
    EXPECT_EQ(list_->selectedRow(), -1);
}

TEST_P(BoxListSuite, ReplacingARowsBoxDestroysTheOldOne) {
    appendRows(2);
    list_->setRowBox(0, nullptr);
    EXPECT_EQ(destroyed_, 1);
    EXPECT_EQ(list_->boxAt(0), nullptr);
    EXPECT_EQ(list_->rowCount(), 2);
}

TEST_P(BoxListSuite, SingleSelectionFollowsItsRow) {
    struct Case {
        const char* what;
        std::function<void(BoxList&)> act;
        int selectedAfter;
    };
    const Case cases[] = {
        {"nothing", [](BoxList&) {}, 2},
        {"select another", [](BoxList& l) { l.selectRow(0); }, 0},
        {"insert above",
         [](BoxList& l) {
             l.insertRow(1, {"x", "", ""});
         },
         3},
        {"insert at the selection",
         [](BoxList& l) {
             l.insertRow(2, {"x", "", ""});
         },
         3},
        {"insert below",
         [](BoxList& l) {
             l.insertRow(3, {"x", "", ""});
         },
         2},
        {"append",
         [](BoxList& l) {
             l.insertRow(kAppendRow, {"x", "", ""});
         },
         2},
        {"delete above", [](BoxList& l) { l.deleteRow(0); }, 1},
        {"delete the selected", [](BoxList& l) { l.deleteRow(2); }, -1},
        {"delete below", [](BoxList& l) { l.deleteRow(3); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        list_ = GetParam().make();
        appendRows(4);
        EXPECT_EQ(list_->selectedRow(), -1);
        list_->selectRow(2);
        ASSERT_EQ(list_->selectedRow(), 2);
        c.act(*list_);
        EXPECT_EQ(list_->selectedRow(), c.selectedAfter);
    }
}

TEST_P(BoxListSuite, SizeTextIsTheThirdColumn) {
    appendRows(2);
    list_->setSizeText(1, "157");
    EXPECT_EQ(list_->sizeText(1), "157");
    EXPECT_EQ(list_->cellText(1, 2), "157");
    EXPECT_EQ(list_->cellText(1, 0), "R1");
    EXPECT_EQ(list_->sizeText(0), "0");
}

}  // namespace bq::test
