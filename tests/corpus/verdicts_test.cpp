// The validator over every file of the shared corpus, against expected_verdicts.tsv: the peer
// validator's verdicts and failed tests (tools/jpylyzer_verdicts.py), ours as reviewed by
// hand, and the reason wherever the two differ.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "validate/validate_file.h"

namespace {

namespace fs = std::filesystem;

fs::path corpusPath() {
    const char* fromEnv = std::getenv("BOXQUILL_CORPUS_DIR");
    return fromEnv != nullptr && *fromEnv != '\0' ? fs::path(fromEnv)
                                                  : fs::path(BOXQUILL_CORPUS_DIR);
}

struct Row {
    std::string file, brand, peerVerdict, peerFailed, verdict, failed, reason;
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

std::vector<Row> loadTable() {
    std::vector<Row> rows;
    std::ifstream in(BOXQUILL_VERDICTS);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("file\t", 0) == 0) {
            continue;
        }
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() != 7) {
            ADD_FAILURE() << "malformed line: " << line;
            continue;
        }
        rows.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6]});
    }
    return rows;
}

// A list column as its set of names ("-" for none); the peer's box/test paths by their test,
// since it names a test after the box it lies in only by nesting.
std::string names(const std::string& column) {
    std::set<std::string> set;
    if (column != "-") {
        for (const std::string& path : split(column, ',')) {
            set.insert(path.substr(path.rfind('/') + 1));
        }
    }
    std::string text;
    for (const std::string& name : set) {
        text += (text.empty() ? "" : ",") + name;
    }
    return text.empty() ? "-" : text;
}

bool agrees(const Row& row) {
    return row.peerVerdict == row.verdict && names(row.peerFailed) == row.failed;
}

TEST(CorpusVerdicts, EveryFileGetsItsReviewedVerdictAndFailedTests) {
    std::error_code error;
    if (!fs::is_directory(corpusPath(), error)) {
        GTEST_SKIP() << "the corpus folder " << corpusPath() << " is absent";
    }
    const std::vector<Row> rows = loadTable();
    ASSERT_FALSE(rows.empty());
    for (const Row& row : rows) {
        const bq::ValidationReport report = bq::validateFile((corpusPath() / row.file).string());
        std::set<std::string> failed;
        std::string findings;
        for (const bq::Finding& finding : report.findings.all()) {
            if (finding.severity == bq::Severity::Error) {
                failed.insert(finding.test);
                findings += "  " + finding.test + ": " + finding.message + "\n";
            }
        }
        std::string list;
        for (const std::string& name : failed) {
            list += (list.empty() ? "" : ",") + name;
        }
        EXPECT_EQ(report.valid() ? "valid" : "invalid", row.verdict) << row.file;
        EXPECT_EQ(list.empty() ? "-" : list, row.failed) << row.file << "\n" << findings;
    }
}

// The names of a list column's tests as a set.
std::set<std::string> nameSet(const std::string& column) {
    const std::string text = names(column);
    const std::vector<std::string> parts =
        text == "-" ? std::vector<std::string>{} : split(text, ',');
    return {parts.begin(), parts.end()};
}

TEST(CorpusVerdicts, EachDisagreementWithThePeerHasAReason) {
    int jp2 = 0, same = 0, sameVerdict = 0, peerFaultsFound = 0;
    for (const Row& row : loadTable()) {
        EXPECT_EQ(row.reason == "-", agrees(row))
            << row.file << ": a reason is wanted exactly where we differ from the peer ("
            << row.peerVerdict << " " << names(row.peerFailed) << " against " << row.verdict << " "
            << row.failed << ")";
        if (row.brand != "jp2") {
            continue;
        }
        const std::set<std::string> peer = nameSet(row.peerFailed), ours = nameSet(row.failed);
        ++jp2;
        same += agrees(row) ? 1 : 0;
        sameVerdict += row.peerVerdict == row.verdict ? 1 : 0;
        peerFaultsFound += row.peerVerdict == row.verdict &&
                                   std::includes(ours.begin(), ours.end(), peer.begin(), peer.end())
                               ? 1
                               : 0;
    }
    std::cout << "of " << jp2 << " JP2 files: the peer's verdict on " << sameVerdict
              << ", its verdict and every test it fails on " << peerFaultsFound
              << ", its verdict and exactly its failed tests on " << same << "\n";
}

}  // namespace
