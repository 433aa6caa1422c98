#include "ui/list_rules.h"

#include <gtest/gtest.h>

#include <memory>

#include "box/association_box.h"
#include "ui/memory_box_list.h"

namespace bq::test {
namespace {

TEST(ListRules, ShadeScalesEachChannelOnItsOwnTruncating) {
    EXPECT_EQ(shade(makeColour(255, 255, 255), 96), makeColour(244, 244, 244));
    EXPECT_EQ(shade(makeColour(255, 100, 1), 96), makeColour(244, 96, 0));
    EXPECT_EQ(shade(makeColour(10, 20, 30), 100), makeColour(10, 20, 30));
    EXPECT_EQ(shade(makeColour(10, 20, 30), 0), makeColour(0, 0, 0));
}

TEST(ListRules, StripesFollowTheAbsoluteRowIndex) {
    const Colour white = makeColour(255, 255, 255);
    const Colour shaded = makeColour(244, 244, 244);
    EXPECT_EQ(rowBackgroundColour(0, white), white);
    EXPECT_EQ(rowBackgroundColour(1, white), shaded);
    EXPECT_EQ(rowBackgroundColour(2, white), white);
    EXPECT_EQ(rowBackgroundColour(10001, white), shaded);
}

TEST(ListRules, LockedBoxesGetGreyBlueTextAndEverythingElseTheWindowText) {
    MemoryBoxList boxes;
    boxes.setRowBox(boxes.insertRow(kAppendRow, {}), std::make_unique<GenericBox>(4, kTypeJp2h));
    boxes.setRowBox(boxes.insertRow(kAppendRow, {}), std::make_unique<AssociationBox>());
    boxes.insertRow(kAppendRow, {});  // a row that lost its box
    const Colour windowText = makeColour(1, 2, 3);
    EXPECT_EQ(rowTextColour(boxes, 0, windowText), kLockedTextColour);
    EXPECT_EQ(rowTextColour(boxes, 1, windowText), windowText);
    EXPECT_EQ(rowTextColour(boxes, 2, windowText), windowText);
    EXPECT_EQ(rowTextColour(boxes, 3, windowText), windowText);
    EXPECT_EQ(rowTextColour(boxes, -1, windowText), windowText);
}

TEST(ListRules, ColumnWidthsScaleWithTheScreenDpi) {
    struct Case {
        int dpi;
        int widths[3];
    };
    for (const Case& c :
         {Case{96, {52, 113, 57}}, Case{120, {65, 141, 71}}, Case{144, {78, 169, 85}}}) {
        SCOPED_TRACE(c.dpi);
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(columnWidth(column, c.dpi), c.widths[column]);
        }
    }
    EXPECT_EQ(columnWidth(3, 96), 0);
}

}  // namespace
}  // namespace bq::test
