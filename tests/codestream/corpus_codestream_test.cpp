// Real codestreams from the shared corpus, checked against an independent decoder's dump
// (opj_dump, when installed) and against their own SOT segments.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "box/read_box.h"
#include "box/signature.h"
#include "codestream/box_factory.h"
#include "codestream/codestream_box.h"
#include "stream/file_stream.h"

namespace bq {
namespace {

std::filesystem::path corpusDir() {
    if (const char* env = std::getenv("BOXQUILL_CORPUS_DIR"); env != nullptr && *env != '\0') {
        return env;
    }
    return BOXQUILL_CORPUS_DIR;
}

struct IndexRow {
    std::string file;
    std::string kind;
    std::string codestreams;
};

std::vector<IndexRow> tiledFiles() {
    std::vector<IndexRow> rows;
    std::ifstream index(corpusDir() / "INDEX.tsv");
    std::string line;
    std::getline(index, line);  // column titles
    while (std::getline(index, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        if (fields.size() > 12 && fields[12].find("t/") != std::string::npos &&
            (fields[3] == "boxes" || fields[3] == "codestream")) {
            rows.push_back({fields[0], fields[3], fields[12]});
        }
    }
    return rows;
}

// The first codestream of a file: a raw one from its start, else the first 'jp2c' box.
struct Walked {
    bool captured = false;
    std::unique_ptr<CodestreamBox> box;
};

Walked walkFile(const IndexRow& row) {
    Walked walked;
    FileStream stream;
    if (!stream.open((corpusDir() / std::filesystem::u8path(row.file)).string(), "rb")) {
        return walked;
    }
    ReadContext context;
    context.fileSize = stream.size();
    context.make = makeDocumentBox;
    if (row.kind == "codestream") {
        auto box = std::make_unique<CodestreamBox>(0, true);
        walked.captured = box->readPayload(stream, context);
        walked.box = std::move(box);
        return walked;
    }
    if (testSignature(stream) != SignatureResult::Ok) {
        return walked;
    }
    // Earlier boxes stay alive: the nesting context refers to open associations.
    std::vector<std::unique_ptr<Box>> earlier;
    while (std::unique_ptr<Box> box = readBox(stream, context)) {
        if (auto* codestream = dynamic_cast<CodestreamBox*>(box.get())) {
            box.release();
            walked.box.reset(codestream);
            walked.captured = true;
            return walked;
        }
        earlier.push_back(std::move(box));
    }
    return walked;
}

// What opj_dump reports of the image and the tile grid, or none without the tool.
std::optional<std::map<std::string, std::uint64_t>> opjDump(const std::string& path) {
#if defined(_WIN32)
    static_cast<void>(path);
    return std::nullopt;
#else
    static const bool present = std::system("command -v opj_dump >/dev/null 2>&1") == 0;
    if (!present) {
        return std::nullopt;
    }
    const std::string command = "opj_dump -i '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        return std::nullopt;
    }
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
        output.append(buffer, n);
    }
    std::map<std::string, std::uint64_t> values;
    static const std::regex field(R"(\b(x0|y0|x1|y1|numcomps|tw|th)=(\d+))");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), field);
         it != std::sregex_iterator(); ++it) {
        values.emplace((*it)[1].str(), std::stoull((*it)[2].str()));  // the first of each
    }
    if (values.size() != 7) {
        return std::nullopt;
    }
    return values;
#endif
}

std::uint32_t be(const std::vector<std::uint8_t>& b, std::size_t at, int width) {
    std::uint32_t v = 0;
    for (int i = 0; i < width; ++i) {
        v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    }
    return v;
}

// The lengths of all tile-parts, taken from the SOT segments alone: the main header passed by
// its segment lengths, then from SOT to SOT by Psot, a Psot of 0 running to the closing EOC.
std::optional<std::uint64_t> sumOfTileParts(const std::vector<std::uint8_t>& b) {
    std::size_t pos = 2;
    while (pos + 4 <= b.size() && be(b, pos, 2) != 0xFF90) {
        pos += 2 + be(b, pos + 2, 2);
    }
    std::uint64_t sum = 0;
    while (pos + 12 <= b.size() && be(b, pos, 2) == 0xFF90) {
        const std::uint32_t psot = be(b, pos + 6, 4);
        if (psot == 0) {
            return sum + (b.size() - 2 - pos);
        }
        sum += psot;
        pos += psot;
    }
    if (pos + 2 != b.size() || be(b, pos, 2) != 0xFFD9) {
        return std::nullopt;
    }
    return sum;
}

TEST(CorpusCodestreams, AgreeWithAnIndependentDecoderAndTheirSotSegments) {
    if (!std::filesystem::is_directory(corpusDir())) {
        GTEST_SKIP() << "corpus folder absent: " << corpusDir();
    }
    const bool haveOpj = opjDump((corpusDir() / "openjpeg-data/p0_10.j2k").string()).has_value();
    if (!haveOpj) {
        std::printf("opj_dump not available: checking the SOT sums only\n");
    }
    int parsed = 0;
    int compared = 0;
    for (const IndexRow& row : tiledFiles()) {
        SCOPED_TRACE(row.file);
        const Walked walked = walkFile(row);
        if (!walked.captured) {
            std::printf("not captured: %s (%s)\n", row.file.c_str(), row.codestreams.c_str());
            continue;
        }
        const CodestreamBox& box = *walked.box;
        if (box.errorText) {
            std::printf("not parsed:   %s (%s)\n", row.file.c_str(), row.codestreams.c_str());
            continue;
        }
        ++parsed;
        const CodestreamInfo& info = box.info;
        std::uint64_t tileSum = 0;
        for (const auto& named : info.namedTiles) {
            tileSum += named.second.compressedSize;
        }
        // The codestream proper: the box may hold bytes behind its end marker.
        const std::vector<std::uint8_t> codestream(
            box.heldBytes().begin(),
            box.heldBytes().begin() + static_cast<std::ptrdiff_t>(box.walk.end));
        const std::optional<std::uint64_t> sotSum = sumOfTileParts(codestream);
        ASSERT_TRUE(sotSum.has_value());
        EXPECT_EQ(tileSum, *sotSum);

        if (!haveOpj) {
            continue;
        }
        const auto dump = opjDump((corpusDir() / std::filesystem::u8path(row.file)).string());
        if (!dump) {
            std::printf("no dump:      %s\n", row.file.c_str());
            continue;
        }
        ++compared;
        const auto& d = *dump;
        EXPECT_EQ(info.x0, d.at("x0"));
        EXPECT_EQ(info.y0, d.at("y0"));
        EXPECT_EQ(info.x1, d.at("x1"));
        EXPECT_EQ(info.y1, d.at("y1"));
        EXPECT_EQ(info.components, d.at("numcomps"));
        EXPECT_EQ(static_cast<std::uint64_t>(info.tilesAcross), d.at("tw"));
        EXPECT_EQ(static_cast<std::uint64_t>(info.tilesDown), d.at("th"));
    }
    std::printf("%d codestreams parsed, %d compared with opj_dump\n", parsed, compared);
    EXPECT_GT(parsed, 50);
}

}  // namespace
}  // namespace bq

namespace bq {
namespace {

struct KnownFile {
    const char* file;
    const char* kind;
    bool parses;
    std::uint32_t capturedBytes;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t components;
    std::int32_t across;
    std::int32_t down;
    std::vector<std::uint32_t> tileSizes;
};

// Values read off opj_dump and an independent box walker by hand.
TEST(CorpusCodestreams, KnownFilesGiveTheirVerifiedGridAndTileSizes) {
    if (!std::filesystem::is_directory(corpusDir())) {
        GTEST_SKIP() << "corpus folder absent: " << corpusDir();
    }
    const std::vector<KnownFile> files = {
        {"openjpeg-data/p0_10.j2k",
         "codestream",
         true,
         14131,
         256,
         256,
         3,
         2,
         2,
         {3496, 3504, 3523, 3526}},
        {"openjpeg-data/issue228.j2k", "codestream", true, 342528, 512, 512, 1, 1, 1, {342412}},
        {"jpylyzer-test-files/erdas-sandiego3i_5.5.jp2",
         "boxes",
         true,
         725180,
         2980,
         2996,
         3,
         1,
         1,
         {725003}},
        {"openjpeg-data/issue206_image-000.jp2",
         "boxes",
         true,
         8315,
         431,
         326,
         3,
         2,
         2,
         {4154, 2137, 1804, 116}},
        // A COM segment of the main header holds 0xFF 0xD9: the walk passes it by its length.
        {"openjpeg-data/p0_03.j2k",
         "codestream",
         true,
         12845,
         256,
         256,
         1,
         2,
         2,
         {4267, 2117, 4080, 2081}},
    };
    for (const KnownFile& known : files) {
        SCOPED_TRACE(known.file);
        const Walked walked = walkFile({known.file, known.kind, ""});
        ASSERT_TRUE(walked.captured);
        const CodestreamBox& box = *walked.box;
        EXPECT_EQ(box.payloadSize, known.capturedBytes);
        EXPECT_EQ(box.heldBytes().size(), known.capturedBytes);
        if (!known.parses) {
            EXPECT_EQ(box.text(), "ERROR: Failed to parse J2K codestream.");
            continue;
        }
        ASSERT_FALSE(box.errorText.has_value());
        EXPECT_EQ(box.info.x1 - box.info.x0, known.width);
        EXPECT_EQ(box.info.y1 - box.info.y0, known.height);
        EXPECT_EQ(box.info.components, known.components);
        EXPECT_EQ(box.info.tilesAcross, known.across);
        EXPECT_EQ(box.info.tilesDown, known.down);
        std::vector<std::uint32_t> sizes;
        for (std::int32_t index = 0; index < box.info.tileCount; ++index) {
            sizes.push_back(box.info.tile(static_cast<std::uint32_t>(index)).compressedSize);
        }
        EXPECT_EQ(sizes, known.tileSizes);
    }
}

}  // namespace
}  // namespace bq
