// `check` as users run it: its lines, its JSON and its exit status.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"

namespace bq::test {
namespace {

const std::string kSample = std::string(BOXQUILL_SOURCE_DIR) + "/samples/tiled.jp2";

TEST(CheckCli, TextJsonAndExitStatus) {
    TempFolder folder;
    const std::string jpeg = folder.file("photo.jp2");
    writeFile(jpeg, {0xFF, 0xD8, 0xFF, 0xE0});

    const CliResult valid = runCli(folder, {"check", kSample});
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    EXPECT_EQ(valid.out, kSample + ": valid\n");

    const CliResult text = runCli(folder, {"check", kSample, jpeg});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_NE(text.out.find(jpeg + ": error: containsSignatureBox: a JPEG"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find(jpeg + ": invalid (1 errors, 0 warnings)\n"), std::string::npos);

    const CliResult json = runCli(folder, {"check", jpeg, "--json", "--all"});
    EXPECT_EQ(json.exitCode, 1);
    const auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["format"], "jpeg");
    EXPECT_EQ(parsed["valid"], false);
    EXPECT_EQ(parsed["findings"][0]["test"], "containsSignatureBox");
    EXPECT_EQ(parsed["findings"][0]["offset"], 0);
    EXPECT_TRUE(parsed["passed"].is_array());

    EXPECT_EQ(runCli(folder, {"check"}).exitCode, 2);
}

}  // namespace
}  // namespace bq::test
