// boxquill-cli info: the keys and types of its JSON, the file and box forms.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"
#include "tests/ui/test_files.h"

namespace bq::test {
namespace {

// A JP2 whose compatibility list lacks 'jp2 ', whose image header says 8-bit unsigned for
// components the codestream makes 8-bit signed and 12-bit, with a capture resolution of
// 30 x 10^-1 per metre vertically and a denominator of 0 horizontally.
Bytes infoDocument() {
    const Bytes ihdr = boxBytes("ihdr", {0, 0, 0, 2, 0, 0, 0, 3, 0, 3, 7, 7, 0, 0});
    const Bytes colr = boxBytes("colr", {1, 0, 0, 0, 0, 0, 16});
    const Bytes res = boxBytes("res ", boxBytes("resc", {0, 30, 0, 1, 0, 3, 0, 0, 0xFF, 0}));
    const Bytes codestream = {
        0xFF, 0x4F, 0xFF, 0x51, 0, 47, 0, 0, 0,  0,    0, 3,    0,    0,    0,   2,    0,    0,
        0,    0,    0,    0,    0, 0,  0, 0, 0,  3,    0, 0,    0,    2,    0,   0,    0,    0,
        0,    0,    0,    0,    0, 3,  7, 1, 1,  0x87, 1, 1,    0x0B, 1,    1,   0xFF, 0x52, 0,
        12,   0,    2,    0,    1, 0,  1, 4, 4,  0,    1, 0xFF, 0x5C, 0,    4,   0x42, 0x48, 0xFF,
        0x90, 0,    10,   0,    0, 0,  0, 0, 14, 0,    1, 0xFF, 0x93, 0xFF, 0xD9};
    return concat({kSignatureBytes,
                   boxBytes("ftyp", concat({textBytes("jp2 "), u32Bytes(0), textBytes("jpx ")})),
                   boxBytes("jp2h", concat({ihdr, colr, res})), boxBytes("jp2c", codestream)});
}

TEST(CliInfo, JsonKeysTypesAndWarnings) {
    BOXQUILL_NEEDS_SHELL();
    TempFolder folder;
    const std::string path = folder.file("info.jp2");
    writeFile(path, infoDocument());
    const CliResult result = runCli(folder, {"info", path, "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["file"], path);
    EXPECT_EQ(json["fileType"]["brand"], "jp2 ");
    EXPECT_EQ(json["jp2Header"]["imageHeader"]["width"], 3);
    EXPECT_EQ(json["jp2Header"]["colourSpecs"][0]["colourSpace"], "sRGB");
    const auto& vertical = json["jp2Header"]["captureResolution"]["vertical"];
    EXPECT_DOUBLE_EQ(vertical["pixelsPerMetre"].get<double>(), 3.0);
    EXPECT_EQ(vertical["exponent"], -1);
    EXPECT_TRUE(json["jp2Header"]["captureResolution"]["horizontal"]["pixelsPerInch"].is_null());
    EXPECT_EQ(json["codestream"]["tileParts"], 1);
    EXPECT_EQ(json["codestream"]["components"][2]["bitDepth"], 12);
    EXPECT_EQ(json["codestream"]["coding"]["progressionOrder"], "RPCL");
    // The compatibility list, the zero denominator, and two components' depths.
    EXPECT_EQ(json["warnings"].size(), 4u) << json["warnings"].dump();

    const CliResult box = runCli(folder, {"info", path, "1"});
    EXPECT_NE(box.out.find("offset:       32\n"), std::string::npos) << box.out;
    const CliResult several = runCli(folder, {"info", path, path, "--json"});
    EXPECT_EQ(std::count(several.out.begin(), several.out.end(), '\n'), 2);
}

}  // namespace
}  // namespace bq::test

namespace bq::test {
namespace {

// Over the corpus's generated JP2 files: the image size and component count agree with
// opj_dump's reading of the same codestream.
TEST(CliInfo, EveryRowsLengthIsItsListedSizeAndHeader) {
    BOXQUILL_NEEDS_SHELL();
    const std::filesystem::path corpus = corpusDir();
    if (corpus.empty()) {
        GTEST_SKIP() << "the corpus is not here";
    }
    TempFolder folder;
    const std::string path = (corpus / "generated/gdal_gray_metadata_xmp.jp2").string();
    const auto rows = nlohmann::json::parse(runCli(folder, {"list", path, "--json"}).out);
    ASSERT_GT(rows.size(), 10u);
    for (const auto& row : rows) {
        const std::string index = std::to_string(row["index"].get<int>());
        const auto box = nlohmann::json::parse(runCli(folder, {"info", path, index, "--json"}).out);
        EXPECT_EQ(box["payloadSize"], row["size"]) << index;
        EXPECT_EQ(box["length"],
                  row["size"].get<std::uint64_t>() + box["headerLength"].get<std::uint64_t>())
            << index;
    }
}

TEST(CliInfo, ImageSizeAgreesWithOpjDumpOverTheCorpus) {
    BOXQUILL_NEEDS_SHELL();
    const std::filesystem::path corpus = corpusDir();
    if (corpus.empty() || !haveTool("opj_dump")) {
        GTEST_SKIP() << "the corpus folder or opj_dump is absent";
    }
    TempFolder folder;
    for (const auto& entry : std::filesystem::directory_iterator(corpus / "generated")) {
        const std::string path = entry.path().string();
        if (entry.path().extension() != ".jp2" || path.find("derived-") != std::string::npos) {
            continue;
        }
        const auto json = nlohmann::json::parse(runCli(folder, {"info", path, "--json"}).out);
        const std::string dump = runShell(folder, "opj_dump -i " + shellQuote(path)).out;
        const auto& cs = json["codestream"];
        const std::string expected =
            "x1=" + std::to_string(cs["width"].get<int>() + cs["imageOffset"]["x"].get<int>()) +
            ", y1=" + std::to_string(cs["height"].get<int>() + cs["imageOffset"]["y"].get<int>()) +
            "\n\t numcomps=" + std::to_string(cs["components"].size());
        EXPECT_NE(dump.find(expected), std::string::npos) << path << ": " << expected;
    }
}

}  // namespace
}  // namespace bq::test
