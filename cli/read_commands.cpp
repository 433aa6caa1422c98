// The commands that read a document and print it, and the plain re-save.

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "cli/cli_commands.h"
#include "cli/collection_run.h"
#include "cli/output.h"
#include "describe/description.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/save_document.h"

namespace bq::cli {

namespace {

// The four characters of a type as they are.
std::string typeCharacters(std::uint32_t type) {
    return {static_cast<char>(type >> 24), static_cast<char>(type >> 16),
            static_cast<char>(type >> 8), static_cast<char>(type)};
}

// One row as `list --json` gives it; `rowOf` finds a parent's row.
nlohmann::ordered_json rowJson(BoxList& boxes, int row,
                               const std::unordered_map<const Box*, int>& rowOf) {
    const Box* box = boxes.boxAt(row);
    nlohmann::ordered_json entry = objectWithRoom(10);
    entry["index"] = row;
    entry["id"] = boxes.cellText(row, 0);
    entry["description"] = boxes.cellText(row, 1);
    if (box != nullptr) {
        const auto parent = rowOf.find(box->parent);
        // The Size column's number: the refresh has just made the two agree.
        entry["size"] = box->payloadSize;
        entry["type"] = typeCharacters(box->type);
        entry["typeCode"] = box->type;
        entry["depth"] = box->depth;
        entry["parent"] = box->parent != nullptr && parent != rowOf.end()
                              ? nlohmann::ordered_json(parent->second)
                              : nlohmann::ordered_json(nullptr);
        entry["locked"] = box->isLocked();
        entry["editable"] = box->isEditable();
    }
    return entry;
}

// The rows as a JSON array, written a row at a time: a listing of many deeply nested rows
// (each with its long indentation) is never held whole. Indent 2 gives the array as a pretty
// dump prints it, -1 one line.
void writeRowsJson(BoxList& boxes, int indent, FileOutput& output) {
    std::unordered_map<const Box*, int> rowOf;
    for (int row = 0; row < boxes.rowCount(); ++row) {
        rowOf[boxes.boxAt(row)] = row;
    }
    if (boxes.rowCount() == 0) {
        output.out("[]");
        return;
    }
    const std::string deeper(static_cast<std::size_t>(std::max(indent, 0)), ' ');
    output.out(indent < 0 ? "[" : "[\n");
    for (int row = 0; row < boxes.rowCount(); ++row) {
        if (row != 0) {
            output.out(indent < 0 ? "," : ",\n");
        }
        std::string entry = jsonText(rowJson(boxes, row, rowOf), indent);
        entry.pop_back();
        if (indent >= 0) {
            // One level deeper than the array: every line of the object moves right.
            std::string moved = deeper;
            for (const char c : entry) {
                moved += c;
                if (c == '\n') {
                    moved += deeper;
                }
            }
            entry.swap(moved);
        }
        output.out(entry);
    }
    output.out(indent < 0 ? "]" : "\n]");
}

// The rows as TSV (fields escaped, so a tab or line break in a type or path cannot split
// a row), each after `lead` (the file's path and a tab when several are listed),
// written a row at a time.
void writeRows(BoxList& boxes, const std::string& lead, FileOutput& output) {
    for (int row = 0; row < boxes.rowCount(); ++row) {
        output.out(lead + std::to_string(row) + "\t" +
                   escapeText(boxes.cellText(row, 0), Escape::Field) + "\t" +
                   escapeText(boxes.cellText(row, 1), Escape::Field) + "\t" + boxes.sizeText(row) +
                   "\n");
    }
}

// One file: its rows as TSV, or as JSON (an indented array for a single file; for one of
// several, one line that also names the file, or says what went wrong with it). Of several
// files each row and message names its file. True when the file opened.
bool listFile(const std::string& path, bool json, bool several, FileOutput& output) {
    Session session;
    if (!openListed(session, path, json, several, output)) {
        return false;
    }
    refreshAssociationSizes(session.boxes);
    if (!json) {
        writeRows(session.boxes, several ? escapeText(path, Escape::Field) + "\t" : "", output);
    } else if (several) {
        std::string lead = jsonText({{"file", path}}, -1);
        lead.resize(lead.size() - 2);  // the object stays open for its rows
        output.out(lead + ",\"rows\":");
        writeRowsJson(session.boxes, -1, output);
        output.out("}\n");
    } else {
        writeRowsJson(session.boxes, 2, output);
        output.out("\n");
    }
    return true;
}

}  // namespace

int runList(const CliArgs& args) {
    return printEachFile(args, listFile);
}

int runShow(const CliArgs& args) {
    return openThenChange(args, [](Session& session, const CliArgs& rest) {
        int row = 0;
        if (const int code = session.resolveRow(rest.positionals[0], row); code != kExitOk) {
            return code;
        }
        showBox(session.app, row);
        writeStoredText(session.platform.controlText(IDC_CONTENT));
        return kExitOk;
    });
}

int runSave(const CliArgs& args) {
    Session session;
    session.platform.yesAnswer = args.yes;
    if (!session.open(args.positionals[0])) {
        return kExitFailure;
    }
    return session.save(*args.output);
}

}  // namespace bq::cli
