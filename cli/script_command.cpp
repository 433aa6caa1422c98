// run FILE -o OUT SCRIPT: one open, the edits of SCRIPT in order, one save. A line is a
// command as its single form writes it, without FILE and -o, so whatever a script does can
// be tried one command at a time first.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "cli/command_table.h"

namespace bq::cli {

namespace {

// More than any script needs: a runaway input (a device, say) is refused early.
constexpr std::uint64_t kMaxScriptSize = 64 * 1024 * 1024;

// Runs one script line on the open document: kExitOk, or the line's failure reported.
int runLine(Session& session, std::string_view line) {
    std::string error;
    const std::optional<std::vector<std::string>> words = splitScriptLine(line, error);
    std::optional<CliArgs> args;
    if (words) {
        args = parseArguments(*words, error);
    }
    if (!args) {
        return session.refuse(error);
    }
    const CommandSpec* command = findCommand(args->command);
    if (command == nullptr) {
        return session.refuse("unknown command '" + args->command + "'");
    }
    // A line only changes the document: one that would print or write a file of its own
    // would do so before the run knows whether it will save.
    if (command->edit == nullptr || args->help ||
        (command->scriptNeeds != 0 && (args->given & command->scriptNeeds) == 0)) {
        std::string what(command->name);
        if (args->help) {
            what += " --help";
        } else if ((args->given & kOptExport) != 0) {
            what += " --export";
        }
        return session.refuse(
            "a script line changes the document and writes nothing else: import, add, edit, "
            "delete, resolution, icc --import, xmp --set-file/--set-text, georef, undo or redo; '" +
            what + "' can't be used in a script");
    }
    if (const std::string problem = checkArguments(*args, *command, true); !problem.empty()) {
        return session.refuse(problem + " (a script line: " + scriptLineUsage(*command) + ")");
    }
    // As the single command would find the document: nothing selected, and only this line's
    // --yes answering its questions.
    session.boxes.clearSelection();
    session.platform.yesAnswer = args->yes;
    // A line is one step, however many changes it makes (an add that fills its box).
    const UndoGroup oneStep(session.app);
    return command->edit(session, *args);
}

// Whether a line of the script undoes or redoes: only then is the document copied before each
// line, which would otherwise make a long script's time grow with its lines squared.
bool undoesAnything(std::string_view script) {
    while (!script.empty()) {
        const std::size_t end = script.find('\n');
        std::string_view line = script.substr(0, end);
        script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
        if (line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
        }
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        std::string error;
        const std::optional<std::vector<std::string>> words = splitScriptLine(line, error);
        if (words && !words->empty() && ((*words)[0] == "undo" || (*words)[0] == "redo")) {
            return true;
        }
    }
    return false;
}

}  // namespace

int runScript(const CliArgs& args) {
    Session session;
    const std::string& scriptName = args.positionals[1];
    std::optional<std::string> script;
    if (scriptName == "-") {
        script =
            inputText(session, readStandardInput(kMaxScriptSize), "the script on standard input");
    } else {
        script = readWholeFile(session, scriptName, kMaxScriptSize);
    }
    if (!script || !session.open(args.positionals[0])) {
        return kExitFailure;
    }
    session.app.history().setRecording(undoesAnything(*script));
    const std::string label = scriptName == "-" ? "<stdin>" : scriptName;
    std::string_view rest = *script;
    for (std::size_t lineNumber = 1; !rest.empty(); ++lineNumber) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);  // the mark some Windows editors put first
        }
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') {
            continue;
        }
        session.platform.context = label + ":" + std::to_string(lineNumber) + ": ";
        if (runLine(session, line) != kExitOk) {
            session.platform.context.clear();
            return session.refuse("the script stopped at line " + std::to_string(lineNumber) +
                                  "; nothing was written");
        }
    }
    session.platform.context.clear();
    session.platform.yesAnswer = args.yes;
    return session.save(*args.output);
}

}  // namespace bq::cli
