#pragma once
// The commands of boxquill-cli. Each takes the parsed arguments (already checked against
// its usage: the right number of positionals, only its own options) and returns the exit
// code: kExitOk, kExitFailure after an error message on stderr, or kExitUsage.

#include <functional>
#include <string_view>
#include <vector>

#include "cli/cli_support.h"

namespace bq::cli {

int runList(const CliArgs& args);        // list FILE... [--json]
int runShow(const CliArgs& args);        // show FILE INDEX
int runExport(const CliArgs& args);      // export FILE INDEX OUT
int runImport(const CliArgs& args);      // import FILE INDEX IN -o OUT
int runAdd(const CliArgs& args);         // add FILE KIND [--at INDEX] [content] -o OUT
int runEdit(const CliArgs& args);        // edit FILE INDEX (--text T | --text-file F) -o OUT
int runDelete(const CliArgs& args);      // delete FILE INDEX [--yes] -o OUT
int runScript(const CliArgs& args);      // run FILE -o OUT SCRIPT
int runSave(const CliArgs& args);        // save FILE -o OUT
int runInfo(const CliArgs& args);        // info FILE... [--json] | info FILE INDEX [--json]
int runResolution(const CliArgs& args);  // resolution FILE [--capture ...] ... -o OUT
int runIcc(const CliArgs& args);         // icc FILE (--export OUT | --import IN -o OUT)
int runXmp(const CliArgs& args);         // xmp FILE [(--set-file F | --set-text T) -o OUT]
int runGeoref(const CliArgs& args);
int runCheck(const CliArgs& args);  // check FILE... [--json] [--all]      // georef FILE (--from G
                                    // | --world W --epsg C) ... -o OUT

// The KIND words of `add`, as the Add dialog's buttons name them.
std::vector<std::string_view> addKinds();

// Opens FILE, runs `change` with the positionals after FILE, and saves to OUT when the change
// succeeded and -o was given.
int openThenChange(const CliArgs& args, const std::function<int(Session&, const CliArgs&)>& change);

// The changes alone, on a document already open; the positionals start after FILE. A script
// line runs these, and the commands above run them between an open and a save.
int editImport(Session& session, const CliArgs& args);  // INDEX IN
int editAdd(Session& session, const CliArgs& args);     // KIND [--at ...] [content]
int editText(Session& session, const CliArgs& args);    // INDEX (--text | --text-file)
int editDelete(Session& session, const CliArgs& args);  // INDEX
int editResolution(Session& session, const CliArgs& args);
int editIcc(Session& session, const CliArgs& args);
int editXmp(Session& session, const CliArgs& args);
int editGeoref(Session& session, const CliArgs& args);
// Script lines only: undo the change of the line before, redo the one undone last.
int editUndo(Session& session, const CliArgs& args);
int editRedo(Session& session, const CliArgs& args);

}  // namespace bq::cli
