#pragma once

#include <windows.h>

#include "ui/platform.h"

namespace bq::win32 {

// A window's text (a control's, a dialog item's) as UTF-8.
std::string windowTextUtf8(HWND window);

// The editor's Platform over USER32 and COMDLG32: message boxes and file dialogs owned by
// the window they are asked from, the Add dialog, and the panel's controls by id.
class Win32Platform final : public Platform {
  public:
    explicit Win32Platform(HINSTANCE instance) : instance_(instance) {}

    // The windows the calls act on; either may be none (before creation, after destruction).
    void attach(HWND mainWindow, HWND panel) {
        mainWindow_ = mainWindow;
        panel_ = panel;
    }
    HWND mainWindow() const { return mainWindow_; }
    HWND panel() const { return panel_; }

    // True while setControlText is replacing a control's text: the change notifications that
    // this causes are the program's own, not the user's edits.
    bool settingText() const { return settingText_; }

    bool askYesNo(std::string_view caption, std::string_view text) override;
    void showErrorBox(std::string_view caption, std::string_view text) override;
    std::optional<std::string> chooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> chooseSaveFile(const FileDialogRequest& request) override;
    int runAddDialog() override;
    void setTitle(std::string_view title) override;
    void setControlText(int id, std::string_view text) override;
    std::string controlText(int id) override;
    void enableControl(int id, bool enabled) override;
    bool isControlEnabled(int id) override;
    void setReadOnly(int id, bool readOnly) override;

    // The window new message boxes and dialogs belong to: the innermost dialog open over the
    // main window, else the main window. Owned by anything less, a message box would give
    // the windows below that dialog back their input when it closes.
    HWND owner() const;

  private:
    HWND control(int id) const { return panel_ != nullptr ? GetDlgItem(panel_, id) : nullptr; }

    HINSTANCE instance_;
    HWND mainWindow_ = nullptr;
    HWND panel_ = nullptr;
    bool settingText_ = false;
};

}  // namespace bq::win32
