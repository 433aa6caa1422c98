#pragma once

#include <windows.h>

#include <shellapi.h>  // After windows.h, which it needs.

#include <string_view>

#include "ui/app.h"
#include "ui/layout.h"
#include "ui/win32/dialog.h"
#include "ui/win32/list_view_box_list.h"
#include "ui/win32/win32_platform.h"

namespace bq::win32 {

inline constexpr const char* kWindowClassName = "Boxquill {7A3C91E2-5B08-4D6F-9E14-C2B85F0A6D37}";
inline constexpr const char* kStatusText =
    "Select a box to see its content. Insert adds a box, Delete removes one.";
inline constexpr std::string_view kQuitQuestion = "The file is modified. Quit? ";
inline constexpr std::string_view kNoWindowMessage = "Couldn't create a simple window! \n:-()";
inline constexpr std::string_view kNoDialogMessage = "Internal error (no dialog)";
inline constexpr std::string_view kNoListMessage = "Failed to setup the list control";

// The program's frame: the main window, the panel of controls that fills it, the status bar,
// the document in the panel's list, and the message loop. Tests drive one in-process.
class Shell {
  public:
    explicit Shell(HINSTANCE instance);
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;
    ~Shell();

    // Creates and shows the windows; false (the failure shown) when one cannot be made.
    bool createWindows();
    // Opens the file a command-line tail names; an empty tail opens nothing.
    void openFromTail(std::string_view tail);
    // Runs until the quit message; 1 then.
    int messageLoop();

    App& app() { return app_; }
    ListViewBoxList& boxes() { return boxes_; }
    HWND mainWindow() const { return mainWindow_; }
    HWND panel() const { return panel_; }
    HWND statusBar() const { return statusBar_; }
    HWND control(int id) const { return panel_ != nullptr ? GetDlgItem(panel_, id) : nullptr; }

  private:
    static LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The panel of controls: a modeless dialog whose messages the shell handles.
    class Panel final : public Dialog {
      public:
        explicit Panel(Shell& shell) : shell_(shell) {}

      private:
        bool onCommand(int id, int code) override;
        INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
        void reportFailure(std::string_view message) override;

        Shell& shell_;
    };

    LRESULT onMainMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void onPanelCommand(int id, int code);
    INT_PTR onPanelMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void layoutPanel(WPARAM wParam, LPARAM lParam);
    LRESULT onClose();
    // A file dropped on the window opens as Ctrl+O would open it.
    void onDropFiles(HDROP drop);
    void onDestroy();
    // True when the command was handled completely (no default processing).
    bool onAccelerator(int commandId);
    void onListNotify(const NMHDR& header);
    void onIdle();
    // Keeps the focused control across deactivation; true when it gave the focus itself.
    bool onActivate(int state, bool minimized);
    // WM_CONTEXTMENU from the box list: at the mouse (the row under it selected first) or,
    // for the keyboard (-1, -1), at the selected row.
    void onListContextMenu(LPARAM lParam);
    // A command of the list's context menu, by its id; 0 does nothing.
    void runListCommand(int command);
    // Add, as the button and the Insert key run it; a new text box gets the keyboard, so
    // typing goes straight into it.
    void addFromUser();
    void showProperties();
    // Checks the document's file as saved and lists the findings; a finding gone to from
    // there is selected in the list.
    void checkFile();
    // The window moved and sized to fit its monitor's work area (before it is first shown).
    void fitToMonitor();
    // The content pane in a fixed-pitch font while it shows the codestream report.
    void choosePaneFont();

    HINSTANCE instance_;
    Win32Platform platform_;
    ListViewBoxList boxes_;
    App app_;
    HWND mainWindow_ = nullptr;
    Panel panelDialog_{*this};
    HWND panel_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND savedFocus_ = nullptr;
    IdleCounter idle_;
    UniqueFont paneFont_;  // made on first use; outlives the pane, destroyed with the shell
    bool paneFixedPitch_ = false;
    SIZE propertiesSize_{};  // the Properties dialog's size as last closed, for this run
};

// Moves `control` to the edges given in `parent`'s client coordinates; a zero edge keeps the
// current one. Nothing when there is no control.
void moveControl(HWND parent, HWND control, int left, int top, int right, int bottom, bool repaint);

// The whole program: the windows, the command-line file, the loop. The exit code: 1 after a
// normal close, 0 when the windows could not be made.
int run(HINSTANCE instance, std::string_view commandLineTail);

}  // namespace bq::win32
