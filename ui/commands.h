#pragma once
// The editing commands behind the panel's buttons, keys and list notifications, as plain
// logic over App: the Win32 panel procedure and boxquill-cli both call exactly these.

#include <string>
#include <string_view>

#include "ui/app.h"

namespace bq {

// Message values the panel routing understands (the Win32 constants of the same meaning).
constexpr int kEnChange = 0x300;      // EN_CHANGE
constexpr int kVkInsert = 0x2D;       // VK_INSERT
constexpr int kVkDelete = 0x2E;       // VK_DELETE
constexpr unsigned kLvifState = 0x8;  // LVIF_STATE
constexpr int kAddDialogCancel = 2;   // IDCANCEL
constexpr int kNoReferenceRow = -1;   // insertionIndex when the first row is jp2c

constexpr std::string_view kDeleteChildrenQuestion = "This box has child boxes. Delete? ";
constexpr std::string_view kImportOpenFailed = "Couldn't open the file!";
constexpr std::string_view kImportReadFailed = "Couldn't read the file!";
constexpr std::string_view kTextWithNulMessage =
    "Couldn't read the file!\n\nIt holds NUL bytes, which an XML or label box cannot keep: it may "
    "be UTF-16 text (\"Unicode\" in Notepad). Save it as UTF-8 and load it again. ";

// Shows the row's box in the content pane and sets the pane's read-only state and the
// Delete, payload Load and payload Save buttons from it. Setting the pane's text here is
// not an edit: it never reaches the box. A row without a box shows nothing.
void showBox(App& app, int row);
// Shows no box: an empty read-only pane, and no row button offering a box.
void showNoBox(App& app);

// The row after which new rows go: the selected row, else the row before the first
// codestream (-1 when that is the first row), else kAppendRow.
int insertionIndex(App& app);

// The commands below act on the selected row. Each returns true when it changed the
// document (addBox, deleteBox, importBoxPayload, takePaneText) or wrote the payload file
// (exportBoxPayload); false when it found nothing to act on, was cancelled or failed (a
// failure has already been shown through showError).
bool addBox(App& app);
// Puts the GMLJP2 set at `index` (kAppendRow appends): an association holding the label
// "gml.data" and a nested association pairing the label "gml.root-instance" with an XML box
// holding `xml`. The row of the XML box, -1 when a row could not be inserted.
int insertGmlSet(BoxList& boxes, int index, int depth, Box* parent, std::string_view xml = {});
bool deleteBox(App& app);
bool importBoxPayload(App& app);
bool exportBoxPayload(App& app);
// Whether exportBoxPayload has a payload to write: a selected row that is no association.
bool canExportPayload(const BoxList& boxes);
// Hands the content pane's text to the selected box, as typing into the pane does. Edits
// always reach the selected row (never a row that only has the focus).
bool takePaneText(App& app);

// The part of a path after its last '\\' or '/', or the whole path.
std::string baseName(std::string_view path);
// The name the export dialog proposes: the base name of `path` cut at its last '.', then
// `extension`; the base is shortened so that the whole name fits a 260-character name buffer.
std::string proposedExportName(std::string_view path, std::string_view extension);
// `name` with `extension` appended when its base name has none.
std::string withDefaultExtension(std::string name, std::string_view extension);

// The panel's WM_COMMAND: buttons by control id, then edits of the content pane.
void panelCommand(App& app, int controlId, int notifyCode);
// LVN_KEYDOWN from the box list: Insert adds, Delete deletes.
void listKeyDown(App& app, int virtualKey);
// LVN_ITEMCHANGED / LVN_ITEMACTIVATE from the box list. The pane follows the selection,
// since edits go to the selected row: a notification for a row other than the selected one
// shows the selected row, and with nothing selected the notified row is shown read-only.
// A notification that names no row (-1) shows nothing.
void listItemChanged(App& app, int row, unsigned changedMask);

}  // namespace bq
