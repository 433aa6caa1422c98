#pragma once
// The commands boxquill-cli offers, each with its usage, for the program's front door and for
// the script runner, which looks up the commands its lines name.

#include <cstdio>
#include <string_view>

#include "cli/cli_support.h"

namespace bq::cli {

// None for a name that is no command.
const CommandSpec* findCommand(std::string_view name);
// The list of every command's usage and the rules they share.
void printOverview(std::FILE* out);

}  // namespace bq::cli
