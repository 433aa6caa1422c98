#pragma once
// The man page and the shell completions of boxquill-cli, written from the program's own
// tables of commands and options, so that neither can drift from what the program takes.

#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_support.h"

namespace bq::cli {

// boxquill-cli(1) in roff, for `version` ("1.1.363").
std::string manPage(std::string_view version);
// A bash completion script for boxquill-cli.
std::string bashCompletion();

// The positional words of a command as its usage writes them ("FILE", "INDEX", "OUT"; the
// last ends in "..." when it repeats), options and their values left out.
std::vector<std::string> positionalWords(const CommandSpec& command);

}  // namespace bq::cli
