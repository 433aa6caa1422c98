#pragma once

#include <string>
#include <string_view>

#include "ui/box_list.h"
#include "ui/platform.h"
#include "ui/undo.h"

namespace bq {

constexpr unsigned kBuildNumber = 363;

// The title for the modified or plain state: "Boxquill* v1.1.363" or "Boxquill v1.1.363".
std::string buildTitle(bool modified);
// The error box's text: the message cut to 500 characters, "\n%.500s \n\n".
std::string formatErrorText(std::string_view message);

// The application state shared by every command: the document (the box list), the modified
// flag and title, and the platform that shows them.
class App {
  public:
    App(Platform& platform, BoxList& boxes);
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Platform& platform() { return platform_; }
    BoxList& boxes() { return boxes_; }
    const BoxList& boxes() const { return boxes_; }
    bool modified() const { return modified_; }
    UndoHistory& history() { return history_; }
    const UndoHistory& history() const { return history_; }
    const std::string& title() const { return title_; }

    // Shows the error box; always false, so callers can end with its result.
    bool showError(std::string_view message);
    // Back to the no-file state: every box destroyed, buttons and pane reset, plain title, no
    // history.
    void resetDocument();
    void markModified();
    // The document is as saved (or opened): undo leads away from this state, redo back to it.
    void markUnmodified();

    // Screen and window facts filled in by the Win32 shell.
    int dpiX = 96;
    int dpiY = 96;
    int minWidth = 0;
    int minHeight = 0;

  private:
    void setModified(bool modified);

    Platform& platform_;
    BoxList& boxes_;
    bool modified_ = false;
    std::string title_;
    UndoHistory history_;
};

}  // namespace bq
