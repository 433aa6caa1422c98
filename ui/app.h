#pragma once

#include <cstdint>
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

constexpr std::string_view kBoxGoneMessage =
    "The box this window was opened on is no longer in the file: nothing was changed.";

// A box named for an edit that comes later, when a dialog opened on it is confirmed: which box,
// and in which generation of the document. Rows are no names: they are renumbered by every
// insertion and deletion, and a replaced document has other boxes under the same numbers.
struct BoxRef {
    std::uint64_t generation = 0;
    const Box* box = nullptr;
};

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
    // The length of the file the document was opened from, as it was at the open; 0 for none.
    std::uint64_t openedFileSize() const { return openedFileSize_; }
    void setOpenedFileSize(std::uint64_t size) { openedFileSize_ = size; }

    // Shows the error box; always false, so callers can end with its result.
    bool showError(std::string_view message);
    // Back to the no-file state: every box destroyed, buttons and pane reset, plain title, no
    // history.
    void resetDocument();
    void markModified();
    // The document is as saved (or opened): undo leads away from this state, redo back to it.
    void markUnmodified();

    // Names the box of `row` (none when there is no such row).
    BoxRef refer(int row) const { return {generation_, boxes_.boxAt(row)}; }
    // The row holding the named box now; -1 when it has left the document.
    int rowOf(const BoxRef& ref) const;
    // rowOf, and when the box has gone the error box saying nothing was changed. Every edit
    // confirmed in a dialog asks this first.
    int liveRow(const BoxRef& ref);
    // Boxes were destroyed: a new box may now be made at a destroyed one's address, so every
    // name given out before stops naming anything.
    void boxesDestroyed() { ++generation_; }

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
    std::uint64_t generation_ = 0;
    std::uint64_t openedFileSize_ = 0;
};

}  // namespace bq
