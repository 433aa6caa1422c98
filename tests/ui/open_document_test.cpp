#include "ui/open_document.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/ui/counted_box.h"
#include "tests/ui/scripted_platform.h"
#include "tests/ui/test_files.h"
#include "ui/control_ids.h"
#include "ui/memory_box_list.h"

namespace bq::test {
namespace {

using Kind = PlatformCall::Kind;

const std::string kParseMessage =
    "Couldn't parse the file!\n\nPlease send it to support@boxquill.org so we could find out "
    "what's wrong. ";
const std::string kReadMessage = "Couldn't read the file!";
const std::string kCodestream = "Couldn't read the file!\n\nIt looks like a J2K file, not JP2. ";

class OpenDocumentTest : public testing::Test {
  protected:
    std::vector<std::vector<std::string>> rows() const {
        std::vector<std::vector<std::string>> all;
        for (int row = 0; row < boxes.rowCount(); ++row) {
            all.push_back({boxes.cellText(row, 0), boxes.cellText(row, 1), boxes.sizeText(row)});
        }
        return all;
    }
    std::string fileWith(const Bytes& bytes, const char* name = "doc.jp2") {
        const std::string path = folder.file(name);
        writeFile(path, bytes);
        return path;
    }
    // A loaded, modified document that a failure must either keep or drop.
    void loadModifiedDocument() {
        openDocument(app, fileWith(sampleDocument(), "old.jp2"));
        ASSERT_EQ(boxes.rowCount(), 5);
        app.markModified();
        platform.clearCalls();
    }
    bool isNoFileState() const {
        return boxes.rowCount() == 0 && platform.text(IDC_PATH).empty() && !app.modified() &&
               !platform.enabled(IDC_ADD) && !platform.enabled(IDC_SAVE) &&
               platform.title == "Boxquill v1.1.363";
    }

    TempFolder folder;
    ScriptedPlatform platform;
    MemoryBoxList boxes;
    App app{platform, boxes};
};

TEST_F(OpenDocumentTest, ListsEveryBoxInFileOrderWithItsTexts) {
    const std::string path = fileWith(sampleDocument());
    openDocument(app, path);
    const std::vector<std::vector<std::string>> expected = {
        {"FTYP", "File type", "12"},
        {"ASOC", "Association box", "0"},
        {"|  LBL ", "   Label", "8"},
        {"|  XML ", "   XML file", "4"},
        {"FREE", "", "3"},
    };
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(platform.text(IDC_PATH), path);
    EXPECT_TRUE(platform.enabled(IDC_ADD));
    EXPECT_FALSE(platform.enabled(IDC_SAVE));
    EXPECT_FALSE(app.modified());
    EXPECT_EQ(boxes.selectedRow(), -1);
    EXPECT_TRUE(platform.readOnly(IDC_CONTENT));
    EXPECT_TRUE(platform.errorTexts().empty());
    EXPECT_EQ(boxes.boxAt(2)->parent, boxes.boxAt(1));
}

TEST_F(OpenDocumentTest, WithoutAPathAsksForAFileWithTheJp2Filter) {
    const std::string path = fileWith(sampleDocument(), "picture.bin");
    platform.openFileAnswers.push_back(path);
    openDocument(app, std::nullopt);

    EXPECT_TRUE(platform.questionTexts().empty());
    const auto dialogs = platform.callsOf(Kind::ChooseOpenFile);
    ASSERT_EQ(dialogs.size(), 1u);
    const FileDialogRequest& request = dialogs[0].request;
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].name, "JP2 files");
    EXPECT_EQ(request.filters[0].pattern, "*.jp2;*.jpx");
    EXPECT_EQ(request.filters[1].name, "All");
    EXPECT_EQ(request.filters[1].pattern, "*.*");
    EXPECT_EQ(request.initialName, "");
    EXPECT_EQ(request.options, 0x81800u);
    // The name plays no part: any file that passes the signature test opens.
    EXPECT_EQ(boxes.rowCount(), 5);
    EXPECT_EQ(platform.text(IDC_PATH), path);
}

TEST_F(OpenDocumentTest, AModifiedDocumentIsKeptUnlessTheUserSaysYes) {
    loadModifiedDocument();
    platform.yesNoAnswers.push_back(false);
    openDocument(app, std::nullopt);
    EXPECT_EQ(platform.questionTexts(),
              std::vector<std::string>{"The file is modified. Continue? "});
    EXPECT_EQ(platform.callsOf(Kind::AskYesNo)[0].caption, "Confirmation");
    EXPECT_TRUE(platform.callsOf(Kind::ChooseOpenFile).empty());
    EXPECT_EQ(boxes.rowCount(), 5);
    EXPECT_TRUE(app.modified());

    // Yes, then a cancelled dialog: still nothing changes.
    platform.yesNoAnswers.push_back(true);
    platform.openFileAnswers.push_back(std::nullopt);
    platform.clearCalls();
    openDocument(app, std::nullopt);
    EXPECT_EQ(platform.callsOf(Kind::ChooseOpenFile).size(), 1u);
    EXPECT_EQ(platform.calls.size(), 2u);
    EXPECT_EQ(boxes.rowCount(), 5);
    EXPECT_TRUE(app.modified());

    // A file dropped on the window asks the same question first.
    platform.yesNoAnswers.push_back(false);
    platform.clearCalls();
    openDroppedFile(app, fileWith(kSignatureBytes));
    EXPECT_EQ(platform.questionTexts(),
              std::vector<std::string>{"The file is modified. Continue? "});
    EXPECT_EQ(boxes.rowCount(), 5);
    EXPECT_TRUE(app.modified());
}

TEST_F(OpenDocumentTest, AGivenPathSkipsTheQuestionAndTheDialog) {
    loadModifiedDocument();
    openDocument(app, fileWith(kSignatureBytes));
    EXPECT_TRUE(platform.callsOf(Kind::AskYesNo).empty());
    EXPECT_TRUE(platform.callsOf(Kind::ChooseOpenFile).empty());
    EXPECT_EQ(boxes.rowCount(), 0);
    EXPECT_FALSE(app.modified());
    EXPECT_TRUE(platform.enabled(IDC_ADD));
    EXPECT_EQ(platform.text(IDC_PATH), folder.file("doc.jp2"));
}

TEST_F(OpenDocumentTest, AFileThatCannotBeOpenedLeavesTheOldDocumentAsItWas) {
    loadModifiedDocument();
    std::vector<std::string> paths = {folder.file("missing.jp2"), folder.path().string()};
#if !defined(_WIN32)
    // A FIFO would block the open until some program wrote to it.
    if (mkfifo(folder.file("fifo.jp2").c_str(), 0600) == 0) {
        paths.push_back(folder.file("fifo.jp2"));
    }
#endif
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        platform.clearCalls();
        openDocument(app, path);
        EXPECT_EQ(platform.errorTexts(), std::vector<std::string>{"\nCouldn't open the file \n\n"});
        EXPECT_EQ(platform.calls.size(), 1u);
        EXPECT_EQ(boxes.rowCount(), 5);
        EXPECT_TRUE(app.modified());
        EXPECT_EQ(platform.text(IDC_PATH), folder.file("old.jp2"));
    }
}

TEST_F(OpenDocumentTest, SignatureAndBoxLoopFailuresEmptyTheDocument) {
    const Bytes signatureBody = {0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
    struct Case {
        const char* what;
        Bytes bytes;
        std::string message;
    };
    const Case cases[] = {
        {"empty file", {}, kReadMessage},
        {"one byte", {0x00}, kReadMessage},
        {"leading zero word, then the end", {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50}, kReadMessage},
        {"raw codestream", {0xFF, 0x4F, 0xFF, 0x51, 0x00, 0x29}, kCodestream},
        {"only the SOC marker", {0xFF, 0x4F}, kParseMessage},
        {"SOC then something else",
         {0xFF, 0x4F, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0},
         kParseMessage},
        {"leading word not zero", concat({{0x01, 0x00}, signatureBody}), kParseMessage},
        {"length not 12",
         concat({{0x00, 0x00, 0x00, 0x0D}, Bytes(signatureBody.begin() + 2, signatureBody.end())}),
         kParseMessage},
        {"wrong content",
         {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0B},
         kParseMessage},
        {"a box with length 3 before the end",
         concat({kSignatureBytes,
                 boxBytes("ftyp", kFileTypePayload),
                 {0x00, 0x00, 0x00, 0x03, 'b', 'a', 'd', ' ', 1, 2, 3, 4}}),
         kParseMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        loadModifiedDocument();
        openDocument(app, fileWith(c.bytes));
        EXPECT_EQ(platform.errorTexts(), std::vector<std::string>{formatErrorText(c.message)});
        EXPECT_EQ(platform.calls.back().kind, Kind::ShowErrorBox);
        EXPECT_TRUE(isNoFileState());
    }
}

TEST_F(OpenDocumentTest, FailureAfterBoxesWereReadDestroysThem) {
    const Bytes bytes = concat({kSignatureBytes,
                                boxBytes("ftyp", kFileTypePayload),
                                {0x00, 0x00, 0x00, 0x05, 'b', 'a', 'd', ' ', 0, 0, 0, 0}});
    openDocument(app, fileWith(bytes));
    EXPECT_EQ(platform.errorTexts(), std::vector<std::string>{formatErrorText(kParseMessage)});
    EXPECT_TRUE(isNoFileState());
}

// A list that runs out of room after a few rows, as a list control can.
class FullBoxList : public MemoryBoxList {
  public:
    explicit FullBoxList(int room) : room_(room) {}
    int insertRow(int row, const RowTexts& texts) override {
        return rowCount() < room_ ? MemoryBoxList::insertRow(row, texts) : -1;
    }

  private:
    int room_;
};

TEST_F(OpenDocumentTest, ARowTheListRefusesFailsTheOpenWithoutTouchingFreedBoxes) {
    // Row 1 is an association still open on the nesting when its row is refused; the box
    // behind it must not be read through a dangling parent.
    FullBoxList full(1);
    App fullApp{platform, full};
    openDocument(fullApp, fileWith(sampleDocument()));
    EXPECT_EQ(full.rowCount(), 0);
    EXPECT_EQ(platform.errorTexts(), std::vector<std::string>{"\n" + kReadMessage + " \n\n"});
}

TEST_F(OpenDocumentTest, OddStartsThatStillOpen) {
    const Bytes label = boxBytes("lbl ", textBytes("x"));
    struct Case {
        const char* what;
        Bytes bytes;
        int rows;
    };
    const Case cases[] = {
        {"signature alone", kSignatureBytes, 0},
        {"SOC before the signature", concat({{0xFF, 0x4F}, kSignatureBytes, label}), 1},
        {"seven stray bytes behind the last box",
         concat({kSignatureBytes, label, {1, 2, 3, 4, 5, 6, 7}}), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform.clearCalls();
        openDocument(app, fileWith(c.bytes));
        EXPECT_TRUE(platform.errorTexts().empty());
        EXPECT_EQ(boxes.rowCount(), c.rows);
        EXPECT_TRUE(platform.enabled(IDC_ADD));
        if (c.rows == 1) {
            EXPECT_EQ(boxes.cellText(0, 0), "LBL ");
        }
    }
}

}  // namespace
}  // namespace bq::test
