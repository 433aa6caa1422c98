// boxquill.exe as its own process: the command line it is started with, and its exit code.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "stream/utf8_path.h"
#include "tests/win32/driver.h"
#include "tests/win32/script_folder.h"
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

// Starts `program` with the UTF-8 `arguments` through the wide call, as Explorer or a
// console does for a name in any script.
bool start(const std::string& program, const std::string& arguments, STARTUPINFOW& startup,
           PROCESS_INFORMATION& process) {
    std::wstring commandLine = widen("\"" + program + "\" " + arguments);
    startup.cb = sizeof startup;
    return CreateProcessW(widen(program).c_str(), commandLine.data(), nullptr, nullptr,
                          (startup.dwFlags & STARTF_USESTDHANDLES) != 0, 0, nullptr, nullptr,
                          &startup, &process) != 0;
}

// Runs boxquill-cli with `arguments`; its exit code, and what it printed in `output`.
int runCli(const std::string& arguments, std::string& output) {
    const std::string program = windowsPath(BOXQUILL_CLI_PROGRAM);
    wchar_t folder[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"bqc", 0, name);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                    CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    STARTUPINFOW startup{};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process{};
    if (file == INVALID_HANDLE_VALUE || !start(program, arguments, startup, process)) {
        ADD_FAILURE() << "cannot start " << program;
        return -1;
    }
    DWORD code = 99;
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    output.assign(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ReadFile(file, output.data(), static_cast<DWORD>(output.size()), &read, nullptr);
    output.resize(read);
    CloseHandle(file);
    return static_cast<int>(code);
}

// Starts the program with `arguments` after its quoted name and waits for its main window.
class Program {
  public:
    explicit Program(const std::string& arguments) {
        const std::string program = windowsPath(BOXQUILL_PROGRAM);
        STARTUPINFOW startup{};
        if (!start(program, arguments, startup, process_)) {
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
    EXPECT_EQ(controlTextUtf8(program.control(IDC_PATH)), sample);
    EXPECT_TRUE(IsWindowEnabled(program.control(IDC_ADD)));
    PostMessageA(program.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(), 1);
}

TEST(Program, StartsWithoutADocumentWhenTheCommandLineHasOnlyBlanks) {
    Program program("   ");
    ASSERT_NE(program.window(), nullptr);
    EXPECT_EQ(SendMessageA(program.control(IDC_LIST), LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(controlTextUtf8(program.control(IDC_PATH)), "");
    EXPECT_FALSE(IsWindowEnabled(program.control(IDC_ADD)));
    PostMessageA(program.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(), 1);
}

TEST(Program, BothProgramsOpenSaveImportAndExportFilesNamedInAnyScriptInFoldersNamedSo) {
    const ScriptFolder folder(windowsPath(BOXQUILL_SAMPLES_DIR "/nested-asoc.jp2"));
    const std::string map = folder.file(kScriptFileName);
    const std::string saved = folder.file("Карта 東京 сохранено.jp2");
    const std::string exported = folder.file("Данные 東京.xml");
    std::string output;
    EXPECT_EQ(runCli("export \"" + map + "\" 4 \"" + exported + "\"", output), 0) << output;
    EXPECT_EQ(runCli("add \"" + map + "\" xml --import \"" + exported + "\" -o \"" + saved + "\"",
                     output),
              0)
        << output;
    EXPECT_TRUE(folder.holds("Карта 東京 сохранено.jp2"));
    EXPECT_EQ(runCli("list \"" + map + "\" \"" + saved + "\"", output), 0) << output;
    EXPECT_NE(output.find(map + "\t0\tFTYP"), std::string::npos) << output;
    EXPECT_NE(output.find(saved + "\t11\tXML \tXML file\t112\n"), std::string::npos) << output;

    Program program("\"" + saved + "\"");
    ASSERT_NE(program.window(), nullptr);
    EXPECT_EQ(SendMessageA(program.control(IDC_LIST), LVM_GETITEMCOUNT, 0, 0), 13);
    EXPECT_EQ(controlTextUtf8(program.control(IDC_PATH)), saved);
    PostMessageA(program.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(), 1);
}

}  // namespace
}  // namespace bq::test
