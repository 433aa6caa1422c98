#include "cli/reference_pages.h"

#include <algorithm>
#include <string>

#include "cli/cli_commands.h"
#include "cli/command_table.h"

namespace bq::cli {

namespace {

// What the man page shows of the commands in use; each is checked against the parser by the
// tests, so an example that stops working fails the build's tests, not a reader.
struct Example {
    std::string_view line;  // the arguments after "boxquill-cli"
    std::string_view what;
};

constexpr Example kExamples[] = {
    {"list scan.jp2", "One row a box: INDEX, ID, description and size."},
    {"info scan.jp2 --json", "The image header, colour, resolution and codestream, as JSON."},
    {"check scan.jp2 other.jpx", "Checks two files against the JP2 and JPX rules."},
    {"export scan.jp2 3 meta.xml", "Writes the payload of row 3 to meta.xml ..."},
    {"import scan.jp2 3 meta.xml -o scan.jp2", "... and puts it back, replacing scan.jp2."},
    {"add scan.jp2 label --text scanned -o out.jp2", "Adds a label box, saved as out.jp2."},
    {"resolution scan.jp2 --capture 400 --display 72 -o scan.jp2",
     "Sets the capture resolution to 400 dpi and the display resolution to 72 dpi."},
    {"georef scan.jp2 --world scan.j2w --epsg 32633 --gml -o scan.jp2",
     "Georeferences the file from a world file in UTM zone 33N, with a GMLJP2 set."},
    {"run scan.jp2 -o scan.jp2 edits.txt",
     "Runs the edits in edits.txt (one line a change, as 'delete 3') with one save."},
};

// Positional words whose values a shell can offer; any other word names a file (OUT, IN,
// SCRIPT), except these that take a number.
constexpr std::string_view kJp2Word = "FILE";
// A file or a folder of them: the folders are offered anyway, to go into.
constexpr std::string_view kJp2OrFolderWord = "FILE|FOLDER";
constexpr std::string_view kNumberWords[] = {"INDEX", "N"};
constexpr std::string_view kKindWord = "KIND";
// What a FILE word offers: the extensions of JP2 and JPX files, either case.
constexpr std::string_view kJp2Extensions[] = {"jp2", "jpx", "jpf", "JP2", "JPX", "JPF"};

const OptionName* findOption(std::string_view name) {
    for (const OptionName& option : optionNames()) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

std::vector<std::string_view> splitWords(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) {
            words.push_back(text.substr(at, end - at));
        }
        at = end + 1;
    }
    return words;
}

std::string joined(const std::vector<std::string_view>& words, std::string_view separator) {
    std::string text;
    for (const std::string_view word : words) {
        text += text.empty() ? "" : separator;
        text += word;
    }
    return text;
}

// The words of a value written "a|b|c"; none for a placeholder such as "OUT".
std::vector<std::string_view> choices(std::string_view value) {
    std::vector<std::string_view> words;
    if (value.find('|') == std::string_view::npos) {
        return words;
    }
    std::size_t at = 0;
    while (at <= value.size()) {
        const std::size_t end = std::min(value.find('|', at), value.size());
        words.push_back(value.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

std::vector<std::string_view> optionsOf(const CommandSpec& command) {
    std::vector<std::string_view> names;
    for (const OptionName& option : optionNames()) {
        if ((command.allowed & option.bit) != 0) {
            names.push_back(option.name);
        }
    }
    names.push_back("--help");
    return names;
}

// Text for a roff text line: backslashes and hyphens as roff wants them, and a line that
// would start with a control character kept as text.
std::string roff(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else if (c == '\n') {
            out += ' ';
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out.front() == '.' || out.front() == '\'')) {
        out.insert(0, "\\&");
    }
    return out;
}

std::string bold(std::string_view text) {
    return "\\fB" + roff(text) + "\\fR";
}

std::string optionTerm(const OptionName& option) {
    std::string term = bold(option.name);
    if (option.takesValue) {
        term += " \\fI" + roff(option.value.empty() ? "VALUE" : option.value) + "\\fR";
    }
    return term;
}

void commandEntries(std::string& page, bool scriptLines) {
    for (const CommandSpec& command : commands()) {
        if ((command.run == nullptr) != scriptLines) {
            continue;
        }
        page += ".TP\n" + bold(command.usage) + "\n" + roff(command.summary) + "\n";
    }
}

// `COMPREPLY=(...)` offering the words, for a bash case branch.
std::string offerWords(const std::vector<std::string_view>& words) {
    return "COMPREPLY=($(compgen -W \"" + joined(words, " ") + "\" -- \"$cur\"))";
}

// The bash statement that completes a positional word.
std::string completeWord(std::string_view word) {
    if (word.ends_with("...")) {
        word.remove_suffix(3);
    }
    if (word == kJp2Word || word == kJp2OrFolderWord) {
        return "_boxquill_cli_files jp2";
    }
    if (word == kKindWord) {
        return offerWords(addKinds());
    }
    if (std::find(std::begin(kNumberWords), std::end(kNumberWords), word) !=
        std::end(kNumberWords)) {
        return ":";
    }
    return "_boxquill_cli_files";
}

}  // namespace

std::vector<std::string> positionalWords(const CommandSpec& command) {
    // The first form of the usage; its first word is the command's name.
    std::string_view usage = command.usage;
    usage = usage.substr(0, usage.find(" | "));
    std::vector<std::string> words;
    int depth = 0;
    bool skipValue = false;
    const std::vector<std::string_view> tokens = splitWords(usage);
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const std::string_view token = tokens[i];
        const bool atTop = depth == 0;
        depth += static_cast<int>(std::count(token.begin(), token.end(), '[') +
                                  std::count(token.begin(), token.end(), '('));
        depth -= static_cast<int>(std::count(token.begin(), token.end(), ']') +
                                  std::count(token.begin(), token.end(), ')'));
        if (!atTop || token.find_first_of("[]()") != std::string_view::npos) {
            continue;
        }
        if (skipValue) {
            skipValue = false;
            continue;
        }
        if (token.starts_with("-")) {
            const OptionName* option = findOption(token);
            skipValue = option != nullptr && option->takesValue;
            continue;
        }
        words.emplace_back(token);
    }
    return words;
}

std::string manPage(std::string_view version) {
    std::string page = ".\\\" Generated by boxquill-cli-pages from the program's tables.\n";
    page +=
        ".TH BOXQUILL\\-CLI 1 \"\" \"boxquill\\-cli " + roff(version) + "\" \"User Commands\"\n";
    page += ".SH NAME\nboxquill\\-cli \\- edit the metadata boxes of JPEG 2000 files (JP2, JPX)\n";
    page += ".SH SYNOPSIS\n";
    for (const CommandSpec& command : commands()) {
        if (command.run == nullptr) {
            continue;
        }
        // A usage of several forms ("info FILE... | info FILE INDEX") gives a line to each.
        const std::string between = " | " + std::string(command.name) + " ";
        std::string_view usage = command.usage;
        for (std::size_t at; (at = usage.find(between)) != std::string_view::npos;) {
            page += "\\fBboxquill\\-cli\\fR " + roff(usage.substr(0, at)) + "\n.br\n";
            usage.remove_prefix(at + 3);
        }
        page += "\\fBboxquill\\-cli\\fR " + roff(usage) + "\n.br\n";
    }
    page += "\\fBboxquill\\-cli\\fR \\fICOMMAND\\fR \\fB\\-\\-help\\fR\n.br\n";
    page += "\\fBboxquill\\-cli \\-\\-version\\fR\n";
    page +=
        ".SH DESCRIPTION\n"
        "\\fBboxquill\\-cli\\fR lists, checks and edits the boxes of JP2 and JPX files: "
        "XML, label, association, XMP, GeoJP2 and GMLJP2 boxes, the resolution and the "
        "ICC profile. The image data is never decoded or changed. It is the command-line "
        "twin of the Boxquill editor and follows its rules.\n.PP\n";
    page += roff(sharedRules()) + "\n";
    page += ".SH COMMANDS\n";
    commandEntries(page, false);
    page += ".SS Lines of a run script\nBesides the changes above, without FILE and \\-o:\n";
    commandEntries(page, true);
    page +=
        ".SH OPTIONS\nOptions may come anywhere after the command; \\fB\\-\\-\\fR ends "
        "them. A value may also be joined to its option (\\fB\\-\\-text=TEXT\\fR).\n";
    for (const OptionName& option : optionNames()) {
        std::vector<std::string_view> takers;
        for (const CommandSpec& command : commands()) {
            if ((command.allowed & option.bit) != 0) {
                takers.push_back(command.name);
            }
        }
        page += ".TP\n" + optionTerm(option) + "\n" + roff(option.help) + "\n";
        page += ".br\nCommands: " + roff(joined(takers, ", ")) + ".\n";
    }
    page +=
        ".TP\n\\fB\\-h\\fR, \\fB\\-\\-help\\fR\nPrints the usage of the command, or of "
        "every command, and exits.\n";
    page += ".TP\n\\fB\\-\\-version\\fR\nPrints the program's version and exits.\n";
    page += ".SH EXIT STATUS\n";
    page += ".TP\n" + std::to_string(kExitOk) + "\nSuccess.\n";
    page += ".TP\n" + std::to_string(kExitFailure) +
            "\nFailure: the file could not be read or written, or a change was refused; the "
            "message is on standard error and no file was changed. For \\fBcheck\\fR, a file "
            "is invalid.\n";
    page += ".TP\n" + std::to_string(kExitUsage) +
            "\nUsage error: an unknown command or option, or a missing argument.\n";
    page += ".SH EXAMPLES\n";
    for (const Example& example : kExamples) {
        page += ".PP\n" + roff(example.what) + "\n.RS\n\\fB$ boxquill\\-cli " + roff(example.line) +
                "\\fR\n.RE\n";
    }
    page +=
        ".SH FILES\n"
        ".TP\n\\fIFILE\\fR\nA JP2 or JPX file. It is read, never changed in place: a "
        "save writes a temporary file beside \\fIOUT\\fR and renames it over \\fIOUT\\fR "
        "once the whole file is written.\n"
        ".TP\n\\fI/usr/share/bash\\-completion/completions/boxquill\\-cli\\fR\nThe bash "
        "completion: commands, options, option values, and JP2 and JPX files where a "
        "FILE is expected.\n";
    page += ".SH SEE ALSO\n\\fBopj_dump\\fR(1), \\fBgdalinfo\\fR(1)\n";
    return page;
}

std::string bashCompletion() {
    std::vector<std::string_view> extensions(std::begin(kJp2Extensions), std::end(kJp2Extensions));
    std::string script =
        "# bash completion for boxquill-cli, generated by boxquill-cli-pages from the\n"
        "# program's tables of commands and options.\n\n"
        "# Adds the files (with an argument: the JP2 and JPX files and the folders) that\n"
        "# start with $cur.\n"
        "_boxquill_cli_files() {\n"
        "    local IFS=$'\\n' ext\n"
        "    compopt -o filenames 2>/dev/null\n"
        "    if [[ -z $1 ]]; then\n"
        "        COMPREPLY+=($(compgen -f -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    COMPREPLY+=($(compgen -d -- \"$cur\"))\n"
        "    for ext in " +
        joined(extensions, " ") +
        "; do\n"
        "        COMPREPLY+=($(compgen -f -X \"!*.$ext\" -- \"$cur\"))\n"
        "    done\n"
        "}\n\n"
        "_boxquill_cli() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    COMPREPLY=()\n";

    // An option's value.
    std::vector<std::string_view> valued;
    std::vector<std::string_view> files;
    std::vector<std::string_view> free;
    std::string choiceBranches;
    for (const OptionName& option : optionNames()) {
        if (!option.takesValue) {
            continue;
        }
        valued.push_back(option.name);
        if (const std::vector<std::string_view> words = choices(option.value); !words.empty()) {
            choiceBranches +=
                "        " + std::string(option.name) + ") " + offerWords(words) + "; return ;;\n";
        } else if (option.completion == ValueCompletion::Files) {
            files.push_back(option.name);
        } else {
            free.push_back(option.name);
        }
    }
    script += "    case $prev in\n" + choiceBranches;
    if (!files.empty()) {
        script += "        " + joined(files, "|") + ") _boxquill_cli_files; return ;;\n";
    }
    if (!free.empty()) {
        script += "        " + joined(free, "|") + ") return ;;\n";
    }
    script += "    esac\n\n";

    // The command, and how many positional words come before the current one.
    script +=
        "    local command= position=0 i\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        case ${COMP_WORDS[i]} in\n"
        "            " +
        joined(valued, "|") +
        ") ((i++)) ;;\n"
        "            -*) ;;\n"
        "            *) if [[ -z $command ]]; then command=${COMP_WORDS[i]}; "
        "else ((position++)); fi ;;\n"
        "        esac\n"
        "    done\n\n";

    std::vector<std::string_view> names;
    for (const CommandSpec& command : commands()) {
        if (command.run != nullptr) {
            names.push_back(command.name);
        }
    }
    names.push_back("help");
    names.push_back("--help");
    names.push_back("--version");
    script += "    if [[ -z $command ]]; then\n        " + offerWords(names) +
              "\n        return\n    fi\n";

    script += "    if [[ $cur == -* ]]; then\n        case $command in\n";
    for (const CommandSpec& command : commands()) {
        if (command.run != nullptr) {
            script += "            " + std::string(command.name) + ") " +
                      offerWords(optionsOf(command)) + " ;;\n";
        }
    }
    script += "        esac\n        return\n    fi\n\n";

    script += "    case $command in\n";
    for (const CommandSpec& command : commands()) {
        if (command.run == nullptr) {
            continue;
        }
        const std::vector<std::string> words = positionalWords(command);
        script += "        " + std::string(command.name) + ")\n            case $position in\n";
        for (std::size_t i = 0; i < words.size(); ++i) {
            // A repeated last word takes every position from its own on.
            const bool repeats = i + 1 == words.size() && words[i].ends_with("...");
            script += "                " + std::to_string(i) + (repeats ? "|*" : "") + ") " +
                      completeWord(words[i]) + " ;;\n";
        }
        script += "            esac ;;\n";
    }
    script += "    esac\n}\n\ncomplete -F _boxquill_cli boxquill-cli\n";
    return script;
}

}  // namespace bq::cli
