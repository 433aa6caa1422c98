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

std::string listJson(BoxList& boxes) {
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
    // Types and texts come from the file: bytes that are not UTF-8 are replaced, not fatal.
    return rows.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

int runList(const CliArgs& args) {
    Session session;
    if (!session.open(args.positionals[0])) {
        return kExitFailure;
    }
    BoxList& boxes = session.boxes;
    refreshAssociationSizes(boxes);
    if (args.json) {
        writeOut(listJson(boxes));
        return kExitOk;
    }
    for (int row = 0; row < boxes.rowCount(); ++row) {
        writeOut(std::to_string(row) + "\t" + boxes.cellText(row, 0) + "\t" +
                 boxes.cellText(row, 1) + "\t" + boxes.sizeText(row) + "\n");
    }
    return kExitOk;
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
