#pragma once
// The files of `list`, `info` and `check`: the arguments walked (-r, --ext), shared out
// (--shard), processed side by side (--jobs) and printed in the order they were visited,
// with a progress line on a terminal (unless --quiet).

#include <functional>
#include <string>

#include "cli/cli_support.h"
#include "cli/folder_walk.h"
#include "cli/ordered_workers.h"
#include "cli/output.h"

namespace bq::cli {

// One file's work: prints into `output` (held or straight through), says how it went.
// `several` is true when the run can name more than one file, so every line must name its
// file. Called from several threads at once: it may share nothing but its arguments.
using ProcessFile =
    std::function<FileOutcome(const CollectedFile& file, bool several, FileOutput& output)>;

// Runs `process` over the files `args` names; kExitOk when every file came out Ok,
// kExitFailure otherwise, kExitUsage (with the message printed) for a bad -r/--ext/--jobs/
// --shard value before any file is read. `summary` names what the closing line counts
// ("check"), empty for none.
int runCollection(const CliArgs& args, const ProcessFile& process, bool summary);

// A file that `list` or `info` prints: false when it could not be opened (its message given).
using PrintFile = bool (*)(const std::string& path, bool json, bool several, FileOutput& output);
// runCollection for a command that prints each file as it is: a folder that cannot be read
// and a file that cannot be opened are unreadable, everything else Ok.
int printEachFile(const CliArgs& args, PrintFile print);

}  // namespace bq::cli
