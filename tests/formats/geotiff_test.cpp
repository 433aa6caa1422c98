#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/geotiff.h"
#include "tests/formats/tiff_bytes.h"

namespace bq {
namespace {

Tiff utm(bool little) {
    Tiff t{little, {}, {}};
    t.shorts(256, {20}).longs(257, 10);
    t.doubles(33550, {30, 30, 0}).doubles(33922, {0, 0, 0, 500000, 4600000, 0});
    t.shorts(34735,
             {1, 1, 0, 4, 1024, 0, 1, 1, 1025, 0, 1, 1, 1026, 34737, 8, 0, 3072, 0, 1, 32633});
    t.ascii(34737, "UTM 33N|");
    return t;
}

TEST(GeoTiff, BothByteOrdersDecodeTheSameTagsAndKeys) {
    for (bool little : {true, false}) {
        const GeoTiffResult r = decodeGeoTiff(utm(little).build());
        ASSERT_TRUE(r.geoTiff) << r.fault.value_or("");
        const GeoTiff& g = *r.geoTiff;
        EXPECT_EQ(g.littleEndian, little);
        EXPECT_EQ(g.width, 20u);
        EXPECT_EQ(g.height, 10u);
        EXPECT_EQ(g.pixelScale, (std::vector<double>{30, 30, 0}));
        EXPECT_EQ(g.tiepoints[4], 4600000);
        EXPECT_EQ(g.shortKey(kGeoKeyProjectedType), 32633);
        EXPECT_EQ(g.shortKey(kGeoKeyRasterType), 1);
        ASSERT_NE(g.key(kGeoKeyCitation), nullptr);
        EXPECT_EQ(g.key(kGeoKeyCitation)->text, "UTM 33N");
        EXPECT_TRUE(g.warnings.empty());
    }
}

TEST(GeoTiff, DoubleParamsAndDirectoryShortsResolve) {
    Tiff t{true, {}, {}};
    t.shorts(34735, {1, 1, 0, 2, 2048, 34735, 1, 12, 2057, 34736, 1, 1, 4326});
    t.doubles(34736, {0, 6378137.0});
    const GeoTiffResult r = decodeGeoTiff(t.build());
    ASSERT_TRUE(r.geoTiff);
    EXPECT_EQ(r.geoTiff->shortKey(kGeoKeyGeographicType), 4326);
    EXPECT_EQ(r.geoTiff->key(2057)->doubles, std::vector<double>{6378137.0});
}

struct BadRow {
    const char* name;
    Bytes bytes;
    bool decodes;  // a geoTiff with warnings rather than a fault
};

TEST(GeoTiff, UntrustedCountsAndOffsetsAreRefusedOrBounded) {
    Tiff huge{true, {}, {}};
    huge.tags.push_back({33550, 12, 0xFFFFFFFF, Bytes(8, 0)});
    Tiff keys{false, {}, {}};
    keys.shorts(34735, {1, 1, 0, 500, 1024, 0, 1, 1, 1026, 34737, 60000, 5});
    Bytes pastIfd = utm(true).build();
    pastIfd[4] = 0xF0;
    Bytes manyEntries = utm(false).build();
    manyEntries[8] = 0xFF;
    const BadRow rows[] = {
        {"bigtiff", utm(true).build(43), false},
        {"not tiff", Bytes{'X', 'X', 0, 42, 0, 0, 0, 8}, false},
        {"short", Bytes{'I', 'I', 42, 0}, false},
        {"ifd past end", pastIfd, false},
        {"entries past end", manyEntries, false},
        {"count past end", huge.build(), false},
        {"keys past directory and ascii", keys.build(), true},
        {"tag twice", utm(true).doubles(33550, {1, 1, 0}).build(), false},
        {"width of type DOUBLE", Tiff{false, {}, {}}.doubles(256, {20}).build(), false},
    };
    for (const BadRow& row : rows) {
        const GeoTiffResult r = decodeGeoTiff(row.bytes);
        EXPECT_EQ(r.geoTiff.has_value(), row.decodes) << row.name;
        EXPECT_EQ(r.fault.has_value(), !row.decodes) << row.name;
        if (r.geoTiff) {
            EXPECT_FALSE(r.geoTiff->warnings.empty()) << row.name;
            EXPECT_TRUE(r.geoTiff->pixelScale.empty()) << row.name;
            EXPECT_LE(r.geoTiff->keys.size(), 2u) << row.name;
        }
    }
}

}  // namespace
}  // namespace bq
