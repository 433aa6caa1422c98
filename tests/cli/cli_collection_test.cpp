// list, info and check over folders as users run them: the walk's order and choices, files
// that vanish or cannot be read, workers that keep the order, shards that add up.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"

namespace bq::test {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(BOXQUILL_SOURCE_DIR) + "/samples/";

// root/ B.JP2 a.jp2 a/z.jp2 gone.jp2 -> nothing, link.jp2 -> sub/c.jpx, loop -> ../..,
// notes.txt, self.jp2 -> itself (unreadable even for root), sub/ c.jpx deeper/ d.j2c
std::string makeTree(const TempFolder& folder) {
    const fs::path root = folder.path() / "root";
    fs::create_directories(root / "sub" / "deeper");
    fs::create_directories(root / "a");
    fs::copy_file(kSamples + "tiled.jp2", root / "a" / "z.jp2");
    fs::copy_file(kSamples + "tiled.jp2", root / "B.JP2");
    fs::copy_file(kSamples + "nested-asoc.jp2", root / "a.jp2");
    fs::copy_file(kSamples + "geo-gmljp2.jp2", root / "sub" / "c.jpx");
    fs::copy_file(kSamples + "tiled.jp2", root / "sub" / "deeper" / "d.j2c");
    writeFile((root / "notes.txt").string(), textBytes("not an image"));
    fs::create_symlink("missing.jp2", root / "gone.jp2");
    fs::create_symlink("sub/c.jpx", root / "link.jp2");
    fs::create_symlink("self.jp2", root / "self.jp2");
    fs::create_directory_symlink("../..", root / "sub" / "loop");
    return root.string();
}

// The "file" of every JSON line, in order.
std::vector<std::string> filesOf(const std::string& jsonLines) {
    std::vector<std::string> files;
    std::istringstream lines(jsonLines);
    for (std::string line; std::getline(lines, line);) {
        files.push_back(nlohmann::json::parse(line)["file"]);
    }
    return files;
}

TEST(CollectionCli, WalksFoldersInByteOrderWithoutFollowingFolderLinks) {
    BOXQUILL_NEEDS_SHELL();
    TempFolder folder;
    const std::string root = makeTree(folder);
    const std::string r = root + "/";
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> files;
    };
    const std::vector<std::string> top = {r + "B.JP2", r + "a.jp2", r + "gone.jp2", r + "link.jp2",
                                          r + "self.jp2"};
    // "a.jp2" before "a/": whole paths in byte order.
    std::vector<std::string> all = top;
    all.insert(all.begin() + 2, r + "a/z.jp2");
    all.insert(all.end(), {r + "sub/c.jpx", r + "sub/deeper/d.j2c"});
    const Case cases[] = {
        {{}, top},  // a folder without -r: its own files
        {{"-r"}, all},
        {{"--recursive", "--jobs", "2"}, all},
        {{"-r", "--ext", "J2C,txt"}, {r + "notes.txt", r + "sub/deeper/d.j2c"}},
        {{"--ext", ".jpx"}, {}},
    };
    for (const std::string command : {"list", "info", "check"}) {
        for (const Case& test : cases) {
            std::vector<std::string> args = {command, root, "--json", "--quiet"};
            args.insert(args.end(), test.options.begin(), test.options.end());
            const CliResult run = runCli(folder, args);
            EXPECT_EQ(filesOf(run.out), test.files) << command << " " << test.options.size();
            // Every case but the empty one holds a file that fails.
            EXPECT_EQ(run.exitCode, test.files.empty() ? 0 : 1) << command << run.err;
        }
    }
}

TEST(CollectionCli, VanishedAndUnreadableFilesAreResultsNotTheEnd) {
    BOXQUILL_NEEDS_SHELL();
    TempFolder folder;
    const std::string root = makeTree(folder);
    std::vector<std::string> unreadable = {root + "/gone.jp2", root + "/self.jp2"};
    if (geteuid() != 0) {  // root reads a file whatever its mode
        const std::string locked = root + "/locked.jp2";
        fs::copy_file(kSamples + "tiled.jp2", locked);
        fs::permissions(locked, fs::perms::none);
        unreadable.push_back(locked);
    }
    const CliResult check = runCli(folder, {"check", root, "--json"});
    EXPECT_EQ(check.exitCode, 1);
    std::istringstream lines(check.out);
    std::vector<std::string> failed;
    for (std::string line; std::getline(lines, line);) {
        const auto result = nlohmann::json::parse(line);
        if (!result["valid"]) {
            EXPECT_EQ(result["findings"][0]["test"], "fileIsReadable") << line;
            failed.push_back(result["file"]);
        }
    }
    std::sort(unreadable.begin(), unreadable.end());
    EXPECT_EQ(failed, unreadable);
    EXPECT_NE(check.err.find(" valid, 0 invalid, " + std::to_string(unreadable.size()) +
                             " unreadable in "),
              std::string::npos)
        << check.err;

    const CliResult list = runCli(folder, {"list", root});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_NE(list.out.find(root + "/link.jp2\t0\t"), std::string::npos) << list.out;
    for (const std::string& path : unreadable) {
        EXPECT_NE(list.err.find(path + ": "), std::string::npos) << list.err;
    }
}

TEST(CollectionCli, WorkersPrintWhatOneWorkerPrints) {
    BOXQUILL_NEEDS_SHELL();
    TempFolder folder;
    const std::string root = makeTree(folder);
    // More files than the workers' window, so that results wait for slower ones before them.
    for (int i = 0; i < 40; ++i) {
        const char* sample = i % 3 == 0   ? "geo-gmljp2.jp2"
                             : i % 3 == 1 ? "tiled.jp2"
                                          : "nested-asoc.jp2";
        fs::copy_file(kSamples + sample, root + "/sub/many-" + std::to_string(i) + ".jp2");
    }
    const std::vector<std::vector<std::string>> commands = {
        {"list", "--json"}, {"list"}, {"info", "--json"}, {"info"}, {"check", "--json"}, {"check"}};
    for (const std::vector<std::string>& command : commands) {
        std::vector<std::string> args = command;
        args.insert(args.end(), {root, "-r", "--quiet", "--jobs"});
        args.push_back("1");
        const CliResult one = runCli(folder, args);
        args.back() = "3";
        const CliResult three = runCli(folder, args);
        EXPECT_EQ(three.out, one.out) << command[0];
        EXPECT_EQ(three.err, one.err) << command[0];
        EXPECT_EQ(three.exitCode, one.exitCode) << command[0];
        EXPECT_GT(one.out.size(), 40u * 20u) << command[0];
    }
}

TEST(CollectionCli, ShardsTogetherGiveEveryFileOnce) {
    BOXQUILL_NEEDS_SHELL();
    TempFolder folder;
    const std::string root = makeTree(folder);
    for (int i = 0; i < 30; ++i) {
        fs::copy_file(kSamples + "tiled.jp2", root + "/sub/s" + std::to_string(i) + ".jp2");
    }
    const auto sortedLines = [](const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    const CliResult plain = runCli(folder, {"check", root, "-r", "--json", "--quiet"});
    std::string together;
    for (const std::string shard : {"1/3", "2/3", "3/3"}) {
        const CliResult part = runCli(
            folder, {"check", root, "-r", "--json", "--quiet", "--shard", shard, "--jobs", "2"});
        EXPECT_FALSE(part.out.empty()) << shard;
        together += part.out;
    }
    EXPECT_EQ(sortedLines(together), sortedLines(plain.out));
    EXPECT_EQ(sortedLines(plain.out).size(), 38u);
}

TEST(CollectionCli, BadCollectionOptionsAreUsageErrorsBeforeAnyRead) {
    BOXQUILL_NEEDS_SHELL();
    TempFolder folder;
    const std::string root = makeTree(folder);
    const std::vector<std::string> bad[] = {
        {"--jobs", "0"},       {"--jobs", "2x"}, {"--jobs", "-1"},   {"--shard", "0/3"},
        {"--shard", "4/3"},    {"--shard", "1"}, {"--shard", "1/0"}, {"--ext", ""},
        {"--ext", "jp2,,jpx"}, {"--ext", "a/b"},
    };
    for (const std::vector<std::string>& options : bad) {
        std::vector<std::string> args = {"list", root};
        args.insert(args.end(), options.begin(), options.end());
        const CliResult run = runCli(folder, args);
        EXPECT_EQ(run.exitCode, 2) << options[0] << " " << options[1];
        EXPECT_EQ(run.out, "") << options[0] << " " << options[1];
    }
    EXPECT_EQ(runCli(folder, {"show", root, "0", "-r"}).exitCode, 2);
}

}  // namespace
}  // namespace bq::test
