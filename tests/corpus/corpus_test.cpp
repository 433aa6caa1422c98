// Every file of the shared corpus either opens or is refused with exactly the message its
// fault calls for; every file that opens survives a save and a second open with the same
// rows, and the saved file decodes to the same pixels and keeps its size and georeferencing
// as Debian's opj_decompress and gdalinfo see them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/document_harness.h"
#include "ui/app.h"
#include "ui/open_document.h"

namespace {

namespace fs = std::filesystem;
using bq::harness::Document;
using bq::harness::RoundTrip;
using bq::harness::TempFolder;

// The corpus folder: the environment's BOXQUILL_CORPUS_DIR, else the one the build knows.
fs::path corpusPath() {
    const char* fromEnv = std::getenv("BOXQUILL_CORPUS_DIR");
    return fromEnv != nullptr && *fromEnv != '\0' ? fs::path(fromEnv)
                                                  : fs::path(BOXQUILL_CORPUS_DIR);
}

std::optional<fs::path> corpusFolder() {
    std::error_code error;
    if (!fs::is_directory(corpusPath(), error)) {
        return std::nullopt;
    }
    return corpusPath();
}

#define REQUIRE_CORPUS(folder)                                            \
    const std::optional<fs::path> folder = corpusFolder();                \
    if (!folder) {                                                        \
        GTEST_SKIP() << "the corpus folder " << corpusPath()              \
                     << " is absent (BOXQUILL_CORPUS_DIR names another)"; \
    }

struct Expectation {
    std::string outcome;  // opens, read-failure, codestream-failure, parse-failure
    int rows = 0;
    std::string why;
};

std::map<std::string, Expectation> loadExpectations() {
    std::map<std::string, Expectation> table;
    std::ifstream in(BOXQUILL_CORPUS_EXPECTATIONS);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        if (fields.size() < 3) {
            ADD_FAILURE() << "malformed expectation line: " << line;
            continue;
        }
        Expectation e;
        e.outcome = fields[1];
        e.rows = fields[2] == "-" ? 0 : std::stoi(fields[2]);
        e.why = fields.size() > 3 ? fields[3] : "";
        table[fields[0]] = e;
    }
    return table;
}

// Every regular file below the folder, as its path relative to it, sorted.
std::vector<std::string> corpusFiles(const fs::path& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file(error)) {
            files.push_back(fs::relative(entry.path(), folder).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string errorTextFor(const std::string& outcome) {
    if (outcome == "read-failure") {
        return bq::formatErrorText(bq::kReadFailedMessage);
    }
    if (outcome == "codestream-failure") {
        return bq::formatErrorText(bq::kCodestreamMessage);
    }
    if (outcome == "parse-failure") {
        return bq::formatErrorText(bq::parseFailedMessage());
    }
    return "(no message: " + outcome + ")";
}

struct OpeningFile {
    std::string name;
    fs::path path;
    // The file ends before its codestream's end marker: the reader drops that box, so the
    // saved copy has no image to compare.
    bool codestreamDropped = false;
};

// The files the table says open.
std::vector<OpeningFile> openingFiles(const fs::path& folder) {
    std::vector<OpeningFile> files;
    for (const auto& [name, expectation] : loadExpectations()) {
        std::error_code error;
        if (expectation.outcome == "opens" && fs::is_regular_file(folder / name, error)) {
            files.push_back({name, folder / name,
                             expectation.why.find("no end marker: dropped") != std::string::npos});
        }
    }
    return files;
}

std::string quoted(const fs::path& path) {
    std::string text = "'";
    for (char c : path.string()) {
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return text + "'";
}

bool toolAvailable(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// The tools take a file's format from its name; the original is shown to them under the same
// kind of name as the saved copy.
fs::path linkAsJp2(const fs::path& original, const TempFolder& folder) {
    const fs::path link = folder.path() / "original.jp2";
    std::error_code error;
    fs::remove(link, error);
    fs::create_symlink(fs::absolute(original), link, error);
    return link;
}

struct SavedCopy {
    RoundTrip result;
    fs::path original;
    fs::path saved;
    bool sameBytes = false;  // the save wrote the original back byte for byte
};

SavedCopy saveCopy(const fs::path& input, const TempFolder& folder) {
    SavedCopy copy;
    copy.saved = folder.path() / "saved.jp2";
    copy.result = bq::harness::roundTrip(input.string(), copy.saved.string());
    copy.original = linkAsJp2(input, folder);
    const auto before = bq::harness::readWholeFile(input);
    const auto after = bq::harness::readWholeFile(copy.saved);
    copy.sameBytes = before && after && *before == *after;
    return copy;
}

// The decoded samples of every component: raw output where the decoder can write it, else
// one PGX file per component (raw refuses some sample layouts), concatenated in name order.
std::optional<std::vector<std::uint8_t>> decodePixels(const fs::path& input,
                                                      const fs::path& folder) {
    for (const char* name : {"pixels.raw", "pixels.pgx"}) {
        std::error_code error;
        fs::remove_all(folder, error);
        fs::create_directories(folder, error);
        const std::string command = "opj_decompress -i " + quoted(input) + " -o " +
                                    quoted(folder / name) + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            continue;
        }
        std::vector<fs::path> outputs;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            outputs.push_back(entry.path());
        }
        std::sort(outputs.begin(), outputs.end());
        std::vector<std::uint8_t> all;
        for (const fs::path& output : outputs) {
            const auto bytes = bq::harness::readWholeFile(output);
            if (!bytes) {
                return std::nullopt;
            }
            all.insert(all.end(), bytes->begin(), bytes->end());
        }
        return all;
    }
    return std::nullopt;
}

std::optional<nlohmann::json> gdalInfo(const fs::path& input, const fs::path& output) {
    const std::string command =
        "gdalinfo -json -nomd " + quoted(input) + " >" + quoted(output) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        return std::nullopt;
    }
    std::ifstream in(output);
    nlohmann::json info = nlohmann::json::parse(in, nullptr, false);
    if (info.is_discarded()) {
        return std::nullopt;
    }
    return info;
}

TEST(Corpus, EveryFileOpensOrIsRefusedWithTheMessageForItsFault) {
    REQUIRE_CORPUS(folder);
    const std::map<std::string, Expectation> table = loadExpectations();
    std::map<std::string, int> counts;
    for (const std::string& name : corpusFiles(*folder)) {
        const auto found = table.find(name);
        if (found == table.end()) {
            ADD_FAILURE() << name << " has no line in expected_outcomes.tsv";
            continue;
        }
        const Expectation& expected = found->second;
        Document document;
        bq::openDocument(document.app, (*folder / name).string());
        if (expected.outcome == "opens") {
            EXPECT_TRUE(document.platform.errors.empty())
                << name << " (" << expected.why << ") was refused: "
                << (document.platform.errors.empty() ? "" : document.platform.errors.front());
            EXPECT_EQ(document.boxes.rowCount(), expected.rows) << name;
            EXPECT_FALSE(document.app.modified()) << name;
        } else {
            ASSERT_EQ(document.platform.errors.size(), 1u)
                << name << " (" << expected.why << ") opened with " << document.boxes.rowCount()
                << " rows";
            EXPECT_EQ(document.platform.errors.front(), errorTextFor(expected.outcome))
                << name << " (" << expected.why << ")";
            EXPECT_EQ(document.boxes.rowCount(), 0) << name;
        }
        ++counts[expected.outcome];
    }
    for (const auto& [name, expectation] : table) {
        std::error_code error;
        EXPECT_TRUE(fs::is_regular_file(*folder / name, error))
            << name << " is expected but not in the corpus";
    }
    std::printf(
        "corpus: %d file(s) opened; refused: %d with the parse message, %d with the "
        "codestream message, %d with the read message\n",
        counts["opens"], counts["parse-failure"], counts["codestream-failure"],
        counts["read-failure"]);
}

TEST(Corpus, EveryFileThatOpensKeepsItsRowsThroughASaveAndASecondOpen) {
    REQUIRE_CORPUS(folder);
    const TempFolder work("boxquill-corpus");
    int kept = 0;
    int sameBytes = 0;
    for (const auto& [name, path, dropped] : openingFiles(*folder)) {
        const SavedCopy copy = saveCopy(path, work);
        sameBytes += copy.sameBytes ? 1 : 0;
        EXPECT_TRUE(copy.result.opened) << name << ": " << copy.result.openError;
        EXPECT_FALSE(copy.result.difference) << name << ": " << copy.result.difference.value_or("");
        if (copy.result.opened && !copy.result.difference) {
            ++kept;
        }
    }
    std::printf(
        "corpus: %d file(s) saved and reopened with the same rows and bytes (%d saved "
        "byte for byte as they were)\n",
        kept, sameBytes);
}

TEST(Corpus, SavedFilesDecodeToTheSamePixelsAsTheOriginals) {
    REQUIRE_CORPUS(folder);
#ifdef BOXQUILL_SANITIZED_BUILD
    // The saves are those of the test above, already under the sanitizers; what is left is
    // the external decoder's time (minutes there), so the native build alone runs it.
    GTEST_SKIP() << "decoding runs in the native build";
#endif
    if (!toolAvailable("opj_decompress")) {
        GTEST_SKIP() << "opj_decompress is not installed (make deps installs libopenjp2-tools)";
    }
    const TempFolder work("boxquill-decode");
    int identical = 0;
    int sameBytes = 0;
    int undecodable = 0;
    int dropped = 0;
    for (const auto& [name, path, codestreamDropped] : openingFiles(*folder)) {
        if (codestreamDropped) {
            ++dropped;
            continue;
        }
        const SavedCopy copy = saveCopy(path, work);
        ASSERT_FALSE(copy.result.difference) << name;
        if (copy.sameBytes) {
            ++sameBytes;
            continue;
        }
        const auto before = decodePixels(copy.original, work.path() / "original-pixels");
        if (!before) {
            ++undecodable;
            continue;
        }
        const auto after = decodePixels(copy.saved, work.path() / "saved-pixels");
        EXPECT_TRUE(after) << name << ": the original decodes, the saved copy does not";
        if (after) {
            EXPECT_TRUE(*before == *after) << name << ": the saved copy decodes to other pixels";
            identical += *before == *after ? 1 : 0;
        }
    }
    std::printf(
        "corpus: %d saved file(s) decoded to the same pixels, %d saved byte for byte; %d "
        "original(s) do not decode; %d without a codestream end marker (dropped at open) not "
        "compared\n",
        identical, sameBytes, undecodable, dropped);
}

TEST(Corpus, SavedFilesKeepTheirSizeAndGeoreferencing) {
    REQUIRE_CORPUS(folder);
    if (!toolAvailable("gdalinfo")) {
        GTEST_SKIP() << "gdalinfo is not installed (make deps installs gdal-bin)";
    }
    const TempFolder work("boxquill-gdal");
    int same = 0;
    int georeferenced = 0;
    int unreadable = 0;
    int sameBytes = 0;
    int dropped = 0;
    for (const auto& [name, path, codestreamDropped] : openingFiles(*folder)) {
        if (codestreamDropped) {
            ++dropped;
            continue;
        }
        const SavedCopy copy = saveCopy(path, work);
        ASSERT_FALSE(copy.result.difference) << name;
        if (copy.sameBytes) {
            ++sameBytes;
            continue;
        }
        const auto before = gdalInfo(copy.original, work.path() / "original.json");
        if (!before) {
            ++unreadable;
            continue;
        }
        const auto after = gdalInfo(copy.saved, work.path() / "saved.json");
        ASSERT_TRUE(after) << name << ": gdalinfo reads the original, not the saved copy";
        EXPECT_EQ(before->value("size", nlohmann::json()), after->value("size", nlohmann::json()))
            << name;
        EXPECT_EQ(before->value("geoTransform", nlohmann::json()),
                  after->value("geoTransform", nlohmann::json()))
            << name;
        const nlohmann::json crsBefore = before->value("coordinateSystem", nlohmann::json());
        const nlohmann::json crsAfter = after->value("coordinateSystem", nlohmann::json());
        EXPECT_EQ(crsBefore, crsAfter) << name;
        const bool unchanged =
            before->value("size", nlohmann::json()) == after->value("size", nlohmann::json()) &&
            before->value("geoTransform", nlohmann::json()) ==
                after->value("geoTransform", nlohmann::json()) &&
            crsBefore == crsAfter;
        same += unchanged ? 1 : 0;
        georeferenced += unchanged && before->contains("geoTransform") ? 1 : 0;
    }
    std::printf(
        "corpus: %d saved file(s) keep size and georeferencing (%d of them georeferenced), "
        "%d saved byte for byte; gdalinfo cannot read %d original(s); %d without a "
        "codestream end marker not compared\n",
        same, georeferenced, sameBytes, unreadable, dropped);
}

}  // namespace
