#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "cli/reference_pages.h"

namespace bq::cli {
namespace {

TEST(CliReference, PositionalWordsComeFromTheUsageWithoutOptionsOrTheirValues) {
    const std::pair<std::string_view, std::vector<std::string>> cases[] = {
        {"import", {"FILE", "INDEX", "IN"}},
        {"run", {"FILE", "SCRIPT"}},
        {"list", {"FILE|FOLDER..."}},
        {"info", {"FILE|FOLDER..."}},
        {"add", {"FILE", "KIND"}},
        {"icc", {"FILE"}},
        {"xmp", {"FILE"}},
        {"export", {"FILE", "INDEX", "OUT"}},
    };
    for (const auto& [name, words] : cases) {
        ASSERT_NE(findCommand(name), nullptr) << name;
        EXPECT_EQ(positionalWords(*findCommand(name)), words) << name;
    }
}

// An option added without a line of help, or a value without its name, would leave a hole
// in the man page and the completion.
TEST(CliReference, EveryOptionSaysWhatItDoesAndNamesItsValue) {
    for (const OptionName& option : optionNames()) {
        EXPECT_FALSE(option.help.empty()) << option.name;
        EXPECT_EQ(option.takesValue, !option.value.empty()) << option.name;
    }
}

// Each example of the man page is run through the program's own parser and usage check.
TEST(CliReference, TheManPagesExamplesAreValidCommands) {
    std::istringstream page(manPage("0"));
    const std::string prefix = "\\fB$ boxquill\\-cli ";
    int examples = 0;
    for (std::string line; std::getline(page, line);) {
        if (!line.starts_with(prefix)) {
            continue;
        }
        std::string text = line.substr(prefix.size(), line.size() - prefix.size() - 3);
        for (std::size_t at; (at = text.find("\\-")) != std::string::npos;) {
            text.erase(at, 1);
        }
        std::vector<std::string> words;
        std::istringstream split(text);
        for (std::string word; split >> word;) {
            words.push_back(word);
        }
        std::string error;
        const std::optional<CliArgs> args = parseArguments(words, error);
        ASSERT_TRUE(args) << text << ": " << error;
        const CommandSpec* command = findCommand(args->command);
        ASSERT_NE(command, nullptr) << text;
        EXPECT_EQ(checkArguments(*args, *command), "") << text;
        ++examples;
    }
    EXPECT_GT(examples, 3);
}

// What TAB offers after the words typed so far, from the generated script under bash, run
// in a folder holding a.jp2, B.JPX, notes.txt and sub/.
TEST(CliReference, BashCompletionOffersCommandsOptionsValuesAndJp2Files) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bq-completion-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "sub");
    for (const char* name : {"a.jp2", "B.JPX", "notes.txt"}) {
        std::ofstream(dir / name) << "x";
    }
    std::ofstream(dir / "completion.bash") << bashCompletion();

    struct Case {
        std::string typed;  // the words, the last being the one completed
        std::string offered;
    };
    const Case cases[] = {
        {"boxquill-cli res", "resolution"},
        {"boxquill-cli --v", "--version"},
        {"boxquill-cli resolution a.jp2 --unit ''", "dpcm dpi ppm"},
        {"boxquill-cli resolution a.jp2 --remove d", "display"},
        {"boxquill-cli add a.jp2 g", "geotiff gml"},
        {"boxquill-cli delete a.jp2 --y", "--yes"},
        {"boxquill-cli delete --j", ""},  // delete takes no --json
        {"boxquill-cli list a.jp2 ''", "B.JPX a.jp2 sub"},
        {"boxquill-cli show a.jp2 ''", ""},  // INDEX
        {"boxquill-cli export a.jp2 0 n", "notes.txt"},
        {"boxquill-cli save a.jp2 -o n", "notes.txt"},
        {"boxquill-cli add a.jp2 xml --text ''", ""},
    };
    for (const Case& c : cases) {
        const std::string command =
            "cd '" + dir.string() +
            "' && bash -c '. ./completion.bash; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
            "_boxquill_cli; printf \"%s\\n\" \"${COMPREPLY[@]}\" | LC_ALL=C sort | paste -sd \" "
            "\"' sh " +
            c.typed;
        std::FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string offered;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            offered += buffer;
        }
        ::pclose(pipe);
        if (!offered.empty() && offered.back() == '\n') {
            offered.pop_back();
        }
        EXPECT_EQ(offered, c.offered) << c.typed;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace bq::cli
