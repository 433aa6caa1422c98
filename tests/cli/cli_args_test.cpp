#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_platform.h"
#include "cli/cli_support.h"

namespace bq::cli {
namespace {

std::optional<CliArgs> parse(std::vector<std::string> words, std::string* error = nullptr) {
    std::string ignored;
    return parseArguments(words, error != nullptr ? *error : ignored);
}

int noRun(const CliArgs&) {
    return 0;
}

TEST(CliArguments, OptionsMayComeAnywhereAndDoubleDashEndsThem) {
    const auto args =
        parse({"add", "-o", "out.jp2", "in.jp2", "--text", "-x-", "xml", "--", "--json"});
    ASSERT_TRUE(args);
    EXPECT_EQ(args->command, "add");
    EXPECT_EQ(args->positionals, (std::vector<std::string>{"in.jp2", "xml", "--json"}));
    EXPECT_EQ(args->output, "out.jp2");
    EXPECT_EQ(args->text, "-x-");
    EXPECT_FALSE(args->json);
    EXPECT_EQ(args->given, unsigned{kOptOutput | kOptText});
}

TEST(CliArguments, BadOptionsAreRefusedWithAReason) {
    struct Case {
        std::vector<std::string> words;
        std::string error;
    };
    const Case cases[] = {
        {{"list", "--colour"}, "unknown option --colour"},
        {{"save", "in.jp2", "-o"}, "option -o needs a value"},
        {{"save", "in", "-o", "a", "-o", "b"}, "option -o given twice"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parse(c.words, &error));
        EXPECT_EQ(error, c.error);
    }
}

// What CLI11 reads into a word elsewhere (a list, a Windows-style option, a value for a
// flag) leaves the words of these commands as they are.
TEST(CliArguments, WordsStayWholeAndFlagsTakeNoValue) {
    const auto args = parse({"export", "[a,b]", "/o", "-", "", "--text=x"});
    ASSERT_TRUE(args);
    EXPECT_EQ(args->positionals, (std::vector<std::string>{"[a,b]", "/o", "-", ""}));
    EXPECT_EQ(args->text, "x");
    std::string error;
    EXPECT_FALSE(parse({"list", "a.jp2", "--json=false"}, &error));
    EXPECT_EQ(error, "option --json takes no value");
}

TEST(CliArguments, CommandsCheckTheirPositionalsAndOptions) {
    const CommandSpec save{"save", "save FILE -o OUT", "", 1, kOptOutput | kOptYes, kOptOutput,
                           noRun};
    EXPECT_EQ(checkArguments(*parse({"save", "a.jp2", "-o", "b"}), save), "");
    EXPECT_EQ(checkArguments(*parse({"save", "a.jp2"}), save), "'save' needs -o");
    EXPECT_EQ(checkArguments(*parse({"save", "a.jp2", "-o", "b", "--json"}), save),
              "'save' does not take --json");
    EXPECT_EQ(checkArguments(*parse({"save", "-o", "b"}), save),
              "expected 1 argument(s) after 'save', got 0");
    // A script line names neither FILE nor OUT: the run does.
    EXPECT_EQ(checkArguments(*parse({"save"}), save, true), "");
    EXPECT_EQ(checkArguments(*parse({"save", "-o", "b"}), save, true),
              "'save' does not take -o in a script");
    EXPECT_EQ(checkArguments(*parse({"save", "a.jp2"}), save, true),
              "expected 0 argument(s) after 'save', got 1");
    const CommandSpec list{"list", "list FILE...", "", 1, 0, 0, noRun, nullptr, true};
    EXPECT_EQ(checkArguments(*parse({"list", "a", "b", "c"}), list), "");
    EXPECT_EQ(checkArguments(*parse({"list"}), list),
              "expected at least 1 argument(s) after 'list', got 0");
}

TEST(CliArguments, ScriptLinesSplitAsAShellWould) {
    struct Case {
        const char* line;
        std::vector<std::string> words;  // none expected when `error` is set
        const char* error = "";
    };
    const Case cases[] = {
        {"  add\tlabel  --text x ", {"add", "label", "--text", "x"}},
        {"add label --text \"scanned 2026\"", {"add", "label", "--text", "scanned 2026"}},
        {"edit 3 --text 'a \"b\" \\n'", {"edit", "3", "--text", "a \"b\" \\n"}},
        {"edit 3 --text \"say \\\"hi\\\" \\\\ \\n\"", {"edit", "3", "--text", "say \"hi\" \\ \\n"}},
        {"import 5 my\\ scene.tif", {"import", "5", "my scene.tif"}},
        {"edit 3 --text ''", {"edit", "3", "--text", ""}},
        {"--text=a'b c'd", {"--text=ab cd"}},
        {"", {}},
        {"edit 3 --text 'open", {}, "unclosed '"},
        {"edit 3 --text \"open\\\"", {}, "unclosed \""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string error;
        const auto words = splitScriptLine(c.line, error);
        EXPECT_EQ(error, c.error);
        if (*c.error == '\0') {
            ASSERT_TRUE(words);
            EXPECT_EQ(*words, c.words);
        } else {
            EXPECT_FALSE(words);
        }
    }
}

TEST(CliArguments, IndexesAreDecimalDigitsOnly) {
    EXPECT_EQ(parseIndex("0"), 0);
    EXPECT_EQ(parseIndex("42"), 42);
    for (const char* bad : {"", "-1", "+1", "1x", " 1", "0x10", "9999999999"}) {
        EXPECT_FALSE(parseIndex(bad)) << bad;
    }
}

TEST(CliPlatform, ErrorBoxTextGivesBackTheMessage) {
    EXPECT_EQ(errorMessageOf("\nCouldn't create file! \n\n"), "Couldn't create file!");
    EXPECT_EQ(errorMessageOf("\n \n\n"), "");
    EXPECT_EQ(errorMessageOf("plain"), "plain");
}

}  // namespace
}  // namespace bq::cli
