// boxquill-cli georef as a program: the old georeferencing goes, the new reads back through
// info, and the bytes around it stay as they were.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/cli/cli_run.h"
#include "tests/formats/tiff_bytes.h"
#include "tests/ui/test_files.h"

namespace bq::test {
namespace {

// 3 pixels wide, 2 high.
const Bytes kHeader =
    boxBytes("jp2h", boxBytes("ihdr", {0, 0, 0, 2, 0, 0, 0, 3, 0, 1, 7, 7, 0, 0}));
const Bytes kHead = concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload), kHeader});
const Bytes kTail =
    concat({boxBytes("xml ", textBytes("<keep/>")), boxBytes("jp2c", {0xFF, 0x4F})});

Bytes oldGeoreferencing() {
    const Bytes geoTiff = {0xB1, 0x4B, 0xF8, 0xBD, 0x08, 0x3D, 0x4B, 0x43, 0xA5,
                           0xAE, 0x8C, 0xD7, 0xD5, 0xA6, 0xCE, 0x03, 'I',  'I'};
    const Bytes gml = boxBytes(
        "asoc", concat({boxBytes("lbl ", textBytes("gml.data")),
                        boxBytes("asoc", concat({boxBytes("lbl ", textBytes("gml.root-instance")),
                                                 boxBytes("xml ", textBytes("<old/>"))}))}));
    return concat({boxBytes("uuid", geoTiff), gml});
}

struct Row {
    const char* name;
    std::vector<std::string> args;  // after FILE; "IN" is the source file, -o OUT added
    Bytes source;
    int exitCode;
    std::string georefSource = {};  // what info reads back
    std::vector<double> geoTransform = {};
    int epsg = 0;
    std::string refusal = {};  // in the message of a row that exits 1
};

TEST(CliGeoref, ReplacesTheGeoreferencingAndKeepsTheRest) {
    BOXQUILL_NEEDS_SHELL();
    const Bytes world = textBytes("30\n0\n0\n-20\n500015\n4600050\n");
    Tiff tiff{true, {}, {}};
    tiff.doubles(33550, {0.5, 0.25, 0})
        .doubles(33922, {0, 0, 0, 12, 45, 0})
        .shorts(34735, {1, 1, 0, 2, 1024, 0, 1, 2, 2048, 0, 1, 4326});
    Tiff userDefined{false, {}, {}};
    userDefined.doubles(33550, {1, 1, 0})
        .doubles(33922, {0, 0, 0, 0, 0, 0})
        .shorts(34735, {1, 1, 0, 1, 3072, 0, 1, 32767});
    const std::vector<double> utm = {500000, 30, 0, 4600060, 0, -20};
    const std::vector<std::uint16_t> wgs84 = {1, 1, 0, 2, 1024, 0, 1, 2, 2048, 0, 1, 4326};
    Tiff nanScale{true, {}, {}};
    nanScale.doubles(33550, {std::nan(""), 0.25, 0})
        .doubles(33922, {0, 0, 0, 12, 45, 0})
        .shorts(34735, wgs84);
    Tiff infiniteTiepoint{true, {}, {}};
    infiniteTiepoint.doubles(33550, {0.25, 0.25, 0})
        .doubles(33922, {0, 0, 0, HUGE_VAL, 45, 0})
        .shorts(34735, wgs84);
    Tiff zeroScale{true, {}, {}};
    zeroScale.doubles(33550, {0, 0, 0}).doubles(33922, {0, 0, 0, 12, 45, 0}).shorts(34735, wgs84);
    Tiff zeroMatrix{true, {}, {}};
    zeroMatrix.doubles(34264, std::vector<double>(16, 0.0)).shorts(34735, wgs84);
    const Row rows[] = {
        {"world file, both kinds",
         {"--world", "IN", "--epsg", "32633", "--gml", "--geojp2"},
         world,
         0,
         "GeoJP2",
         utm,
         32633},
        {"world file, GML alone",
         {"--world", "IN", "--epsg", "EPSG:32633", "--gml"},
         world,
         0,
         "GMLJP2",
         utm,
         32633},
        {"GeoTIFF, both kinds",
         {"--from", "IN", "--gml", "--geojp2"},
         tiff.build(),
         0,
         "GeoJP2",
         {12, 0.5, 0, 45, 0, -0.25},
         4326},
        {"GML for a coordinate system without a code",
         {"--from", "IN", "--gml"},
         userDefined.build(),
         1},
        {"world file of five numbers",
         {"--world", "IN", "--epsg", "32633"},
         textBytes("1\n0\n0\n-1\n0\n"),
         1},
        {"GeoTIFF of a NaN scale", {"--from", "IN"}, nanScale.build(), 1, {}, {}, 0, "finite"},
        {"GeoTIFF of an infinite tiepoint",
         {"--from", "IN"},
         infiniteTiepoint.build(),
         1,
         {},
         {},
         0,
         "finite"},
        {"GeoTIFF of a zero scale", {"--from", "IN"}, zeroScale.build(), 1, {}, {}, 0, "singular"},
        {"GeoTIFF of a zero matrix", {"--from", "IN"}, zeroMatrix.build(), 1, {}, {}, 0, "zero"},
        {"a TIFF without GeoKeys", {"--from", "IN"}, Tiff{true, {}, {}}.longs(256, 1).build(), 1},
        {"world file without a code", {"--world", "IN"}, world, 2},
        {"both sources", {"--world", "IN", "--from", "IN", "--epsg", "4326"}, world, 2},
        {"code out of range", {"--world", "IN", "--epsg", "40000"}, world, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const std::string in = folder.file("in.jp2");
        const std::string out = folder.file("out.jp2");
        writeFile(in, concat({kHead, kTail, oldGeoreferencing()}));
        writeFile(folder.file("source"), row.source);
        std::vector<std::string> args{"georef", in};
        for (const std::string& arg : row.args) {
            args.push_back(arg == "IN" ? folder.file("source") : arg);
        }
        args.insert(args.end(), {"-o", out});
        const CliResult result = runCli(folder, args);
        ASSERT_EQ(result.exitCode, row.exitCode) << result.err;
        if (row.exitCode != 0) {
            EXPECT_FALSE(std::filesystem::exists(out));
            EXPECT_NE(result.err, "");
            EXPECT_NE(result.err.find(row.refusal), std::string::npos) << result.err;
            continue;
        }
        // The new boxes sit between the header and the rest; the old ones are gone.
        const Bytes saved = readFile(out);
        ASSERT_GT(saved.size(), kHead.size() + kTail.size());
        EXPECT_TRUE(std::equal(kHead.begin(), kHead.end(), saved.begin()));
        EXPECT_TRUE(std::equal(kTail.rbegin(), kTail.rend(), saved.rbegin()));
        const CliResult info = runCli(folder, {"info", out, "--json"});
        ASSERT_EQ(info.exitCode, 0) << info.err;
        const auto json = nlohmann::json::parse(info.out);
        const auto& georef = json["georeferencing"];
        EXPECT_EQ(georef["source"], row.georefSource);
        EXPECT_EQ(georef["epsg"], row.epsg);
        EXPECT_EQ(georef["geoTransform"].get<std::vector<double>>(), row.geoTransform);
        for (const auto& warning : json.value("warnings", nlohmann::json::array())) {
            const std::string text = warning.get<std::string>();
            EXPECT_TRUE(text.find("GML") == std::string::npos &&
                        text.find("GeoJP2") == std::string::npos)
                << text;
        }
        EXPECT_EQ(asText(saved).find("<old/>"), std::string::npos);
    }
}

}  // namespace
}  // namespace bq::test
