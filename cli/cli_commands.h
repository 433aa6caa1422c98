#pragma once
// The commands of boxquill-cli. Each takes the parsed arguments (already checked against
// its usage: the right number of positionals, only its own options) and returns the exit
// code: kExitOk, kExitFailure after an error message on stderr, or kExitUsage.

#include "cli/cli_support.h"

namespace bq::cli {

int runList(const CliArgs& args);    // list FILE... [--json]
int runShow(const CliArgs& args);    // show FILE INDEX
int runExport(const CliArgs& args);  // export FILE INDEX OUT
int runImport(const CliArgs& args);  // import FILE INDEX IN -o OUT
int runAdd(const CliArgs& args);     // add FILE KIND [--at INDEX] [content] -o OUT
int runEdit(const CliArgs& args);    // edit FILE INDEX (--text T | --text-file F) -o OUT
int runDelete(const CliArgs& args);  // delete FILE INDEX [--yes] -o OUT
int runScript(const CliArgs& args);  // run FILE -o OUT SCRIPT
int runSave(const CliArgs& args);    // save FILE -o OUT
int runInfo(const CliArgs& args);    // info FILE... [--json] | info FILE INDEX [--json]

// The changes alone, on a document already open; the positionals start after FILE. A script
// line runs these, and the commands above run them between an open and a save.
int editImport(Session& session, const CliArgs& args);  // INDEX IN
int editAdd(Session& session, const CliArgs& args);     // KIND [--at ...] [content]
int editText(Session& session, const CliArgs& args);    // INDEX (--text | --text-file)
int editDelete(Session& session, const CliArgs& args);  // INDEX

}  // namespace bq::cli
