// The commands that change a document or write a payload. Each runs the editor's own command
// on the row INDEX names, selected as the user would select it, with the dialogs answered
// from the arguments, and then saves as the Save button does. What the editor silently
// ignores (a locked box, a box of the wrong kind) is refused here with a message and exit
// code 1, so that a script learns that nothing happened.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "box/box.h"
#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "ui/commands.h"
#include "ui/control_ids.h"

namespace bq::cli {

namespace {

// The list view reports every selection change to the panel, which shows the row's box;
// the in-memory list does the same through this hook.
void followSelection(Session& session) {
    session.boxes.onSelectionChanged = [&session](int row) {
        listItemChanged(session.app, row, kLvifState);
    };
}

// "row 3 ('jp2h')": the type as its four characters, unprintable bytes as '?'.
std::string rowName(const Box& box, int row) {
    std::string type;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(box.type >> shift);
        type += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return "row " + std::to_string(row) + " ('" + type + "')";
}

int refuse(const std::string& message) {
    printError(message);
    return kExitFailure;
}

// Opens FILE and finds the row INDEX names. kExitOk with `row` and `box` set, or the exit
// code with the message already on stderr.
int openAt(Session& session, const CliArgs& args, int& row, Box*& box) {
    followSelection(session);
    // --yes answers every question on the way (the child-boxes question, replacing OUT).
    session.platform.yesAnswer = args.yes;
    if (!session.open(args.positionals[0])) {
        return kExitFailure;
    }
    if (const int code = session.resolveRow(args.positionals[1], row); code != kExitOk) {
        return code;
    }
    box = session.boxes.boxAt(row);
    return box != nullptr ? kExitOk : refuse("row " + std::to_string(row) + " holds no box");
}

// Ran a command that changes nothing when it fails: make sure the failure was said.
int commandResult(bool done, Session& session, int errorsBefore, std::string_view whatFailed) {
    if (done) {
        return kExitOk;
    }
    if (session.platform.errorCount() == errorsBefore) {
        printError(whatFailed);
    }
    return kExitFailure;
}

// Hands `text` to the selected box as typing it into the content pane does.
int typeIntoPane(Session& session, const std::string& text) {
    // The pane holds a C string: a NUL would silently cut the text short.
    if (text.find('\0') != std::string::npos) {
        return refuse("the text holds a NUL byte, which the content pane cannot take");
    }
    session.platform.setControlText(IDC_CONTENT, text);
    if (!takePaneText(session.app)) {
        return refuse("the text could not be given to the box");
    }
    const Box* box = session.boxes.boxAt(session.boxes.selectedRow());
    if (box == nullptr || box->payloadSize != text.size()) {
        return refuse("not enough memory for the text");
    }
    return kExitOk;
}

// The Add dialog's button for a KIND argument; none for an unknown kind.
std::optional<int> addDialogButton(std::string_view kind) {
    struct Kind {
        std::string_view name;
        int button;
    };
    constexpr Kind kKinds[] = {
        {"xml", IDC_ADD_XML},         {"label", IDC_ADD_LABEL}, {"asoc", IDC_ADD_ASSOCIATION},
        {"geotiff", IDC_ADD_GEOTIFF}, {"gml", IDC_ADD_GML},
    };
    for (const Kind& k : kKinds) {
        if (k.name == kind) {
            return k.button;
        }
    }
    return std::nullopt;
}

bool bothTextOptions(const CliArgs& args) {
    return args.text.has_value() && args.textFile.has_value();
}

}  // namespace

int runExport(const CliArgs& args) {
    Session session;
    int row = -1;
    Box* box = nullptr;
    if (const int code = openAt(session, args, row, box); code != kExitOk) {
        return code;
    }
    if (box->type == kTypeAsoc) {
        return refuse(rowName(*box, row) +
                      " is an association box: its content is the rows nested in it, and it "
                      "has no payload to export");
    }
    session.boxes.selectRow(row);
    session.platform.saveFileAnswer = args.positionals[2];
    const int errorsBefore = session.platform.errorCount();
    return commandResult(exportBoxPayload(session.app), session, errorsBefore, "nothing exported");
}

int runImport(const CliArgs& args) {
    Session session;
    int row = -1;
    Box* box = nullptr;
    if (const int code = openAt(session, args, row, box); code != kExitOk) {
        return code;
    }
    if (box->isLocked()) {
        return refuse(rowName(*box, row) + " is locked: its payload can't be replaced");
    }
    if (!box->canImport()) {
        return refuse(rowName(*box, row) + " takes no payload from a file");
    }
    session.boxes.selectRow(row);
    session.platform.openFileAnswer = args.positionals[2];
    const int errorsBefore = session.platform.errorCount();
    if (const int code =
            commandResult(importBoxPayload(session.app), session, errorsBefore, "nothing imported");
        code != kExitOk) {
        return code;
    }
    return session.save(*args.output);
}

int runAdd(const CliArgs& args) {
    const std::string& kind = args.positionals[1];
    const std::optional<int> button = addDialogButton(kind);
    if (!button) {
        printError("unknown box kind '" + kind + "': use xml, label, asoc, geotiff or gml");
        return kExitUsage;
    }
    const bool hasText = args.text.has_value() || args.textFile.has_value();
    if (bothTextOptions(args)) {
        printError("give either --text or --text-file, not both");
        return kExitUsage;
    }
    if (hasText && (*button == IDC_ADD_ASSOCIATION || *button == IDC_ADD_GEOTIFF)) {
        printError("--text and --text-file are for xml, label and gml boxes only");
        return kExitUsage;
    }
    std::optional<std::string> text;
    if (hasText) {
        text = textArgument(args);
        if (!text) {
            return kExitFailure;
        }
    }

    Session session;
    followSelection(session);
    session.platform.yesAnswer = args.yes;
    if (!session.open(args.positionals[0])) {
        return kExitFailure;
    }
    if (args.at) {
        int row = -1;
        if (const int code = session.resolveRow(*args.at, row); code != kExitOk) {
            return code;
        }
        session.boxes.selectRow(row);
    }
    if (session.boxes.rowCount() == 0) {
        return refuse("the document has no boxes, and the editor adds none to an empty list");
    }
    session.platform.addDialogAnswer = *button;
    const int errorsBefore = session.platform.errorCount();
    if (const int code = commandResult(addBox(session.app), session, errorsBefore, "no box added");
        code != kExitOk) {
        return code;
    }
    if (*button == IDC_ADD_GEOTIFF) {
        // What the editor does, but a script would not see it: the box vanishes on saving.
        printError(
            "note: a GeoTIFF box without a payload is not written to the file; the editor "
            "fills it with the payload Load button");
    }
    // The new box (for gml, the set's XML box) is selected and ready for typing.
    if (text) {
        if (const int code = typeIntoPane(session, *text); code != kExitOk) {
            return code;
        }
    }
    return session.save(*args.output);
}

int runEdit(const CliArgs& args) {
    if (bothTextOptions(args) || (!args.text && !args.textFile)) {
        printError("give the new text with exactly one of --text and --text-file");
        return kExitUsage;
    }
    const std::optional<std::string> text = textArgument(args);
    if (!text) {
        return kExitFailure;
    }
    Session session;
    int row = -1;
    Box* box = nullptr;
    if (const int code = openAt(session, args, row, box); code != kExitOk) {
        return code;
    }
    if (box->isLocked()) {
        return refuse(rowName(*box, row) + " is locked: its text can't be edited");
    }
    if (!box->isEditable()) {
        return refuse(rowName(*box, row) + " is not an XML or label box: its text can't be edited");
    }
    session.boxes.selectRow(row);
    if (const int code = typeIntoPane(session, *text); code != kExitOk) {
        return code;
    }
    return session.save(*args.output);
}

int runDelete(const CliArgs& args) {
    Session session;
    int row = -1;
    Box* box = nullptr;
    if (const int code = openAt(session, args, row, box); code != kExitOk) {
        return code;
    }
    if (box->isLocked()) {
        return refuse(rowName(*box, row) + " is locked: it can't be deleted");
    }
    session.boxes.selectRow(row);
    const int errorsBefore = session.platform.errorCount();
    if (const int code =
            commandResult(deleteBox(session.app), session, errorsBefore, "nothing deleted");
        code != kExitOk) {
        return code;
    }
    return session.save(*args.output);
}

}  // namespace bq::cli
