// boxquill-cli over real files written by other tools: the rows it lists, the files it
// refuses, and copies saved by it, checked with independent readers.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"
#include "tests/ui/test_files.h"

namespace bq::test {
namespace {

using Entry = std::map<std::string, std::string>;

// INDEX.tsv: one entry per file, keyed by the header's column names.
std::vector<Entry> readIndex(const std::filesystem::path& corpus) {
    std::ifstream in(corpus / "INDEX.tsv");
    std::vector<std::string> columns;
    std::vector<Entry> entries;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        if (columns.empty()) {
            columns = fields;
            continue;
        }
        Entry entry;
        for (std::size_t i = 0; i < columns.size() && i < fields.size(); ++i) {
            entry[columns[i]] = fields[i];
        }
        entries.push_back(entry);
    }
    return entries;
}

bool isWellFormedBoxFile(const Entry& e) {
    return e.at("kind") == "boxes" && e.at("malformed") == "no" && e.at("uses_xlbox") == "no" &&
           e.at("lbox0_boxes") == "-" &&
           (e.at("multiple_jp2c") == "no" || e.at("multiple_jp2c") == "none");
}

class CorpusCli : public testing::Test {
  protected:
    void SetUp() override {
        BOXQUILL_NEEDS_SHELL();
        corpus = corpusDir();
        if (corpus.empty()) {
            GTEST_SKIP() << "the corpus folder is absent (BOXQUILL_CORPUS_DIR)";
        }
        index = readIndex(corpus);
        ASSERT_FALSE(index.empty());
    }
    std::string path(const Entry& e) const { return (corpus / e.at("file")).string(); }
    nlohmann::json listJson(const std::string& file) {
        const CliResult result = runCli(folder, {"list", "--json", file});
        EXPECT_EQ(result.exitCode, 0) << file << ": " << result.err;
        return result.exitCode == 0 ? nlohmann::json::parse(result.out) : nlohmann::json();
    }
    // Saves a copy with boxquill-cli; empty when the save failed.
    std::string saveCopy(const std::string& file, const std::string& name) {
        const std::string copy = folder.file(name);
        const CliResult result = runCli(folder, {"save", file, "-o", copy});
        EXPECT_EQ(result.exitCode, 0) << file << ": " << result.err;
        return result.exitCode == 0 ? copy : std::string();
    }

    std::filesystem::path corpus;
    std::vector<Entry> index;
    TempFolder folder;
};

// The boxes an independent walker finds, flattened as the list shows them: top-level boxes
// and, inside association boxes, their children one level deeper.
void flatten(const nlohmann::json& boxes, int depth, std::vector<nlohmann::json>& rows) {
    for (const auto& box : boxes) {
        if (depth == 0 && box["type"] == "jP  ") {
            continue;
        }
        rows.push_back(
            {{"type", box["type"]},
             {"depth", depth},
             {"payload", box["length"].get<long long>() - box["header"].get<long long>()}});
        if (box["type"] == "asoc") {
            flatten(box["children"], depth + 1, rows);
        }
    }
}

TEST_F(CorpusCli, RowsOfWellFormedFilesMatchAnIndependentWalk) {
    if (!haveTool("python3")) {
        GTEST_SKIP() << "python3 is needed for the corpus's boxdump.py";
    }
    int checked = 0;
    for (const Entry& e : index) {
        if (!isWellFormedBoxFile(e)) {
            continue;
        }
        SCOPED_TRACE(e.at("file"));
        const CliResult dump =
            runShell(folder, "python3 " + shellQuote((corpus / "boxdump.py").string()) + " " +
                                 shellQuote(path(e)) + " --json");
        ASSERT_EQ(dump.exitCode, 0) << dump.err;
        std::vector<nlohmann::json> expected;
        flatten(nlohmann::json::parse(dump.out)["boxes"], 0, expected);

        const nlohmann::json rows = listJson(path(e));
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(rows[i]["type"], expected[i]["type"]);
            EXPECT_EQ(rows[i]["depth"], expected[i]["depth"]);
            // Text boxes change size as they are read (line ends, a label's NUL), and an
            // association's size follows them; every other box keeps its payload size.
            const std::string type = rows[i]["type"];
            if (type != "xml " && type != "lbl " && type != "asoc") {
                EXPECT_EQ(rows[i]["size"], expected[i]["payload"]);
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 40);
}

TEST_F(CorpusCli, RefusedFilesGetTheEditorsMessages) {
    const std::string codestream =
        "Couldn't read the file!\n\nIt looks like a J2K file, not JP2. \n";
    const std::string parse =
        "Couldn't parse the file!\n\nPlease send it to support@boxquill.org so we could find out "
        "what's wrong. \n";
    const std::map<std::string, std::string> expected = {
        {"generated/gdal_gray_raw_codestream.j2k", codestream},
        // A codestream box that ends by its length where no box follows.
        {"openjpeg-data/issue476.jp2", parse},
    };
    for (const auto& [file, message] : expected) {
        SCOPED_TRACE(file);
        const CliResult result = runCli(folder, {"list", (corpus / file).string()});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, message);
    }
    for (const Entry& e : index) {
        const std::string& kind = e.at("kind");
        if (kind == "codestream" || kind == "empty" || kind == "jpeg") {
            SCOPED_TRACE(e.at("file"));
            const CliResult result = runCli(folder, {"list", path(e)});
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err.rfind(kind == "jpeg" ? "Couldn't parse" : "Couldn't read", 0), 0u)
                << result.err;
        }
    }
}

TEST_F(CorpusCli, SavedCopiesListTheSameRows) {
    int saved = 0;
    for (const Entry& e : index) {
        if (e.at("kind") != "boxes" || runCli(folder, {"list", path(e)}).exitCode != 0) {
            continue;
        }
        SCOPED_TRACE(e.at("file"));
        const std::string copy = saveCopy(path(e), "copy.jp2");
        ASSERT_FALSE(copy.empty());
        EXPECT_EQ(listJson(copy), listJson(path(e)));
        // Saving the copy again gives the same bytes: nothing drifts from save to save.
        const std::string again = saveCopy(copy, "again.jp2");
        EXPECT_EQ(readFile(again), readFile(copy));
        ++saved;
    }
    EXPECT_GT(saved, 60);
}

}  // namespace
}  // namespace bq::test
