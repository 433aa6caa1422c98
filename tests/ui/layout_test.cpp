#include "ui/layout.h"

#include <gtest/gtest.h>

#include <map>

#include "ui/control_ids.h"

namespace bq {
namespace {

std::map<int, Edges> layoutById(int width, int panelHeight, int dpiX, int dpiY) {
    std::map<int, Edges> result;
    for (const auto& placement : panelLayout(width, panelHeight, dpiX, dpiY)) {
        result[placement.controlId] = placement.edges;
    }
    return result;
}

TEST(ClientSize, ScalesEachAxisByItsOwnDpi) {
    struct Case {
        int dpiX, dpiY;
        Size expected;
    };
    for (const Case& c : {Case{96, 96, {666, 620}}, Case{120, 120, {832, 775}},
                          Case{144, 144, {999, 930}}, Case{120, 96, {832, 620}}}) {
        EXPECT_EQ(clientSize(c.dpiX, c.dpiY), c.expected) << c.dpiX << "x" << c.dpiY;
    }
}

TEST(PanelLayout, At96DpiLeavesAGapOfTwelveBetweenListAndPane) {
    const auto edges = layoutById(666, 598, 96, 96);
    EXPECT_EQ(edges.at(IDC_PATH), (Edges{0, 0, 641, 0}));
    EXPECT_EQ(edges.at(IDC_GROUP_FILE), (Edges{0, 0, 654, 94}));
    EXPECT_EQ(edges.at(IDC_GROUP_STRUCTURE), (Edges{0, 106, 654, 586}));
    EXPECT_EQ(edges.at(IDC_LIST), (Edges{24, 0, 257, 546}));
    EXPECT_EQ(edges.at(IDC_CONTENT), (Edges{269, 0, 641, 546}));
    EXPECT_EQ(edges.at(IDC_ADD), (Edges{24, 554, 0, 0}));
    EXPECT_EQ(edges.at(IDC_DELETE), (Edges{0, 554, 0, 0}));
    EXPECT_EQ(edges.at(IDC_PAYLOAD_LOAD), (Edges{533, 554, 0, 0}));
    EXPECT_EQ(edges.at(IDC_PAYLOAD_SAVE), (Edges{591, 554, 0, 0}));
    EXPECT_EQ(edges.count(IDC_LOAD), 0u);
    EXPECT_EQ(edges.count(IDC_SAVE), 0u);
}

TEST(PanelLayout, ScalesEveryConstantBeforeCombiningIt) {
    // At 120 dpi 100 - 6 scaled as a whole would give 117; each term scaled gives 125 - 7.
    const auto edges = layoutById(832, 750, 120, 120);
    EXPECT_EQ(edges.at(IDC_GROUP_FILE).bottom, 118);
    EXPECT_EQ(edges.at(IDC_GROUP_STRUCTURE).top, 132);
    EXPECT_EQ(edges.at(IDC_LIST).right, 321);
    EXPECT_EQ(edges.at(IDC_CONTENT).left, 336);
    EXPECT_EQ(edges.at(IDC_CONTENT).right, 832 - 31);
    EXPECT_EQ(edges.at(IDC_ADD).top, 750 - 55);
    EXPECT_EQ(edges.at(IDC_PAYLOAD_LOAD).left, 832 - 166);
}

TEST(PanelLayout, At144DpiUsesHorizontalAndVerticalDpiSeparately) {
    const auto edges = layoutById(999, 900, 144, 96);
    EXPECT_EQ(edges.at(IDC_LIST), (Edges{36, 0, 18 + 367, 900 - 52}));
    EXPECT_EQ(edges.at(IDC_GROUP_FILE).bottom, 94);
    EXPECT_EQ(edges.at(IDC_PAYLOAD_SAVE), (Edges{999 - 112, 900 - 44, 0, 0}));
}

TEST(ResolveMove, ZeroEdgesKeepTheCurrentPositionAndSize) {
    const Edges current{10, 20, 110, 70};  // 100 wide, 50 high
    struct Case {
        Edges requested;
        Edges expected;
    };
    for (const Case& c : {
             Case{{0, 0, 0, 0}, {10, 20, 110, 70}},
             Case{{0, 0, 300, 0}, {10, 20, 300, 70}},
             Case{{5, 0, 0, 0}, {5, 20, 105, 70}},    // width kept from the new left
             Case{{0, 40, 0, 0}, {10, 40, 110, 90}},  // height kept from the new top
             Case{{24, 0, 257, 546}, {24, 20, 257, 546}},
             Case{{1, 2, 3, 4}, {1, 2, 3, 4}},
         }) {
        EXPECT_EQ(resolveMove(current, c.requested), c.expected);
    }
}

TEST(WindowPlacement, CentresHorizontallyAndSitsAboveTheMiddle) {
    EXPECT_EQ(windowPlacement({1920, 1080}, {682, 658}), (Point{619, 142}));
}

TEST(WindowPlacement, NeverGoesAboveTheTopOfTheScreen) {
    // The formula gives y = 384 - 438 + 40 = -14 here.
    EXPECT_EQ(windowPlacement({1024, 768}, {682, 658}), (Point{171, 0}));
}

TEST(FitMainWindow, ShrinksToTheWorkAreaWhereTheWindowDoesNotFitAndOnlyThere) {
    const struct {
        const char* setting;
        Size screen;
        Rect work;
        Size outer;
        WindowFit expected;
    } cases[] = {
        {"96 dpi, fits: the placement formula",
         {1920, 1080},
         {0, 0, 1920, 1040},
         {682, 658},
         {{619, 142}, {682, 658}, {682, 658}}},
        {"96 dpi, formula above the top",
         {1024, 768},
         {0, 0, 1024, 728},
         {682, 658},
         {{171, 0}, {682, 658}, {682, 658}}},
        {"144 dpi on 1100 x 900: the height is the work area's",
         {1100, 900},
         {0, 0, 1100, 900},
         {1015, 969},
         {{42, 0}, {1015, 900}, {1015, 900}}},
        {"120 dpi on a laptop with a task bar",
         {1366, 768},
         {0, 0, 1366, 728},
         {848, 814},
         {{259, 0}, {848, 728}, {848, 728}}},
        {"too wide and high, task bar at the left",
         {800, 600},
         {60, 0, 800, 600},
         {1015, 969},
         {{60, 0}, {740, 600}, {740, 600}}},
        {"no work area known", {1920, 1080}, {}, {682, 658}, {{619, 142}, {682, 658}, {682, 658}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        const WindowFit fit = fitMainWindow(c.screen, c.work, c.outer);
        EXPECT_EQ(fit.at, c.expected.at);
        EXPECT_EQ(fit.size, c.expected.size);
        EXPECT_EQ(fit.minimum, c.expected.minimum);
    }
}

TEST(CommandLineTail, FindsTheTextAfterTheProgramName) {
    struct Case {
        std::string_view commandLine;
        std::string_view tail;
    };
    for (const Case& c : {
             Case{"boxquill.exe", ""}, Case{"boxquill.exe   ", ""}, Case{"boxquill.exe \t ", ""},
             Case{"boxquill.exe a.jp2", "a.jp2"}, Case{"boxquill.exe    a b.jp2 ", "a b.jp2 "},
             Case{"\"C:\\Program Files\\boxquill.exe\" x.jp2", "x.jp2"},
             Case{"\"C:\\Program Files\\boxquill.exe\"x.jp2", "x.jp2"},
             Case{"\"unterminated name", ""},
             Case{"boxquill.exe \"C:\\my files\\x.jp2\"", "\"C:\\my files\\x.jp2\""}, Case{"", ""},
             Case{"\xE9t\xE9.exe  f.jp2", "f.jp2"},  // bytes above 127 belong to the name
         }) {
        EXPECT_EQ(commandLineTail(c.commandLine), c.tail) << c.commandLine;
    }
}

TEST(PathFromTail, DropsQuotesAroundTheWholeTailOnly) {
    EXPECT_EQ(pathFromTail("\"C:\\my files\\x.jp2\""), "C:\\my files\\x.jp2");
    EXPECT_EQ(pathFromTail("C:\\plain.jp2"), "C:\\plain.jp2");
    EXPECT_EQ(pathFromTail("\""), "\"");
    EXPECT_EQ(pathFromTail("\"a\" \"b\"x"), "\"a\" \"b\"x");
    EXPECT_EQ(pathFromTail(""), "");
}

TEST(IdleCounter, RefreshesOnEveryEighthPassCountedOverTheWholeRun) {
    IdleCounter counter;
    std::vector<int> refreshes;
    for (int pass = 1; pass <= 25; ++pass) {
        if (counter.pass()) {
            refreshes.push_back(pass);
        }
    }
    EXPECT_EQ(refreshes, (std::vector<int>{8, 16, 24}));
}

}  // namespace
}  // namespace bq
