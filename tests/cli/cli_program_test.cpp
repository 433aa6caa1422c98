// boxquill-cli run as a program: its output, messages and exit codes.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"
#include "tests/ui/test_files.h"

namespace bq::test {
namespace {

class CliProgram : public testing::Test {
  protected:
    void SetUp() override {
        BOXQUILL_NEEDS_SHELL();
        sample = folder.file("sample.jp2");
        writeFile(sample, sampleDocument());
    }
    CliResult cli(const std::vector<std::string>& args, const std::string& prefix = "") {
        return runCli(folder, args, prefix);
    }

    TempFolder folder;
    std::string sample;
};

TEST_F(CliProgram, ListPrintsTheRowsWithRefreshedAssociationSizes) {
    const CliResult result = cli({"list", sample});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "0\tFTYP\tFile type\t12\n"
              "1\tASOC\tAssociation box\t28\n"
              "2\t|  LBL \t   Label\t8\n"
              "3\t|  XML \t   XML file\t4\n"
              "4\tFREE\t\t3\n");
}

TEST_F(CliProgram, ListAsJsonDescribesEveryRow) {
    const CliResult result = cli({"list", "--json", sample});
    ASSERT_EQ(result.exitCode, 0);
    const auto rows = nlohmann::json::parse(result.out);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1]["index"], 1);
    EXPECT_EQ(rows[1]["id"], "ASOC");
    EXPECT_EQ(rows[1]["description"], "Association box");
    EXPECT_EQ(rows[1]["size"], 28);
    EXPECT_EQ(rows[1]["type"], "asoc");
    EXPECT_EQ(rows[1]["locked"], false);
    EXPECT_EQ(rows[3]["depth"], 1);
    EXPECT_EQ(rows[3]["parent"], 1);
    EXPECT_EQ(rows[0]["locked"], true);
    EXPECT_TRUE(rows[0]["parent"].is_null());
}

TEST_F(CliProgram, ListOfSeveralFilesSaysWhichFileEachRowOrErrorIsOf) {
    const std::string bad = folder.file("bad.jp2");
    writeFile(bad, textBytes("not a JPEG 2000 file"));
    const std::string missing = folder.file("missing.jp2");

    const CliResult tsv = cli({"list", sample, missing, sample});
    EXPECT_EQ(tsv.exitCode, 1);
    EXPECT_EQ(tsv.out.rfind(sample + "\t0\tFTYP\tFile type\t12\n", 0), 0u) << tsv.out;
    EXPECT_NE(tsv.out.find(sample + "\t4\tFREE\t\t3\n" + sample + "\t0\t"), std::string::npos);
    EXPECT_EQ(tsv.err, missing + ": Couldn't open the file\n");

    const CliResult json = cli({"list", "--json", sample, bad, missing});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(json.err, "");
    std::vector<nlohmann::json> lines;
    for (std::size_t at = 0, end = 0; at < json.out.size(); at = end + 1) {
        end = json.out.find('\n', at);
        ASSERT_NE(end, std::string::npos) << "the last line is not ended";
        lines.push_back(nlohmann::json::parse(json.out.substr(at, end - at)));
    }
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["file"], sample);
    EXPECT_EQ(lines[0]["rows"], nlohmann::json::parse(cli({"list", "--json", sample}).out));
    EXPECT_EQ(lines[1]["file"], bad);
    EXPECT_NE(lines[1]["error"].get<std::string>().find("Couldn't parse the file!"),
              std::string::npos);
    EXPECT_EQ(lines[2], (nlohmann::json{{"file", missing}, {"error", "Couldn't open the file"}}));

    EXPECT_EQ(cli({"list", "--json", sample, sample}).exitCode, 0);
}

TEST_F(CliProgram, ShowPrintsTheBoxTextAsItIs) {
    const std::string file = folder.file("text.jp2");
    writeFile(file, concat({kSignatureBytes, boxBytes("xml ", textBytes("<a>\n<b/>\n</a>"))}));
    const CliResult result = cli({"show", file, "0"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "<a>\r\n<b/>\r\n</a>");
}

TEST_F(CliProgram, TextFromFilesIsEscapedOnATerminalAndExactIntoAPipe) {
    // A retitle, a clear screen, a C1 CSI and a byte that is no UTF-8, in a label and a name.
    const std::string nasty = "\x1b]0;x\a\x1b[2J\xc2\x9b\xff";
    const std::string file = folder.file("e\x1b[2J.jp2");
    writeFile(file, concat({kSignatureBytes, boxBytes("lbl ", textBytes(nasty))}));
    const std::string bq = shellQuote(BOXQUILL_CLI_PATH) + " ";
    const std::string name = shellQuote(file);
    // script(1) runs the commands on a pseudo-terminal and copies what they print.
    const CliResult terminal =
        runShell(folder, "script -qec " +
                             shellQuote(bq + "show " + name + " 0; " + bq + "info " + name + "; " +
                                        bq + "list " + name + " " + shellQuote(file + "x")) +
                             " /dev/null");
    EXPECT_NE(terminal.out.find("\\x1b]0;x\\x07\\x1b[2J\\u009b\\xff"), std::string::npos)
        << terminal.out;
    EXPECT_NE(terminal.out.find("e\\x1b[2J.jp2\t0\tLBL"), std::string::npos) << terminal.out;
    EXPECT_NE(terminal.out.find("e\\x1b[2J.jp2\r\n"), std::string::npos) << terminal.out;
    EXPECT_NE(terminal.out.find("e\\x1b[2J.jp2x: "), std::string::npos) << terminal.out;
    EXPECT_EQ(terminal.out.find_first_of("\x1b\x07\x9b\xff"), std::string::npos);
    EXPECT_EQ(cli({"show", file, "0"}).out, nasty);
}

TEST_F(CliProgram, FailuresPrintTheEditorsMessageAndExitWithOne) {
    const std::string codestream = folder.file("raw.j2k");
    writeFile(codestream, {0xFF, 0x4F, 0xFF, 0x51, 0, 0});
    const std::string damaged = folder.file("damaged.jp2");
    writeFile(damaged, concat({kSignatureBytes, {0, 0, 0, 3, 'x', 'x', 'x', 'x', 0, 0}}));
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"list", folder.file("missing.jp2")}, "Couldn't open the file\n"},
        {{"list", codestream}, "Couldn't read the file!\n\nIt looks like a J2K file, not JP2. \n"},
        {{"list", damaged},
         "Couldn't parse the file!\n\nPlease send it to support@boxquill.org so we could find out "
         "what's wrong. \n"},
        {{"show", sample, "5"}, "boxquill-cli: no row 5: the document has 5 row(s)\n"},
        {{"save", sample, "-o", folder.file("none/out.jp2")}, "Couldn't create file!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const CliResult result = cli(c.args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
    }
}

// A box of length 0 runs to the end of the file, here past 4 GiB: it is listed without
// being read, and every byte of it is counted.
TEST_F(CliProgram, FilesOf4GiBOrMoreAreListed) {
    const std::string huge = folder.file("huge.jp2");
    writeFile(huge, concat({kSignatureBytes, boxBytes("xml ", textBytes("<a/>")), u32Bytes(0),
                            textBytes("free")}));
    std::error_code error;
    std::filesystem::resize_file(huge, 0x100000010ull, error);
    if (error) {
        GTEST_SKIP() << "cannot make a 4 GiB sparse file here: " << error.message();
    }
    const CliResult result = cli({"list", huge});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "0\tXML \tXML file\t4\n1\tFREE\t\t" +
                              std::to_string(0x100000010ull - 12 - 12 - 8) + "\n");
}

TEST_F(CliProgram, UsageErrorsExitWithTwoAndHelpWithZero) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate"},
                                               {"list"},
                                               {"list", sample, "-o", "x"},
                                               {"show", sample, "x"},
                                               {"save", sample},
                                               {"list", "--nope", sample}}) {
        SCOPED_TRACE(args.empty() ? std::string("(none)") : args[0]);
        const CliResult result = cli(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err, "");
    }
    for (const char* command :
         {"list", "show", "export", "import", "add", "edit", "delete", "run", "save"}) {
        SCOPED_TRACE(command);
        const CliResult result = cli({command, "--help"});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out.rfind(std::string("usage: boxquill-cli ") + command, 0), 0u)
            << result.out;
    }
    EXPECT_EQ(cli({"--help"}).exitCode, 0);
}

// The version with the commit it was built from, if any, before any command's own checks.
TEST_F(CliProgram, VersionPrintsTheProgramsVersionAndExitsWithZero) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--version"}, {"list", "--version"}, {"frobnicate", "--version"}}) {
        const CliResult result = cli(args);
        EXPECT_EQ(result.exitCode, 0) << args[0];
        EXPECT_TRUE(std::regex_match(
            result.out, std::regex(R"(boxquill-cli \d+\.\d+\.\d+( \([0-9a-f]{7,}\))?\n)")))
            << result.out;
    }
}

TEST_F(CliProgram, SaveWritesTheDocumentUnchangedFollowingTheExtensionRule) {
    const CliResult result = cli({"save", sample, "-o", folder.file("copy")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(readFile(folder.file("copy.jp2")), sampleDocument());

    // A file only the extended name hits is replaced only when --yes says so.
    writeFile(folder.file("copy.jp2"), {1, 2, 3});
    EXPECT_EQ(cli({"save", sample, "-o", folder.file("copy")}).exitCode, 1);
    EXPECT_EQ(readFile(folder.file("copy.jp2")), (Bytes{1, 2, 3}));
    EXPECT_EQ(cli({"save", sample, "-o", folder.file("copy"), "--yes"}).exitCode, 0);
    EXPECT_EQ(readFile(folder.file("copy.jp2")), sampleDocument());
}

TEST_F(CliProgram, AFailedOpenWritesNothing) {
    EXPECT_EQ(cli({"save", folder.file("missing.jp2"), "-o", folder.file("out.jp2")}).exitCode, 1);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"sample.jp2"});
}

TEST_F(CliProgram, AWriteFailureHalfwayKeepsTheTargetsOldBytes) {
    // A document larger than the file size limit the program runs under: writing it fails
    // partway with EFBIG (the signal is ignored so the write reports it).
    const std::string big = folder.file("big.jp2");
    writeFile(big, concat({kSignatureBytes, boxBytes("xml ", Bytes(40000, 'x'))}));
    const std::string target = folder.file("target.jp2");
    const Bytes old(3000, 7);
    writeFile(target, old);
    const CliResult result = cli({"save", big, "-o", target}, "trap '' XFSZ; ulimit -f 20; ");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Couldn't write to the file!\n");
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"big.jp2", "sample.jp2", "target.jp2"}));
}

}  // namespace
}  // namespace bq::test
