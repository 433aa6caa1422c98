// The editing commands over any BoxList (see commands_fixture.h); instantiated for the
// in-memory list in commands_memory_test.cpp.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "stream/utf8_path.h"
#include "tests/ui/commands_fixture.h"

namespace bq::test {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A folder of its own for each test's payload files, removed afterwards.
class ScratchDir {
  public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("bq-commands-") + info->name();
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        path_ = fs::temp_directory_path() / name;
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path operator/(std::string_view name) const { return path_ / name; }

  private:
    fs::path path_;
};

// ---- showBox --------------------------------------------------------------------------

struct ShowCase {
    const char* name;
    std::function<std::unique_ptr<Box>()> make;
    bool readOnly;
    bool deleteEnabled;
    bool loadEnabled;
};

TEST_P(CommandsTest, ShowBoxSetsPaneAndButtonsFromTheBoxKind) {
    const std::vector<ShowCase> cases = {
        {"xml", [] { return std::make_unique<XmlBox>(); }, false, true, true},
        {"label", [] { return std::make_unique<LabelBox>(); }, false, true, true},
        {"asoc", [] { return std::make_unique<AssociationBox>(); }, true, true, false},
        {"geotiff", [] { return std::make_unique<UuidBox>(0, true); }, true, true, true},
        {"jp2h", [] { return std::make_unique<GenericBox>(4, kTypeJp2h); }, true, false, false},
    };
    for (const ShowCase& c : cases) {
        SCOPED_TRACE(c.name);
        list->deleteAllRows();
        platform.enabledStates.clear();
        platform.readOnlyStates.clear();
        append(c.make());
        showBox(*app, 0);
        EXPECT_EQ(platform.readOnly(IDC_CONTENT), c.readOnly);
        EXPECT_EQ(platform.enabled(IDC_DELETE), c.deleteEnabled);
        EXPECT_EQ(platform.enabled(IDC_PAYLOAD_LOAD), c.loadEnabled);
        EXPECT_TRUE(platform.enabled(IDC_PAYLOAD_SAVE));
        EXPECT_EQ(platform.text(IDC_CONTENT), list->boxAt(0)->text());
    }
}

TEST_P(CommandsTest, ShowBoxOfARowThatDoesNotExistShowsNothing) {
    appendXml("keep");
    showBox(*app, 5);
    showBox(*app, -1);
    EXPECT_TRUE(platform.calls.empty());
}

// ---- insertionIndex and addBox ---------------------------------------------------------

TEST_P(CommandsTest, NewXmlBoxGoesBeforeTheCodestreamAtTopLevel) {
    appendGeneric(kTypeFtyp);
    appendGeneric(kTypeJp2h);
    appendGeneric(kTypeJp2c);
    EXPECT_EQ(insertionIndex(*app), 1);
    platform.addDialogAnswers = {IDC_ADD_XML};

    ASSERT_TRUE(addBox(*app));
    EXPECT_EQ(rowTypes(), (std::vector{kTypeFtyp, kTypeJp2h, kTypeXml, kTypeJp2c}));
    const Box* added = list->boxAt(2);
    EXPECT_EQ(added->depth, 0);
    EXPECT_EQ(added->parent, nullptr);
    EXPECT_EQ(list->cellText(2, 0), "XML ");
    EXPECT_EQ(list->cellText(2, 1), "XML file");
    EXPECT_EQ(list->cellText(2, 2), "0");
    EXPECT_EQ(list->selectedRow(), 2);
    EXPECT_TRUE(app->modified());
    // The selection showed the new box, ready for typing.
    EXPECT_FALSE(platform.readOnly(IDC_CONTENT));
}

TEST_P(CommandsTest, NewBoxJoinsTheAssociationThatEndsBeforeTheCodestream) {
    appendGeneric(kTypeJp2h);
    Box* asoc = appendAsoc();
    appendLabel("name", 1);
    appendGeneric(kTypeJp2c);
    platform.addDialogAnswers = {IDC_ADD_LABEL};

    ASSERT_TRUE(addBox(*app));
    ASSERT_EQ(rowTypes(), (std::vector{kTypeJp2h, kTypeAsoc, kTypeLbl, kTypeLbl, kTypeJp2c}));
    EXPECT_EQ(list->boxAt(3)->depth, 1);
    EXPECT_EQ(list->boxAt(3)->parent, asoc);
    EXPECT_EQ(list->cellText(3, 0), "|  LBL ");
    EXPECT_EQ(list->cellText(3, 1), "   Label");
}

TEST_P(CommandsTest, NewBoxBecomesTheFirstRowWhenTheCodestreamIs) {
    appendGeneric(kTypeJp2c);
    appendGeneric(kTypeJp2h);
    EXPECT_EQ(insertionIndex(*app), kNoReferenceRow);
    platform.addDialogAnswers = {IDC_ADD_ASSOCIATION};

    ASSERT_TRUE(addBox(*app));
    EXPECT_EQ(rowTypes(), (std::vector{kTypeAsoc, kTypeJp2c, kTypeJp2h}));
    EXPECT_EQ(list->boxAt(0)->depth, 0);
    EXPECT_EQ(list->selectedRow(), 0);
}

TEST_P(CommandsTest, NewBoxIsAppendedWhenThereIsNoCodestream) {
    appendGeneric(kTypeFtyp);
    appendAsoc();
    appendLabel("inside", 1);
    EXPECT_EQ(insertionIndex(*app), kAppendRow);
    platform.addDialogAnswers = {IDC_ADD_GEOTIFF};

    ASSERT_TRUE(addBox(*app));
    ASSERT_EQ(list->rowCount(), 4);
    const auto* uuid = dynamic_cast<const UuidBox*>(list->boxAt(3));
    ASSERT_NE(uuid, nullptr);
    EXPECT_TRUE(uuid->isGeoTiff);
    EXPECT_EQ(uuid->payloadSize, 0u);
    EXPECT_EQ(uuid->depth, 0);
    EXPECT_EQ(uuid->parent, nullptr);
    EXPECT_EQ(list->cellText(3, 1), "GeoTIFF");
    EXPECT_EQ(list->selectedRow(), 3);
}

TEST_P(CommandsTest, NewBoxUnderASelectedAssociationIsItsFirstChild) {
    appendAsoc();
    Box* inner = appendAsoc(1);
    appendLabel("old child", 2);
    appendGeneric(kTypeJp2c);
    list->selectRow(1);
    platform.addDialogAnswers = {IDC_ADD_XML};

    ASSERT_TRUE(addBox(*app));
    EXPECT_EQ(rowTypes(), (std::vector{kTypeAsoc, kTypeAsoc, kTypeXml, kTypeLbl, kTypeJp2c}));
    EXPECT_EQ(list->boxAt(2)->depth, 2);
    EXPECT_EQ(list->boxAt(2)->parent, inner);
    EXPECT_EQ(list->selectedRow(), 2);
}

TEST_P(CommandsTest, NewBoxBesideASelectedBoxIsItsNextSibling) {
    Box* asoc = appendAsoc();
    appendLabel("a", 1);
    appendLabel("b", 1);
    list->selectRow(1);
    platform.addDialogAnswers = {IDC_ADD_XML};

    ASSERT_TRUE(addBox(*app));
    EXPECT_EQ(rowTypes(), (std::vector{kTypeAsoc, kTypeLbl, kTypeXml, kTypeLbl}));
    EXPECT_EQ(list->boxAt(2)->depth, 1);
    EXPECT_EQ(list->boxAt(2)->parent, asoc);
}

TEST_P(CommandsTest, CancelledAddChangesNothingAndAnEmptyListAsksNothing) {
    EXPECT_FALSE(addBox(*app));
    EXPECT_TRUE(platform.callsOf(ScriptedPlatform::Kind::RunAddDialog).empty());

    appendGeneric(kTypeJp2c);
    platform.addDialogAnswers = {IDC_ADD_CANCEL};
    EXPECT_FALSE(addBox(*app));
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_FALSE(app->modified());
}

struct GmlRow {
    std::uint32_t type;
    int depth;
    int parentOffset;  // row offset of the parent within the set, -1: the given parent
    const char* text;
    const char* size;
};

void expectGmlSet(const BoxList& list, int first, int depth, const Box* parent) {
    const GmlRow rows[] = {
        {kTypeAsoc, 0, -1, "", "0"}, {kTypeLbl, 1, 0, "gml.data", "8"},
        {kTypeAsoc, 1, 0, "", "0"},  {kTypeLbl, 2, 2, "gml.root-instance", "17"},
        {kTypeXml, 2, 2, "", "0"},
    };
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const Box* box = list.boxAt(first + i);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->type, rows[i].type);
        EXPECT_EQ(box->depth, depth + rows[i].depth);
        EXPECT_EQ(box->parent,
                  rows[i].parentOffset < 0 ? parent : list.boxAt(first + rows[i].parentOffset));
        EXPECT_EQ(box->text(), rows[i].text);
        EXPECT_EQ(list.cellText(first + i, 2), rows[i].size);
        EXPECT_EQ(list.cellText(first + i, 0), idText(*box));
        EXPECT_EQ(list.cellText(first + i, 1), box->description());
    }
    EXPECT_EQ(list.selectedRow(), first + 4);
}

TEST_P(CommandsTest, GmlSetIsAppendedInOrderWithoutACodestream) {
    appendGeneric(kTypeFtyp);
    appendGeneric(kTypeJp2h);
    platform.addDialogAnswers = {IDC_ADD_GML};

    ASSERT_TRUE(addBox(*app));
    ASSERT_EQ(list->rowCount(), 7);
    expectGmlSet(*list, 2, 0, nullptr);
    EXPECT_TRUE(app->modified());
}

TEST_P(CommandsTest, GmlSetUnderASelectedAssociationNestsTwoLevelsBelowIt) {
    appendAsoc();
    Box* selected = appendAsoc(1);
    appendGeneric(kTypeJp2c);
    list->selectRow(1);
    platform.addDialogAnswers = {IDC_ADD_GML};

    ASSERT_TRUE(addBox(*app));
    ASSERT_EQ(list->rowCount(), 8);
    expectGmlSet(*list, 2, 2, selected);
    EXPECT_EQ(list->boxAt(7)->type, kTypeJp2c);
}

// ---- deleteBox -------------------------------------------------------------------------

struct DeleteSelectionCase {
    const char* name;
    int rows;
    int selected;
    int selectedAfter;
};

TEST_P(CommandsTest, DeleteSelectsTheRowNowAtTheSameIndexOrTheLast) {
    const DeleteSelectionCase cases[] = {
        {"middle", 3, 1, 1},
        {"first", 3, 0, 0},
        {"last", 3, 2, 1},
        {"only", 1, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        list->deleteAllRows();
        for (int i = 0; i < c.rows; ++i) {
            appendXml(std::to_string(i));
        }
        list->selectRow(c.selected);
        const Box* next = list->boxAt(c.selected + 1);

        ASSERT_TRUE(deleteBox(*app));
        EXPECT_EQ(list->rowCount(), c.rows - 1);
        EXPECT_EQ(list->selectedRow(), c.selectedAfter);
        if (next != nullptr) {
            EXPECT_EQ(list->boxAt(c.selected), next);
        }
        EXPECT_TRUE(app->modified());
    }
}

TEST_P(CommandsTest, DeletingTheOnlyRowEmptiesThePaneAndDisablesRowButtons) {
    appendXml("gone");
    list->selectRow(0);
    ASSERT_EQ(platform.text(IDC_CONTENT), "gone");

    ASSERT_TRUE(deleteBox(*app));
    EXPECT_EQ(platform.text(IDC_CONTENT), "");
    EXPECT_TRUE(platform.readOnly(IDC_CONTENT));
    EXPECT_FALSE(platform.enabled(IDC_DELETE));
    EXPECT_FALSE(platform.enabled(IDC_PAYLOAD_LOAD));
    EXPECT_FALSE(platform.enabled(IDC_PAYLOAD_SAVE));
    // Typing into the pane now reaches no box.
    EXPECT_FALSE(takePaneText(*app));
}

TEST_P(CommandsTest, DeleteIgnoresLockedBoxesAndNoSelection) {
    appendGeneric(kTypeJp2h);
    EXPECT_FALSE(deleteBox(*app));
    list->selectRow(0);
    EXPECT_FALSE(deleteBox(*app));
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_FALSE(app->modified());
}

TEST_P(CommandsTest, DeletingAnAssociationTakesItsNestedRowsLockedOrNot) {
    appendGeneric(kTypeJp2h);
    appendAsoc(0, 33);
    appendLabel("child", 1);
    appendAsoc(1);
    appendGeneric(fourCC("resd"), 2);  // locked, nested two deep
    appendAsoc(0);                     // a sibling at the same depth stays
    appendGeneric(kTypeJp2c);
    list->selectRow(1);
    platform.yesNoAnswers = {true};

    ASSERT_TRUE(deleteBox(*app));
    EXPECT_EQ(platform.questionTexts(),
              std::vector<std::string>{"This box has child boxes. Delete? "});
    EXPECT_EQ(platform.callsOf(ScriptedPlatform::Kind::AskYesNo)[0].caption, "Confirmation");
    EXPECT_EQ(rowTypes(), (std::vector{kTypeJp2h, kTypeAsoc, kTypeJp2c}));
    EXPECT_EQ(list->selectedRow(), 1);
}

TEST_P(CommandsTest, DeclinedChildBoxQuestionKeepsEverything) {
    appendAsoc(0, 13);
    appendLabel("child", 1);
    list->selectRow(0);
    platform.yesNoAnswers = {false};

    EXPECT_FALSE(deleteBox(*app));
    EXPECT_EQ(list->rowCount(), 2);
    EXPECT_FALSE(app->modified());
}

TEST_P(CommandsTest, ChildBoxQuestionFollowsTheRowsNotAStaleSize) {
    // Right after reading, an association's size is 0 until the next refresh: its children
    // must still not go unasked. An empty association goes without a question.
    appendAsoc(0, 0);
    appendLabel("child", 1);
    appendAsoc(0, 0);
    list->selectRow(0);
    platform.yesNoAnswers = {false};
    EXPECT_FALSE(deleteBox(*app));
    EXPECT_EQ(list->rowCount(), 3);

    list->selectRow(2);
    ASSERT_TRUE(deleteBox(*app));
    EXPECT_EQ(platform.questionTexts().size(), 1u);
    EXPECT_EQ(rowTypes(), (std::vector{kTypeAsoc, kTypeLbl}));
}

// ---- importBoxPayload ------------------------------------------------------------------

TEST_P(CommandsTest, ImportOffersTheBoxKindAndReplacesThePayload) {
    ScratchDir dir;
    writeFile(dir / "in.xml", "<a>\n</a>");
    appendXml("old");
    list->selectRow(0);
    platform.openFileAnswers = {(dir / "in.xml").string()};

    ASSERT_TRUE(importBoxPayload(*app));
    const auto dialogs = platform.callsOf(ScriptedPlatform::Kind::ChooseOpenFile);
    ASSERT_EQ(dialogs.size(), 1u);
    const FileDialogRequest& request = dialogs[0].request;
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].name, "XML files");
    EXPECT_EQ(request.filters[0].pattern, "*.xml");
    EXPECT_EQ(request.filters[1].name, "All");
    EXPECT_EQ(request.filters[1].pattern, "*.*");
    EXPECT_EQ(request.initialName, "");
    EXPECT_EQ(request.options, 0x81800u);

    EXPECT_EQ(list->boxAt(0)->text(), "<a>\r\n</a>");
    EXPECT_EQ(platform.text(IDC_CONTENT), "<a>\r\n</a>");
    EXPECT_TRUE(app->modified());
}

TEST_P(CommandsTest, ImportIntoAnEmptyGeoTiffBoxShowsItsGeoTiffLineAtOnce) {
    ScratchDir dir;
    writeFile(dir / "geo.tif", std::string("II*\0\x08\0\0\0", 8));
    append(std::make_unique<UuidBox>(0, true));
    list->selectRow(0);
    platform.openFileAnswers = {(dir / "geo.tif").string()};

    ASSERT_TRUE(importBoxPayload(*app));
    EXPECT_EQ(platform.callsOf(ScriptedPlatform::Kind::ChooseOpenFile)[0].request.filters[0].name,
              "TIFF files");
    EXPECT_EQ(list->boxAt(0)->payloadSize, 8u + 16u);
    EXPECT_EQ(platform.text(IDC_CONTENT),
              "ID: [ B1, 4B, F8, BD, 08, 3D, 4B, 43, A5, AE, 8C, D7, D5, A6, CE, 03 ]\r\n\r\n"
              "<GeoTIFF file>");
}

TEST_P(CommandsTest, ImportTakesAnEmptyFile) {
    ScratchDir dir;
    writeFile(dir / "empty.txt", "");
    appendLabel("was here");
    list->selectRow(0);
    platform.openFileAnswers = {(dir / "empty.txt").string()};

    ASSERT_TRUE(importBoxPayload(*app));
    EXPECT_EQ(list->boxAt(0)->payloadSize, 0u);
    EXPECT_EQ(list->boxAt(0)->text(), "");
}

TEST_P(CommandsTest, ImportThatCannotReadTheFileWholeLeavesBoxAndStateAlone) {
    ScratchDir dir;
    struct Case {
        const char* name;
        std::string path;
        const char* message;
    };
    std::vector<Case> cases = {
        {"missing", (dir / "missing.xml").string(), "Couldn't open the file!"},
        {"folder", (dir / "").string(), "Couldn't open the file!"},
    };
    // UTF-16 text would keep only what comes before its first NUL.
    writeFile(dir / "utf16.xml", std::string("\xFF\xFE<\0a\0/\0>\0", 10));
    cases.push_back({"UTF-16", (dir / "utf16.xml").string(), "Couldn't read the file!"});
    // A sparse file of 4 GiB: too large for a box, refused before anything is read.
    const fs::path huge = dir / "huge.xml";
    std::error_code error;
    writeFile(huge, "");
    fs::resize_file(huge, std::uintmax_t{1} << 32, error);
    if (!error) {
        cases.push_back({"4 GiB", huge.string(), "Couldn't read the file!"});
    }

    appendXml("keep me");
    list->selectRow(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.clearCalls();
        platform.openFileAnswers = {c.path};
        EXPECT_FALSE(importBoxPayload(*app));
        const auto errors = platform.errorTexts();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].rfind(std::string("\n") + c.message, 0), 0u) << errors[0];
        EXPECT_EQ(list->boxAt(0)->text(), "keep me");
        EXPECT_EQ(list->boxAt(0)->payloadSize, 7u);
        EXPECT_FALSE(app->modified());
    }
    fs::remove(huge, error);
}

TEST_P(CommandsTest, ImportAsksNothingForLockedAssociationOrNoSelection) {
    appendGeneric(kTypeJp2h);
    appendAsoc();
    EXPECT_FALSE(importBoxPayload(*app));
    list->selectRow(0);
    EXPECT_FALSE(importBoxPayload(*app));
    list->selectRow(1);
    EXPECT_FALSE(importBoxPayload(*app));
    EXPECT_TRUE(platform.callsOf(ScriptedPlatform::Kind::ChooseOpenFile).empty());
}

TEST_P(CommandsTest, CancelledImportChangesNothing) {
    appendXml("x");
    list->selectRow(0);
    platform.openFileAnswers = {std::nullopt};
    EXPECT_FALSE(importBoxPayload(*app));
    EXPECT_FALSE(app->modified());
    EXPECT_TRUE(platform.errorTexts().empty());
}

// ---- exportBoxPayload ------------------------------------------------------------------

TEST_P(CommandsTest, ExportProposesTheOpenedNameWithTheBoxExtension) {
    ScratchDir dir;
    platform.setControlText(IDC_PATH, "C:\\scans\\site.final.jp2");
    appendXml("<x/>");
    list->selectRow(0);
    const fs::path out = dir / "out.xml";
    platform.saveFileAnswers = {out.string()};

    ASSERT_TRUE(exportBoxPayload(*app));
    const auto dialogs = platform.callsOf(ScriptedPlatform::Kind::ChooseSaveFile);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].request.initialName, "site.final.xml");
    EXPECT_EQ(dialogs[0].request.options, 0x80802u);
    EXPECT_EQ(dialogs[0].request.filters[0].name, "XML files");
    EXPECT_EQ(dialogs[0].request.filters[0].pattern, "*.xml");
    EXPECT_EQ(readFile(out), "<x/>");
    EXPECT_FALSE(app->modified());
}

TEST_P(CommandsTest, ExportOfAGeoTiffBoxWritesTheTiffWithoutIdentifierOrHeader) {
    ScratchDir dir;
    const std::string tiff("II*\0\x08\0\0\0tail", 12);
    writeFile(dir / "in.tif", tiff);
    append(std::make_unique<UuidBox>(0, true));
    list->selectRow(0);
    platform.openFileAnswers = {(dir / "in.tif").string()};
    platform.saveFileAnswers = {(dir / "out.tif").string()};

    ASSERT_TRUE(importBoxPayload(*app));
    ASSERT_TRUE(exportBoxPayload(*app));
    EXPECT_EQ(readFile(dir / "out.tif"), tiff);
}

TEST_P(CommandsTest, ExportThatCannotCreateTheFileSaysSo) {
    ScratchDir dir;
    appendXml("x");
    list->selectRow(0);
    platform.saveFileAnswers = {(dir / "no-such-folder" / "out.xml").string()};
    EXPECT_FALSE(exportBoxPayload(*app));
    EXPECT_EQ(platform.errorTexts(), std::vector<std::string>{"\nCouldn't create file! \n\n"});
}

TEST_P(CommandsTest, ExportIgnoresAssociationsAndNoSelection) {
    appendAsoc();
    EXPECT_FALSE(exportBoxPayload(*app));
    list->selectRow(0);
    EXPECT_FALSE(exportBoxPayload(*app));
    EXPECT_TRUE(platform.callsOf(ScriptedPlatform::Kind::ChooseSaveFile).empty());
}

TEST(ExportName, BaseNameTakesThePartAfterTheLastSlashOfEitherKind) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\scans\\site.final.jp2", "site.final.jp2"},
        {"/home/me/a.jp2", "a.jp2"},
        {"mixed/dir\\name.jpx", "name.jpx"},
        {"plain.jp2", "plain.jp2"},
        {"folder/", ""},
        {"", ""},
    };
    for (const auto& [path, base] : cases) {
        EXPECT_EQ(baseName(path), base) << path;
    }
}

TEST(ExportName, ProposedNameCutsAtTheLastDotAndKeepsTheExtensionWithinTheBuffer) {
    const auto repeat = [](std::string_view text, int times) {
        std::string result;
        for (int i = 0; i < times; ++i) {
            result += text;
        }
        return result;
    };
    const struct {
        std::string path;
        std::string expected;
    } cases[] = {
        {"C:\\scans\\site.final.jp2", "site.final.xml"},
        {"C:\\scans.d\\noext", "noext.xml"},
        {".jp2", ".xml"},
        {"", ".xml"},
        // A base name of 259 characters leaves room for the extension only by cutting it.
        {"C:\\" + std::string(259, 'a'), std::string(255, 'a') + ".xml"},
        {std::string(300, 'b') + ".jp2", std::string(255, 'b') + ".xml"},
        // Counted in UTF-16 units, as Windows counts them, and never cut inside a character:
        // two bytes and one unit each, then four bytes and two units each.
        {"C:\\" + repeat("д", 300) + ".jp2", repeat("д", 255) + ".xml"},
        {repeat("\xF0\xA0\x80\x80", 200) + ".jp2", repeat("\xF0\xA0\x80\x80", 127) + ".xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.size());
        const std::string name = proposedExportName(c.path, ".xml");
        EXPECT_EQ(name, c.expected);
        EXPECT_LE(windowsLength(name), kPathBufferSize - 1);
    }
}

// ---- takePaneText ----------------------------------------------------------------------

TEST_P(CommandsTest, TypedTextReachesTheSelectedBoxAndDeletingAllEmptiesIt) {
    appendXml("");
    appendLabel("other");
    list->selectRow(0);
    platform.setControlText(IDC_CONTENT, "<gml/>\r\n");
    ASSERT_TRUE(takePaneText(*app));
    EXPECT_EQ(list->boxAt(0)->text(), "<gml/>\r\n");
    EXPECT_EQ(list->boxAt(0)->payloadSize, 8u);
    EXPECT_EQ(list->boxAt(1)->text(), "other");
    EXPECT_TRUE(app->modified());

    platform.setControlText(IDC_CONTENT, "");
    ASSERT_TRUE(takePaneText(*app));
    EXPECT_EQ(list->boxAt(0)->text(), "");
    EXPECT_EQ(list->boxAt(0)->payloadSize, 0u);
}

TEST_P(CommandsTest, PaneTextReachesNoBoxWithoutSelectionOrForANonEditableBox) {
    appendGeneric(kTypeJp2h);
    appendAsoc();
    platform.setControlText(IDC_CONTENT, "typed");
    EXPECT_FALSE(takePaneText(*app));
    list->selectRow(0);
    EXPECT_FALSE(takePaneText(*app));
    list->selectRow(1);
    EXPECT_FALSE(takePaneText(*app));
    EXPECT_FALSE(app->modified());
}

// ---- panel routing ---------------------------------------------------------------------

TEST_P(CommandsTest, PanelButtonsReachTheirCommands) {
    appendXml("x");
    list->selectRow(0);
    platform.allowUnscripted = true;  // every dialog is cancelled
    using K = ScriptedPlatform::Kind;
    const struct {
        int id;
        K asks;
        const char* firstFilter;
    } cases[] = {
        {IDC_LOAD, K::ChooseOpenFile, "JP2 files"},
        {IDC_SAVE, K::ChooseSaveFile, "JP2 files"},
        {IDC_ADD, K::RunAddDialog, nullptr},
        {IDC_PAYLOAD_LOAD, K::ChooseOpenFile, "XML files"},
        {IDC_PAYLOAD_SAVE, K::ChooseSaveFile, "XML files"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        platform.clearCalls();
        panelCommand(*app, c.id, 0);
        const auto asked = platform.callsOf(c.asks);
        ASSERT_EQ(asked.size(), 1u);
        if (c.firstFilter != nullptr) {
            EXPECT_EQ(asked[0].request.filters.at(0).name, c.firstFilter);
        }
    }
    panelCommand(*app, IDC_DELETE, 0);
    EXPECT_EQ(list->rowCount(), 0);
}

TEST_P(CommandsTest, OnlyAnEditChangeOfThePaneIsTakenIntoTheBox) {
    appendXml("old");
    list->selectRow(0);
    platform.setControlText(IDC_CONTENT, "new");
    panelCommand(*app, IDC_CONTENT, 0x100);  // EN_SETFOCUS
    EXPECT_EQ(list->boxAt(0)->text(), "old");
    panelCommand(*app, IDC_PATH, kEnChange);
    EXPECT_EQ(list->boxAt(0)->text(), "old");
    panelCommand(*app, IDC_CONTENT, kEnChange);
    EXPECT_EQ(list->boxAt(0)->text(), "new");
}

TEST_P(CommandsTest, ListKeysInsertAndDeleteReachAddAndDelete) {
    appendXml("a");
    appendXml("b");
    list->selectRow(1);
    listKeyDown(*app, 0x41);  // 'A'
    EXPECT_TRUE(platform.callsOf(ScriptedPlatform::Kind::RunAddDialog).empty());
    EXPECT_EQ(list->rowCount(), 2);

    listKeyDown(*app, kVkDelete);
    EXPECT_EQ(list->rowCount(), 1);

    platform.addDialogAnswers = {IDC_ADD_LABEL};
    listKeyDown(*app, kVkInsert);
    EXPECT_EQ(rowTypes(), (std::vector{kTypeXml, kTypeLbl}));
}

TEST_P(CommandsTest, PaneFollowsTheSelectionWhateverRowANotificationNames) {
    appendXml("first");
    appendXml("second");
    // With nothing selected no edit reaches the notified row: it is shown read-only.
    listItemChanged(*app, 1, kLvifState);
    EXPECT_EQ(platform.text(IDC_CONTENT), "second");
    EXPECT_TRUE(platform.readOnly(IDC_CONTENT));

    list->selectRow(0);
    ASSERT_EQ(platform.text(IDC_CONTENT), "first");

    // A change without the state bit, or naming no row, shows nothing.
    platform.clearCalls();
    listItemChanged(*app, 1, 0x1);
    listItemChanged(*app, -1, kLvifState);
    EXPECT_TRUE(platform.callsOf(ScriptedPlatform::Kind::SetControlText).empty());

    // Focus moved to row 1 while row 0 stays selected: typing reaches row 0, so the pane
    // must keep showing row 0.
    listItemChanged(*app, 1, kLvifState);
    EXPECT_EQ(platform.text(IDC_CONTENT), "first");
    EXPECT_FALSE(platform.readOnly(IDC_CONTENT));
}

}  // namespace
}  // namespace bq::test
