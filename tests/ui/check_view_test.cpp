#include "ui/check_view.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/ui/scripted_platform.h"
#include "tests/ui/test_files.h"
#include "ui/control_ids.h"
#include "ui/memory_box_list.h"
#include "ui/open_document.h"

namespace bq::test {
namespace {

class CheckViewTest : public testing::Test {
  protected:
    // sampleDocument's rows and where the file holds them: ftyp 0 (12..32), asoc 1 (32..68)
    // holding lbl 2 (40..56) and xml 3 (56..68), free 4 (68..79).
    void SetUp() override {
        path = folder.file("doc.jp2");
        writeFile(path, sampleDocument());
        openDocument(app, path);
        ASSERT_EQ(boxes.rowCount(), 5);
    }

    TempFolder folder;
    std::string path;
    ScriptedPlatform platform;
    MemoryBoxList boxes;
    App app{platform, boxes};
};

TEST_F(CheckViewTest, AFindingLeadsToItsOwnRowElseToTheInnermostRowHoldingItsOffset) {
    const struct {
        std::optional<int> row;
        std::optional<std::uint64_t> offset;
        int expected;
    } cases[] = {
        {3, std::nullopt, 3},
        {99, std::nullopt, -1},
        {std::nullopt, std::nullopt, -1},
        {std::nullopt, 11, -1},  // the signature is no row
        {std::nullopt, 12, 0},
        {std::nullopt, 31, 0},
        {std::nullopt, 32, 1},  // the association's own header
        {std::nullopt, 40, 2},
        {std::nullopt, 55, 2},
        {std::nullopt, 67, 3},
        {std::nullopt, 68, 4},
        {std::nullopt, 78, 4},
        {std::nullopt, 79, -1},  // past the last box
    };
    for (const auto& c : cases) {
        Finding finding;
        finding.row = c.row;
        finding.offset = c.offset;
        EXPECT_EQ(findingRow(boxes, finding), c.expected)
            << "row " << c.row.value_or(-1) << ", offset " << c.offset.value_or(0);
    }
}

TEST_F(CheckViewTest, NotesSayWhatTheListHoldsAndRowsAreGoneToOnlyWithoutUnsavedEdits) {
    const auto report = [](std::vector<Severity> severities) {
        ValidationReport made;
        for (const Severity severity : severities) {
            made.findings.check("someTest", false, severity, "bad\nvalue", "asoc/lbl ", 40);
        }
        return made;
    };
    const std::string valid = "The file is valid: no errors.";
    const struct {
        std::string path;
        ValidationReport report;
        bool modified;
        std::vector<std::string> notes;
        int row;
    } cases[] = {
        {"", report({Severity::Error}), false, {std::string(kCheckNoFileNote)}, -1},
        {"f.jp2", report({}), false, {valid}, -1},
        {"f.jp2", report({}), true, {std::string(kCheckUnsavedNote), valid}, -1},
        {"f.jp2",
         report({Severity::Warning}),
         false,
         {"The file is valid: no errors, 1 warning."},
         2},
        {"f.jp2",
         report({Severity::Error, Severity::Error}),
         false,
         {"The file is not valid: 2 errors, 0 warnings."},
         2},
        {"f.jp2",
         report({Severity::Warning, Severity::Error}),
         true,
         {std::string(kCheckUnsavedNote), "The file is not valid: 1 error, 1 warning."},
         -1},
    };
    for (const auto& c : cases) {
        const CheckView view = checkView(c.path, c.report, boxes, c.modified);
        EXPECT_EQ(view.notes, c.notes);
        const std::size_t expected = c.path.empty() ? 0 : c.report.findings.all().size();
        ASSERT_EQ(view.lines.size(), expected);
        for (const CheckLine& line : view.lines) {
            EXPECT_EQ(line.message, "bad\\nvalue");
            EXPECT_EQ(line.place, "asoc/lbl  @40");
            EXPECT_EQ(line.row, c.row);
        }
    }
}

TEST_F(CheckViewTest, ChecksTheFileOfThePathFieldAndLeadsItsFindingsToTheRowsHoldingThem) {
    // An image header with compression type 9 (row 1), a codestream without SIZ (row 2).
    const Bytes header = concat({u32Bytes(16), u32Bytes(16), {0, 1, 7, 9, 0, 0}});
    const Bytes colour = concat({{1, 0, 0}, u32Bytes(17)});
    const std::string faulty = folder.file("faulty.jp2");
    writeFile(
        faulty,
        concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload),
                boxBytes("jp2h", concat({boxBytes("ihdr", header), boxBytes("colr", colour)})),
                boxBytes("jp2c", {0xFF, 0x4F, 0, 0})}));
    openDocument(app, faulty);
    const CheckView view = checkDocument(app);
    std::vector<std::pair<std::string, int>> lines;
    for (const CheckLine& line : view.lines) {
        lines.emplace_back(line.test, line.row);
    }
    EXPECT_EQ(lines,
              (std::vector<std::pair<std::string, int>>{{"cIsValid", 1}, {"foundSIZMarker", 2}}));
    EXPECT_EQ(view.copyText,
              faulty + ": error: cIsValid: compression type 9; 7 required [jp2h/ihdr @40]\n" +
                  faulty + ": error: foundSIZMarker: SIZ does not follow SOC [jp2c @87]\n" +
                  faulty + ": invalid (2 errors, 0 warnings)\n");
}

}  // namespace
}  // namespace bq::test
