// Real files written by other tools, read box by box. Well-formed files must give the boxes an
// independent walker finds and write back unchanged; damaged ones must read without harm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "box/association_box.h"
#include "box/file_type_box.h"
#include "box/read_box.h"
#include "box/signature.h"
#include "box/text_box.h"
#include "box/uuid_box.h"
#include "box_bytes.h"
#include "codestream/box_factory.h"
#include "codestream/codestream_box.h"
#include "stream/file_stream.h"

namespace bq {
namespace {

namespace fs = std::filesystem;

fs::path corpusDir() {
    if (const char* env = std::getenv("BOXQUILL_CORPUS_DIR"); env != nullptr && *env != '\0') {
        return fs::path(env);
    }
    return fs::path(BOXQUILL_CORPUS_DIR);
}

#define SKIP_WITHOUT_CORPUS()                                                              \
    do {                                                                                   \
        if (!fs::is_regular_file(corpusDir() / "INDEX.tsv")) {                             \
            GTEST_SKIP() << "corpus folder absent (" << corpusDir().string()               \
                         << "); set BOXQUILL_CORPUS_DIR to run the tests over real files"; \
        }                                                                                  \
    } while (false)

struct IndexRow {
    std::string file;
    std::string brand;
    std::string kind;
    std::vector<std::string> topLevel;  // without the signature box
    bool wellFormed = false;            // and read the same way under our rules
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

std::vector<IndexRow> readIndex() {
    std::ifstream in(corpusDir() / "INDEX.tsv");
    std::string line;
    std::getline(in, line);  // column names
    std::vector<IndexRow> rows;
    while (std::getline(in, line)) {
        const auto cells = split(line, '\t');
        if (cells.size() < 12) {
            continue;
        }
        IndexRow row;
        row.file = cells[0];
        row.brand = cells[2];
        row.kind = cells[3];
        for (std::string type : split(cells[4], ',')) {
            for (char& c : type) {
                c = c == '_' ? ' ' : c;
            }
            if (type != "jP  " && type != "-") {
                row.topLevel.push_back(type);
            }
        }
        // Our reader refuses 64-bit lengths, reads length-0 boxes as empty, and opens only the
        // 'jp2 ' and 'jpx ' brands: only files where none of that arises are compared.
        row.wellFormed = row.kind == "boxes" && cells[10] == "no" && cells[9] == "no" &&
                         cells[11] == "-" && (row.brand == "jp2" || row.brand == "jpx");
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Row {
    std::unique_ptr<Box> box;
    std::uint64_t begin;  // stream position of the header
    std::uint64_t end;    // stream position after the read
};

struct Document {
    bool opened = false;
    SignatureResult signature = SignatureResult::ParseFailure;
    std::vector<Row> rows;
    bool atEnd = false;
    std::uint64_t size = 0;
};

Document readDocument(const fs::path& path) {
    Document doc;
    FileStream stream;
    if (!stream.open(path.string(), "rb")) {
        return doc;
    }
    doc.opened = true;
    doc.size = stream.size();
    doc.signature = testSignature(stream);
    if (doc.signature == SignatureResult::Ok) {
        ReadContext context;
        context.fileSize = doc.size;
        context.make = makeDocumentBox;
        for (;;) {
            const std::uint64_t begin = stream.tell();
            auto box = readBox(stream, context);
            if (box == nullptr) {
                break;
            }
            doc.rows.push_back({std::move(box), begin, stream.tell()});
        }
        doc.atEnd = stream.atEnd();
    }
    stream.close();
    return doc;
}

std::string typeText(std::uint32_t type) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += static_cast<char>(type >> shift);
    }
    return text;
}

bool isTextBox(const Box& box) {
    return box.type == kTypeXml || box.type == kTypeLbl;
}

// Every box of every file in the folder, damaged ones included: texts and writes stay sane.
TEST(CorpusBoxes, EveryFileReadsWithoutHarm) {
    SKIP_WITHOUT_CORPUS();
    int files = 0;
    int boxes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(corpusDir())) {
        if (!entry.is_regular_file()) {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        const Document doc = readDocument(entry.path());
        if (!doc.opened) {
            // Narrow-character paths cannot name every file on Windows; files are opened by
            // the path the file dialog gives in the system's code page.
            const std::string name = entry.path().filename().string();
            const bool ascii =
                std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
            EXPECT_FALSE(ascii) << "could not open";
            std::printf("skipped %s: name not representable\n", name.c_str());
            continue;
        }
        ++files;
        EXPECT_LE(doc.rows.size(), doc.size / 8 + 1);
        for (std::size_t i = 0; i < doc.rows.size(); ++i) {
            const Box& box = *doc.rows[i].box;
            SCOPED_TRACE(idText(box));
            ++boxes;
            ASSERT_GE(box.depth, 0);
            if (box.parent == nullptr) {
                EXPECT_EQ(box.depth, 0);
            } else {
                EXPECT_EQ(box.parent->type, kTypeAsoc);
                EXPECT_EQ(box.parent->depth, box.depth - 1);
            }
            EXPECT_EQ(idText(box).size(), 3u * static_cast<unsigned>(box.depth) + 4);
            static_cast<void>(box.description());
            static_cast<void>(box.text());
            test::VectorSink sink;
            EXPECT_TRUE(box.writeBox(sink, true));
            EXPECT_EQ(sink.bytes.size(), box.writtenSize());
            test::VectorSink payload;
            EXPECT_TRUE(box.writeBox(payload, false));
        }
    }
    std::printf("read %d files, %d boxes\n", files, boxes);
    EXPECT_GT(files, 100);
}

// The independent walker's tree, flattened as our rows are: only associations are opened.
void flattenWalk(const nlohmann::json& boxes, int depth,
                 std::vector<std::pair<std::string, int>>& out) {
    for (const auto& box : boxes) {
        const std::string type = box.at("type").get<std::string>();
        if (depth == 0 && type == "jP  ") {
            continue;
        }
        out.emplace_back(type, depth);
        if (type == "asoc") {
            flattenWalk(box.at("children"), depth + 1, out);
        }
    }
}

using WalkRows = std::vector<std::pair<std::string, int>>;

// The walker's rows for each of `files` (paths relative to the corpus folder), from one run of
// the walker; empty when python3 or the walker cannot be run here.
std::map<std::string, WalkRows> walkerRows(const std::vector<std::string>& files) {
    std::map<std::string, WalkRows> rows;
#if defined(_WIN32)
    static_cast<void>(files);
#else
    std::string command = "cd '" + corpusDir().string() + "' && python3 boxdump.py --json --no-cs";
    for (const std::string& file : files) {
        command += " '" + file + "'";
    }
    command += " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return rows;
    }
    std::string output;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    ::pclose(pipe);
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto json = nlohmann::json::parse(line, nullptr, false);
        if (json.is_discarded() || !json.contains("boxes") || !json.contains("file")) {
            continue;
        }
        WalkRows walk;
        flattenWalk(json.at("boxes"), 0, walk);
        rows[json.at("file").get<std::string>()] = std::move(walk);
    }
#endif
    return rows;
}

TEST(CorpusBoxes, WellFormedFilesGiveTheWalkersBoxesInOrder) {
    SKIP_WITHOUT_CORPUS();
    std::vector<IndexRow> wellFormed;
    std::vector<std::string> names;
    for (IndexRow& index : readIndex()) {
        if (index.wellFormed) {
            names.push_back(index.file);
            wellFormed.push_back(std::move(index));
        }
    }
    const auto walks = walkerRows(names);
    int walked = 0;
    for (const IndexRow& index : wellFormed) {
        SCOPED_TRACE(index.file);
        const Document doc = readDocument(corpusDir() / index.file);
        ASSERT_EQ(doc.signature, SignatureResult::Ok);
        EXPECT_TRUE(doc.atEnd) << "the box sequence stopped before the end of the file";
        std::vector<std::string> topLevel;
        WalkRows rows;
        for (const Row& row : doc.rows) {
            rows.emplace_back(typeText(row.box->type), row.box->depth);
            if (row.box->depth == 0) {
                topLevel.push_back(typeText(row.box->type));
            }
        }
        EXPECT_EQ(topLevel, index.topLevel);
        if (const auto walk = walks.find(index.file); walk != walks.end()) {
            EXPECT_EQ(rows, walk->second);
            ++walked;
        }
    }
    std::printf("compared %zu well-formed files, %d with the walker's full tree\n",
                wellFormed.size(), walked);
    EXPECT_GT(wellFormed.size(), 40u);
}

// Every box but the editable texts (whose line ends and trailing NUL are normalised when read)
// writes back exactly the bytes it was read from; association lengths, refreshed from the rows
// nested in them, change by exactly what those texts changed.
TEST(CorpusBoxes, WellFormedFilesWriteBackByteForByte) {
    SKIP_WITHOUT_CORPUS();
    int identicalFiles = 0;
    int compared = 0;
    for (const IndexRow& index : readIndex()) {
        if (!index.wellFormed) {
            continue;
        }
        SCOPED_TRACE(index.file);
        const std::vector<std::uint8_t> original = fileBytes(corpusDir() / index.file);
        Document doc = readDocument(corpusDir() / index.file);
        ASSERT_EQ(doc.signature, SignatureResult::Ok);

        // Refresh association lengths as the save does: every nested row adds what it writes.
        std::map<const Box*, std::uint64_t> sums;
        std::map<const Box*, std::int64_t> textDelta;
        for (const Row& row : doc.rows) {
            test::VectorSink sink;
            ASSERT_TRUE(row.box->writeBox(sink, true));
            std::int64_t delta = 0;
            if (row.box->type == kTypeAsoc) {
                sums[row.box.get()] = 0;
            } else if (isTextBox(*row.box)) {
                delta = static_cast<std::int64_t>(sink.bytes.size()) -
                        static_cast<std::int64_t>(row.end - row.begin);
            } else {
                EXPECT_EQ(sink.bytes, test::slice(original, row.begin, row.end - row.begin))
                    << idText(*row.box) << " at " << row.begin;
            }
            for (Box* up = row.box->parent; up != nullptr; up = up->parent) {
                sums[up] += row.box->writtenSize();
                textDelta[up] += delta;
            }
        }
        test::VectorSink document;
        writeSignature(document);
        for (const Row& row : doc.rows) {
            if (row.box->type == kTypeAsoc) {
                row.box->payloadSize = static_cast<std::uint32_t>(sums[row.box.get()]);
                test::VectorSink header;
                ASSERT_TRUE(row.box->writeBox(header, true));
                std::vector<std::uint8_t> expected = test::slice(original, row.begin, 8);
                const std::int64_t length =
                    (std::int64_t{expected[0]} << 24 | std::int64_t{expected[1]} << 16 |
                     std::int64_t{expected[2]} << 8 | expected[3]) +
                    textDelta[row.box.get()];
                for (int i = 0; i < 4; ++i) {
                    expected[static_cast<std::size_t>(i)] =
                        static_cast<std::uint8_t>(length >> (24 - 8 * i));
                }
                EXPECT_EQ(header.bytes, expected) << "association at " << row.begin;
            }
            ASSERT_TRUE(row.box->writeBox(document, true));
        }
        if (document.bytes == original) {
            ++identicalFiles;
        }
        ++compared;
    }
    std::printf("%d of %d well-formed files written back identical as a whole\n", identicalFiles,
                compared);
    EXPECT_GT(identicalFiles, 20);
}

// A box that runs past the end of the file keeps the bytes the file has and zeros for the rest.
TEST(CorpusBoxes, TruncatedBoxHoldsZerosWhereTheFileEnded) {
    SKIP_WITHOUT_CORPUS();
    const fs::path path = corpusDir() / "generated" / "derived-truncated_in_header_boxes.jp2";
    if (!fs::is_regular_file(path)) {
        GTEST_SKIP() << path.string() << " absent";
    }
    const std::vector<std::uint8_t> original = fileBytes(path);
    const Document doc = readDocument(path);
    ASSERT_FALSE(doc.rows.empty());
    const Row& last = doc.rows.back();
    ASSERT_EQ(last.box->type, kTypeJp2h);
    EXPECT_TRUE(doc.atEnd);
    const std::uint64_t payloadStart = last.begin + 8;
    const std::size_t present = original.size() - payloadStart;
    ASSERT_LT(present, last.box->payloadSize);
    std::vector<std::uint8_t> expected = test::slice(original, payloadStart, present);
    expected.resize(static_cast<std::size_t>(last.box->payloadSize) + 1, 0);
    EXPECT_EQ(last.box->data, expected);
}

}  // namespace
}  // namespace bq
