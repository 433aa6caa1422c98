#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/geotiff.h"

namespace bq {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A TIFF file in either byte order, the IFD at 8 and out-of-line values behind it.
struct Tiff {
    bool little;
    Bytes bytes;
    struct Tag {
        std::uint16_t tag, type;
        std::uint32_t count;
        Bytes values;
    };
    std::vector<Tag> tags;

    void put(Bytes& b, std::uint64_t v, int n) const {
        for (int i = 0; i < n; ++i) {
            const int shift = little ? 8 * i : 8 * (n - 1 - i);
            b.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }
    Tiff& shorts(std::uint16_t tag, std::vector<std::uint16_t> v) {
        Bytes b;
        for (auto x : v)
            put(b, x, 2);
        tags.push_back({tag, 3, static_cast<std::uint32_t>(v.size()), b});
        return *this;
    }
    Tiff& longs(std::uint16_t tag, std::uint32_t v) {
        Bytes b;
        put(b, v, 4);
        tags.push_back({tag, 4, 1, b});
        return *this;
    }
    Tiff& doubles(std::uint16_t tag, std::vector<double> v) {
        Bytes b;
        for (double x : v)
            put(b, std::bit_cast<std::uint64_t>(x), 8);
        tags.push_back({tag, 12, static_cast<std::uint32_t>(v.size()), b});
        return *this;
    }
    Tiff& ascii(std::uint16_t tag, const std::string& s) {
        tags.push_back(
            {tag, 2, static_cast<std::uint32_t>(s.size() + 1), Bytes(s.begin(), s.end())});
        tags.back().values.push_back(0);
        return *this;
    }
    Bytes build(std::uint16_t version = 42) const {
        Bytes b = little ? Bytes{'I', 'I'} : Bytes{'M', 'M'};
        put(b, version, 2);
        put(b, 8, 4);
        put(b, tags.size(), 2);
        std::size_t data = 8 + 2 + tags.size() * 12 + 4;
        Bytes tail;
        for (const Tag& t : tags) {
            put(b, t.tag, 2);
            put(b, t.type, 2);
            put(b, t.count, 4);
            if (t.values.size() <= 4) {
                Bytes v = t.values;
                v.resize(4, 0);
                b.insert(b.end(), v.begin(), v.end());
            } else {
                put(b, data + tail.size(), 4);
                tail.insert(tail.end(), t.values.begin(), t.values.end());
            }
        }
        put(b, 0, 4);
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    }
};

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
        {"count past end", huge.build(), true},
        {"keys past directory and ascii", keys.build(), true},
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
