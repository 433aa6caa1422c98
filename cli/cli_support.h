#pragma once
// What every boxquill-cli command shares: the parsed arguments, the editor session it runs
// (the editor's own App, in-memory box list and a command-line platform), and the opening
// and saving of documents through the editor's own openDocument and saveDocument.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_platform.h"
#include "stream/input_file.h"
#include "ui/app.h"
#include "ui/memory_box_list.h"

namespace bq::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Options, as bits of a command's allowed and required sets.
enum CliOption : unsigned {
    kOptOutput = 1u << 0,    // -o OUT
    kOptAt = 1u << 1,        // --at INDEX
    kOptText = 1u << 2,      // --text TEXT
    kOptTextFile = 1u << 3,  // --text-file F
    kOptJson = 1u << 4,      // --json
    kOptYes = 1u << 5,       // --yes
    kOptImport = 1u << 6,    // --import F
    kOptCapture = 1u << 7,   // --capture H[xV]
    kOptDisplay = 1u << 8,   // --display H[xV]
    kOptUnit = 1u << 9,      // --unit dpi|dpcm|ppm
    kOptRemove = 1u << 10,   // --remove capture|display|both
    kOptExport = 1u << 11,   // --export OUT
    kOptColr = 1u << 12,     // --colr N
    kOptSetFile = 1u << 13,  // --set-file F
    kOptSetText = 1u << 14,  // --set-text T
    kOptFrom = 1u << 15,     // --from GEOTIFF
    kOptWorld = 1u << 16,    // --world FILE.j2w
    kOptEpsg = 1u << 17,     // --epsg CODE
    kOptGml = 1u << 18,      // --gml
    kOptGeoJp2 = 1u << 19,   // --geojp2
    kOptAll = 1u << 20,      // --all
    kOptProfile = 1u << 21,  // --profile FILE.toml, repeatable
    // Collections (list, info, check):
    kOptRecursive = 1u << 22,  // -r, --recursive
    kOptExt = 1u << 23,        // --ext LIST
    kOptJobs = 1u << 24,       // --jobs N
    kOptQuiet = 1u << 25,      // --quiet
    kOptShard = 1u << 26,      // --shard K/N
};

// How a shell completes an option's value.
enum class ValueCompletion { None, Files };

// An option as it is typed, with what the man page and the shell completion say of it: its
// value as the usages write it ("OUT", "dpi|dpcm|ppm": a value with '|' is one of those
// words) and a line of help.
struct OptionName {
    std::string_view name;
    CliOption bit;
    bool takesValue;
    std::string_view value = {};
    ValueCompletion completion = ValueCompletion::None;
    std::string_view help = {};
    std::string_view shortName = {};  // another spelling, for CLI11 ("-r")
};

// Every option of every command, in the order the help lists them.
std::span<const OptionName> optionNames();

// The options of the commands that take folders.
constexpr unsigned kCollectionOptions = kOptRecursive | kOptExt | kOptJobs | kOptQuiet | kOptShard;

struct CliArgs {
    std::string command;
    std::vector<std::string> positionals;  // after the command: FILE, INDEX, ...
    std::optional<std::string> output;
    std::optional<std::string> at;
    std::optional<std::string> text;
    std::optional<std::string> textFile;
    std::optional<std::string> importFile;
    std::optional<std::string> capture;
    std::optional<std::string> display;
    std::optional<std::string> unit;
    std::optional<std::string> remove;
    std::optional<std::string> exportFile;
    std::optional<std::string> colr;
    std::optional<std::string> setFile;
    std::optional<std::string> setText;
    std::optional<std::string> from;
    std::optional<std::string> world;
    std::optional<std::string> epsg;
    std::vector<std::string> profiles;  // --profile, in the order given
    bool json = false;
    bool yes = false;
    bool gml = false;
    bool geoJp2 = false;
    bool all = false;
    // Collections: how folders are walked, processed and shared out.
    bool recursive = false;
    bool quiet = false;
    std::optional<std::string> ext;
    std::optional<std::string> jobs;
    std::optional<std::string> shard;
    bool help = false;
    bool version = false;  // --version: the program's version, whatever else is given
    unsigned given = 0;    // the CliOption bits that appeared
};

class Session;

struct CommandSpec {
    std::string_view name;
    std::string_view usage;      // "list FILE [--json]"
    std::string_view summary;    // one line
    std::size_t positionals;     // how many after the command, FILE included
    unsigned allowed;            // CliOption bits
    unsigned required;           // CliOption bits
    int (*run)(const CliArgs&);  // none for a script line that is no command
    // The change alone, on a document already open, with the positionals after FILE: what a
    // script line runs. None for the commands a script cannot hold.
    int (*edit)(Session&, const CliArgs&) = nullptr;
    bool manyFiles = false;  // FILE... : `positionals` is then the least number
    // A script line of this command must give one of these options: without them it prints
    // or writes a file of its own (xmp prints the packet, icc --export writes the profile),
    // and a run writes nothing but its output, only once every line succeeded.
    unsigned scriptNeeds = 0;
};

// Splits the arguments after the program name with CLI11, knowing every option of every
// command. Options may come anywhere; "--" ends them. None, with `error` set in the
// program's own words, when an option is unknown, repeated or lacks its value; CLI11 prints
// nothing and no exception leaves.
std::optional<CliArgs> parseArguments(std::span<const std::string> arguments, std::string& error);
// Empty when `args` fits the command's usage, else what is wrong with them. A script line
// has neither FILE nor -o.
std::string checkArguments(const CliArgs& args, const CommandSpec& command,
                           bool scriptLine = false);
// "usage: boxquill-cli list FILE [--json]" and the summary.
std::string usageText(const CommandSpec& command);
// The command as a script line writes it: "add KIND [--at INDEX] ...", without FILE and -o.
std::string scriptLineUsage(const CommandSpec& command);

// A row index as `list` prints it: decimal digits only.
std::optional<int> parseIndex(std::string_view text);

// One run of the editor without windows.
class Session {
  public:
    // The list reports each selection change to the panel, as the list view does.
    Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the file as the editor does for a path on its command line. False when the open
    // failed; its message is already on stderr.
    bool open(const std::string& path);
    // Saves as the Save button does, the save dialog answering `output` (the extension rule
    // and every check of the editor apply). kExitOk when the file was written.
    int save(const std::string& output);
    // The row that INDEX names: kExitOk with `row` set, kExitUsage for text that is no index,
    // kExitFailure for an index with no row; the message is already on stderr.
    int resolveRow(std::string_view indexText, int& row);
    // Says what went wrong, as printError does but after the platform's context (the script
    // line, the file of a listing), or into its collected messages.
    void report(std::string_view message);
    // report, then kExitFailure.
    int refuse(std::string_view message);

    CliPlatform platform;
    MemoryBoxList boxes;
    App app{platform, boxes};
};

// The bytes of an input, or none with the message (naming the input `name`) reported.
std::optional<std::string> inputText(Session& session, InputBytes input, const std::string& name);
// The bytes of the file at `path` (a FIFO or a pipe too), at most `limit` of them. None, with
// the message reported, when it cannot be read.
std::optional<std::string> readWholeFile(Session& session, const std::string& path,
                                         std::uint64_t limit = kMaxHeldPayload);

// The text a command was given: --text, or the bytes of --text-file. None, with the message
// reported, when the file cannot be read.
std::optional<std::string> textArgument(Session& session, const CliArgs& args);

// The words of a script line, split as a shell splits them: blanks separate words, '...'
// keeps everything, "..." keeps everything but \" and \\, a backslash outside quotes keeps
// the next character. None, with `error` set, for an unclosed quote.
std::optional<std::vector<std::string>> splitScriptLine(std::string_view line, std::string& error);

// Prints "boxquill-cli: MESSAGE" on stderr.
void printError(std::string_view message);

}  // namespace bq::cli
