#include "cli/cli_support.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>

#include "ui/control_ids.h"
#include "ui/open_document.h"
#include "ui/save_document.h"

namespace bq::cli {

namespace {

struct OptionName {
    std::string_view name;
    CliOption bit;
    bool takesValue;
};

constexpr OptionName kOptionNames[] = {
    {"-o", kOptOutput, true},    {"--at", kOptAt, true},
    {"--text", kOptText, true},  {"--text-file", kOptTextFile, true},
    {"--json", kOptJson, false}, {"--yes", kOptYes, false},
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

}  // namespace

std::optional<CliArgs> parseArguments(std::span<const std::string> arguments, std::string& error) {
    CliArgs args;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            if (args.command.empty()) {
                args.command = word;
            } else {
                args.positionals.push_back(word);
            }
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "--help" || word == "-h") {
            args.help = true;
            continue;
        }
        const OptionName* known = nullptr;
        for (const OptionName& option : kOptionNames) {
            if (word == option.name) {
                known = &option;
            }
        }
        if (known == nullptr) {
            error = "unknown option " + word;
            return std::nullopt;
        }
        if ((args.given & known->bit) != 0) {
            error = "option " + word + " given twice";
            return std::nullopt;
        }
        args.given |= known->bit;
        if (!known->takesValue) {
            (known->bit == kOptJson ? args.json : args.yes) = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = "option " + word + " needs a value";
            return std::nullopt;
        }
        *valueSlot(args, known->bit) = arguments[++i];
    }
    return args;
}

std::string checkArguments(const CliArgs& args, const CommandSpec& command) {
    if (args.positionals.size() != command.positionals) {
        return "expected " + std::to_string(command.positionals) + " argument(s) after '" +
               std::string(command.name) + "', got " + std::to_string(args.positionals.size());
    }
    // Built by appending: GCC 12 warns wrongly about a chain of + on a short literal here.
    std::string problem = "'";
    problem += command.name;
    if (const unsigned extra = args.given & ~command.allowed; extra != 0) {
        return problem + "' does not take " + optionList(extra);
    }
    if (const unsigned missing = command.required & ~args.given; missing != 0) {
        return problem + "' needs " + optionList(missing);
    }
    return {};
}

std::string usageText(const CommandSpec& command) {
    return "usage: boxquill-cli " + std::string(command.usage) + "\n  " +
           std::string(command.summary) + "\n";
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
        printError("nothing saved");
    }
    return kExitFailure;
}

int Session::resolveRow(std::string_view indexText, int& row) {
    const std::optional<int> index = parseIndex(indexText);
    if (!index) {
        printError("not a row index: " + std::string(indexText));
        return kExitUsage;
    }
    if (*index >= boxes.rowCount()) {
        printError("no row " + std::to_string(*index) + ": the document has " +
                   std::to_string(boxes.rowCount()) + " row(s)");
        return kExitFailure;
    }
    row = *index;
    return kExitOk;
}

std::optional<std::string> textArgument(const CliArgs& args) {
    if (args.text) {
        return args.text;
    }
    if (!args.textFile) {
        return std::string();
    }
    std::ifstream in(*args.textFile, std::ios::binary);
    if (!in.is_open()) {
        printError("couldn't open " + *args.textFile);
        return std::nullopt;
    }
    std::string contents{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        printError("couldn't read " + *args.textFile);
        return std::nullopt;
    }
    return contents;
}

void printError(std::string_view message) {
    std::fprintf(stderr, "boxquill-cli: %.*s\n", static_cast<int>(message.size()), message.data());
}

}  // namespace bq::cli
