// boxquill-cli's editing commands over real files, checked by independent readers: GDAL
// reads the GML and GeoTIFF boxes written, the codec decodes the image that remains. Each
// test skips, saying why, when the corpus or a tool is absent.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"
#include "tests/ui/test_files.h"

namespace bq::test {
namespace {

namespace fs = std::filesystem;

// A GMLJP2 root instance: a feature collection holding one rectified grid coverage, 20 m
// pixels in UTM zone 32N whose top-left corner is at (600000, 5000000).
constexpr const char* kRootInstance = R"(<gml:FeatureCollection
   xmlns:gml="http://www.opengis.net/gml"
   xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
  <gml:featureMember>
    <gml:FeatureCollection>
      <gml:featureMember>
        <gml:RectifiedGridCoverage dimension="2" gml:id="RGC0001">
          <gml:rectifiedGridDomain>
            <gml:RectifiedGrid dimension="2">
              <gml:limits>
                <gml:GridEnvelope>
                  <gml:low>0 0</gml:low>
                  <gml:high>%W% %H%</gml:high>
                </gml:GridEnvelope>
              </gml:limits>
              <gml:axisName>x</gml:axisName>
              <gml:axisName>y</gml:axisName>
              <gml:origin>
                <gml:Point gml:id="P0001" srsName="urn:ogc:def:crs:EPSG::32632">
                  <gml:pos>600010 4999990</gml:pos>
                </gml:Point>
              </gml:origin>
              <gml:offsetVector srsName="urn:ogc:def:crs:EPSG::32632">20 0</gml:offsetVector>
              <gml:offsetVector srsName="urn:ogc:def:crs:EPSG::32632">0 -20</gml:offsetVector>
            </gml:RectifiedGrid>
          </gml:rectifiedGridDomain>
          <gml:rangeSet>
            <gml:File>
              <gml:rangeParameters/>
              <gml:fileName>gmljp2://codestream/0</gml:fileName>
              <gml:fileStructure>Record Interleaved</gml:fileStructure>
            </gml:File>
          </gml:rangeSet>
        </gml:RectifiedGridCoverage>
      </gml:featureMember>
    </gml:FeatureCollection>
  </gml:featureMember>
</gml:FeatureCollection>
)";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

class CliEditCorpus : public testing::Test {
  protected:
    void SetUp() override {
        BOXQUILL_NEEDS_SHELL();
        corpus = corpusDir();
        if (corpus.empty()) {
            GTEST_SKIP() << "the corpus folder is absent (BOXQUILL_CORPUS_DIR)";
        }
    }
    void needTool(const char* name) {
        if (!haveTool(name)) {
            GTEST_SKIP() << name << " is not installed";
        }
    }
    std::string generated(const char* name) const { return (corpus / "generated" / name).string(); }

    CliResult cli(const std::vector<std::string>& args) { return runCli(folder, args); }
    void cliOk(const std::vector<std::string>& args) {
        const CliResult result = cli(args);
        ASSERT_EQ(result.exitCode, 0) << args[0] << ": " << result.err;
    }
    nlohmann::json rows(const std::string& file) {
        const CliResult listed = cli({"list", "--json", file});
        EXPECT_EQ(listed.exitCode, 0) << listed.err;
        return listed.exitCode == 0 ? nlohmann::json::parse(listed.out) : nlohmann::json::array();
    }
    // Runs a shell command line; its standard output, or none when it failed.
    std::optional<std::string> tool(const std::string& command) {
        const std::string outPath = folder.file("tool.stdout");
        const int status =
            std::system((command + " >" + shellQuote(outPath) + " 2>/dev/null").c_str());
        std::string out = asText(readFile(outPath));
        fs::remove(outPath);
        if (status != 0) {
            return std::nullopt;
        }
        return out;
    }
    // The decoded image as the codec writes it, for comparing two files' pixels.
    Bytes decoded(const std::string& file, const std::string& name) {
        const std::string image = folder.file(name);
        EXPECT_TRUE(tool("opj_decompress -i " + shellQuote(file) + " -o " + shellQuote(image)))
            << file;
        return readFile(image);
    }

    fs::path corpus;
    TempFolder folder;
};

int firstRowOfType(const nlohmann::json& rows, const std::string& type, int depth = 0) {
    for (const auto& row : rows) {
        if (row["type"] == type && row["depth"] == depth) {
            return row["index"];
        }
    }
    return -1;
}

// What gdalinfo says of a file georeferenced as the test files are: 20 m pixels in UTM 32N,
// the top-left corner at (600000, 5000000).
void expectTheGrid(const std::optional<std::string>& info) {
    ASSERT_TRUE(info);
    EXPECT_NE(info->find("UTM zone 32N"), std::string::npos) << *info;
    EXPECT_NE(info->find("Origin = (600000.000000000000000,5000000.000000000000000)"),
              std::string::npos)
        << *info;
    EXPECT_NE(info->find("Pixel Size = (20.000000000000000,-20.000000000000000)"),
              std::string::npos);
}

TEST_F(CliEditCorpus, GmlSetTypedBeforeTheCodestreamIsReadBackByGdal) {
    needTool("gdalinfo");
    const std::string source = generated("gdal_rgb_geojp2_only.jp2");
    const std::string out = folder.file("gml.jp2");
    const std::string xml = folder.file("root.xml");
    // The grid covers the image: 512 x 384 pixels.
    writeFile(xml, textBytes(replaceAll(replaceAll(kRootInstance, "%W%", "511"), "%H%", "383")));

    cliOk({"add", source, "gml", "--text-file", xml, "-o", out});
    const auto listed = rows(out);
    const int codestream = firstRowOfType(listed, "jp2c");
    ASSERT_GE(codestream, 5);
    const char* setTypes[] = {"asoc", "lbl ", "asoc", "lbl ", "xml "};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(listed[codestream - 5 + i]["type"], setTypes[i]);
    }

    // A box added after it with no --at joins the set, as in the editor: said, since it can
    // hide the set from GMLJP2 readers.
    const CliResult after = cli({"add", out, "label", "--text", "x", "-o", folder.file("l.jp2")});
    EXPECT_NE(after.err.find("give --at INDEX to put it elsewhere"), std::string::npos);

    // GeoJP2 would answer first; ask GDAL for the GML alone.
    const auto info = tool("gdalinfo --config GDAL_GEOREF_SOURCES GMLJP2 " + shellQuote(out));
    expectTheGrid(info);

    if (haveTool("opj_decompress")) {
        EXPECT_EQ(decoded(out, "a.ppm"), decoded(source, "b.ppm"));
    }
}

// The top-level boxes of a JP2 file as (offset, length), read straight from its bytes.
std::vector<std::pair<std::size_t, std::size_t>> topLevelBoxes(const Bytes& file) {
    std::vector<std::pair<std::size_t, std::size_t>> boxes;
    for (std::size_t at = 0; file.size() - at >= 8;) {
        const std::size_t length = (std::size_t{file[at]} << 24) |
                                   (std::size_t{file[at + 1]} << 16) |
                                   (std::size_t{file[at + 2]} << 8) | std::size_t{file[at + 3]};
        if (length < 8 || length > file.size() - at) {
            break;
        }
        boxes.emplace_back(at, length);
        at += length;
    }
    return boxes;
}

TEST_F(CliEditCorpus, DeletingTheGmlAssociationRemovesExactlyItsBytes) {
    const std::string source = generated("gdal_rgb_gmljp2_geojp2.jp2");
    const std::string out = folder.file("deleted.jp2");
    const Bytes original = readFile(source);
    const int row = firstRowOfType(rows(source), "asoc");
    ASSERT_GE(row, 0);

    cliOk({"delete", source, std::to_string(row), "--yes", "-o", out});
    // The association's bytes, its children included, are gone; every other byte stays.
    Bytes expected;
    for (const auto& [offset, length] : topLevelBoxes(original)) {
        if (std::string(original.begin() + static_cast<std::ptrdiff_t>(offset) + 4,
                        original.begin() + static_cast<std::ptrdiff_t>(offset) + 8) != "asoc") {
            expected.insert(expected.end(), original.begin() + static_cast<std::ptrdiff_t>(offset),
                            original.begin() + static_cast<std::ptrdiff_t>(offset + length));
        }
    }
    ASSERT_LT(expected.size(), original.size());
    EXPECT_EQ(readFile(out), expected);
    EXPECT_EQ(firstRowOfType(rows(out), "asoc"), -1);

    if (haveTool("opj_decompress")) {
        EXPECT_EQ(decoded(out, "a.ppm"), decoded(source, "b.ppm"));
    }
}

TEST_F(CliEditCorpus, ExportThenImportOfEveryPayloadGivesTheSameFile) {
    for (const char* name : {"gdal_rgb_gmljp2_geojp2.jp2", "glymur_xmp_uuid_xml_asoc.jp2",
                             "gdal_gray_metadata_xmp.jp2", "glymur_asoc_gml_style.jp2"}) {
        SCOPED_TRACE(name);
        const std::string source = generated(name);
        const std::string plain = folder.file("plain.jp2");
        cliOk({"save", source, "-o", plain});
        int checked = 0;
        for (const auto& row : rows(source)) {
            if (row["locked"] == true || row["type"] == "asoc") {
                continue;
            }
            const std::string index = std::to_string(row["index"].get<int>());
            SCOPED_TRACE(index);
            const std::string payload = folder.file("payload.bin");
            const std::string out = folder.file("out.jp2");
            cliOk({"export", source, index, payload});
            cliOk({"import", source, index, payload, "-o", out});
            EXPECT_EQ(readFile(out), readFile(plain));
            ++checked;
        }
        EXPECT_GT(checked, 0);
    }
}

TEST_F(CliEditCorpus, ExportedCodestreamDecodesAsTheImage) {
    needTool("opj_decompress");
    const std::string source = generated("gdal_rgb_gmljp2_geojp2.jp2");
    const int row = firstRowOfType(rows(source), "jp2c");
    ASSERT_GE(row, 0);
    const std::string j2k = folder.file("image.j2k");
    cliOk({"export", source, std::to_string(row), j2k});
    const Bytes head = readFile(j2k);
    ASSERT_GE(head.size(), 2u);
    EXPECT_EQ(head[0], 0xFF);
    EXPECT_EQ(head[1], 0x4F);  // the codestream itself, no box header
    EXPECT_EQ(decoded(j2k, "a.ppm"), decoded(source, "b.ppm"));
}

TEST_F(CliEditCorpus, GeoTiffImportedFromATiffIsReadAsGeoreferencing) {
    needTool("gdalinfo");
    needTool("gdal_translate");
    const std::string geoSource = generated("gdal_rgb_geojp2_only.jp2");
    const int row = firstRowOfType(rows(geoSource), "uuid");
    ASSERT_GE(row, 0);
    // GeoJP2 carries a one-pixel GeoTIFF whose pixel is the image's: 20 m in UTM 32N.
    const std::string tiff = folder.file("geo.tif");
    ASSERT_TRUE(
        tool("gdal_translate -q -of GTiff -outsize 1 1 -a_srs EPSG:32632 -a_ullr 600000 "
             "5000000 600020 4999980 " +
             shellQuote(geoSource) + " " + shellQuote(tiff)));
    const std::string out = folder.file("geotiff.jp2");
    // Into the GeoTIFF box a file has, and into one added to a file without any.
    const std::vector<std::string> commands[] = {
        {"import", geoSource, std::to_string(row), tiff, "-o", out},
        {"add", generated("opj_rgb_plain.jp2"), "geotiff", "--import", tiff, "-o", out},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        cliOk(command);
        const auto info = tool("gdalinfo " + shellQuote(out));
        expectTheGrid(info);
    }
}

}  // namespace
}  // namespace bq::test
