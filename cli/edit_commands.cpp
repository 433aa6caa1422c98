// The commands that change a document or write a payload. Each runs the editor's own command
// on the row INDEX names, selected as the user would select it, with the dialogs answered
// from the arguments, and then saves as the Save button does. What the editor silently
// ignores (a locked box, a box of the wrong kind) is refused here with a message and exit
// code 1, so that a script learns that nothing happened.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "ui/commands.h"
#include "ui/control_ids.h"

namespace bq::cli {

namespace {

// "row 3 ('jp2h')": the type as its four characters, unprintable bytes as '?'.
std::string rowName(const Box& box, int row) {
    std::string type;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(box.type >> shift);
        type += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return "row " + std::to_string(row) + " ('" + type + "')";
}

// Finds the row that the first positional names. kExitOk with `row` and `box` set, or the
// exit code with the message already reported.
int rowAt(Session& session, const CliArgs& args, int& row, Box*& box) {
    if (const int code = session.resolveRow(args.positionals[0], row); code != kExitOk) {
        return code;
    }
    box = session.boxes.boxAt(row);
    return box != nullptr ? kExitOk
                          : session.refuse("row " + std::to_string(row) + " holds no box");
}

// rowAt for a row about to change: a locked box is refused with "<row> is locked: <what>".
int rowToChange(Session& session, const CliArgs& args, std::string_view what, int& row, Box*& box) {
    if (const int code = rowAt(session, args, row, box); code != kExitOk) {
        return code;
    }
    return box->isLocked() ? session.refuse(rowName(*box, row) + " is locked: " + std::string(what))
                           : kExitOk;
}

// Ran a command that changes nothing when it fails: make sure the failure was said.
int commandResult(bool done, Session& session, int errorsBefore, std::string_view whatFailed) {
    if (done) {
        return kExitOk;
    }
    if (session.platform.errorCount() == errorsBefore) {
        session.report(whatFailed);
    }
    return kExitFailure;
}

// Hands `text` to the selected box as typing it into the content pane does.
int typeIntoPane(Session& session, const std::string& text) {
    // The pane holds a C string: a NUL would silently cut the text short.
    if (text.find('\0') != std::string::npos) {
        return session.refuse(
            "the text holds a NUL byte, which an XML or label box cannot keep: it may be UTF-16 "
            "text; save it as UTF-8");
    }
    session.platform.setControlText(IDC_CONTENT, text);
    if (!takePaneText(session.app)) {
        return session.refuse("the text could not be given to the box");
    }
    const Box* box = session.boxes.boxAt(session.boxes.selectedRow());
    if (box == nullptr || box->payloadSize != text.size()) {
        return session.refuse("not enough memory for the text");
    }
    return kExitOk;
}

// The payload Load button on the selected row, its file dialog answering `file`.
int loadPayload(Session& session, const std::string& file) {
    session.platform.openFileAnswer = file;
    const int errorsBefore = session.platform.errorCount();
    return commandResult(importBoxPayload(session.app), session, errorsBefore, "nothing imported");
}

struct AddKind {
    std::string_view name;
    int button;
};

constexpr AddKind kAddKinds[] = {
    {"xml", IDC_ADD_XML},         {"label", IDC_ADD_LABEL}, {"asoc", IDC_ADD_ASSOCIATION},
    {"geotiff", IDC_ADD_GEOTIFF}, {"gml", IDC_ADD_GML},
};

// The Add dialog's button for a KIND argument; none for an unknown kind.
std::optional<int> addDialogButton(std::string_view kind) {
    for (const AddKind& k : kAddKinds) {
        if (k.name == kind) {
            return k.button;
        }
    }
    return std::nullopt;
}

// INDEX OUT: the payload Save button on the row.
int exportRow(Session& session, const CliArgs& args) {
    int row = -1;
    Box* box = nullptr;
    if (const int code = rowAt(session, args, row, box); code != kExitOk) {
        return code;
    }
    if (box->type == kTypeAsoc) {
        return session.refuse(rowName(*box, row) +
                              " is an association box: its content is the rows nested in it, "
                              "and it has no payload to export");
    }
    session.boxes.selectRow(row);
    session.platform.saveFileAnswer = args.positionals[1];
    const int errorsBefore = session.platform.errorCount();
    return commandResult(exportBoxPayload(session.app), session, errorsBefore, "nothing exported");
}

}  // namespace

// Opens FILE, runs the change on the document with the positionals after FILE, and saves to
// OUT when the change succeeded and the command has an OUT.
int openThenChange(const CliArgs& args,
                   const std::function<int(Session&, const CliArgs&)>& change) {
    Session session;
    // --yes answers every question on the way (the child-boxes question, replacing OUT).
    session.platform.yesAnswer = args.yes;
    if (!session.open(args.positionals[0])) {
        return kExitFailure;
    }
    CliArgs rest = args;
    rest.positionals.erase(rest.positionals.begin());
    if (const int code = change(session, rest); code != kExitOk) {
        return code;
    }
    return args.output ? session.save(*args.output) : kExitOk;
}

int runExport(const CliArgs& args) {
    return openThenChange(args, exportRow);
}

int editImport(Session& session, const CliArgs& args) {
    int row = -1;
    Box* box = nullptr;
    if (const int code = rowToChange(session, args, "its payload can't be replaced", row, box);
        code != kExitOk) {
        return code;
    }
    if (!box->canImport()) {
        return session.refuse(rowName(*box, row) + " takes no payload from a file");
    }
    session.boxes.selectRow(row);
    return loadPayload(session, args.positionals[1]);
}

int editAdd(Session& session, const CliArgs& args) {
    const std::string& kind = args.positionals[0];
    const std::optional<int> button = addDialogButton(kind);
    if (!button) {
        session.report("unknown box kind '" + kind + "': use xml, label, asoc, geotiff or gml");
        return kExitUsage;
    }
    const int contentOptions = int{args.text.has_value()} + int{args.textFile.has_value()} +
                               int{args.importFile.has_value()};
    if (contentOptions > 1) {
        session.report("give at most one of --text, --text-file and --import");
        return kExitUsage;
    }
    if (*button == IDC_ADD_ASSOCIATION && contentOptions != 0) {
        session.report("an association box takes no content: its content is the rows nested in it");
        return kExitUsage;
    }
    if (*button == IDC_ADD_GEOTIFF && (args.text || args.textFile)) {
        session.report("a GeoTIFF box takes no text: fill it with --import FILE.tif");
        return kExitUsage;
    }
    std::optional<std::string> text;
    if (args.text || args.textFile) {
        text = textArgument(session, args);
        if (!text) {
            return kExitFailure;
        }
    }
    if (args.at) {
        int row = -1;
        if (const int code = session.resolveRow(*args.at, row); code != kExitOk) {
            return code;
        }
        session.boxes.selectRow(row);
    }
    if (session.boxes.rowCount() == 0) {
        return session.refuse(
            "the document has no boxes, and the editor adds none to an empty list");
    }
    session.platform.addDialogAnswer = *button;
    const int errorsBefore = session.platform.errorCount();
    if (const int code = commandResult(addBox(session.app), session, errorsBefore, "no box added");
        code != kExitOk) {
        return code;
    }
    // The new box (for gml, the set's XML box) is selected and ready for typing or loading;
    // the outermost new box is, for gml, the set's association two levels above it.
    const Box* added = session.boxes.boxAt(session.boxes.selectedRow());
    for (int level = 0; *button == IDC_ADD_GML && level < 2 && added != nullptr; ++level) {
        added = added->parent;
    }
    if (!args.at && added != nullptr && added->parent != nullptr) {
        // The editor's rule, but easy to miss in a batch: a box joining a GML set's
        // association can keep readers from finding the set's georeferencing.
        session.report(
            "note: the row before the codestream is inside an association, so the "
            "new box went into it too; give --at INDEX to put it elsewhere");
    }
    if (args.importFile) {
        return loadPayload(session, *args.importFile);
    }
    if (*button == IDC_ADD_GEOTIFF) {
        // What the editor does, but a script would not see it: the box vanishes on saving.
        session.report(
            "note: a GeoTIFF box without a payload is not written to the file; fill it with "
            "--import FILE.tif");
    }
    return text ? typeIntoPane(session, *text) : kExitOk;
}

int editText(Session& session, const CliArgs& args) {
    if (int{args.text.has_value()} + int{args.textFile.has_value()} != 1) {
        session.report("give the new text with exactly one of --text and --text-file");
        return kExitUsage;
    }
    const std::optional<std::string> text = textArgument(session, args);
    if (!text) {
        return kExitFailure;
    }
    int row = -1;
    Box* box = nullptr;
    if (const int code = rowToChange(session, args, "its text can't be edited", row, box);
        code != kExitOk) {
        return code;
    }
    if (!box->isEditable()) {
        return session.refuse(rowName(*box, row) +
                              " is not an XML or label box: its text can't be edited");
    }
    session.boxes.selectRow(row);
    return typeIntoPane(session, *text);
}

int editDelete(Session& session, const CliArgs& args) {
    int row = -1;
    Box* box = nullptr;
    if (const int code = rowToChange(session, args, "it can't be deleted", row, box);
        code != kExitOk) {
        return code;
    }
    session.boxes.selectRow(row);
    const int errorsBefore = session.platform.errorCount();
    return commandResult(deleteBox(session.app), session, errorsBefore, "nothing deleted");
}

std::vector<std::string_view> addKinds() {
    std::vector<std::string_view> names;
    for (const AddKind& k : kAddKinds) {
        names.push_back(k.name);
    }
    return names;
}

int editUndo(Session& session, const CliArgs& /*args*/) {
    if (!canUndo(session.app)) {
        return session.refuse("nothing to undo");
    }
    return undo(session.app) ? kExitOk : kExitFailure;
}

int editRedo(Session& session, const CliArgs& /*args*/) {
    if (!canRedo(session.app)) {
        return session.refuse("nothing to redo");
    }
    return redo(session.app) ? kExitOk : kExitFailure;
}

int runImport(const CliArgs& args) {
    return openThenChange(args, editImport);
}

int runAdd(const CliArgs& args) {
    return openThenChange(args, editAdd);
}

int runEdit(const CliArgs& args) {
    return openThenChange(args, editText);
}

int runDelete(const CliArgs& args) {
    return openThenChange(args, editDelete);
}

}  // namespace bq::cli
