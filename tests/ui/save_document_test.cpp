#include "ui/save_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "box/association_box.h"
#include "box/text_box.h"
#include "box/uuid_box.h"
#include "stream/memory_stream.h"
#include "stream/utf8_path.h"
#include "tests/ui/scripted_platform.h"
#include "tests/ui/test_files.h"
#include "ui/control_ids.h"
#include "ui/memory_box_list.h"
#include "ui/open_document.h"

namespace bq::test {
namespace {

using Kind = PlatformCall::Kind;

// Counts the Size texts written, to show which rows the refresh touches.
class CountingList final : public BoxList {
  public:
    int rowCount() const override { return inner.rowCount(); }
    Box* boxAt(int row) const override { return inner.boxAt(row); }
    int insertRow(int row, const RowTexts& texts) override { return inner.insertRow(row, texts); }
    void setRowBox(int row, std::unique_ptr<Box> box) override {
        inner.setRowBox(row, std::move(box));
    }
    void deleteRow(int row) override { inner.deleteRow(row); }
    void deleteRows(int first, int count) override { inner.deleteRows(first, count); }
    void deleteAllRows() override { inner.deleteAllRows(); }
    int selectedRow() const override { return inner.selectedRow(); }
    void selectRow(int row) override { inner.selectRow(row); }
    std::string cellText(int row, int column) const override { return inner.cellText(row, column); }
    void setSizeText(int row, std::string_view text) override {
        written.push_back(row);
        inner.setSizeText(row, text);
    }
    void repaintAll() override {}

    MemoryBoxList inner;
    std::vector<int> written;
};

// A box whose writing fails halfway, as a full disk would make it.
class FailingBox final : public Box {
  public:
    FailingBox() : Box(4, fourCC("fail")) {}
    std::unique_ptr<Box> clone() const override { return std::make_unique<FailingBox>(*this); }
    bool writeBox(ByteStream& stream, bool /*withHeader*/) const override {
        stream.writeU32(12);
        return false;
    }
};

Box* addRow(BoxList& boxes, std::unique_ptr<Box> box, Box* parent = nullptr) {
    Box* raw = box.get();
    raw->parent = parent;
    raw->depth = parent == nullptr ? 0 : parent->depth + 1;
    const int row = boxes.insertRow(kAppendRow, {"", "", std::to_string(raw->payloadSize)});
    boxes.setRowBox(row, std::move(box));
    return raw;
}

TEST(RefreshAssociationSizes, SumsNestedBoxesWithTheirHeadersAndRewritesOnlyChangedRows) {
    CountingList boxes;
    addRow(boxes, std::make_unique<GenericBox>(12, kTypeFtyp));
    addRow(boxes, std::make_unique<GenericBox>(45, kTypeJp2h));
    Box* outer = addRow(boxes, std::make_unique<AssociationBox>());
    addRow(boxes, std::make_unique<GenericBox>(8, kTypeLbl), outer);
    Box* inner = addRow(boxes, std::make_unique<AssociationBox>(), outer);
    addRow(boxes, std::make_unique<GenericBox>(17, kTypeLbl), inner);
    addRow(boxes, std::make_unique<GenericBox>(100, kTypeXml), inner);
    addRow(boxes, std::make_unique<GenericBox>(5000, kTypeJp2c));

    refreshAssociationSizes(boxes);
    EXPECT_EQ(outer->payloadSize, 157u);
    EXPECT_EQ(inner->payloadSize, 133u);
    EXPECT_EQ(boxes.written, (std::vector<int>{2, 4}));
    EXPECT_EQ(boxes.sizeText(2), "157");
    EXPECT_EQ(boxes.sizeText(4), "133");

    // Unchanged: nothing is rewritten. An edited box's row is.
    boxes.written.clear();
    refreshAssociationSizes(boxes);
    EXPECT_TRUE(boxes.written.empty());
    boxes.boxAt(6)->payloadSize = 90;
    refreshAssociationSizes(boxes);
    EXPECT_EQ(boxes.written, (std::vector<int>{2, 4, 6}));
    EXPECT_EQ(outer->payloadSize, 147u);
}

TEST(RefreshAssociationSizes, CountsWhatEachBoxWrites) {
    MemoryBoxList boxes;
    Box* outer = addRow(boxes, std::make_unique<AssociationBox>());
    addRow(boxes, std::make_unique<UuidBox>(0, true), outer);  // an unfilled GeoTIFF box
    Box* empty = addRow(boxes, std::make_unique<AssociationBox>(), outer);
    refreshAssociationSizes(boxes);
    EXPECT_EQ(empty->payloadSize, 0u);
    EXPECT_EQ(outer->payloadSize, 8u);

    // The bytes inside the outer association are exactly what its length announces.
    std::vector<std::uint8_t> buffer(64);
    MemoryStream stream;
    stream.attach(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    ASSERT_TRUE(writeDocument(boxes, stream));
    EXPECT_EQ(stream.tell(), 12u + 8u + outer->payloadSize);
}

TEST(RefreshAssociationSizes, AnAssociationPast4GiBTakesTheLongHeaderWhichItsAncestorsCount) {
    MemoryBoxList boxes;
    Box* outer = addRow(boxes, std::make_unique<AssociationBox>());
    Box* inner = addRow(boxes, std::make_unique<AssociationBox>(), outer);
    addRow(boxes, std::make_unique<GenericBox>(0x80000000u, kTypeXml), inner);
    addRow(boxes, std::make_unique<GenericBox>(0x7FFFFFF0u, kTypeXml), inner);
    refreshAssociationSizes(boxes);
    EXPECT_EQ(inner->payloadSize, 0x100000000u);
    EXPECT_EQ(inner->headerSize(), 16u);
    EXPECT_EQ(outer->payloadSize, 16u + 0x100000000u);
    EXPECT_EQ(outer->headerSize(), 16u);
    EXPECT_EQ(boxes.sizeText(1), "4294967296");
}

TEST(RefreshAssociationSizes, FollowsOnlyAncestorsThatAreRowsOfTheDocument) {
    MemoryBoxList boxes;
    AssociationBox stray;  // not a row: must not be written to
    Box* outer = addRow(boxes, std::make_unique<AssociationBox>(), &stray);
    addRow(boxes, std::make_unique<GenericBox>(4, kTypeXml), outer);
    refreshAssociationSizes(boxes);
    EXPECT_EQ(outer->payloadSize, 12u);
    EXPECT_EQ(stray.payloadSize, 0u);
}

TEST(ExtensionRule, AddsJp2UnlessEitherExtensionOccursInTheFileName) {
    const std::pair<std::string, std::string> cases[] = {
        {"picture", "picture.jp2"},
        {"picture.jp2", "picture.jp2"},
        {"picture.jpx", "picture.jpx"},
        {"picture.JP2", "picture.JP2.jp2"},
        {"/data/scans.jpx/picture", "/data/scans.jpx/picture.jp2"},
        {"C:\\scans.jp2dir\\picture", "C:\\scans.jp2dir\\picture.jp2"},
        {"picture.jp2.bak", "picture.jp2.bak"},
    };
    for (const auto& [chosen, saved] : cases) {
        EXPECT_EQ(applyExtensionRule(chosen), saved) << chosen;
    }
}

TEST(WriteDocument, ReportsAStreamThatRunsOut) {
    MemoryBoxList boxes;
    addRow(boxes, std::make_unique<AssociationBox>());
    std::vector<std::uint8_t> buffer(16);
    MemoryStream stream;
    stream.attach(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    EXPECT_FALSE(writeDocument(boxes, stream));
}

class SaveDocumentTest : public testing::Test {
  protected:
    void SetUp() override {
        source = folder.file("source.jp2");
        writeFile(source, sampleDocument());
        openDocument(app, source);
        ASSERT_EQ(boxes.rowCount(), 5);
        app.markModified();
        platform.clearCalls();
    }
    void saveAs(const std::string& name) {
        platform.saveFileAnswers.push_back(name);
        saveDocument(app);
    }

    TempFolder folder;
    std::string source;
    ScriptedPlatform platform;
    MemoryBoxList boxes;
    App app{platform, boxes};
};

TEST_F(SaveDocumentTest, ProposesTheOpenedPathAndWritesEveryBoxBehindTheSignature) {
    saveAs(folder.file("copy.jp2"));
    const auto dialogs = platform.callsOf(Kind::ChooseSaveFile);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].request.initialName, source);
    EXPECT_EQ(dialogs[0].request.options, 0x80802u);
    ASSERT_EQ(dialogs[0].request.filters.size(), 2u);
    EXPECT_EQ(dialogs[0].request.filters[0].name, "JP2 files");
    EXPECT_EQ(dialogs[0].request.filters[0].pattern, "*.jp2;*.jpx");
    EXPECT_EQ(dialogs[0].request.filters[1].name, "All");
    EXPECT_EQ(dialogs[0].request.filters[1].pattern, "*.*");

    EXPECT_TRUE(platform.errorTexts().empty());
    EXPECT_EQ(readFile(folder.file("copy.jp2")), sampleDocument());
    EXPECT_FALSE(app.modified());
    EXPECT_FALSE(platform.enabled(IDC_SAVE));
    EXPECT_EQ(platform.title, "Boxquill v1.1.363");
    EXPECT_EQ(platform.text(IDC_PATH), source);
    EXPECT_EQ(boxes.sizeText(1), "28");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"copy.jp2", "source.jp2"}));

    // A second save proposes the opened file again.
    app.markModified();
    saveAs(folder.file("again.jp2"));
    EXPECT_EQ(platform.callsOf(Kind::ChooseSaveFile)[1].request.initialName, source);
}

TEST_F(SaveDocumentTest, CancelChangesNothing) {
    platform.saveFileAnswers.push_back(std::nullopt);
    saveDocument(app);
    EXPECT_TRUE(app.modified());
    EXPECT_EQ(platform.calls.size(), 2u);  // the path field read and the dialog
    EXPECT_EQ(folder.names(), std::vector<std::string>{"source.jp2"});
}

TEST_F(SaveDocumentTest, ReplacesTheOpenedFileItself) {
    boxes.deleteRow(4);
    app.markModified();
    saveAs(source);
    const Bytes sample = sampleDocument();
    const Bytes expected(sample.begin(), sample.end() - 11);
    EXPECT_EQ(readFile(source), expected);
    EXPECT_FALSE(app.modified());
    EXPECT_EQ(folder.names(), std::vector<std::string>{"source.jp2"});
}

TEST_F(SaveDocumentTest, AppendsJp2AndAsksBeforeReplacingAFileOnlyTheLongerNameHits) {
    saveAs(folder.file("plain"));
    EXPECT_TRUE(platform.questionTexts().empty());
    EXPECT_EQ(readFile(folder.file("plain.jp2")), sampleDocument());

    const Bytes old = {1, 2, 3};
    writeFile(folder.file("plain.jp2"), old);
    app.markModified();
    platform.yesNoAnswers.push_back(false);
    saveAs(folder.file("plain"));
    EXPECT_EQ(platform.questionTexts(),
              std::vector<std::string>{folder.file("plain.jp2") +
                                       " already exists.\nDo you want to replace it? "});
    EXPECT_EQ(readFile(folder.file("plain.jp2")), old);
    EXPECT_TRUE(app.modified());

    platform.yesNoAnswers.push_back(true);
    saveAs(folder.file("plain"));
    EXPECT_EQ(readFile(folder.file("plain.jp2")), sampleDocument());
    EXPECT_FALSE(app.modified());
}

#if !defined(_WIN32)
TEST_F(SaveDocumentTest, AReplacedFileKeepsItsPermissionsAndLinksStayLinks) {
    namespace fs = std::filesystem;
    const std::string real = folder.file("real.jp2");
    writeFile(real, {1});
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string link = folder.file("link.jp2");
    fs::create_symlink(real, link);

    saveAs(link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(real), sampleDocument());
    EXPECT_EQ(fs::status(real).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"link.jp2", "real.jp2", "source.jp2"}));
}
#endif

TEST_F(SaveDocumentTest, AFileThatCannotBeCreatedIsReported) {
    saveAs(folder.file("no-such-folder/out.jp2"));
    EXPECT_EQ(platform.errorTexts(), std::vector<std::string>{"\nCouldn't create file! \n\n"});
    EXPECT_TRUE(app.modified());
    EXPECT_EQ(folder.names(), std::vector<std::string>{"source.jp2"});

    // A name taken by something other than a file is left as it is.
    std::filesystem::create_directory(folder.file("taken.jp2"));
    platform.clearCalls();
    saveAs(folder.file("taken.jp2"));
    EXPECT_EQ(platform.errorTexts(),
              std::vector<std::string>{"\nCouldn't create file!\n\nThe name is taken by a folder, "
                                       "device, FIFO or socket, which is left as it is.  \n\n"});
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("taken.jp2")));
    EXPECT_TRUE(app.modified());
}

TEST_F(SaveDocumentTest, AFailedWriteLeavesTheOldFileAndNoTemporaryBehind) {
    const std::string target = folder.file("target.jp2");
    const Bytes old = {9, 9, 9, 9};
    writeFile(target, old);
    boxes.setRowBox(boxes.insertRow(2, {"FAIL", "", "4"}), std::make_unique<FailingBox>());
    saveAs(target);
    EXPECT_EQ(platform.errorTexts(),
              std::vector<std::string>{"\nCouldn't write to the file! \n\n"});
    EXPECT_EQ(readFile(target), old);
    EXPECT_TRUE(app.modified());
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"source.jp2", "target.jp2"}));
}

TEST_F(SaveDocumentTest, ANameWithNoRoomForTheExtensionIsRefused) {
    saveAs(folder.file(std::string(kPathBufferSize, 'n')));
    EXPECT_EQ(platform.errorTexts(),
              std::vector<std::string>{
                  "\nCouldn't create file: the name is longer than 259 characters! \n\n"});
    EXPECT_TRUE(app.modified());

    // The limit counts characters as Windows does, not bytes: here two bytes each, more
    // bytes than the limit. The name is put beside the folder's path by hand: on Windows the
    // library would read it in the code page rather than as UTF-8.
    const std::string prefix = folder.file("");
    const std::size_t room = kPathBufferSize - 1 - windowsLength(prefix + ".jp2");
    std::string cyrillic;
    // 125 letters make a name of 254 bytes, one short of a Linux file name's most: the
    // temporary file's suffix must cut into it. Under Wine the names land on a Linux file
    // system too, where no cut is made for them: fewer there.
#if defined(_WIN32)
    constexpr std::size_t kLetters = 120;
#else
    constexpr std::size_t kLetters = 125;
#endif
    for (std::size_t i = 0; i < std::min(room, kLetters); ++i) {
        cyrillic += "д";
    }
    const std::string name = prefix + cyrillic + ".jp2";
    ASSERT_GT(name.size(), kPathBufferSize);
    platform.clearCalls();
    saveAs(name);
    EXPECT_EQ(platform.errorTexts(), std::vector<std::string>{});
    EXPECT_FALSE(app.modified());
}

TEST_F(SaveDocumentTest, AnEmptiedDocumentSavesAsTheSignatureAlone) {
    boxes.deleteAllRows();
    saveAs(folder.file("empty.jp2"));
    EXPECT_EQ(readFile(folder.file("empty.jp2")), kSignatureBytes);
}

}  // namespace
}  // namespace bq::test
