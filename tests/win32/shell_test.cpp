// The program end to end under Wine: the shell in-process, read back and driven by messages,
// real message boxes and file dialogs answered from a timer.
#include <windows.h>
#include <algorithm>

#include <commctrl.h>
#include <shlobj.h>  // DROPFILES

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "stream/utf8_path.h"
#include "tests/formats/tiff_bytes.h"
#include "tests/ui/test_files.h"
#include "tests/win32/driver.h"
#include "tests/win32/script_folder.h"
#include "ui/app.h"
#include "ui/control_ids.h"
#include "ui/jp2_header_edit.h"
#include "ui/layout.h"
#include "ui/list_rules.h"
#include "ui/win32/shell.h"
#include "ui/xmp_edit.h"

namespace bq::test {
namespace {

using win32::Shell;

// A Windows path to a sample (the build gives the folder with forward slashes).
std::string samplePath(const char* name) {
    std::string path = std::string(BOXQUILL_SAMPLES_DIR) + "/" + name;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

const std::string kSample = samplePath("nested-asoc.jp2");
constexpr int kSampleRows = 12;
constexpr int kXmlRow = 4;  // "|  XML" inside the outer association
constexpr int kOuterAsocRow = 2;

class ShellTest : public testing::Test {
  protected:
    void SetUp() override {
        shell_ = std::make_unique<Shell>(GetModuleHandleA(nullptr));
        ASSERT_TRUE(shell_->createWindows());
    }
    void TearDown() override { shell_.reset(); }

    HWND control(int id) const { return shell_->control(id); }
    HWND list() const { return control(IDC_LIST); }
    std::string title() const { return windowText(shell_->mainWindow()); }
    std::string text(int id) const {
        const HWND window = control(id);
        std::string result(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
        result.resize(static_cast<std::size_t>(
            GetWindowTextA(window, result.data(), static_cast<int>(result.size()))));
        return result;
    }
    bool enabled(int id) const { return IsWindowEnabled(control(id)) != FALSE; }
    bool readOnly(int id) const {
        return (GetWindowLongA(control(id), GWL_STYLE) & ES_READONLY) != 0;
    }
    int rowCount() const { return static_cast<int>(SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0)); }
    std::string cell(int row, int column) const {
        char buffer[512] = {};
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        SendMessageA(list(), LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        return buffer;
    }
    int selectedRow() const {
        return static_cast<int>(
            SendMessageA(list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    // As a click does: selection and focus, which the list reports to the panel.
    void clickRow(int row) {
        LVITEMA item{};
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list(), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }
    void typeIntoPane(const char* typed) {
        const HWND pane = control(IDC_CONTENT);
        const auto end = static_cast<WPARAM>(GetWindowTextLengthA(pane));
        SendMessageA(pane, EM_SETSEL, end, static_cast<LPARAM>(end));
        SendMessageA(pane, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(typed));
    }
    // Keys pressed in order and released in reverse, through the system's input queue, so that
    // they reach whatever has the focus and pass the message loop's accelerators.
    static void pressKeys(std::initializer_list<WORD> keys) {
        std::vector<INPUT> inputs;
        for (WORD key : keys) {
            inputs.push_back({INPUT_KEYBOARD, {.ki = {key, 0, 0, 0, 0}}});
        }
        for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
            inputs.push_back({INPUT_KEYBOARD, {.ki = {*key, 0, KEYEVENTF_KEYUP, 0, 0}}});
        }
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    }
    void postCommand(int id) {
        PostMessageA(shell_->mainWindow(), WM_COMMAND, MAKEWPARAM(id, 1), 0);
    }
    // A step that waits for the message box `caption`, records its text and answers it.
    void answerMessageBox(Driver& driver, const char* caption, int answer, std::string* text) {
        driver.then(std::string("message box ") + caption, [=] {
            const HWND box = findDialog(caption);
            if (box == nullptr) {
                return false;
            }
            if (text != nullptr) {
                *text = staticTexts(box);
            }
            PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
            return true;
        });
    }
    // A step that waits for the file dialog `caption` and chooses `path` in it.
    void answerFileDialog(Driver& driver, const char* caption, std::string path) {
        driver.then(std::string("file dialog ") + caption, [=] {
            const HWND dialog = findDialog(caption);
            const HWND focus = GetFocus();
            if (dialog == nullptr || focus == nullptr || !IsChild(dialog, focus)) {
                return false;
            }
            SetWindowTextW(focus, widen(path).c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            return true;
        });
    }
    // Steps that edit the XML box, press Ctrl+S and save as `path` in the dialog.
    void modifyThenSaveAs(Driver& driver, const std::string& path) {
        driver.then("modify, then Ctrl+S", [this] {
            clickRow(kXmlRow);
            typeIntoPane(" ");
            postCommand(IDM_SAVE);
            return true;
        });
        answerFileDialog(driver, "Save As", path);
        driver.then("saved", [this] { return !shell_->app().modified(); });
    }
    void closeWhenDone(Driver& driver) {
        driver.then("close", [this] {
            PostMessageA(shell_->mainWindow(), WM_CLOSE, 0, 0);
            return true;
        });
    }
    void openSample() {
        shell_->openFromTail(kSample);
        ASSERT_EQ(rowCount(), kSampleRows);
    }
    // Writes and opens folder/scan.jp2: a JP2 header holding `header`, then a codestream.
    void openScan(const TempFolder& folder, const Bytes& header) {
        writeFile(folder.file("scan.jp2"),
                  concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload),
                          boxBytes("jp2h", header), boxBytes("jp2c", {0xFF, 0x4F})}));
        shell_->openFromTail(folder.file("scan.jp2"));
    }
    // A step that opens the JP2 header row's Properties with Alt+Enter.
    void propertiesOfTheHeader(Driver& driver) {
        driver.then("Alt+Enter on the JP2 header row", [this] {
            clickRow(jp2HeaderRow(shell_->boxes()));
            SetFocus(list());
            pressKeys({VK_MENU, VK_RETURN});
            return true;
        });
    }
    // A step that waits for Properties, with no file dialog over it, and presses `button`.
    void pressInProperties(Driver& driver, const char* step, int button) {
        driver.then(step, [this, button] {
            const HWND properties = findProperties();
            if (properties == nullptr || findDialog("Open") != nullptr ||
                findDialog("Save As") != nullptr) {
                return false;
            }
            PostMessageW(GetDlgItem(properties, button), BM_CLICK, 0, 0);
            return true;
        });
    }

    // Closes the Properties once the dialog it opened (`caption`) has closed.
    void closePropertiesAfter(Driver& driver, const char* caption) {
        driver.then("Close the Properties", [caption] {
            const HWND properties = findProperties();
            if (findDialog(caption) != nullptr || properties == nullptr) {
                return false;
            }
            PostMessageW(properties, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
    }

    std::unique_ptr<Shell> shell_;
};

TEST_F(ShellTest, StartsWithTheCommandLineFileListedAndNothingModified) {
    shell_->openFromTail("\"" + kSample + "\"");  // as the shell quotes a path
    ASSERT_EQ(rowCount(), kSampleRows);
    const std::vector<std::vector<std::string>> expected = {
        {"FTYP", "File type", "12"},          {"ASOC", "Association box", "0"},
        {"|  XML ", "   XML file", "112"},    {"|  |  ASOC", "      Association box", "0"},
        {"JP2C", "Image codestream", "1812"},
    };
    const int rows[] = {0, kOuterAsocRow, kXmlRow, 7, 11};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(cell(rows[i], column), expected[i][static_cast<std::size_t>(column)])
                << "row " << rows[i] << " column " << column;
        }
    }
    EXPECT_EQ(title(), "Boxquill v1.1.363");
    EXPECT_EQ(text(IDC_PATH), kSample);
    EXPECT_TRUE(enabled(IDC_ADD));
    EXPECT_TRUE(enabled(IDC_LOAD));
    EXPECT_FALSE(enabled(IDC_SAVE));
    EXPECT_FALSE(enabled(IDC_DELETE));
    EXPECT_EQ(text(IDC_CONTENT), "");
    EXPECT_TRUE(readOnly(IDC_CONTENT));
    EXPECT_EQ(selectedRow(), -1);
}

TEST_F(ShellTest, EverySampleOpensWithoutAnError) {
    struct Sample {
        const char* name;
        int rows;
        const char* lastId;
    };
    bool errorShown = false;
    Driver driver;
    // Runs only if an open shows its error box (a modal loop), which it then answers.
    driver.then("error box", [&] {
        if (const HWND box = findDialog("Boxquill - Error!")) {
            errorShown = true;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        return true;
    });
    for (const Sample& sample :
         {Sample{"geo-gmljp2.jp2", 10, "JP2C"}, Sample{"nested-asoc.jp2", kSampleRows, "JP2C"},
          Sample{"tiled.jp2", 3, "JP2C"}}) {
        SCOPED_TRACE(sample.name);
        shell_->openFromTail(samplePath(sample.name));
        EXPECT_EQ(rowCount(), sample.rows);
        EXPECT_EQ(cell(rowCount() - 1, 0), sample.lastId);
        EXPECT_TRUE(enabled(IDC_ADD));
    }
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_FALSE(errorShown);
}

TEST_F(ShellTest, IdlePassesBringTheAssociationSizesIntoTheList) {
    openSample();
    EXPECT_EQ(cell(kOuterAsocRow, 2), "0");
    Driver driver;
    driver.then("association sizes refreshed", [this] { return cell(kOuterAsocRow, 2) != "0"; });
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_TRUE(driver.done());
}

TEST_F(ShellTest, SelectingARowShowsItsBoxWithoutMarkingTheDocumentModified) {
    openSample();
    clickRow(kXmlRow);
    EXPECT_NE(text(IDC_CONTENT).find("<site name=\"weir\">\r\n"), std::string::npos);
    EXPECT_FALSE(readOnly(IDC_CONTENT));
    EXPECT_TRUE(enabled(IDC_DELETE));
    EXPECT_TRUE(enabled(IDC_PAYLOAD_LOAD));
    EXPECT_TRUE(enabled(IDC_PAYLOAD_SAVE));
    // Setting the pane's text is no edit.
    EXPECT_EQ(title(), "Boxquill v1.1.363");
    EXPECT_FALSE(enabled(IDC_SAVE));

    clickRow(0);  // the locked file type box
    EXPECT_NE(text(IDC_CONTENT), "");
    EXPECT_TRUE(readOnly(IDC_CONTENT));
    EXPECT_FALSE(enabled(IDC_DELETE));
    EXPECT_FALSE(enabled(IDC_PAYLOAD_LOAD));
    EXPECT_FALSE(shell_->app().modified());
}

// Windows' multi-line edit reports a change when its whole text is replaced; Wine's does not.
// This pane reports it as Windows does, so the test holds under both.
LRESULT CALLBACK reportingPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto original = reinterpret_cast<WNDPROC>(GetPropA(pane, "original"));
    const LRESULT result = CallWindowProcA(original, pane, message, wParam, lParam);
    if (message == WM_SETTEXT) {
        SendMessageA(GetParent(pane), WM_COMMAND, MAKEWPARAM(IDC_CONTENT, EN_CHANGE),
                     reinterpret_cast<LPARAM>(pane));
    }
    return result;
}

TEST_F(ShellTest, ThePaneTextSetByTheProgramIsNoEditEvenWhenThePaneReportsAChange) {
    openSample();
    const HWND pane = control(IDC_CONTENT);
    SetPropA(pane, "original",
             reinterpret_cast<HANDLE>(SetWindowLongPtrA(
                 pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&reportingPaneProc))));
    clickRow(kXmlRow);
    EXPECT_NE(text(IDC_CONTENT), "");
    EXPECT_EQ(title(), "Boxquill v1.1.363");
    EXPECT_FALSE(shell_->app().modified());
    typeIntoPane("x");  // a real edit still counts
    EXPECT_TRUE(shell_->app().modified());
    SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetPropA(pane, "original")));
    RemovePropA(pane, "original");
}

TEST_F(ShellTest, TypingIntoThePaneChangesTheBoxAndStarsTheTitle) {
    openSample();
    clickRow(kXmlRow);
    typeIntoPane("<!-- checked -->");
    EXPECT_EQ(title(), "Boxquill* v1.1.363");
    EXPECT_TRUE(enabled(IDC_SAVE));
    const std::string boxText = shell_->boxes().boxAt(kXmlRow)->text();
    EXPECT_EQ(boxText.substr(boxText.size() - 16), "<!-- checked -->");
}

TEST_F(ShellTest, ClosingAModifiedDocumentAnsweredNoKeepsEverything) {
    openSample();
    clickRow(kXmlRow);
    typeIntoPane("x");
    std::string question;
    Driver driver;
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDNO, &question);
    driver.then("still open", [&] {
        EXPECT_TRUE(IsWindow(shell_->mainWindow()));
        EXPECT_EQ(title(), "Boxquill* v1.1.363");
        EXPECT_EQ(rowCount(), kSampleRows);
        EXPECT_EQ(selectedRow(), kXmlRow);
        return true;
    });
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_NE(question.find("The file is modified. Quit? "), std::string::npos) << question;
    EXPECT_EQ(shell_->mainWindow(), nullptr);
    EXPECT_TRUE(driver.done());
}

TEST_F(ShellTest, ClosingAnUnmodifiedDocumentAsksNothing) {
    openSample();
    Driver driver;
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_EQ(shell_->mainWindow(), nullptr);
}

TEST_F(ShellTest, CtrlSDoesNothingWhileSaveIsDisabledAndSavesOnceModified) {
    openSample();
    const auto folder = std::filesystem::temp_directory_path() / "boxquill-shell-test";
    std::filesystem::create_directories(folder);
    const std::string saved = (folder / "saved.jp2").string();
    std::filesystem::remove(saved);

    bool dialogSeen = false;
    Driver driver;
    driver.then("Ctrl+S while Save is disabled", [&] {
        SendMessageA(shell_->mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_SAVE, 1), 0);
        return true;
    });
    driver.then("no save dialog", [&] {
        if (const HWND dialog = findDialog("Save As")) {
            dialogSeen = true;
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        return true;
    });
    modifyThenSaveAs(driver, saved);
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_FALSE(dialogSeen);

    std::ifstream file(saved, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    ASSERT_GT(bytes.size(), 12u);
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 8), "jP  ");
    file.close();
    std::filesystem::remove_all(folder);
}

TEST_F(ShellTest, CtrlOOpensTheChosenFile) {
    Driver driver;
    driver.then("Ctrl+O", [this] {
        postCommand(IDM_OPEN);
        return true;
    });
    answerFileDialog(driver, "Open", kSample);
    driver.then("loaded", [this] { return rowCount() == kSampleRows; });
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_TRUE(driver.done());
}

TEST_F(ShellTest, AFileNamedInAnyScriptOpensAndSavesThroughTheDialog) {
    const ScriptFolder folder(kSample);
    const std::string map = folder.file(kScriptFileName);
    shell_->openFromTail("\"" + map + "\"");
    ASSERT_EQ(rowCount(), kSampleRows);
    EXPECT_EQ(controlTextUtf8(control(IDC_PATH)), map);

    const std::string saved = folder.file("Карта 東京 сохранено.jp2");
    Driver driver;
    modifyThenSaveAs(driver, saved);
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_TRUE(folder.holds("Карта 東京 сохранено.jp2"));
}

// A drop as Explorer hands it over: DROPFILES, then the wide names, each ended by a NUL,
// then one NUL more. The window frees it.
HDROP dropOf(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) {
        names += widen(path);
        names.push_back(L'\0');
    }
    names.push_back(L'\0');
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(ShellTest, OfTheFilesDroppedOnTheWindowTheFirstOpens) {
    EXPECT_NE(GetWindowLongA(shell_->mainWindow(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    const ScriptFolder folder(kSample);
    const std::string map = folder.file(kScriptFileName);
    SendMessageW(shell_->mainWindow(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(dropOf({map, samplePath("tiled.jp2")})), 0);
    EXPECT_EQ(rowCount(), kSampleRows);
    EXPECT_EQ(controlTextUtf8(control(IDC_PATH)), map);
}

TEST_F(ShellTest, AFileThatCannotBeOpenedShowsTheErrorBoxAndTheProgramStaysUp) {
    std::string message;
    Driver driver;
    answerMessageBox(driver, "Boxquill - Error!", IDOK, &message);
    shell_->openFromTail("Z:\\no\\such\\file.jp2");  // the box runs its own loop
    EXPECT_EQ(message, "\nCouldn't open the file \n\n");
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(IsWindow(shell_->mainWindow()));
    EXPECT_FALSE(enabled(IDC_ADD));
}

TEST_F(ShellTest, TheAddDialogInsertsTheChosenBoxBeforeTheCodestream) {
    openSample();
    std::vector<std::string> captions;
    Driver driver;
    driver.then("press Add", [this] {
        PostMessageA(control(IDC_ADD), BM_CLICK, 0, 0);
        return true;
    });
    driver.then("choose XML", [&] {
        const HWND dialog = findDialog("Add JP2 box");
        if (dialog == nullptr) {
            return false;
        }
        for (int id : {IDC_ADD_XML, IDC_ADD_GEOTIFF, IDC_ADD_ASSOCIATION, IDC_ADD_LABEL,
                       IDC_ADD_GML, IDC_ADD_CANCEL}) {
            captions.push_back(windowText(GetDlgItem(dialog, id)));
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ADD_XML, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ADD_XML)));
        return true;
    });
    driver.then("added", [this] { return rowCount() == kSampleRows + 1; });
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_EQ(captions, (std::vector<std::string>{"XML", "GeoTIFF", "Association container",
                                                  "Label", "GML boxes", "Cancel"}));
}

TEST_F(ShellTest, TheAddDialogPutsTheNewRowInPlaceAndSelectsIt) {
    openSample();
    Driver driver;
    driver.then("press Add", [this] {
        PostMessageA(control(IDC_ADD), BM_CLICK, 0, 0);
        return true;
    });
    driver.then("choose Label", [] {
        const HWND dialog = findDialog("Add JP2 box");
        if (dialog == nullptr) {
            return false;
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ADD_LABEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ADD_LABEL)));
        return true;
    });
    driver.then("added", [&] {
        if (rowCount() != kSampleRows + 1) {
            return false;
        }
        EXPECT_EQ(selectedRow(), 11);
        EXPECT_EQ(cell(11, 0), "LBL ");
        EXPECT_EQ(cell(12, 0), "JP2C");
        EXPECT_FALSE(readOnly(IDC_CONTENT));
        EXPECT_EQ(GetFocus(), control(IDC_CONTENT));  // ready for typing
        EXPECT_EQ(title(), "Boxquill* v1.1.363");
        return true;
    });
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    EXPECT_EQ(shell_->messageLoop(), 1);
}

TEST_F(ShellTest, TheDeleteKeyInTheListDeletesTheAssociationWithItsChildrenOnceConfirmed) {
    openSample();
    std::string question;
    Driver driver;
    driver.then("Delete on the outer association", [&] {
        clickRow(kOuterAsocRow);
        SetFocus(list());
        PostMessageA(list(), WM_KEYDOWN, VK_DELETE, 0);
        return true;
    });
    answerMessageBox(driver, "Confirmation", IDYES, &question);
    driver.then("deleted", [&] {
        if (rowCount() != kSampleRows - 8) {
            return false;
        }
        EXPECT_EQ(cell(kOuterAsocRow, 0), "LBL ");
        EXPECT_EQ(selectedRow(), kOuterAsocRow);
        EXPECT_EQ(title(), "Boxquill* v1.1.363");
        return true;
    });
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_NE(question.find("This box has child boxes. Delete? "), std::string::npos) << question;
}

TEST_F(ShellTest, CtrlZBringsBackADeletedAssociationAndCtrlYDeletesItAgain) {
    openSample();
    std::vector<std::string> before;
    const auto cells = [this] {
        std::vector<std::string> all;
        for (int row = 0; row < rowCount(); ++row) {
            for (int column = 0; column < 3; ++column) {
                all.push_back(cell(row, column));
            }
        }
        return all;
    };
    Driver driver;
    driver.then("the association sizes refreshed, then Delete on the outer association", [&] {
        if (cell(kOuterAsocRow, 2) == "0") {
            return false;  // the idle pass has not summed them yet
        }
        before = cells();
        clickRow(kOuterAsocRow);
        SetFocus(list());
        PostMessageA(list(), WM_KEYDOWN, VK_DELETE, 0);
        return true;
    });
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    driver.then("deleted, then Ctrl+Z", [&] {
        if (rowCount() != kSampleRows - 8) {
            return false;
        }
        pressKeys({VK_CONTROL, 'Z'});
        return true;
    });
    driver.then("back as it was", [&] {
        if (rowCount() != kSampleRows) {
            return false;
        }
        EXPECT_EQ(cells(), before);
        EXPECT_EQ(selectedRow(), kOuterAsocRow);
        EXPECT_EQ(title(), "Boxquill v1.1.363");
        pressKeys({VK_CONTROL, 'Y'});
        return true;
    });
    driver.then("deleted again", [&] {
        if (rowCount() != kSampleRows - 8) {
            return false;
        }
        EXPECT_EQ(title(), "Boxquill* v1.1.363");
        return true;
    });
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_TRUE(driver.done());
}

TEST_F(ShellTest, AltEnterShowsThePropertiesOfTheRowAndEscapeGivesTheFocusBackToTheList) {
    openSample();
    std::string shown;
    Driver driver;
    driver.then("Alt+Enter on the XML row", [this] {
        clickRow(kXmlRow);
        SetFocus(list());
        pressKeys({VK_MENU, VK_RETURN});
        return true;
    });
    driver.then("Properties, then Escape", [&] {
        const HWND dialog = findProperties();
        if (dialog == nullptr) {
            return false;
        }
        shown = controlTextUtf8(GetDlgItem(dialog, IDC_PROPERTIES_TEXT));
        pressKeys({VK_ESCAPE});
        return true;
    });
    driver.then("closed", [this] {
        if (findProperties() != nullptr) {
            return false;
        }
        EXPECT_EQ(GetFocus(), list());
        return true;
    });
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_NE(shown, "");
}

// The open context menu's items: text and enabled state.
std::vector<std::pair<std::string, bool>> openMenuItems() {
    std::vector<std::pair<std::string, bool>> items;
    const HWND window = FindWindowA("#32768", nullptr);
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
    for (int i = 0; window != nullptr && i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        if (text[0] != L'\0') {
            const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            items.emplace_back(narrow(text), (state & MF_GRAYED) == 0);
        }
    }
    return items;
}

TEST_F(ShellTest, TheListsContextMenuOpensByKeyOrAtTheRowClickedWhichItSelects) {
    openSample();
    using Items = std::vector<std::pair<std::string, bool>>;
    Items byKey;
    Items byClick;
    Driver driver;
    driver.then("the menu key on the XML row", [this] {
        clickRow(kXmlRow);
        SetFocus(list());
        pressKeys({VK_APPS});
        return true;
    });
    driver.then("the menu, then Escape", [&] {
        byKey = openMenuItems();
        if (byKey.empty()) {
            return false;
        }
        pressKeys({VK_ESCAPE});
        return true;
    });
    driver.then("right click on the file type row", [this] {
        RECT row{LVIR_LABEL, 0, 0, 0};
        SendMessageA(list(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
        POINT at{row.left + 2, row.top + 2};
        ClientToScreen(list(), &at);
        PostMessageA(list(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list()),
                     MAKELPARAM(at.x, at.y));
        return true;
    });
    driver.then("the menu, then P", [&] {
        byClick = openMenuItems();
        if (byClick.empty()) {
            return false;
        }
        EXPECT_EQ(selectedRow(), 0);
        pressKeys({'P'});
        return true;
    });
    driver.then("Properties, then Enter", [this] {
        if (findProperties() == nullptr) {
            return false;
        }
        pressKeys({VK_RETURN});
        return true;
    });
    driver.then("closed", [this] { return findProperties() == nullptr; });
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    // The file type box is locked: no Delete and no payload Load, as on the panel.
    const auto itemsOf = [](bool unlocked) {
        return Items{{"&Properties…\tAlt+Enter", true}, {"&Add…\tIns", true},
                     {"&Delete\tDel", unlocked},        {"&Load payload…", unlocked},
                     {"&Save payload…", true},          {"Add &XMP packet", true},
                     {"Set &georeferencing…", true},    {"&Check file…\tF7", true},
                     {"&Undo\tCtrl+Z", false},          {"&Redo\tCtrl+Y", false}};
    };
    EXPECT_EQ(byKey, itemsOf(true));
    EXPECT_EQ(byClick, itemsOf(false));
}

TEST_F(ShellTest, F7ListsTheFindingsAndEnterOnOneSelectsTheRowOfItsBox) {
    // An image header with compression type 9 (row 1), a codestream without SIZ (row 2).
    const TempFolder folder;
    const Bytes header = concat({u32Bytes(16), u32Bytes(16), {0, 1, 7, 9, 0, 0}});
    const Bytes colour = concat({{1, 0, 0}, u32Bytes(17)});
    writeFile(
        folder.file("faulty.jp2"),
        concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload),
                boxBytes("jp2h", concat({boxBytes("ihdr", header), boxBytes("colr", colour)})),
                boxBytes("jp2c", {0xFF, 0x4F, 0, 0})}));
    shell_->openFromTail(folder.file("faulty.jp2"));
    ASSERT_EQ(rowCount(), 3);
    std::vector<std::string> tests;
    Driver driver;
    driver.then("F7 on the file type row", [this] {
        clickRow(0);
        SetFocus(list());
        pressKeys({VK_F7});
        return true;
    });
    driver.then("the dialog, then the second finding and Enter", [&] {
        const HWND dialog = findDialog("Check file");
        if (dialog == nullptr) {
            return false;
        }
        const HWND findings = GetDlgItem(dialog, IDC_CHECK_LIST);
        const auto count = static_cast<int>(SendMessageW(findings, LVM_GETITEMCOUNT, 0, 0));
        for (int line = 0; line < count; ++line) {
            char buffer[128] = {};
            LVITEMA item{};
            item.iSubItem = 1;
            item.pszText = buffer;
            item.cchTextMax = sizeof buffer;
            SendMessageA(findings, LVM_GETITEMTEXTA, static_cast<WPARAM>(line),
                         reinterpret_cast<LPARAM>(&item));
            tests.emplace_back(buffer);
        }
        pressKeys({VK_CONTROL, 'C'});
        pressKeys({VK_DOWN});
        pressKeys({VK_RETURN});
        return true;
    });
    std::string copied;
    driver.then("closed on the codestream row", [&] {
        if (findDialog("Check file") != nullptr) {
            return false;
        }
        EXPECT_EQ(selectedRow(), 2);
        EXPECT_EQ(GetFocus(), list());
        if (OpenClipboard(nullptr)) {
            if (const HANDLE text = GetClipboardData(CF_UNICODETEXT)) {
                copied = narrow(static_cast<const wchar_t*>(GlobalLock(text)));
                GlobalUnlock(text);
            }
            CloseClipboard();
        }
        return true;
    });
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_EQ(tests, (std::vector<std::string>{"cIsValid", "foundSIZMarker"}));
    // The check's three lines, as Windows programs paste them.
    EXPECT_EQ(std::count(copied.begin(), copied.end(), '\n'), 3) << copied;
    EXPECT_TRUE(copied.ends_with("faulty.jp2: invalid (2 errors, 0 warnings)\r\n")) << copied;
}

TEST_F(ShellTest, AfterAMessageBoxTheFocusIsBackWhereItWas) {
    openSample();
    Driver driver;
    for (const int focused : {IDC_LIST, IDC_CONTENT}) {
        driver.then("Delete with the focus in " + std::to_string(focused), [this, focused] {
            clickRow(kOuterAsocRow);
            SetFocus(control(focused));
            PostMessageA(shell_->panel(), WM_COMMAND, MAKEWPARAM(IDC_DELETE, BN_CLICKED), 0);
            return true;
        });
        answerMessageBox(driver, "Confirmation", IDNO, nullptr);
        driver.then("box gone", [this, focused] {
            if (findDialog("Confirmation") != nullptr) {
                return false;
            }
            EXPECT_EQ(GetFocus(), control(focused)) << focused;
            return true;
        });
    }
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
}

TEST_F(ShellTest, ThePayloadSaveButtonProposesTheDocumentNameWithTheBoxExtension) {
    openSample();
    const auto folder = std::filesystem::temp_directory_path() / "boxquill-export-test";
    std::filesystem::create_directories(folder);
    const std::string target = (folder / "exported.xml").string();
    std::string proposed;
    Driver driver;
    driver.then("payload Save on the XML box", [&] {
        clickRow(kXmlRow);
        PostMessageA(control(IDC_PAYLOAD_SAVE), BM_CLICK, 0, 0);
        return true;
    });
    driver.then("read the proposed name", [&] {
        const HWND dialog = findDialog("Save As");
        const HWND focus = GetFocus();
        if (dialog == nullptr || focus == nullptr || !IsChild(dialog, focus)) {
            return false;
        }
        proposed = windowText(focus);
        return true;
    });
    answerFileDialog(driver, "Save As", target);
    driver.then("written", [&] { return std::filesystem::exists(target); });
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_EQ(proposed, "nested-asoc.xml");
    std::ifstream file(target, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(written.rfind("<?xml", 0), 0u) << written;
    file.close();
    std::filesystem::remove_all(folder);
}

TEST_F(ShellTest, TheResolutionDialogFromTheHeadersPropertiesSetsACaptureResolutionThatIsSaved) {
    openSample();
    const auto folder = std::filesystem::temp_directory_path() / "boxquill-resolution-test";
    std::filesystem::create_directories(folder);
    const std::string saved = (folder / "resolution.jp2").string();
    std::filesystem::remove(saved);
    Driver driver;
    propertiesOfTheHeader(driver);
    pressInProperties(driver, "Properties, then Resolution…", IDC_PROPERTIES_RESOLUTION);
    driver.then("capture 400 dpi, then OK", [this] {
        const HWND resolution = findDialog("Resolution");
        if (resolution == nullptr) {
            return false;
        }
        SetWindowTextW(GetDlgItem(resolution, IDC_RES_CAPTURE_H), L"400");
        PostMessageW(resolution, WM_COMMAND, IDOK, 0);
        return true;
    });
    driver.then("Resolution… again", [this] {
        const HWND properties = findProperties();
        if (findDialog("Resolution") != nullptr || properties == nullptr) {
            return false;
        }
        EXPECT_TRUE(shell_->app().modified());
        PostMessageW(GetDlgItem(properties, IDC_PROPERTIES_RESOLUTION), BM_CLICK, 0, 0);
        return true;
    });
    driver.then("Resolution opens on what is stored", [this] {
        const HWND resolution = findDialog("Resolution");
        if (resolution == nullptr) {
            return false;
        }
        EXPECT_EQ(windowText(GetDlgItem(resolution, IDC_RES_CAPTURE_V)), "400");
        EXPECT_EQ(windowText(GetDlgItem(resolution, IDC_RES_DISPLAY_H)), "");
        PostMessageW(resolution, WM_COMMAND, IDOK, 0);
        return true;
    });
    closePropertiesAfter(driver, "Resolution");
    driver.then("Ctrl+S", [this] {
        if (findProperties() != nullptr) {
            return false;
        }
        postCommand(IDM_SAVE);
        return true;
    });
    answerFileDialog(driver, "Save As", saved);
    driver.then("saved", [this] { return !shell_->app().modified(); });
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);

    std::ifstream file(saved, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    file.close();
    std::filesystem::remove_all(folder);
    // 400 dpi is 400/254 x 10^4 pixels per metre on both axes: VR_N VR_D HR_N HR_D VR_E HR_E.
    const std::size_t resc = bytes.find("resc");
    ASSERT_NE(resc, std::string::npos);
    EXPECT_EQ(bytes.substr(resc + 4, 10),
              std::string("\x01\x90\x00\xFE\x01\x90\x00\xFE\x04\x04", 10));
}

// Typed keys, as a user types them: "abc" then Enter.
TEST_F(ShellTest, AnErrorOverResolutionKeepsTheWindowsBelowDisabledAndResolutionInFront) {
    openSample();
    HWND resolution = nullptr;
    HWND errorOwner = nullptr;
    Driver driver;
    propertiesOfTheHeader(driver);
    driver.then("Alt+R in Properties", [] {
        if (findProperties() == nullptr) {
            return false;
        }
        pressKeys({VK_MENU, 'R'});
        return true;
    });
    driver.then("abc, then Enter, in Resolution", [&] {
        resolution = findDialog("Resolution");
        if (resolution == nullptr) {
            return false;
        }
        SetFocus(GetDlgItem(resolution, IDC_RES_CAPTURE_H));
        for (const WORD key : std::initializer_list<WORD>{'A', 'B', 'C', VK_RETURN}) {
            pressKeys({key});
        }
        return true;
    });
    driver.then("the error, then Enter", [&] {
        const HWND error = findDialog("Boxquill - Error!");
        if (error == nullptr) {
            return false;
        }
        errorOwner = GetWindow(error, GW_OWNER);
        pressKeys({VK_RETURN});
        return true;
    });
    driver.then("below the closed error", [&] {
        if (findDialog("Boxquill - Error!") != nullptr) {
            return false;
        }
        EXPECT_EQ(errorOwner, resolution);
        EXPECT_EQ(GetActiveWindow(), resolution);
        EXPECT_FALSE(IsWindowEnabled(shell_->mainWindow()));
        EXPECT_FALSE(IsWindowEnabled(findProperties()));
        PostMessageW(resolution, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    closePropertiesAfter(driver, "Resolution");
    driver.then("Properties closed", [this] { return findProperties() == nullptr; });
    closeWhenDone(driver);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_FALSE(shell_->app().modified());
}

TEST_F(ShellTest, AddXmpPacketSelectsTheNewRowWhoseEditorRefusesAMalformedPacketAndStaysOpen) {
    openSample();
    std::string shown;
    std::string refusal;
    Driver driver;
    driver.then("the menu key", [this] {
        clickRow(0);
        SetFocus(list());
        pressKeys({VK_APPS});
        return true;
    });
    driver.then("the menu, then X", [&] {
        if (openMenuItems().empty()) {
            return false;
        }
        pressKeys({'X'});
        return true;
    });
    driver.then("the XMP row selected, then Alt+Enter", [this] {
        const int row = xmpRow(shell_->boxes());
        if (row < 0 || selectedRow() != row) {
            return false;
        }
        pressKeys({VK_MENU, VK_RETURN});
        return true;
    });
    pressInProperties(driver, "Properties, then Edit XMP…", IDC_PROPERTIES_XMP);
    driver.then("a malformed packet, then OK", [&] {
        const HWND editor = findDialog("XMP packet");
        if (editor == nullptr) {
            return false;
        }
        shown = controlTextUtf8(GetDlgItem(editor, IDC_XMP_TEXT));
        SetWindowTextW(GetDlgItem(editor, IDC_XMP_TEXT), L"<x:xmpmeta");
        PostMessageW(editor, WM_COMMAND, IDOK, 0);
        return true;
    });
    answerMessageBox(driver, "Boxquill - Error!", IDOK, &refusal);
    driver.then("still open, then Cancel; then Close", [this] {
        const HWND editor = findDialog("XMP packet");
        if (editor == nullptr) {
            return false;
        }
        PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    closePropertiesAfter(driver, "XMP packet");
    std::optional<std::string> kept;
    driver.then("closed, the packet as it was", [&] {
        if (findProperties() != nullptr) {
            return false;
        }
        std::string why;
        kept = xmpPacket(shell_->boxes(), why);
        return true;
    });
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_TRUE(driver.done());
    EXPECT_NE(shown.find("W5M0MpCehiHzreSzNTczkc9d"), std::string::npos) << shown;
    EXPECT_NE(refusal, "");
    EXPECT_EQ(kept.value_or(""), shown);
}

TEST_F(ShellTest, SetGeoreferencingFromAWorldFileRefusesABadEpsgCodeThenWritesBothKinds) {
    const TempFolder folder;
    const Bytes header = boxBytes("ihdr", {0, 0, 0, 2, 0, 0, 0, 3, 0, 1, 7, 7, 0, 0});
    writeFile(folder.file("scan.j2w"), textBytes("30\n0\n0\n-20\n500015\n4600050\n"));
    openScan(folder, header);
    std::string refusal;
    SetFocus(list());
    pressKeys({VK_APPS});
    Driver driver;
    driver.then("the menu, then G", [&] {
        const auto items = openMenuItems();
        if (items.empty()) {
            return false;
        }
        EXPECT_NE(std::find(items.begin(), items.end(),
                            std::make_pair(std::string("Set &georeferencing…"), true)),
                  items.end());
        pressKeys({'G'});
        return true;
    });
    answerFileDialog(driver, "Open", folder.file("scan.j2w"));
    driver.then("EPSG abc, GMLJP2 too, then OK", [this] {
        const HWND dialog = findDialog("Set georeferencing");
        if (dialog == nullptr) {
            return false;
        }
        SetDlgItemTextW(dialog, IDC_GEOREF_EPSG, L"abc");
        CheckDlgButton(dialog, IDC_GEOREF_GML, BST_CHECKED);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    answerMessageBox(driver, "Boxquill - Error!", IDOK, &refusal);
    driver.then("still open and nothing changed, then 32633 and OK", [&] {
        const HWND dialog = findDialog("Set georeferencing");
        if (dialog == nullptr || findDialog("Boxquill - Error!") != nullptr) {
            return false;
        }
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_GEOREF_EPSG));
        EXPECT_FALSE(shell_->app().modified());
        SetDlgItemTextW(dialog, IDC_GEOREF_EPSG, L"32633");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    std::vector<std::string> ids;
    driver.then("closed", [&] {
        for (int row = 0; row < rowCount(); ++row) {
            ids.push_back(cell(row, 0));
        }
        EXPECT_EQ(cell(2, 1), "GeoTIFF");
        EXPECT_EQ(title(), "Boxquill* v1.1.363");
        EXPECT_EQ(selectedRow(), 2);
        clickRow(7);
        EXPECT_NE(text(IDC_CONTENT).find("\"EPSG:32633\""), std::string::npos);
        return true;
    });
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_NE(refusal.find("32766"), std::string::npos) << refusal;
    EXPECT_EQ(ids, (std::vector<std::string>{"FTYP", "JP2H", "UUID", "ASOC", "|  LBL ", "|  ASOC",
                                             "|  |  LBL ", "|  |  XML ", "JP2C"}));
}

TEST_F(ShellTest, SetGeoreferencingFromAGeoTiffNeedsNoCode) {
    const TempFolder folder;
    const Bytes header = boxBytes("ihdr", {0, 0, 0, 2, 0, 0, 0, 3, 0, 1, 7, 7, 0, 0});
    Tiff tiff{false, {}, {}};
    tiff.doubles(33550, {30, 20, 0})
        .doubles(33922, {0, 0, 0, 500000, 4600060, 0})
        .shorts(34735, {1, 1, 0, 2, 1024, 0, 1, 1, 3072, 0, 1, 32633});
    writeFile(folder.file("scene.tif"), tiff.build());
    openScan(folder, header);
    SetFocus(list());
    pressKeys({VK_APPS});
    Driver driver;
    driver.then("the menu, then G", [&] {
        if (openMenuItems().empty()) {
            return false;
        }
        pressKeys({'G'});
        return true;
    });
    answerFileDialog(driver, "Open", folder.file("scene.tif"));
    driver.then("no code asked, then OK", [this] {
        const HWND dialog = findDialog("Set georeferencing");
        if (dialog == nullptr) {
            return false;
        }
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_GEOREF_EPSG)));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    driver.then("closed", [this] {
        if (findDialog("Set georeferencing") != nullptr) {
            return false;
        }
        EXPECT_EQ(rowCount(), 4);
        EXPECT_EQ(cell(2, 1), "GeoTIFF");
        return true;
    });
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_TRUE(driver.done());
}

TEST_F(ShellTest, AProfileImportedThroughPropertiesExportsAsTheSameBytes) {
    const TempFolder folder;
    // An RGB image whose colour is sRGB by name; the profile's size field is its length.
    Bytes profile(132, 0);
    const Bytes size = u32Bytes(132);
    std::copy(size.begin(), size.end(), profile.begin());
    for (const auto& [at, text] : {std::pair<std::size_t, std::string_view>{16, "RGB "},
                                   std::pair<std::size_t, std::string_view>{36, "acsp"}}) {
        std::copy(text.begin(), text.end(), profile.begin() + static_cast<std::ptrdiff_t>(at));
    }
    profile.back() = 0x7E;
    const Bytes header = concat({boxBytes("ihdr", {0, 0, 0, 2, 0, 0, 0, 3, 0, 3, 7, 7, 0, 0}),
                                 boxBytes("colr", {1, 0, 0, 0, 0, 0, 16})});
    writeFile(folder.file("in.icc"), profile);
    openScan(folder, header);
    Driver driver;
    propertiesOfTheHeader(driver);
    pressInProperties(driver, "Import profile…", IDC_PROPERTIES_IMPORT_ICC);
    answerFileDialog(driver, "Open", folder.file("in.icc"));
    pressInProperties(driver, "Export profile…", IDC_PROPERTIES_EXPORT_ICC);
    answerFileDialog(driver, "Save As", folder.file("out.icc"));
    driver.then("Close the Properties", [this] {
        const HWND properties = findProperties();
        if (properties == nullptr || findDialog("Save As") != nullptr) {
            return false;
        }
        EXPECT_TRUE(shell_->app().modified());
        PostMessageW(properties, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    closeWhenDone(driver);
    answerMessageBox(driver, "Confirmation", IDYES, nullptr);
    EXPECT_EQ(shell_->messageLoop(), 1);
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(readFile(folder.file("out.icc")), profile);
}

TEST_F(ShellTest, CtrlASelectsThePaneTextOnlyWhenThePaneHasTheFocus) {
    openSample();
    clickRow(kXmlRow);
    const HWND pane = control(IDC_CONTENT);
    const auto length = static_cast<DWORD>(GetWindowTextLengthA(pane));
    SendMessageA(pane, EM_SETSEL, 0, 0);
    DWORD start = 1;
    DWORD end = 1;

    SetFocus(list());
    SendMessageA(shell_->mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_SELECT_ALL, 1), 0);
    SendMessageA(pane, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(end - start, 0u);

    SetFocus(pane);
    SendMessageA(shell_->mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_SELECT_ALL, 1), 0);
    SendMessageA(pane, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, length);
}

// The edges of a control in the panel's client coordinates.
Edges edgesOf(HWND panel, HWND control) {
    RECT window{};
    GetWindowRect(control, &window);
    POINT corner{window.left, window.top};
    ScreenToClient(panel, &corner);
    return {corner.x, corner.y, corner.x + window.right - window.left,
            corner.y + window.bottom - window.top};
}

TEST_F(ShellTest, TheWindowHasItsClientSizeAndLaysThePanelOutByTheTable) {
    const App& app = shell_->app();
    RECT client{};
    GetClientRect(shell_->mainWindow(), &client);
    EXPECT_EQ((Size{client.right, client.bottom}), clientSize(app.dpiX, app.dpiY));

    MINMAXINFO limits{};
    SendMessageA(shell_->mainWindow(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, app.minWidth);
    EXPECT_EQ(limits.ptMinTrackSize.y, app.minHeight);

    for (int grow : {0, 150}) {
        SCOPED_TRACE(grow);
        SetWindowPos(shell_->mainWindow(), nullptr, 0, 0, app.minWidth + grow, app.minHeight + grow,
                     SWP_NOMOVE | SWP_NOZORDER);
        GetClientRect(shell_->mainWindow(), &client);
        RECT panel{};
        GetClientRect(shell_->panel(), &panel);
        RECT status{};
        GetClientRect(shell_->statusBar(), &status);
        EXPECT_EQ(panel.right, client.right);
        EXPECT_EQ(panel.bottom, client.bottom - status.bottom);
        for (const ControlPlacement& placement :
             panelLayout(panel.right, panel.bottom, app.dpiX, app.dpiY)) {
            const Edges actual = edgesOf(shell_->panel(), control(placement.controlId));
            const Edges& wanted = placement.edges;
            SCOPED_TRACE(placement.controlId);
            if (wanted.left != 0) {
                EXPECT_EQ(actual.left, wanted.left);
            }
            if (wanted.top != 0) {
                EXPECT_EQ(actual.top, wanted.top);
            }
            if (wanted.right != 0) {
                EXPECT_EQ(actual.right, wanted.right);
            }
            if (wanted.bottom != 0) {
                EXPECT_EQ(actual.bottom, wanted.bottom);
            }
        }
    }
}

TEST_F(ShellTest, RowsAreStripedByTheirIndex) {
    openSample();
    UpdateWindow(list());
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const HDC dc = GetDC(list());
    for (int row : {0, 1, 2, 3}) {
        RECT bounds{};
        bounds.left = LVIR_BOUNDS;
        SendMessageA(list(), LVM_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&bounds));
        // Inside the Description column, right of its short text.
        const COLORREF pixel = GetPixel(dc, 150, (bounds.top + bounds.bottom) / 2);
        EXPECT_EQ(pixel, static_cast<COLORREF>(rowBackgroundColour(row, window))) << row;
    }
    ReleaseDC(list(), dc);
}

}  // namespace
}  // namespace bq::test
