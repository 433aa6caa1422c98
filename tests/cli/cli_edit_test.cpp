// boxquill-cli's editing commands run as a program: export, import, add, edit and delete,
// their refusals and their exit codes.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"
#include "tests/ui/test_files.h"

namespace bq::test {
namespace {

class CliEdit : public testing::Test {
  protected:
    void SetUp() override {
        BOXQUILL_NEEDS_SHELL();
        // Rows: 0 ftyp, 1 asoc, 2 lbl "gml.data" (in 1), 3 xml "<a/>" (in 1), 4 free (locked).
        sample = folder.file("sample.jp2");
        writeFile(sample, sampleDocument());
        out = folder.file("out.jp2");
    }
    CliResult cli(const std::vector<std::string>& args) { return runCli(folder, args); }
    nlohmann::json rows(const std::string& file) {
        const CliResult listed = cli({"list", "--json", file});
        EXPECT_EQ(listed.exitCode, 0) << listed.err;
        return nlohmann::json::parse(listed.out);
    }
    std::string show(const std::string& file, int row) {
        const CliResult shown = cli({"show", file, std::to_string(row)});
        EXPECT_EQ(shown.exitCode, 0) << shown.err;
        return shown.out;
    }
    std::vector<std::string> types(const std::string& file) {
        std::vector<std::string> found;
        for (const auto& row : rows(file)) {
            found.push_back(row["type"]);
        }
        return found;
    }

    TempFolder folder;
    std::string sample;
    std::string out;
};

TEST_F(CliEdit, AddGivesTheNewBoxItsTextAndSelectsAfterTheAtRow) {
    const CliResult added = cli({"add", sample, "xml", "--text", "<new/>", "-o", out});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.err, "");
    // Without a codestream and without --at the box is appended at top level.
    EXPECT_EQ(types(out),
              (std::vector<std::string>{"ftyp", "asoc", "lbl ", "xml ", "free", "xml "}));
    EXPECT_EQ(show(out, 5), "<new/>");

    // --at an association: the first child, one level deeper.
    ASSERT_EQ(cli({"add", sample, "label", "--at", "1", "--text", "first", "-o", out}).exitCode, 0);
    const auto listed = rows(out);
    EXPECT_EQ(listed[2]["type"], "lbl ");
    EXPECT_EQ(listed[2]["depth"], 1);
    EXPECT_EQ(listed[2]["parent"], 1);
    EXPECT_EQ(show(out, 2), "first");
}

TEST_F(CliEdit, AddGmlWritesTheSetWithTheXmlText) {
    const std::string text = folder.file("gml.xml");
    writeFile(text, textBytes("<gml:FeatureCollection/>"));
    const CliResult added =
        cli({"add", sample, "gml", "--at", "4", "--text-file", text, "-o", out});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const auto listed = rows(out);
    ASSERT_EQ(listed.size(), 10u);
    const struct {
        const char* type;
        int depth;
        unsigned size;
    } expected[] = {
        {"asoc", 0, 81}, {"lbl ", 1, 8}, {"asoc", 1, 57}, {"lbl ", 2, 17}, {"xml ", 2, 24}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(listed[5 + i]["type"], expected[i].type);
        EXPECT_EQ(listed[5 + i]["depth"], expected[i].depth);
        EXPECT_EQ(listed[5 + i]["size"], expected[i].size);
    }
    EXPECT_EQ(show(out, 6), "gml.data");
    EXPECT_EQ(show(out, 8), "gml.root-instance");
    EXPECT_EQ(show(out, 9), "<gml:FeatureCollection/>");
}

TEST_F(CliEdit, EditReplacesTheTextOfXmlAndLabelBoxes) {
    ASSERT_EQ(cli({"edit", sample, "3", "--text", "<b>\r\n</b>", "-o", out}).exitCode, 0);
    EXPECT_EQ(show(out, 3), "<b>\r\n</b>");
    EXPECT_EQ(rows(out)[1]["size"], 33);  // the association follows its child's new size

    ASSERT_EQ(cli({"edit", sample, "2", "--text", "", "-o", out}).exitCode, 0);
    EXPECT_EQ(rows(out)[2]["size"], 0);
}

TEST_F(CliEdit, DeleteNeedsYesForAnAssociationWithChildren) {
    const CliResult declined = cli({"delete", sample, "1", "-o", out});
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_NE(declined.err.find("This box has child boxes. Delete? "), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));

    ASSERT_EQ(cli({"delete", sample, "1", "--yes", "-o", out}).exitCode, 0);
    EXPECT_EQ(types(out), (std::vector<std::string>{"ftyp", "free"}));

    ASSERT_EQ(cli({"delete", sample, "3", "-o", out}).exitCode, 0);
    EXPECT_EQ(types(out), (std::vector<std::string>{"ftyp", "asoc", "lbl ", "free"}));
}

TEST_F(CliEdit, ExportThenImportGivesTheSameFile) {
    ASSERT_EQ(cli({"save", sample, "-o", folder.file("plain.jp2")}).exitCode, 0);
    for (const char* row : {"2", "3"}) {
        SCOPED_TRACE(row);
        const std::string payload = folder.file("payload.bin");
        const CliResult exported = cli({"export", sample, row, payload});
        ASSERT_EQ(exported.exitCode, 0) << exported.err;
        const CliResult imported = cli({"import", sample, row, payload, "-o", out});
        ASSERT_EQ(imported.exitCode, 0) << imported.err;
        EXPECT_EQ(readFile(out), readFile(folder.file("plain.jp2")));
    }
    ASSERT_EQ(cli({"export", sample, "3", folder.file("a.xml")}).exitCode, 0);
    EXPECT_EQ(readFile(folder.file("a.xml")), textBytes("<a/>"));
}

TEST_F(CliEdit, WhatTheEditorIgnoresIsRefusedWithExitOne) {
    const std::string payload = folder.file("p.txt");
    writeFile(payload, textBytes("x"));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"edit", sample, "4", "--text", "x", "-o", out}, "row 4 ('free') is locked"},
        {{"edit", sample, "1", "--text", "x", "-o", out}, "not an XML or label box"},
        {{"edit", sample, "0", "--text", "x", "-o", out}, "row 0 ('ftyp') is locked"},
        {{"delete", sample, "4", "-o", out}, "row 4 ('free') is locked"},
        {{"import", sample, "4", payload, "-o", out}, "row 4 ('free') is locked"},
        {{"import", sample, "1", payload, "-o", out}, "takes no payload from a file"},
        {{"export", sample, "1", out}, "is an association box"},
        {{"import", sample, "3", folder.file("missing.xml"), "-o", out}, "Couldn't open the file!"},
        {{"export", sample, "3", folder.file("no/such/folder.xml")}, "Couldn't create file!"},
        {{"edit", sample, "9", "--text", "x", "-o", out}, "no row 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        const CliResult result = cli(c.args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST_F(CliEdit, AnEmptyGeoTiffBoxIsAddedButSaidToLeaveNoTrace) {
    const CliResult added = cli({"add", sample, "geotiff", "--at", "0", "-o", out});
    EXPECT_EQ(added.exitCode, 0);
    EXPECT_NE(added.err.find("not written"), std::string::npos) << added.err;
    EXPECT_EQ(readFile(out), sampleDocument());
}

TEST_F(CliEdit, AddToADocumentWithoutBoxesFails) {
    const std::string empty = folder.file("empty.jp2");
    writeFile(empty, kSignatureBytes);
    const CliResult result = cli({"add", empty, "xml", "-o", out});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err, "");
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(CliEdit, MisusedArgumentsAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"add", sample, "png", "-o", out},
        {"add", sample, "asoc", "--text", "x", "-o", out},
        {"add", sample, "geotiff", "--text", "x", "-o", out},
        {"add", sample, "xml", "--text", "x", "--text-file", sample, "-o", out},
        {"add", sample, "xml", "--at", "one", "-o", out},
        {"edit", sample, "3", "-o", out},
        {"edit", sample, "x", "--text", "x", "-o", out},
        {"export", sample, "3"},
        {"delete", sample, "1", "--text", "x", "-o", out},
        {"add", sample, "asoc", "--import", sample, "-o", out},
        {"add", sample, "xml", "--text", "x", "--import", sample, "-o", out},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args[2]);
        const CliResult result = cli(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err, "");
    }
}

TEST_F(CliEdit, ATextWithANulByteIsRefusedNotCut) {
    const std::string text = folder.file("nul.txt");
    writeFile(text, {'a', 0, 'b'});
    const CliResult result = cli({"edit", sample, "3", "--text-file", text, "-o", out});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("NUL"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));
}

// The names in the test's folder, to see that nothing is left behind.
std::set<std::string> namesIn(const TempFolder& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST_F(CliEdit, AScriptSavedInPlaceDoesWhatItsLinesDoOneByOne) {
    writeFile(folder.file("root.xml"), textBytes("<gml:FeatureCollection/>"));
    writeFile(folder.file("label.txt"), textBytes("relabelled"));
    // Each line sees the rows the lines before it left, with nothing selected: the first
    // label goes to the end, not after the set's XML box that the line before selected, and
    // after the label added at the top the old label of row 2 is row 3.
    const std::vector<std::vector<std::string>> lines = {
        {"delete", "3"},
        {"add", "gml", "--text-file", folder.file("root.xml")},
        {"add", "label", "--text", "scanned 2026"},
        {"add", "label", "--text", "top", "--at", "0"},
        {"import", "3", folder.file("label.txt")},
    };
    std::string script = "\xEF\xBB\xBF# from the archive's batch\n\n";
    std::string step = sample;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::vector<std::string> args = lines[i];
        for (const std::string& word : args) {
            script += shellQuote(word) + " ";
        }
        script += i == 1 ? "\r\n" : "\n";
        const std::string next = folder.file("step" + std::to_string(i) + ".jp2");
        args.insert(args.begin() + 1, step);
        args.insert(args.end(), {"-o", next});
        ASSERT_EQ(cli(args).exitCode, 0) << args[0];
        step = next;
    }
    writeFile(folder.file("edits.txt"), textBytes(script));
    const std::set<std::string> before = namesIn(folder);

    const CliResult run = cli({"run", sample, "-o", sample, folder.file("edits.txt")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFile(sample), readFile(step));
    EXPECT_EQ(namesIn(folder), before);
}

TEST_F(CliEdit, UndoAndRedoLinesLeaveWhatTheLinesWithoutThemLeave) {
    const struct {
        const char* script;
        const char* same;  // the script without its undone changes
    } cases[] = {
        {"add label --text a\ndelete 1 --yes\nundo\nundo\nredo\n", "add label --text a\n"},
        {"add gml --text '<g/>'\nedit 3 --text '<b/>'\nundo\nundo\n", "# nothing left\n"},
        {"edit 3 --text '<b/>'\nundo\nredo\nadd xml --at 1 --text '<c/>'\n",
         "edit 3 --text '<b/>'\nadd xml --at 1 --text '<c/>'\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        writeFile(folder.file("a.txt"), textBytes(c.script));
        writeFile(folder.file("b.txt"), textBytes(c.same));
        ASSERT_EQ(cli({"run", sample, "-o", out, folder.file("a.txt")}).exitCode, 0);
        const std::string same = folder.file("same.jp2");
        ASSERT_EQ(cli({"run", sample, "-o", same, folder.file("b.txt")}).exitCode, 0);
        EXPECT_EQ(readFile(out), readFile(same));
    }
}

TEST_F(CliEdit, AFailingScriptLineStopsTheRunAndWritesNothing) {
    struct Case {
        const char* script;
        const char* message;  // after "SCRIPT:LINE: "
        int line;
    };
    const Case cases[] = {
        {"add label --text x\n\ndelete 9\n", "no row 9: the document has 6 row(s)", 3},
        {"delete 4\n", "row 4 ('free') is locked", 1},
        {"list\n", "'list' can't be used in a script", 1},
        {"frobnicate 1\n", "unknown command 'frobnicate'", 1},
        {"add label -o x.jp2\n", "'add' does not take -o in a script", 1},
        {"add xml --text 'unclosed\n", "unclosed '", 1},
        {"edit 3\n", "give the new text with exactly one of --text and --text-file", 1},
        {"# only this\ndelete 1\n", "(answered No; pass --yes to answer Yes)", 2},
        {"add label --text x\nundo\nundo\n", "nothing to undo", 3},
        {"redo\n", "nothing to redo", 1},
    };
    const Bytes original = readFile(sample);
    const std::string scriptFile = folder.file("edits.txt");
    bool fromStandardInput = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        writeFile(scriptFile, textBytes(c.script));
        // Every other script comes on standard input.
        fromStandardInput = !fromStandardInput;
        const CliResult run = fromStandardInput ? runCli(folder, {"run", sample, "-o", sample, "-"},
                                                         "cat " + shellQuote(scriptFile) + " | ")
                                                : cli({"run", sample, "-o", sample, scriptFile});
        EXPECT_EQ(run.exitCode, 1);
        const std::string where = (fromStandardInput ? std::string("<stdin>") : scriptFile) + ":" +
                                  std::to_string(c.line) + ": ";
        EXPECT_NE(run.err.find(where), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("the script stopped at line " + std::to_string(c.line) +
                               "; nothing was written"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(readFile(sample), original);
    }
}

}  // namespace
}  // namespace bq::test
