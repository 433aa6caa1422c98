#include <gtest/gtest.h>

#include <string>

#include "formats/gml_grid.h"

namespace bq {
namespace {

const char* kVersion1 = R"(<?xml version="1.0"?>
<gml:FeatureCollection xmlns:gml="http://www.opengis.net/gml"><gml:featureMember>
<gml:FeatureCollection><gml:featureMember><gml:RectifiedGridCoverage dimension="2">
<gml:rectifiedGridDomain><gml:RectifiedGrid dimension="2"><gml:limits><gml:GridEnvelope>
<gml:low>0 0</gml:low><gml:high>29 14</gml:high></gml:GridEnvelope></gml:limits>
<gml:origin><gml:Point gml:id="P1" srsName="urn:ogc:def:crs:EPSG::4326">
<gml:coordinates>45.2375,12.5125</gml:coordinates></gml:Point></gml:origin>
<gml:offsetVector>0 0.025</gml:offsetVector><gml:offsetVector>-0.025 0</gml:offsetVector>
</gml:RectifiedGrid></gml:rectifiedGridDomain></gml:RectifiedGridCoverage></gml:featureMember>
</gml:FeatureCollection></gml:featureMember></gml:FeatureCollection>)";

const char* kVersion2 = R"(<gmljp2:GMLJP2CoverageCollection xmlns:gml="g" xmlns:gmljp2="j">
<gmljp2:featureMember><gmljp2:GMLJP2RectifiedGridCoverage><gml:domainSet>
<gml:RectifiedGrid srsName="http://www.opengis.net/def/crs/EPSG/0/32633"><gml:limits>
<gml:GridEnvelope><gml:low>0 0</gml:low><gml:high>19 9</gml:high></gml:GridEnvelope>
</gml:limits><gml:origin><gml:Point><gml:pos>500015 4599985</gml:pos></gml:Point></gml:origin>
<gml:offsetVector>30 0</gml:offsetVector><gml:offsetVector>0 -30</gml:offsetVector>
</gml:RectifiedGrid></gml:domainSet></gmljp2:GMLJP2RectifiedGridCoverage></gmljp2:featureMember>
</gmljp2:GMLJP2CoverageCollection>)";

TEST(GmlGrid, BothVersionsDecodeGeographicAxesSwapped) {
    const GmlGridResult v1 = decodeGmlGrid(kVersion1);
    ASSERT_TRUE(v1.grid) << v1.fault.value_or("");
    EXPECT_EQ(v1.grid->version, 1);
    EXPECT_EQ(v1.grid->epsg, 4326);
    EXPECT_TRUE(v1.grid->axesSwapped);
    EXPECT_EQ(v1.grid->origin, (std::array<double, 2>{12.5125, 45.2375}));
    EXPECT_EQ(v1.grid->offset1, (std::array<double, 2>{0.025, 0}));
    EXPECT_EQ(v1.grid->offset2, (std::array<double, 2>{0, -0.025}));
    EXPECT_EQ(v1.grid->high, (std::array<std::int64_t, 2>{29, 14}));

    const GmlGridResult v2 = decodeGmlGrid(kVersion2);
    ASSERT_TRUE(v2.grid) << v2.fault.value_or("");
    EXPECT_EQ(v2.grid->version, 2);
    EXPECT_EQ(v2.grid->epsg, 32633);
    EXPECT_FALSE(v2.grid->axesSwapped);
    EXPECT_EQ(v2.grid->origin, (std::array<double, 2>{500015, 4599985}));
    EXPECT_EQ(v2.grid->offset2, (std::array<double, 2>{0, -30}));

    // "EPSG:N" names no axis order: GDAL reads it longitude first.
    std::string shortName = kVersion1;
    shortName.replace(shortName.find("urn:ogc:def:crs:EPSG::"), 22, "EPSG:");
    const GmlGridResult plain = decodeGmlGrid(shortName);
    ASSERT_TRUE(plain.grid);
    EXPECT_FALSE(plain.grid->axesSwapped);
    EXPECT_EQ(plain.grid->origin, (std::array<double, 2>{45.2375, 12.5125}));
}

TEST(GmlGrid, BrokenOrIncompleteXmlGivesAFaultNotAThrow) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    std::string noVector = kVersion2;
    noVector.erase(noVector.find("<gml:offsetVector>30 0</gml:offsetVector>"), 41);
    for (const std::string& xml :
         {std::string("<a><b></a>"), std::string("<a/>"), deep, noVector, std::string("")}) {
        const GmlGridResult r = decodeGmlGrid(xml);
        EXPECT_FALSE(r.grid) << xml.substr(0, 40);
        EXPECT_TRUE(r.fault) << xml.substr(0, 40);
    }
}

// Only the URN and the /def/crs/ URL put latitude first; an envelope past what a whole number
// holds is left out, and said.
TEST(GmlGrid, AxisOrderBySrsFormAndEnvelopeBeyondRange) {
    struct Row {
        const char* srs;
        const char* high;
        bool swapped;
        bool envelope;
    };
    const Row rows[] = {
        {"urn:ogc:def:crs:EPSG::4326", "29 14", true, true},
        {"http://www.opengis.net/def/crs/EPSG/0/4326", "29 14", true, true},
        {"http://www.opengis.net/gml/srs/epsg.xml#4326", "29 14", false, true},
        {"EPSG:4326", "29 14", false, true},
        {"EPSG:4326", "99999999999999999999 14", false, false},
        {"EPSG:4326", "29 x", false, false},
    };
    for (const Row& row : rows) {
        std::string xml = kVersion1;
        xml.replace(xml.find("urn:ogc:def:crs:EPSG::4326"), 26, row.srs);
        xml.replace(xml.find("29 14"), 5, row.high);
        const GmlGridResult r = decodeGmlGrid(xml);
        ASSERT_TRUE(r.grid) << r.fault.value_or("");
        EXPECT_EQ(r.grid->epsg, 4326) << row.srs;
        EXPECT_EQ(r.grid->axesSwapped, row.swapped) << row.srs;
        EXPECT_EQ(r.grid->high.has_value(), row.envelope) << row.high;
        EXPECT_EQ(r.grid->warnings.size(), row.envelope ? 0u : 1u) << row.high;
    }
}

TEST(GmlGrid, SrsNameForms) {
    const std::pair<const char*, std::optional<int>> rows[] = {
        {"urn:ogc:def:crs:EPSG::4326", 4326},
        {"urn:ogc:def:crs:EPSG:6.6:32633", 32633},
        {"http://www.opengis.net/def/crs/EPSG/0/32633", 32633},
        {"http://www.opengis.net/gml/srs/epsg.xml#4326", 4326},
        {"EPSG:4326", 4326},
        {"epsg:3857", 3857},
        {"urn:ogc:def:crs:OGC:1.3:CRS84", std::nullopt},
        {"EPSG:", std::nullopt},
        {"EPSG:12x", std::nullopt},
    };
    for (const auto& [name, code] : rows) {
        EXPECT_EQ(epsgFromSrsName(name), code) << name;
    }
}

}  // namespace
}  // namespace bq
