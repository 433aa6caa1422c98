#pragma once
// The commands boxquill-cli offers, each with its usage, for the program's front door and for
// the script runner, which looks up the commands its lines name.

#include <cstdio>
#include <span>
#include <string_view>

#include "cli/cli_support.h"

namespace bq::cli {

// Every command, script lines included, in the order the help lists them.
std::span<const CommandSpec> commands();
// None for a name that is no command.
const CommandSpec* findCommand(std::string_view name);
// What every command shares (INDEX, saving, exit status), as lines of text.
std::string_view sharedRules();
// The list of every command's usage and the rules they share.
void printOverview(std::FILE* out);

}  // namespace bq::cli
