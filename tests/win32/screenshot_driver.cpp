// Puts the editor through its main states for tools/screenshots.sh: at each state it writes
// NAME.ready (holding the rectangle worth capturing: x y width height) into the handshake
// folder and waits for the script to answer with NAME.done once the screen is captured.
//   win32_screenshots HANDSHAKE_FOLDER SAMPLE_FILE
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/win32/driver.h"
#include "ui/control_ids.h"
#include "ui/win32/shell.h"

namespace {

using bq::test::Driver;
using bq::test::findDialog;
using bq::test::findProperties;

struct Screens {
    std::string folder;
    bq::win32::Shell* shell;

    bool exists(const std::string& name) const {
        return GetFileAttributesA((folder + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Announces a state with the union of the main window and `extra`, then waits for it to
    // be captured.
    void capture(Driver& driver, const std::string& name, const char* dialogCaption = nullptr) {
        driver.then("show " + name, [this, name, dialogCaption] {
            RECT area{};
            GetWindowRect(shell->mainWindow(), &area);
            if (dialogCaption != nullptr) {
                const HWND dialog = std::string_view(dialogCaption) == "Properties"
                                        ? findProperties()
                                        : findDialog(dialogCaption);
                if (dialog == nullptr) {
                    return false;
                }
                RECT extra{};
                GetWindowRect(dialog, &extra);
                UnionRect(&area, &area, &extra);
            }
            RedrawWindow(shell->mainWindow(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            std::ofstream(folder + "\\" + name + ".ready")
                << area.left << ' ' << area.top << ' ' << area.right - area.left << ' '
                << area.bottom - area.top << '\n';
            return true;
        });
        driver.then("captured " + name, [this, name] { return exists(name + ".done"); });
    }

    void selectRow(Driver& driver, int row) {
        driver.then("select row", [this, row] {
            const HWND list = shell->control(IDC_LIST);
            LVITEMA item{};
            item.state = LVIS_SELECTED | LVIS_FOCUSED;
            item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&item));
            SetFocus(list);
            return true;
        });
    }

    int findRow(const char* id) const {
        const HWND list = shell->control(IDC_LIST);
        const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            char text[64] = {};
            LVITEMA item{};
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&item));
            if (std::string(text).find(id) != std::string::npos) {
                return row;
            }
        }
        return 0;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: win32_screenshots HANDSHAKE_FOLDER SAMPLE_FILE\n");
        return 2;
    }
    bq::win32::Shell shell(GetModuleHandleA(nullptr));
    if (!shell.createWindows()) {
        return 1;
    }
    shell.openFromTail(argv[2]);
    Screens screens{argv[1], &shell};
    const std::string j2k = screens.folder + "\\not-a-jp2.j2k";
    std::ofstream(j2k, std::ios::binary) << "\xFF\x4F\xFF\x51 a raw codestream";
    // Faults for the check dialog: compression type 9, an XML box cut short, no SIZ.
    const std::string faulty = screens.folder + "\\faulty.jp2";
    std::ofstream(faulty, std::ios::binary)
        .write(
            "\0\0\0\x0CjP  \r\n\x87\n"
            "\0\0\0\x14"
            "ftypjp2 \0\0\0\0jp2 "
            "\0\0\0\x1Ejp2h\0\0\0\x16ihdr\0\0\0\x10\0\0\0\x10\0\x01\x07\x09\0\0"
            "\0\0\0\x12xml <a><b></a>"
            "\0\0\0\x0Cjp2c\xFF\x4F\0\0",
            12 + 20 + 30 + 18 + 12);

    Driver driver;
    driver.then("sizes refreshed", [] { return true; });
    screens.capture(driver, "1-opened");
    screens.selectRow(driver, screens.findRow("XML"));
    screens.capture(driver, "2-xml-selected");
    screens.selectRow(driver, screens.findRow("JP2C"));
    screens.capture(driver, "3-codestream-report");
    screens.selectRow(driver, screens.findRow("XML"));
    driver.then("the menu key on the list", [&] {
        const HWND list = shell.control(IDC_LIST);
        PostMessageA(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
        return true;
    });
    screens.capture(driver, "4-context-menu");  // the menu opens inside the window
    driver.then("close the menu", [] { return EndMenu() != FALSE; });
    driver.then("Alt+Enter", [&] {
        PostMessageA(shell.mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_PROPERTIES, 1), 0);
        return true;
    });
    screens.capture(driver, "5-properties", "Properties");
    driver.then("close Properties", [] {
        PostMessageA(findProperties(), WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    driver.then("press Add", [&] {
        PostMessageA(shell.control(IDC_ADD), BM_CLICK, 0, 0);
        return true;
    });
    screens.capture(driver, "6-add-dialog", "Add JP2 box");
    driver.then("cancel Add", [] {
        PostMessageA(findDialog("Add JP2 box"), WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    driver.then("open a faulty file, then F7", [&] {
        shell.openFromTail(faulty);
        PostMessageA(shell.mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_CHECK_FILE, 1), 0);
        return true;
    });
    screens.capture(driver, "7-check-dialog", "Check file");
    driver.then("close the check dialog", [] {
        PostMessageA(findDialog("Check file"), WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    driver.then("open a raw codestream", [&] {
        shell.openFromTail(j2k);  // the error box runs its own loop; the steps go on inside
        return true;
    });
    screens.capture(driver, "8-error-box", "Boxquill - Error!");
    driver.then("answer the error box", [] {
        PostMessageA(findDialog("Boxquill - Error!"), WM_COMMAND, IDOK, 0);
        return true;
    });
    driver.then("close", [&] {
        PostMessageA(shell.mainWindow(), WM_CLOSE, 0, 0);
        return true;
    });
    return shell.messageLoop() == 1 ? 0 : 1;
}
