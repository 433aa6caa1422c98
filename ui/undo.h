#pragma once
// Undo and redo: the history of the document's states. Each change records the document as
// it was before it (a snapshot of the rows with copies of their boxes); undo and redo swap
// the document with a snapshot. Payloads left in the opened file or in a large buffer are
// shared by the copies, so a snapshot never reads a codestream.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "ui/box_list.h"

namespace bq {

class App;
struct SourceFile;

// Past either, the oldest steps go.
constexpr std::size_t kMaxUndoSteps = 100;
constexpr std::uint64_t kMaxUndoBytes = std::uint64_t{256} << 20;

// The document as a step of the history holds it.
struct DocumentSnapshot {
    struct Row {
        RowTexts texts;
        std::unique_ptr<Box> box;
        int parentRow = -1;  // the row of the box's parent, -1 for none
    };
    std::vector<Row> rows;
    int selected = -1;
    std::uint64_t state = 0;  // which state of the document it is
    std::uint64_t cost = 0;   // about the memory it holds
};

// The steps either side of the document's present state. A state is numbered when a change
// makes it, so "modified" is exactly "another state than the one last saved or opened".
class UndoHistory {
  public:
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    std::size_t undoSteps() const { return undo_.size(); }
    std::uint64_t bytes() const { return bytes_; }
    bool atSavedState() const { return state_ == saved_; }
    // Off, changes are numbered but no copy is kept: a script that never undoes need not copy
    // the document once a line.
    void setRecording(bool on) { recording_ = on; }
    // The file some step's payload is left in, none when no step has such a payload.
    const SourceFile* windowSource() const;

    // Every step forgotten; the present state counts as saved (a document just opened).
    void clear();
    void markSaved();
    // After a save replaced the file that payloads were left in: windows into it follow their
    // bytes to the new file (`moved` maps an old offset to the new one). A step holding a
    // payload the save did not carry could no longer be restored, so it goes with every step
    // beyond it.
    void followSave(const SourceFile* old, const std::map<std::uint64_t, std::uint64_t>& moved,
                    const std::shared_ptr<const SourceFile>& now);

  private:
    friend class UndoStep;
    friend class UndoGroup;
    friend bool undo(App& app);
    friend bool redo(App& app);

    struct Typing {
        int row = -1;
        const Box* box = nullptr;
        std::uint64_t state = 0;
    };

    // Keeps the steps within kMaxUndoSteps and kMaxUndoBytes, the oldest going first.
    void trim();

    std::deque<DocumentSnapshot> undo_;  // the newest last
    std::deque<DocumentSnapshot> redo_;  // the next one last
    std::uint64_t bytes_ = 0;
    std::uint64_t nextState_ = 1;
    std::uint64_t state_ = 0;
    std::uint64_t saved_ = 0;
    Typing typing_;
    int groups_ = 0;
    std::optional<std::uint64_t> groupState_;  // the state the open group's first step made
    bool recording_ = true;
};

// One change to the document as one step: made right before the document is touched, it
// copies the document; commit() once the change is made keeps that copy as the step. A
// step not committed (the change failed before touching anything) records nothing.
class UndoStep {
  public:
    explicit UndoStep(App& app) : UndoStep(app, -1) {}
    // Typing into the content pane: edits of the same box with nothing between are one step.
    UndoStep(App& app, int typedRow);
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

    void commit();

  private:
    App& app_;
    int typedRow_;
    bool continues_ = false;  // the change joins the step before
    std::optional<DocumentSnapshot> before_;
};

// Every change made while it lives is one step (a script line that adds a box and fills it).
class UndoGroup {
  public:
    explicit UndoGroup(App& app);
    ~UndoGroup();
    UndoGroup(const UndoGroup&) = delete;
    UndoGroup& operator=(const UndoGroup&) = delete;

  private:
    UndoHistory& history_;
};

// Puts the document back as it was before the last change (redo: after the change undone
// last), its rows, selection and modified mark, and shows the selected box. False when there
// is no such step, or the list could not take the rows back (said in the error box).
bool undo(App& app);
bool redo(App& app);
bool canUndo(const App& app);
bool canRedo(const App& app);

}  // namespace bq
