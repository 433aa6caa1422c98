// `check` as users run it: its lines, its JSON and its exit status.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>

#include "tests/cli/cli_run.h"
#include "validate/profile_keys.h"

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

TEST(CheckCli, ProfilesAreCheckedBeforeAnyFileAndEachAddsItsRules) {
    TempFolder folder;
    const std::string bad = folder.file("bad.toml");
    const std::string good = folder.file("good.toml");
    const std::string rule = "[[rule]]\nname = 'layers'\nmessage = 'one layer'\n";
    const auto write = [](const std::string& path, const std::string& text) {
        writeFile(path, Bytes(text.begin(), text.end()));
    };
    write(bad, rule + "key = 'codestream.coding.layer'\nequals = 1\n");
    write(good, rule + "key = 'codestream.coding.layers'\nequals = 2\n");

    // A fault in the second profile stops the run before the first file is read.
    const CliResult refused =
        runCli(folder, {"check", "missing.jp2", "--profile", good, "--profile", bad});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find(bad + ":4: rule 'layers': unknown key path"), std::string::npos)
        << refused.err;

    const CliResult applied = runCli(folder, {"check", kSample, "--profile", good, "--json"});
    EXPECT_EQ(applied.exitCode, 1) << applied.err;
    const auto parsed = nlohmann::json::parse(applied.out);
    ASSERT_EQ(parsed["findings"].size(), 1u) << applied.out;
    EXPECT_EQ(parsed["findings"][0]["test"], "profile:layers");

    // A file that cannot be read has that one finding, no rules over nothing.
    const CliResult missing = runCli(folder, {"check", "missing.jp2", "--profile", good, "--json"});
    const auto unread = nlohmann::json::parse(missing.out);
    ASSERT_EQ(unread["findings"].size(), 1u) << missing.out;
    EXPECT_EQ(unread["findings"][0]["test"], "fileIsReadable");
}

// The facts a rule can name beside `info`, on a file whose layout is known: 12 tiles of one
// tile-part each, COD and QCD in the main header only, a JP2 header of ihdr and colr.
TEST(CheckCli, FactsCountBoxesMarkersAndTileParts) {
    TempFolder folder;
    const std::string facts = folder.file("facts.toml");
    std::string text;
    for (const auto& [key, condition] : std::initializer_list<std::pair<const char*, const char*>>{
             {"tileParts.count", "equals = 12"},
             {"tileParts.perTile.min", "equals = 1"},
             {"tileParts.perTile.max", "equals = 1"},
             {"tileParts.markers.COD", "absent = true"},
             {"tileParts.markers.PLT", "absent = true"},
             {"mainHeader.markers.COD", "present = true"},
             {"mainHeader.markers.QCD", "present = true"},
             {"mainHeader.markers.RGN", "absent = true"},
             {"boxes.jp2c", "equals = 1"},
             {"boxes.colr", "equals = 1"},
             {"boxes.xml", "absent = true"}}) {
        text += "[[rule]]\nname = 'r" + std::to_string(text.size()) + "'\nmessage = 'm'\nkey = '" +
                key + "'\n" + condition + "\n";
    }
    writeFile(facts, Bytes(text.begin(), text.end()));
    const CliResult result = runCli(folder, {"check", kSample, "--profile", facts});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
}

// Every key `info --json` gives a real file is one a rule can name: the list of known keys
// follows the description.
TEST(CheckCli, EveryInfoKeyIsAKnownKey) {
    TempFolder folder;
    std::vector<std::string> files = {
        kSample, std::string(BOXQUILL_SOURCE_DIR) + "/samples/geo-gmljp2.jp2",
        std::string(BOXQUILL_SOURCE_DIR) + "/samples/nested-asoc.jp2"};
    if (const auto corpus = corpusDir(); !corpus.empty()) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".jp2" || ext == ".jpx")) {
                files.push_back(entry.path().string());
            }
        }
    }
    std::set<std::string> unknown;
    for (const std::string& file : files) {
        const CliResult info = runCli(folder, {"info", file, "--json"});
        const auto parsed = nlohmann::json::parse(info.out, nullptr, false);
        if (parsed.is_discarded() || parsed.contains("error")) {
            continue;  // a file the editor cannot open
        }
        const auto flat = parsed.flatten();
        for (const auto& [pointer, value] : flat.items()) {
            // "/codestream/components/0/bitDepth" as a key path.
            std::string path;
            std::istringstream parts(pointer.substr(1));
            for (std::string part; std::getline(parts, part, '/');) {
                const bool index =
                    !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
                path += index ? "[" + part + "]" : (path.empty() ? "" : ".") + part;
            }
            // An empty array or object flattens to null under its own key: known when some
            // known key lies under it.
            const auto under = [&path] {
                const std::string pattern =
                    std::regex_replace(path, std::regex(R"(\[\d+\])"), "[]");
                return std::any_of(
                    knownKeys().begin(), knownKeys().end(),
                    [&](const KnownKey& key) { return key.pattern.starts_with(pattern); });
            };
            const bool known = findKnownKey(path) != nullptr || (value.is_null() && under());
            if (path != "file" && path != "fileSize" && !known) {
                unknown.insert(path);
            }
        }
    }
    for (const std::string& path : unknown) {
        ADD_FAILURE() << "info --json gives " << path << ", which no rule can name";
    }
}

}  // namespace
}  // namespace bq::test
