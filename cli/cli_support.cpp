#include "cli/cli_support.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "cli/output.h"
#include "stream/input_file.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/file_checks.h"
#include "ui/open_document.h"
#include "ui/save_document.h"

namespace bq::cli {

namespace {

constexpr ValueCompletion kFiles = ValueCompletion::Files;
constexpr ValueCompletion kNone = ValueCompletion::None;

constexpr OptionName kOptionNames[] = {
    {"-o", kOptOutput, true, "OUT", kFiles,
     "The file to save to; it may be FILE itself, which is then replaced whole."},
    {"--at", kOptAt, true, "INDEX", kNone, "Adds as if row INDEX were selected."},
    {"--text", kOptText, true, "TEXT", kNone, "The new box's or row's text."},
    {"--text-file", kOptTextFile, true, "F", kFiles, "The text, read from the file F."},
    {"--json", kOptJson, false, "", kNone, "Prints JSON instead of text."},
    {"--yes", kOptYes, false, "", kNone,
     "Answers the editor's questions with yes: deleting nested boxes, replacing OUT.jp2."},
    {"--import", kOptImport, true, "F", kFiles,
     "The bytes of F as the new box's payload (add), or the ICC profile to put in (icc)."},
    {"--capture", kOptCapture, true, "H[xV]", kNone,
     "The capture resolution: H for both axes, or horizontal x vertical."},
    {"--display", kOptDisplay, true, "H[xV]", kNone, "The default display resolution, likewise."},
    {"--unit", kOptUnit, true, "dpi|dpcm|ppm", kNone,
     "The unit of --capture and --display: per inch (the default), centimetre or metre."},
    {"--remove", kOptRemove, true, "capture|display|both", kNone,
     "Removes the capture or the display resolution, or both."},
    {"--export", kOptExport, true, "OUT.icc", kFiles, "Writes the ICC profile to OUT.icc."},
    {"--colr", kOptColr, true, "N", kNone, "The colour box to use, 0-based, in file order."},
    {"--set-file", kOptSetFile, true, "F", kFiles, "Replaces the XMP packet with the XML in F."},
    {"--set-text", kOptSetText, true, "T", kNone, "Replaces the XMP packet with the XML T."},
    {"--from", kOptFrom, true, "GEOTIFF", kFiles,
     "Takes the georeferencing tags of the GeoTIFF file GEOTIFF."},
    {"--world", kOptWorld, true, "FILE.j2w", kFiles,
     "Takes the georeferencing from a world file (with --epsg)."},
    {"--epsg", kOptEpsg, true, "CODE", kNone, "The EPSG code of the world file's coordinates."},
    {"--gml", kOptGml, false, "", kNone,
     "Writes a GMLJP2 set (alone: the set without a GeoJP2 box)."},
    {"--geojp2", kOptGeoJp2, false, "", kNone, "Writes a GeoJP2 box (the default without --gml)."},
    {"--all", kOptAll, false, "", kNone, "Lists the tests that passed too."},
    {"--recursive", kOptRecursive, false, "", kNone,
     "Goes into the folders of each FOLDER too (links to folders are not followed).", "-r"},
    {"--ext", kOptExt, true, "EXT[,EXT...]", kNone,
     "The extensions a folder's files are taken by (jp2,jpx,jpf,j2k,j2c,jph)."},
    {"--jobs", kOptJobs, true, "N", kNone,
     "Reads N files side by side (default: the number of processors), printing in order."},
    {"--quiet", kOptQuiet, false, "", kNone, "Shows no progress line and no summary."},
    {"--shard", kOptShard, true, "K/N", kNone,
     "Takes share K of N of the files, by a hash of each path below its folder."},
    {"--profile", kOptProfile, true, "FILE.toml", kFiles,
     "Applies the rules of an institution's profile after the tests (repeatable)."},
};

std::optional<std::string>* valueSlot(CliArgs& args, CliOption bit) {
    switch (bit) {
        case kOptOutput:
            return &args.output;
        case kOptAt:
            return &args.at;
        case kOptText:
            return &args.text;
        case kOptTextFile:
            return &args.textFile;
        case kOptImport:
            return &args.importFile;
        case kOptCapture:
            return &args.capture;
        case kOptDisplay:
            return &args.display;
        case kOptUnit:
            return &args.unit;
        case kOptRemove:
            return &args.remove;
        case kOptExport:
            return &args.exportFile;
        case kOptColr:
            return &args.colr;
        case kOptSetFile:
            return &args.setFile;
        case kOptSetText:
            return &args.setText;
        case kOptFrom:
            return &args.from;
        case kOptWorld:
            return &args.world;
        case kOptEpsg:
            return &args.epsg;
        case kOptExt:
            return &args.ext;
        case kOptJobs:
            return &args.jobs;
        case kOptShard:
            return &args.shard;
        default:
            return nullptr;
    }
}

bool* flagSlot(CliArgs& args, CliOption bit) {
    switch (bit) {
        case kOptJson:
            return &args.json;
        case kOptYes:
            return &args.yes;
        case kOptGml:
            return &args.gml;
        case kOptGeoJp2:
            return &args.geoJp2;
        case kOptAll:
            return &args.all;
        case kOptRecursive:
            return &args.recursive;
        case kOptQuiet:
            return &args.quiet;
        default:
            return nullptr;
    }
}

std::string optionList(unsigned bits) {
    std::string names;
    for (const OptionName& option : kOptionNames) {
        if ((bits & option.bit) != 0) {
            names += names.empty() ? "" : ", ";
            names += option.name;
        }
    }
    return names;
}

// What CLI11 left of a parse that went wrong, in the program's own words; empty when nothing
// did. `failure` is the message of the exception the parse stopped with, if any: a value can
// only run out at the very end, so an unknown or repeated option before it is named first.
std::string parseProblem(const CLI::App& parser, const std::vector<CLI::Option*>& options,
                         std::string_view failure) {
    // With extras allowed, CLI11 keeps the unknown options, and each "--", aside.
    for (const std::string& word : parser.remaining()) {
        if (word != "--") {
            return "unknown option " + word;
        }
    }
    std::vector<std::size_t> seen(options.size(), 0);
    for (const CLI::Option* option : parser.parse_order()) {
        for (std::size_t i = 0; i < options.size(); ++i) {
            // --profile alone may be given again: each names one more profile.
            if (options[i] == option && ++seen[i] == 2 && kOptionNames[i].bit != kOptProfile) {
                return "option " + std::string(kOptionNames[i].name) + " given twice";
            }
        }
    }
    for (std::size_t i = 0; i < options.size(); ++i) {
        const std::string name(kOptionNames[i].name);
        // A value runs out only at the end of the words; CLI11 names the option first.
        if (failure.starts_with(name + ":")) {
            return "option " + name + (seen[i] != 0 ? " given twice" : " needs a value");
        }
        // CLI11 takes "--json=false" as a flag with a value.
        if (!kOptionNames[i].takesValue && options[i]->count() != 0 &&
            options[i]->results().front() != "true") {
            return "option " + name + " takes no value";
        }
    }
    return failure.empty() ? std::string() : "bad arguments: " + std::string(failure);
}

}  // namespace

std::span<const OptionName> optionNames() {
    return kOptionNames;
}

std::optional<CliArgs> parseArguments(std::span<const std::string> arguments, std::string& error) {
    // One parser for every command: it knows every option, and the words between them are
    // the command and its positionals. Which options a command takes is checkArguments'
    // business, so that a command stays one row of the table.
    CLI::App parser;
    parser.set_help_flag();  // -h and --help are answered by the caller, not printed here
    parser.allow_extras();   // unknown options are kept aside and named in parseProblem
    parser.allow_windows_style_options(false);  // "/o" is a path on Windows too
    // Any word may be a positional. CLI11 fills a positional list past its least number of
    // words only when it also splits "[a,b]" into a and b, and a word must stay whole here
    // (it may be a file name): so the least number is every word.
    constexpr std::size_t kMostWords = std::numeric_limits<int>::max() - 1;
    const auto wordCount = static_cast<int>(std::min(arguments.size(), kMostWords));
    CLI::Option* words = parser.add_option("words")
                             ->expected(wordCount + 1)
                             ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    std::vector<CLI::Option*> options;
    for (const OptionName& option : kOptionNames) {
        const std::string name = option.shortName.empty() ? std::string(option.name)
                                                          : std::string(option.shortName) + "," +
                                                                std::string(option.name);
        CLI::Option* added = option.takesValue ? parser.add_option(name) : parser.add_flag(name);
        // Every appearance is kept, so that a repeated option is refused rather than merged.
        options.push_back(added->multi_option_policy(CLI::MultiOptionPolicy::TakeAll));
    }
    CLI::Option* help =
        parser.add_flag("-h,--help")->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    CLI::Option* version =
        parser.add_flag("--version")->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);

    // CLI11 takes the words last first. Its exceptions end here: errors are results.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    std::string failure;
    try {
        parser.parse(reversed);
    } catch (const CLI::Error& stopped) {
        failure = *stopped.what() != '\0' ? stopped.what() : "the arguments could not be read";
    }
    if (error = parseProblem(parser, options, failure); !error.empty()) {
        return std::nullopt;
    }

    CliArgs args;
    if (const std::vector<std::string>& given = words->results(); !given.empty()) {
        args.command = given.front();
        args.positionals.assign(given.begin() + 1, given.end());
    }
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (options[i]->count() == 0) {
            continue;
        }
        const OptionName& option = kOptionNames[i];
        args.given |= option.bit;
        if (option.bit == kOptProfile) {
            args.profiles = options[i]->results();
        } else if (option.takesValue) {
            *valueSlot(args, option.bit) = options[i]->results().front();
        } else {
            *flagSlot(args, option.bit) = true;
        }
    }
    args.help = help->count() != 0;
    args.version = version->count() != 0;
    return args;
}

std::string checkArguments(const CliArgs& args, const CommandSpec& command, bool scriptLine) {
    // A script line names neither the file nor the output: the run does, once.
    const std::size_t expected = command.positionals - (scriptLine ? 1 : 0);
    const unsigned allowed = command.allowed & ~(scriptLine ? kOptOutput : 0u);
    const unsigned required = command.required & ~(scriptLine ? kOptOutput : 0u);
    const std::size_t given = args.positionals.size();
    if (command.manyFiles ? given < expected : given != expected) {
        return "expected " + std::string(command.manyFiles ? "at least " : "") +
               std::to_string(expected) + " argument(s) after '" + std::string(command.name) +
               "', got " + std::to_string(given);
    }
    // Built by appending: GCC 12 warns wrongly about a chain of + on a short literal here.
    std::string problem = "'";
    problem += command.name;
    if (const unsigned extra = args.given & ~allowed; extra != 0) {
        return problem + "' does not take " + optionList(extra) +
               (scriptLine ? " in a script" : "");
    }
    if (const unsigned missing = required & ~args.given; missing != 0) {
        return problem + "' needs " + optionList(missing);
    }
    return {};
}

std::string usageText(const CommandSpec& command) {
    return "usage: boxquill-cli " + std::string(command.usage) + "\n  " +
           std::string(command.summary) + "\n";
}

std::string scriptLineUsage(const CommandSpec& command) {
    std::string usage(command.usage);
    for (const std::string_view part : {std::string_view(" FILE"), std::string_view(" -o OUT")}) {
        if (const std::size_t at = usage.find(part); at != std::string::npos) {
            usage.erase(at, part.size());
        }
    }
    return usage;
}

std::optional<int> parseIndex(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

Session::Session() {
    boxes.onSelectionChanged = [this](int row) { listItemChanged(app, row, kLvifState); };
}

bool Session::open(const std::string& path) {
    const int errorsBefore = platform.errorCount();
    // A command runs while its file stays put, so anything but small boxes is left there: a
    // listing holds no codestream, and a save copies it straight from the file.
    constexpr std::uint64_t kCliHoldLimit = 64 * 1024;
    openDocument(app, path, kCliHoldLimit);
    return platform.errorCount() == errorsBefore;
}

int Session::save(const std::string& output) {
    platform.saveFileAnswer = output;
    // The editor saves only a modified document (Save is enabled exactly then).
    if (!app.modified()) {
        app.markModified();
    }
    const int errorsBefore = platform.errorCount();
    saveDocument(app);
    if (!app.modified()) {
        return kExitOk;
    }
    if (platform.errorCount() == errorsBefore) {
        report("nothing saved");
    }
    return kExitFailure;
}

int Session::resolveRow(std::string_view indexText, int& row) {
    const std::optional<int> index = parseIndex(indexText);
    if (!index) {
        report("not a row index: " + std::string(indexText));
        return kExitUsage;
    }
    if (*index >= boxes.rowCount()) {
        report("no row " + std::to_string(*index) + ": the document has " +
               std::to_string(boxes.rowCount()) + " row(s)");
        return kExitFailure;
    }
    row = *index;
    return kExitOk;
}

void Session::report(std::string_view message) {
    platform.report("boxquill-cli: ", message);
}

int Session::refuse(std::string_view message) {
    report(message);
    return kExitFailure;
}

std::optional<std::string> inputText(Session& session, InputBytes input, const std::string& name) {
    switch (input.error) {
        case InputError::None:
            return std::string(input.bytes.begin(), input.bytes.end());
        case InputError::OpenFailed:
            session.report("couldn't open " + name);
            break;
        case InputError::ReadFailed:
            session.report("couldn't read " + name);
            break;
        case InputError::TooLarge:
            session.report("couldn't read " + name + ": it is too large");
            break;
        case InputError::NoMemory:
            session.report("couldn't read " + name + ": not enough memory");
            break;
        case InputError::NoWriter:
            session.report("couldn't read " + name + ": no program wrote to it");
            break;
        case InputError::HoldsNul:
            session.report("couldn't read " + name +
                           ": it holds a NUL byte, which XML and label text cannot keep: it may be "
                           "UTF-16 text; save it as UTF-8");
            break;
    }
    return std::nullopt;
}

std::optional<std::string> readWholeFile(Session& session, const std::string& path,
                                         std::uint64_t limit) {
    return inputText(session, readInput(path, limit), path);
}

std::optional<std::string> textArgument(Session& session, const CliArgs& args) {
    if (args.text) {
        return args.text;
    }
    return args.textFile
               ? inputText(session, readTextInput(*args.textFile, kMaxHeldPayload), *args.textFile)
               : std::string();
}

std::optional<std::vector<std::string>> splitScriptLine(std::string_view line, std::string& error) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote == '\'') {
            if (c == '\'') {
                quote = 0;
            } else {
                word += c;
            }
        } else if (quote == '"') {
            if (c == '"') {
                quote = 0;
            } else if (c == '\\' && i + 1 < line.size() &&
                       (line[i + 1] == '"' || line[i + 1] == '\\')) {
                word += line[++i];
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t') {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
        } else {
            inWord = true;
            if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '\\' && i + 1 < line.size()) {
                word += line[++i];
            } else {
                word += c;
            }
        }
    }
    if (quote != 0) {
        error = std::string("unclosed ") + quote;
        return std::nullopt;
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

void printError(std::string_view message) {
    const std::string line = "boxquill-cli: " + std::string(message) + "\n";
    const std::string shown = isTerminal(stderr) ? escapeText(line, Escape::Lines) : line;
    std::fflush(stdout);  // what was printed before the message comes out before it
    std::fwrite(shown.data(), 1, shown.size(), stderr);
}

}  // namespace bq::cli
