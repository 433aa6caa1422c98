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

TEST(CliArguments, CommandsCheckTheirPositionalsAndOptions) {
    const CommandSpec save{"save", "save FILE -o OUT", "", 1, kOptOutput | kOptYes, kOptOutput,
                           noRun};
    EXPECT_EQ(checkArguments(*parse({"save", "a.jp2", "-o", "b"}), save), "");
    EXPECT_EQ(checkArguments(*parse({"save", "a.jp2"}), save), "'save' needs -o");
    EXPECT_EQ(checkArguments(*parse({"save", "a.jp2", "-o", "b", "--json"}), save),
              "'save' does not take --json");
    EXPECT_EQ(checkArguments(*parse({"save", "-o", "b"}), save),
              "expected 1 argument(s) after 'save', got 0");
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
