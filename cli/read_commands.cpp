// The commands that read a document and print it, and the plain re-save.

#include <cstdio>
#include <string>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "box/box.h"
#include "cli/cli_commands.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/save_document.h"

namespace bq::cli {

namespace {

void writeOut(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// The four characters of a type as they are.
std::string typeCharacters(std::uint32_t type) {
    return {static_cast<char>(type >> 24), static_cast<char>(type >> 16),
            static_cast<char>(type >> 8), static_cast<char>(type)};
}

nlohmann::ordered_json listJson(BoxList& boxes) {
    std::unordered_map<const Box*, int> rowOf;
    for (int row = 0; row < boxes.rowCount(); ++row) {
        rowOf[boxes.boxAt(row)] = row;
    }
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (int row = 0; row < boxes.rowCount(); ++row) {
        const Box* box = boxes.boxAt(row);
        nlohmann::ordered_json entry = {
            {"index", row},
            {"id", boxes.cellText(row, 0)},
            {"description", boxes.cellText(row, 1)},
        };
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
        rows.push_back(std::move(entry));
    }
    return rows;
}

// Types, texts and paths come from the files: bytes that are not UTF-8 are replaced, not
// fatal. An indent of -1 gives one line.
std::string jsonText(const nlohmann::ordered_json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

// The rows as TSV, each after `lead` (the file's path and a tab when several are listed).
void writeRows(BoxList& boxes, const std::string& lead) {
    std::string rows;
    for (int row = 0; row < boxes.rowCount(); ++row) {
        rows += lead + std::to_string(row) + "\t" + boxes.cellText(row, 0) + "\t" +
                boxes.cellText(row, 1) + "\t" + boxes.sizeText(row) + "\n";
    }
    writeOut(rows);
}

// One file: its rows as TSV, or as JSON (an indented array for a single file; for one of
// several, one line that also names the file, or says what went wrong with it). Of several
// files each row and message names its file. True when the file opened.
bool listFile(const std::string& path, bool json, bool several) {
    Session session;
    if (several) {
        session.platform.context = path + ": ";
        session.platform.collectMessages = json;
    }
    if (!session.open(path)) {
        if (several && json) {
            std::string error;
            for (const std::string& message : session.platform.messages) {
                error += (error.empty() ? "" : "\n") + message;
            }
            writeOut(jsonText({{"file", path}, {"error", error}}, -1));
        }
        return false;
    }
    refreshAssociationSizes(session.boxes);
    if (!json) {
        writeRows(session.boxes, several ? path + "\t" : "");
    } else if (several) {
        writeOut(jsonText({{"file", path}, {"rows", listJson(session.boxes)}}, -1));
    } else {
        writeOut(jsonText(listJson(session.boxes), 2));
    }
    return true;
}

}  // namespace

int runList(const CliArgs& args) {
    const bool several = args.positionals.size() > 1;
    bool allOpened = true;
    for (const std::string& path : args.positionals) {
        allOpened = listFile(path, args.json, several) && allOpened;
        // Each file's lines are out before the next file's messages.
        std::fflush(stdout);
    }
    return allOpened ? kExitOk : kExitFailure;
}

int runShow(const CliArgs& args) {
    Session session;
    if (!session.open(args.positionals[0])) {
        return kExitFailure;
    }
    int row = 0;
    if (const int code = session.resolveRow(args.positionals[1], row); code != kExitOk) {
        return code;
    }
    showBox(session.app, row);
    writeOut(session.platform.controlText(IDC_CONTENT));
    return kExitOk;
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
