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
#include <vector>

#include "validate/validate_file.h"

namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

fs::path corpusPath() {
    const char* fromEnv = std::getenv("BOXQUILL_CORPUS_DIR");
    return fromEnv != nullptr && *fromEnv != '\0' ? fs::path(fromEnv)
                                                  : fs::path(BOXQUILL_CORPUS_DIR);
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

// A list column's tests ("-" for none); the peer's box/test paths by their test, since it
// tells a test's box only by nesting.
Names names(const std::string& column) {
    Names set;
    for (const std::string& path :
         column == "-" ? std::vector<std::string>{} : split(column, ',')) {
        set.insert(path.substr(path.rfind('/') + 1));
    }
    return set;
}

std::string text(const Names& set) {
    std::string joined;
    for (const std::string& name : set) {
        joined += (joined.empty() ? "" : ",") + name;
    }
    return joined.empty() ? "-" : joined;
}

struct Row {
    std::string file, brand, peerVerdict, peerFailed, verdict, failed, reason;
    bool agrees() const { return peerVerdict == verdict && names(peerFailed) == names(failed); }
};

std::vector<Row> loadTable() {
    std::vector<Row> rows;
    std::ifstream in(BOXQUILL_VERDICTS);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> f = split(line, '\t');
        if (line.empty() || line[0] == '#' || f[0] == "file") {
            continue;
        }
        if (f.size() != 7) {
            ADD_FAILURE() << "malformed line: " << line;
            continue;
        }
        rows.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6]});
    }
    return rows;
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
        Names failed;
        std::string findings;
        for (const bq::Finding& finding : report.findings.all()) {
            if (finding.severity == bq::Severity::Error) {
                failed.insert(finding.test);
                findings += "  " + finding.test + ": " + finding.message + "\n";
            }
        }
        EXPECT_EQ(report.valid() ? "valid" : "invalid", row.verdict) << row.file;
        EXPECT_EQ(text(failed), row.failed) << row.file << "\n" << findings;
    }
}

TEST(CorpusVerdicts, EachDisagreementWithThePeerHasAReason) {
    int jp2 = 0, same = 0, sameVerdict = 0, peerFaultsFound = 0;
    for (const Row& row : loadTable()) {
        EXPECT_EQ(row.reason == "-", row.agrees())
            << row.file << ": a reason is wanted exactly where we differ from the peer ("
            << row.peerVerdict << " " << text(names(row.peerFailed)) << " against " << row.verdict
            << " " << row.failed << ")";
        if (row.brand == "jp2") {
            const Names peer = names(row.peerFailed), ours = names(row.failed);
            const bool verdict = row.peerVerdict == row.verdict;
            ++jp2;
            same += row.agrees() ? 1 : 0;
            sameVerdict += verdict ? 1 : 0;
            peerFaultsFound +=
                verdict && std::includes(ours.begin(), ours.end(), peer.begin(), peer.end()) ? 1
                                                                                             : 0;
        }
    }
    std::cout << "of " << jp2 << " JP2 files: the peer's verdict on " << sameVerdict
              << ", its verdict and every test it fails on " << peerFaultsFound
              << ", its verdict and exactly its failed tests on " << same << "\n";
}

}  // namespace
