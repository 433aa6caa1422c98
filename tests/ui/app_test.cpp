#include "ui/app.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "box/text_box.h"
#include "tests/ui/counted_box.h"
#include "tests/ui/scripted_platform.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/memory_box_list.h"

namespace bq::test {
namespace {

using Kind = PlatformCall::Kind;

TEST(AppText, TitleNamesTheModifiedStateAndBuild) {
    EXPECT_EQ(buildTitle(false), "Boxquill v1.1.363");
    EXPECT_EQ(buildTitle(true), "Boxquill* v1.1.363");
}

TEST(AppText, ErrorTextWrapsTheMessageAndCutsItAt500Characters) {
    EXPECT_EQ(formatErrorText("Couldn't create file!"), "\nCouldn't create file! \n\n");
    EXPECT_EQ(formatErrorText(""), "\n \n\n");
    const std::string longMessage = std::string(499, 'a') + "bc" + std::string(100, 'd');
    EXPECT_EQ(formatErrorText(longMessage), "\n" + std::string(499, 'a') + "b \n\n");
}

class AppTest : public testing::Test {
  protected:
    ScriptedPlatform platform;
    MemoryBoxList boxes;
    App app{platform, boxes};
};

TEST_F(AppTest, StartsPlainAndUnmodifiedWithoutTouchingThePlatform) {
    EXPECT_FALSE(app.modified());
    EXPECT_EQ(app.title(), "Boxquill v1.1.363");
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(AppTest, ShowErrorUsesTheErrorCaptionAndAnswersFalse) {
    EXPECT_FALSE(app.showError("Couldn't open the file"));
    ASSERT_EQ(platform.calls.size(), 1u);
    EXPECT_EQ(platform.calls[0].kind, Kind::ShowErrorBox);
    EXPECT_EQ(platform.calls[0].caption, "Boxquill - Error!");
    EXPECT_EQ(platform.calls[0].text, "\nCouldn't open the file \n\n");
}

TEST_F(AppTest, ResetDocumentRunsItsStepsInOrderAndDestroysEveryBox) {
    int destroyed = 0;
    for (int i = 0; i < 3; ++i) {
        boxes.setRowBox(boxes.insertRow(kAppendRow, {"A", "B", "1"}),
                        std::make_unique<CountedBox>(1, destroyed));
    }
    app.markModified();
    platform.enableControl(IDC_PAYLOAD_LOAD, true);
    platform.enableControl(IDC_PAYLOAD_SAVE, true);
    platform.clearCalls();

    app.resetDocument();

    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(boxes.rowCount(), 0);
    EXPECT_FALSE(app.modified());
    EXPECT_EQ(app.title(), "Boxquill v1.1.363");
    const std::vector<std::pair<Kind, int>> expected = {
        {Kind::EnableControl, IDC_SAVE},   {Kind::SetTitle, 0},
        {Kind::SetControlText, IDC_PATH},  {Kind::SetControlText, IDC_CONTENT},
        {Kind::SetReadOnly, IDC_CONTENT},  {Kind::EnableControl, IDC_ADD},
        {Kind::EnableControl, IDC_DELETE},
    };
    ASSERT_EQ(platform.calls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(platform.calls[i].kind, expected[i].first);
        EXPECT_EQ(platform.calls[i].id, expected[i].second);
    }
    EXPECT_EQ(platform.title, "Boxquill v1.1.363");
    EXPECT_FALSE(platform.enabled(IDC_SAVE));
    EXPECT_FALSE(platform.enabled(IDC_ADD));
    EXPECT_FALSE(platform.enabled(IDC_DELETE));
    EXPECT_TRUE(platform.readOnly(IDC_CONTENT));
    EXPECT_EQ(platform.text(IDC_PATH), "");
    // The payload buttons keep their state.
    EXPECT_TRUE(platform.enabled(IDC_PAYLOAD_LOAD));
    EXPECT_TRUE(platform.enabled(IDC_PAYLOAD_SAVE));
}

TEST_F(AppTest, ModifiedStateStarsTheTitleAndEnablesSave) {
    app.markModified();
    app.markModified();
    EXPECT_TRUE(app.modified());
    EXPECT_EQ(platform.title, "Boxquill* v1.1.363");
    EXPECT_EQ(app.title(), "Boxquill* v1.1.363");
    EXPECT_TRUE(platform.enabled(IDC_SAVE));

    app.markUnmodified();
    EXPECT_FALSE(app.modified());
    EXPECT_EQ(platform.title, "Boxquill v1.1.363");
    EXPECT_FALSE(platform.enabled(IDC_SAVE));
}

// A dialog opened on row 1 of three; then the document changes under it.
TEST_F(AppTest, ABoxNamedForALaterEditIsFoundWhereItMovedAndNeverAfterItWentOrTheFileChanged) {
    const auto appendRow = [this] {
        boxes.setRowBox(boxes.insertRow(kAppendRow, {"A", "B", "1"}), std::make_unique<XmlBox>(0));
    };
    const struct {
        const char* change;
        std::function<void()> run;
        int row;
    } cases[] = {
        {"nothing", [] {}, 1},
        {"a row inserted above",
         [&] { insertBoxRow(boxes, 0, std::make_unique<GenericBox>(1, 0)); }, 2},
        {"a row appended", appendRow, 1},
        {"the box deleted",
         [&] {
             boxes.selectRow(1);
             deleteBox(app);
         },
         -1},
        // A new box may take a destroyed one's address, so any deletion ends every name.
        {"another box deleted",
         [&] {
             boxes.selectRow(2);
             deleteBox(app);
         },
         -1},
        {"another document opened in its place",
         [&] {
             app.resetDocument();
             for (int i = 0; i < 3; ++i) {
                 appendRow();
             }
         },
         -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        app.resetDocument();
        for (int i = 0; i < 3; ++i) {
            appendRow();
        }
        const BoxRef ref = app.refer(1);
        c.run();
        platform.clearCalls();
        EXPECT_EQ(app.liveRow(ref), c.row);
        EXPECT_EQ(platform.calls.size(), c.row < 0 ? 1u : 0u);
    }
    EXPECT_EQ(app.rowOf(app.refer(7)), -1);
}

}  // namespace
}  // namespace bq::test
