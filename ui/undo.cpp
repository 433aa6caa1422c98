#include "ui/undo.h"

#include <new>
#include <unordered_map>
#include <utility>

#include "ui/app.h"
#include "ui/commands.h"
#include "ui/save_document.h"

namespace bq {

namespace {

// What a row costs besides its payload: the box, its texts' buffers and the bookkeeping.
constexpr std::uint64_t kRowCost = 256;

constexpr std::string_view kRestoreFailed =
    "Couldn't undo: the list did not take the rows back (not enough memory?). ";

std::optional<DocumentSnapshot> capture(const BoxList& boxes, std::uint64_t state) {
    try {
        DocumentSnapshot shot;
        const int count = boxes.rowCount();
        shot.rows.reserve(static_cast<std::size_t>(count));
        std::unordered_map<const Box*, int> rowOf;
        for (int row = 0; row < count; ++row) {
            DocumentSnapshot::Row copy;
            copy.texts = {boxes.cellText(row, 0), boxes.cellText(row, 1), boxes.cellText(row, 2)};
            shot.cost += kRowCost + copy.texts.id.size() + copy.texts.description.size();
            if (const Box* box = boxes.boxAt(row); box != nullptr) {
                copy.box = box->clone();
                shot.cost += box->cloneCost();
                rowOf[box] = row;
                if (const auto parent = rowOf.find(box->parent); parent != rowOf.end()) {
                    copy.parentRow = parent->second;
                }
            }
            shot.rows.push_back(std::move(copy));
        }
        shot.selected = boxes.selectedRow();
        shot.state = state;
        return shot;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// The document becomes the snapshot, whose boxes move into the rows.
bool restore(App& app, DocumentSnapshot& shot) {
    BoxList& boxes = app.boxes();
    for (int row = 0; row < boxes.rowCount(); ++row) {
        if (boxes.boxAt(row) != nullptr) {
            boxes.setRowBox(row, nullptr);
        }
    }
    boxes.deleteAllRows();
    app.boxesDestroyed();
    std::vector<Box*> made(shot.rows.size(), nullptr);
    bool whole = true;
    for (std::size_t i = 0; i < shot.rows.size(); ++i) {
        DocumentSnapshot::Row& row = shot.rows[i];
        const int at = boxes.insertRow(kAppendRow, row.texts);
        if (at < 0) {
            whole = false;
            break;
        }
        if (row.box) {
            made[i] = row.box.get();
            if (row.parentRow >= 0) {
                row.box->parent = made[static_cast<std::size_t>(row.parentRow)];
            }
            boxes.setRowBox(at, std::move(row.box));
        }
    }
    refreshAssociationSizes(boxes);
    boxes.repaintAll();
    if (shot.selected >= 0 && shot.selected < boxes.rowCount()) {
        boxes.selectRow(shot.selected);
        showBox(app, shot.selected);
    } else {
        showNoBox(app);
    }
    return whole;
}

// Moves the document into `into` as its present state and makes `from`'s newest step the
// document.
bool swapDocument(App& app, std::deque<DocumentSnapshot>& from, std::deque<DocumentSnapshot>& into,
                  std::uint64_t& bytes, std::uint64_t& state) {
    if (from.empty()) {
        return false;
    }
    std::optional<DocumentSnapshot> present = capture(app.boxes(), state);
    if (!present) {
        return app.showError("Couldn't undo: not enough memory. ");
    }
    DocumentSnapshot next = std::move(from.back());
    from.pop_back();
    bytes -= next.cost;
    bytes += present->cost;
    into.push_back(std::move(*present));
    state = next.state;
    const bool whole = restore(app, next);
    if (app.history().atSavedState()) {
        app.markUnmodified();
    } else {
        app.markModified();
    }
    return whole || app.showError(kRestoreFailed);
}

}  // namespace

void UndoHistory::clear() {
    undo_.clear();
    redo_.clear();
    bytes_ = 0;
    state_ = nextState_++;
    saved_ = state_;
    typing_ = {};
}

void UndoHistory::markSaved() {
    saved_ = state_;
    // Typing after a save starts a step of its own, so that undo comes back to what was saved.
    typing_ = {};
}

void UndoHistory::trim() {
    while (!undo_.empty() && (undo_.size() > kMaxUndoSteps || bytes_ > kMaxUndoBytes)) {
        bytes_ -= undo_.front().cost;
        undo_.pop_front();
    }
    // Redo steps are only ever the states undo left, whose room the undo side freed.
    while (!redo_.empty() && bytes_ > kMaxUndoBytes) {
        bytes_ -= redo_.front().cost;
        redo_.pop_front();
    }
}

const SourceFile* UndoHistory::windowSource() const {
    for (const std::deque<DocumentSnapshot>* side : {&undo_, &redo_}) {
        for (const DocumentSnapshot& step : *side) {
            for (const DocumentSnapshot::Row& row : step.rows) {
                if (row.box && row.box->window && row.box->window->source != nullptr) {
                    return row.box->window->source.get();
                }
            }
        }
    }
    return nullptr;
}

void UndoHistory::followSave(const SourceFile* old,
                             const std::map<std::uint64_t, std::uint64_t>& moved,
                             const std::shared_ptr<const SourceFile>& now) {
    // True when every window of the step could follow.
    auto follow = [&](DocumentSnapshot& shot) {
        for (DocumentSnapshot::Row& row : shot.rows) {
            if (!row.box || !row.box->window || row.box->window->source.get() != old) {
                continue;
            }
            const auto to = moved.find(row.box->window->offset);
            if (to == moved.end()) {
                return false;
            }
            row.box->moveWindow(now, to->second);
        }
        return true;
    };
    for (std::deque<DocumentSnapshot>* side : {&undo_, &redo_}) {
        // From the present state outwards: past a step that cannot follow, none can be reached.
        for (auto step = side->rbegin(); step != side->rend(); ++step) {
            if (!follow(*step)) {
                for (auto gone = step; gone != side->rend(); ++gone) {
                    bytes_ -= gone->cost;
                }
                side->erase(side->begin(), step.base());
                break;
            }
        }
    }
}

UndoStep::UndoStep(App& app, int typedRow) : app_(app), typedRow_(typedRow) {
    UndoHistory& history = app.history();
    const UndoHistory::Typing& typing = history.typing_;
    continues_ = (history.groupState_ && *history.groupState_ == history.state_) ||
                 (typedRow >= 0 && typing.row == typedRow && typing.state == history.state_ &&
                  typing.box == app.boxes().boxAt(typedRow));
    if (!continues_ && history.recording_) {
        before_ = capture(app.boxes(), history.state_);
    }
}

void UndoStep::commit() {
    UndoHistory& history = app_.history();
    if (!continues_) {
        history.redo_.clear();
        history.state_ = history.nextState_++;
        if (before_) {
            history.bytes_ += before_->cost;
            history.undo_.push_back(std::move(*before_));
            before_.reset();
        } else {
            // No memory for the copy: undo would skip this change, so it reaches nothing older.
            history.undo_.clear();
        }
        history.bytes_ = 0;
        for (const DocumentSnapshot& step : history.undo_) {
            history.bytes_ += step.cost;
        }
        history.trim();
    }
    if (history.groups_ > 0) {
        history.groupState_ = history.state_;
    }
    history.typing_ = {};
    if (typedRow_ >= 0) {
        history.typing_ = {typedRow_, app_.boxes().boxAt(typedRow_), history.state_};
    }
}

UndoGroup::UndoGroup(App& app) : history_(app.history()) {
    if (history_.groups_++ == 0) {
        history_.groupState_.reset();
    }
}

UndoGroup::~UndoGroup() {
    if (--history_.groups_ == 0) {
        history_.groupState_.reset();
    }
}

bool undo(App& app) {
    UndoHistory& history = app.history();
    const bool done =
        swapDocument(app, history.undo_, history.redo_, history.bytes_, history.state_);
    history.trim();
    return done;
}

bool redo(App& app) {
    UndoHistory& history = app.history();
    const bool done =
        swapDocument(app, history.redo_, history.undo_, history.bytes_, history.state_);
    history.trim();
    return done;
}

bool canUndo(const App& app) {
    return app.history().canUndo();
}

bool canRedo(const App& app) {
    return app.history().canRedo();
}

}  // namespace bq
