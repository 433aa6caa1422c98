// boxquill-cli: the editor's commands without windows.

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/cli_commands.h"
#include "cli/cli_support.h"

namespace bq::cli {
namespace {

constexpr unsigned kTextOptions = kOptText | kOptTextFile;

constexpr CommandSpec kCommands[] = {
    {"list", "list FILE [--json]",
     "Prints the rows in order after the association sizes are refreshed: "
     "INDEX<TAB>ID<TAB>DESCRIPTION<TAB>SIZE, or a JSON array with --json.",
     1, kOptJson, 0, runList},
    {"show", "show FILE INDEX",
     "Prints the text the content pane shows for row INDEX, bytes as they are.", 2, 0, 0, runShow},
#if !defined(BOXQUILL_CLI_WITHOUT_EDIT_COMMANDS)
    {"export", "export FILE INDEX OUT", "Writes the payload of row INDEX to OUT.", 3, 0, 0,
     runExport},
    {"import", "import FILE INDEX IN -o OUT",
     "Replaces the payload of row INDEX with the bytes of IN, then saves to OUT.", 3,
     kOptOutput | kOptYes, kOptOutput, runImport},
    {"add", "add FILE KIND [--at INDEX] [--text TEXT | --text-file F] -o OUT",
     "Adds a box of KIND (xml, label, asoc, geotiff, gml) as the Add dialog does, after row "
     "INDEX as if it were selected, then saves to OUT.",
     2, kOptOutput | kOptAt | kTextOptions | kOptYes, kOptOutput, runAdd},
    {"edit", "edit FILE INDEX (--text TEXT | --text-file F) -o OUT",
     "Replaces the text of row INDEX as typing into the content pane does, then saves to OUT.", 2,
     kOptOutput | kTextOptions | kOptYes, kOptOutput, runEdit},
    {"delete", "delete FILE INDEX [--yes] -o OUT",
     "Deletes row INDEX (with the boxes nested in it when --yes answers the question), then "
     "saves to OUT.",
     2, kOptOutput | kOptYes, kOptOutput, runDelete},
#endif
    {"save", "save FILE -o OUT",
     "Opens FILE and saves it unchanged to OUT. When \".jp2\" is added to OUT and a file of "
     "that name exists, --yes replaces it.",
     1, kOptOutput | kOptYes, kOptOutput, runSave},
};

void printOverview(std::FILE* out) {
    std::fputs("usage: boxquill-cli COMMAND ARGUMENTS... [--help]\n\ncommands:\n", out);
    for (const CommandSpec& command : kCommands) {
        std::fprintf(out, "  boxquill-cli %.*s\n", static_cast<int>(command.usage.size()),
                     command.usage.data());
    }
    std::fputs(
        "\nINDEX is the 0-based row index that 'list' prints. Saving follows the editor's rules\n"
        "(\".jp2\" is added to OUT unless it contains \".jp2\" or \".jpx\"). Exit status: 0 "
        "success,\n1 failure (the editor's message on stderr), 2 usage error.\n",
        out);
}

int run(std::span<const std::string> arguments) {
    std::string error;
    const std::optional<CliArgs> args = parseArguments(arguments, error);
    if (!args) {
        printError(error);
        return kExitUsage;
    }
    if (args->command.empty() || args->command == "help") {
        printOverview(args->help || args->command == "help" ? stdout : stderr);
        return args->help || args->command == "help" ? kExitOk : kExitUsage;
    }
    for (const CommandSpec& command : kCommands) {
        if (args->command != command.name) {
            continue;
        }
        const std::string usage = usageText(command);
        if (args->help) {
            std::fputs(usage.c_str(), stdout);
            return kExitOk;
        }
        if (const std::string problem = checkArguments(*args, command); !problem.empty()) {
            printError(problem);
            std::fputs(usage.c_str(), stderr);
            return kExitUsage;
        }
        std::fflush(stdout);
        const int code = command.run(*args);
        std::fflush(stdout);
        return code;
    }
    printError("unknown command '" + args->command + "'");
    printOverview(stderr);
    return kExitUsage;
}

}  // namespace
}  // namespace bq::cli

int main(int argc, char** argv) {
#if defined(_WIN32)
    // Box texts are printed byte for byte; no CR is added before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    try {
        return bq::cli::run(arguments);
    } catch (const std::exception& failure) {
        // Only memory exhaustion or a broken stdout can get here.
        bq::cli::printError(failure.what());
        return bq::cli::kExitFailure;
    }
}
