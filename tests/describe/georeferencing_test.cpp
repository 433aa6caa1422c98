#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "box/association_box.h"
#include "box/text_box.h"
#include "box/uuid_box.h"
#include "describe/georeferencing.h"
#include "formats/geotiff_tags.h"
#include "formats/gml_root_instance.h"
#include "tests/formats/tiff_bytes.h"

namespace bq {
namespace {

using Transform = std::array<double, 6>;

struct TiffRow {
    const char* name;
    std::vector<double> scale, tiepoints, matrix;
    std::vector<std::uint16_t> keys;  // the GeoKey directory
    std::optional<int> epsg;
    std::optional<Transform> expected;
};

TEST(Georeferencing, GeoTiffTransformAsGdalReadsIt) {
    const std::vector<std::uint16_t> projectedArea = {1, 1, 0, 2, 1024, 0, 1, 1, 3072, 0, 1, 32633};
    const std::vector<std::uint16_t> geographicPoint = {1,    1, 0, 3, 1024, 0, 1, 2,
                                                        1025, 0, 1, 2, 2048, 0, 1, 4326};
    const std::vector<std::uint16_t> userDefined = {1, 1, 0, 1, 3072, 0, 1, 32767};
    const TiffRow rows[] = {
        {"area, tiepoint at 2,3",
         {30, 20, 0},
         {2, 3, 0, 500060, 4600000, 0},
         {},
         projectedArea,
         32633,
         Transform{500000, 30, 0, 4600060, 0, -20}},
        {"negative Y scale read as positive",
         {30, -20, 0},
         {2, 3, 0, 500060, 4600000, 0},
         {},
         projectedArea,
         32633,
         Transform{500000, 30, 0, 4600060, 0, -20}},
        {"point: half a pixel back",
         {0.5, 0.25, 0},
         {0, 0, 0, 12.25, 45.125, 0},
         {},
         geographicPoint,
         4326,
         Transform{12, 0.5, 0, 45.25, 0, -0.25}},
        {"transformation",
         {},
         {},
         {2, 0.5, 0, 100, 0.25, -3, 0, 200, 0, 0, 0, 0, 0, 0, 0, 1},
         userDefined,
         std::nullopt,
         Transform{100, 2, 0.5, 200, 0.25, -3}},
        {"tiepoints alone",
         {},
         {0, 0, 0, 1, 2, 0, 5, 5, 0, 3, 4, 0},
         {},
         projectedArea,
         32633,
         std::nullopt},
    };
    for (const TiffRow& row : rows) {
        Tiff t{row.name[0] == 'p', {}, {}};
        if (!row.scale.empty())
            t.doubles(33550, row.scale);
        if (!row.tiepoints.empty())
            t.doubles(33922, row.tiepoints);
        if (!row.matrix.empty())
            t.doubles(34264, row.matrix);
        t.shorts(34735, row.keys);
        const GeoTiffResult decoded = decodeGeoTiff(t.build());
        ASSERT_TRUE(decoded.geoTiff) << row.name;
        const Georeferencing g = georeferencingOf(*decoded.geoTiff);
        EXPECT_EQ(g.epsg, row.epsg) << row.name;
        EXPECT_EQ(g.geoTransform, row.expected) << row.name;
    }
}

TEST(Georeferencing, GmlOriginIsThePixelCentre) {
    GmlGrid grid;
    grid.origin = {500015, 4599985};
    grid.offset1 = {30, 2};
    grid.offset2 = {4, -30};
    EXPECT_EQ(georeferencingOf(grid).geoTransform,
              (Transform{500015 - 17, 30, 4, 4599985 + 14, 2, -30}));
}

// The boxes of a file: a GeoJP2 box and a GML set, with parents linked as a read links them.
struct File {
    std::vector<std::unique_ptr<Box>> owned;
    std::vector<const Box*> rows;

    template <class T>
    T& add(std::unique_ptr<T> box, Box* parent, const Bytes& payload) {
        box->parent = parent;
        box->payloadSize = payload.size();
        box->data = payload;
        box->data.push_back(0);
        T& ref = *box;
        rows.push_back(box.get());
        owned.push_back(std::move(box));
        return ref;
    }
    Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

    File(const Bytes& tiff, const std::string& gml) {
        Bytes uuid(kGeoTiffUuid.begin(), kGeoTiffUuid.end());
        uuid.insert(uuid.end(), tiff.begin(), tiff.end());
        add(std::make_unique<UuidBox>(0, true), nullptr, uuid);
        auto& data = add(std::make_unique<AssociationBox>(), nullptr, {});
        add(std::make_unique<LabelBox>(), &data, text("gml.data"));
        auto& root = add(std::make_unique<AssociationBox>(), &data, {});
        add(std::make_unique<LabelBox>(), &root, text("gml.root-instance"));
        add(std::make_unique<XmlBox>(), &root, text(gml));
    }
};

std::string gml(const char* srs, const char* origin, int high) {
    return std::string("<FeatureCollection><RectifiedGrid srsName=\"") + srs +
           "\"><limits><GridEnvelope><low>0 0</low><high>" + std::to_string(high) +
           " 9</high></GridEnvelope></limits><origin><Point><pos>" + origin +
           "</pos></Point></origin><offsetVector>30 0</offsetVector><offsetVector>0 "
           "-30</offsetVector></RectifiedGrid></FeatureCollection>";
}

TEST(Georeferencing, FileWarnsWhenGmlAndGeoJp2Disagree) {
    Tiff t{true, {}, {}};
    t.doubles(33550, {30, 30, 0}).doubles(33922, {0, 0, 0, 500000, 4600000, 0});
    t.shorts(34735, {1, 1, 0, 1, 3072, 0, 1, 32633});
    const Bytes tiff = t.build();
    const struct {
        std::string xml;
        std::size_t warnings;
    } rows[] = {
        {gml("EPSG:32633", "500015 4599985", 19), 0},
        {gml("EPSG:32634", "500015 4599985", 19), 1},
        {gml("EPSG:32633", "500015.001 4599985", 19), 1},
        {gml("EPSG:32633", "500015 4599985", 20), 1},
    };
    for (const auto& row : rows) {
        const File file(tiff, row.xml);
        Description d;
        describeGeoreferencing(file.rows, RasterSize{20, 10}, d);
        EXPECT_EQ(d.warnings.size(), row.warnings) << row.xml;
        EXPECT_EQ(d.fields["georeferencing"]["source"], "GeoJP2");
        EXPECT_EQ(d.fields["georeferencing"]["corners"]["lowerRight"],
                  nlohmann::ordered_json::array({500600.0, 4599700.0}));
        EXPECT_TRUE(d.fields["georeferencing"].contains("gml")) << row.xml;
    }
}

// What each writer makes reads back as the georeferencing it was given.
TEST(Georeferencing, WritersRoundTrip) {
    struct Row {
        const char* name;
        Transform gt;
        int epsg;
    };
    const Row rows[] = {
        {"projected, north up", {500000, 30, 0, 4600060, 0, -20}, 32633},
        {"geographic, north up", {12, 0.5, 0, 45.25, 0, -0.25}, 4326},
        {"rotated", {100, 2, 0.5, 200, 0.25, -3}, 3857},
        {"south up", {100, 2, 0, 200, 0, 3}, 3857},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool geographic = isGeographicEpsg(row.epsg);
        const auto payload = geoJp2Payload(geoTiffTagsFor(row.gt, row.epsg, geographic));
        ASSERT_TRUE(isGeoTiffPayload(payload));
        const GeoTiffResult tiff = decodeGeoTiff(std::span(payload).subspan(16));
        ASSERT_TRUE(tiff.geoTiff);
        EXPECT_TRUE(tiff.geoTiff->warnings.empty());
        EXPECT_EQ(tiff.geoTiff->width, 1u);
        const Georeferencing fromTiff = georeferencingOf(*tiff.geoTiff);
        EXPECT_EQ(fromTiff.epsg, row.epsg);
        EXPECT_EQ(fromTiff.geoTransform, row.gt);
        EXPECT_EQ(fromTiff.rasterType, "PixelIsArea");

        const GmlGridResult gml = decodeGmlGrid(gmlRootInstance(row.gt, row.epsg, 640, 480));
        ASSERT_TRUE(gml.grid) << gml.fault.value_or("");
        EXPECT_EQ(gml.grid->axesSwapped, geographic);
        EXPECT_EQ(gml.grid->high, (std::array<std::int64_t, 2>{639, 479}));
        const Georeferencing fromGml = georeferencingOf(*gml.grid);
        EXPECT_EQ(fromGml.epsg, row.epsg);
        ASSERT_TRUE(fromGml.geoTransform);
        for (std::size_t i = 0; i < 6; ++i) {
            EXPECT_NEAR((*fromGml.geoTransform)[i], row.gt[i], 1e-9 * std::fabs(row.gt[i]));
        }
    }
}

}  // namespace
}  // namespace bq
