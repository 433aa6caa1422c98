// `info`: what a file says about its image, or what one box holds.
//
// `info FILE INDEX` describes one box when there are exactly two positionals and the second
// is a decimal row index; anything else is a list of files (a file named by digits alone is
// reached as ./NAME).

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_commands.h"
#include "cli/collection_run.h"
#include "cli/output.h"
#include "describe/describe_box.h"
#include "describe/describe_file.h"
#include "ui/save_document.h"

namespace bq::cli {

namespace {

using Json = nlohmann::ordered_json;

// The description with the file (and its size as it was read) first.
Description withFile(const std::string& path, std::uint64_t size, Description description) {
    Description out;
    out.fields = objectWithRoom(description.fields.size() + 3);  // and "warnings" later
    out.fields["file"] = path;
    out.fields["fileSize"] = size;
    for (auto& [key, value] : description.fields.items()) {
        out.fields[key] = std::move(value);
    }
    out.warnings = std::move(description.warnings);
    return out;
}

bool infoFile(const std::string& path, bool json, bool several, FileOutput& output) {
    Session session;
    if (!openListed(session, path, json, several, output, true)) {
        return false;
    }
    std::vector<const Box*> rows;
    for (int row = 0; row < session.boxes.rowCount(); ++row) {
        rows.push_back(session.boxes.boxAt(row));
    }
    Description description = withFile(path, session.app.openedFileSize(), describeFile(rows));
    if (json) {
        output.out(jsonText(descriptionJson(std::move(description)), several ? -1 : 2));
    } else {
        if (several) {
            output.out("\n");  // a blank line between files
        }
        output.out(escapeText(descriptionText(description), Escape::Lines));
    }
    return true;
}

// INDEX: what the box of that row in `path` holds.
int infoBox(Session& session, const CliArgs& args, const std::string& path) {
    int row = 0;
    if (const int code = session.resolveRow(args.positionals[0], row); code != kExitOk) {
        return code;
    }
    // An association's length is what its rows add up to, as `list` shows it.
    refreshAssociationSizes(session.boxes);
    const Box* box = session.boxes.boxAt(row);
    if (box == nullptr) {
        return session.refuse("no box in row " + std::to_string(row));
    }
    if (!args.json) {
        writeOut(escapeText(describeBoxText(*box), Escape::Lines));
        return kExitOk;
    }
    Description description = describeBox(*box);
    Json json = {{"file", path}, {"index", row}};
    json.update(descriptionJson(description));
    writeOut(jsonText(json, 2));
    return kExitOk;
}

}  // namespace

int runInfo(const CliArgs& args) {
    const std::vector<std::string>& files = args.positionals;
    if (files.size() == 2 && parseIndex(files[1])) {
        return openThenChange(args, [&files](Session& session, const CliArgs& rest) {
            return infoBox(session, rest, files[0]);
        });
    }
    return printEachFile(args, infoFile);
}

}  // namespace bq::cli
