// boxquill.exe as its own process: the command line it is started with, and its exit code.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/win32/driver.h"
#include "ui/control_ids.h"
#include "ui/win32/shell.h"

namespace bq::test {
namespace {

std::string windowsPath(std::string path) {
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

// A control's text in another process: GetWindowText would not ask the control.
std::string controlText(HWND control) {
    char text[1024] = {};
    SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// Starts the program with `arguments` after its quoted name and waits for its main window.
class Program {
  public:
    explicit Program(const std::string& arguments) {
        const std::string program = windowsPath(BOXQUILL_PROGRAM);
        std::string commandLine = "\"" + program + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &process_)) {
            ADD_FAILURE() << "cannot start " << program;
            return;
        }
        for (int i = 0; i < 600 && window_ == nullptr; ++i) {
            Sleep(50);
            window_ = FindWindowA(win32::kWindowClassName, nullptr);
        }
        // Let it finish opening the file.
        WaitForInputIdle(process_.hProcess, 10000);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() {
        if (process_.hProcess != nullptr) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 99);
            }
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
    }

    HWND window() const { return window_; }
    HWND control(int id) const {
        return GetDlgItem(FindWindowExA(window_, nullptr, "#32770", nullptr), id);
    }
    // The exit code once it has ended, -1 if it does not end in time.
    int exitCode() {
        if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<int>(code);
    }

  private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

TEST(Program, OpensTheQuotedFileOnItsCommandLineAndEndsWithExitCodeOne) {
    const std::string sample = windowsPath(BOXQUILL_SAMPLES_DIR "/nested-asoc.jp2");
    Program program("  \"" + sample + "\"");
    ASSERT_NE(program.window(), nullptr);
    EXPECT_EQ(windowText(program.window()), "Boxquill v1.1.363");
    EXPECT_EQ(SendMessageA(program.control(IDC_LIST), LVM_GETITEMCOUNT, 0, 0), 12);
    EXPECT_EQ(controlText(program.control(IDC_PATH)), sample);
    EXPECT_TRUE(IsWindowEnabled(program.control(IDC_ADD)));
    PostMessageA(program.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(), 1);
}

TEST(Program, StartsWithoutADocumentWhenTheCommandLineHasOnlyBlanks) {
    Program program("   ");
    ASSERT_NE(program.window(), nullptr);
    EXPECT_EQ(SendMessageA(program.control(IDC_LIST), LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(controlText(program.control(IDC_PATH)), "");
    EXPECT_FALSE(IsWindowEnabled(program.control(IDC_ADD)));
    PostMessageA(program.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(), 1);
}

}  // namespace
}  // namespace bq::test
