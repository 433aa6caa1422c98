// boxquill-cli: the editor's commands without windows.

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>  // After windows.h, which it needs.

#include "stream/utf8_path.h"
#endif

#if !defined(_WIN32)
#include <csignal>
#endif

#include "boxquill_version.h"
#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "cli/command_table.h"
#include "cli/output.h"

namespace bq::cli {
namespace {

int run(std::span<const std::string> arguments) {
    std::string error;
    const std::optional<CliArgs> args = parseArguments(arguments, error);
    if (!args) {
        printError(error);
        return kExitUsage;
    }
    if (args->version) {
        std::fputs("boxquill-cli " BOXQUILL_VERSION_TEXT "\n", stdout);
        return kExitOk;
    }
    if (args->command.empty() || args->command == "help") {
        printOverview(args->help || args->command == "help" ? stdout : stderr);
        return args->help || args->command == "help" ? kExitOk : kExitUsage;
    }
    if (const CommandSpec* found = findCommand(args->command); found != nullptr) {
        const CommandSpec& command = *found;
        const std::string usage = usageText(command);
        if (args->help) {
            std::fputs(usage.c_str(), stdout);
            return kExitOk;
        }
        if (command.run == nullptr) {
            printError("'" + args->command + "' is a line of a 'run' script, not a command");
            return kExitUsage;
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

namespace {

#if defined(_WIN32)
// The wide command line, as UTF-8: the narrow argv carries only what the system's code page
// can spell, and a file name in another script would arrive as question marks.
std::vector<std::string> commandArguments(int /*argc*/, char** /*argv*/) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(bq::narrow(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

// Names and texts are printed as UTF-8, which a console shows whole only while its output
// code page is UTF-8; the console gets its own code page back at the end.
class Utf8Console {
  public:
    Utf8Console() : previous_(GetConsoleOutputCP()) {
        if (previous_ != 0) {
            SetConsoleOutputCP(CP_UTF8);
        }
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;
    ~Utf8Console() {
        if (previous_ != 0) {
            SetConsoleOutputCP(previous_);
        }
    }

  private:
    UINT previous_;
};
#else
std::vector<std::string> commandArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}
#endif

}  // namespace

int main(int argc, char** argv) {
#if !defined(_WIN32)
    // Past a file size limit (ulimit -f) the write itself fails, and the save says so and
    // cleans up, instead of the process being killed half way.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#if defined(_WIN32)
    // Box texts are printed byte for byte; no CR is added before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    const Utf8Console console;
#endif
    // Into a file or a pipe, output goes in large writes: a listing of many files would
    // otherwise cost a system call every few kilobytes. Messages flush it first.
    // (The runtime takes a size only with a buffer; static, as stdout is flushed after main.)
    static char outputBuffer[64 * 1024];
    if (!bq::cli::isTerminal(stdout)) {
        std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    }
    try {
        return bq::cli::run(commandArguments(argc, argv));
    } catch (const std::exception& failure) {
        // Only memory exhaustion or a broken stdout can get here.
        bq::cli::printError(failure.what());
        return bq::cli::kExitFailure;
    }
}
