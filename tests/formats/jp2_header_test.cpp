#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/jp2_header.h"
#include "tests/ui/test_files.h"

namespace bq {
namespace {

using test::Bytes;

void put32(Bytes& b, std::uint32_t v) {
    const Bytes bytes = test::u32Bytes(v);
    b.insert(b.end(), bytes.begin(), bytes.end());
}
Bytes box(const char* type, const Bytes& payload) {
    return test::boxBytes(std::string_view(type, 4), payload);
}
Bytes cat(std::initializer_list<Bytes> parts) {
    return test::concat(parts);
}
// An ICC profile: the header, one 'desc' tag holding `tag`.
Bytes icc(std::uint32_t version, const char* cls, const Bytes& tag) {
    Bytes b(128, 0);
    b[8] = static_cast<std::uint8_t>(version >> 24);
    b[9] = static_cast<std::uint8_t>(version >> 16);
    std::copy(cls, cls + 4, b.begin() + 12);
    std::copy("RGB XYZ ", "RGB XYZ " + 8, b.begin() + 16);
    std::copy("acsp", "acsp" + 4, b.begin() + 36);
    put32(b, 1);
    put32(b, 0x64657363);
    put32(b, 144);
    put32(b, static_cast<std::uint32_t>(tag.size()));
    b.insert(b.end(), tag.begin(), tag.end());
    put32(b, 0);  // unused
    b[3] = static_cast<std::uint8_t>(b.size());
    return b;
}
const Bytes kDescV2 = {'d', 'e', 's', 'c', 0, 0, 0, 0, 0, 0, 0, 4, 'A', 'd', 'b', 0};
const Bytes kMlucV4 = {'m', 'l', 'u', 'c', 0, 0, 0, 0, 0, 0, 0,  1, 0,   0,    0,    12,   'e',
                       'n', 'U', 'S', 0,   0, 0, 6, 0, 0, 0, 28, 0, 'P', 0xD8, 0x3D, 0xDE, 0x00};
const Bytes kIhdr3x8 = box("ihdr", {0, 0, 0, 2, 0, 0, 0, 3, 0, 3, 7, 7, 0, 0});

struct ColourRow {
    Bytes payload;
    int method;                  // -1: refused
    std::string spaceOrVersion;  // the enumerated name, the ICC version or the UUID's first byte
    std::string description;
};

TEST(ColourBox, EachMethodDecodes) {
    const ColourRow rows[] = {
        {{1, 0, 0, 0, 0, 0, 16}, 1, "sRGB", ""},
        {{1, 0, 0, 0, 0, 0, 21}, 1, "ROMM-RGB", ""},
        {{1, 0, 0, 0, 0, 0, 2}, 1, "", ""},
        {{1, 0, 0, 0, 0}, -1, "", ""},
        {cat({{2, 0, 0}, icc(0x02100000, "mntr", kDescV2)}), 2, "2.1.0", "Adb"},
        {cat({{3, 1, 1}, icc(0x04300000, "scnr", kMlucV4)}), 3, "4.3.0", "P\xF0\x9F\x98\x80"},
        {{2, 0, 0, 1, 2, 3}, 2, "", ""},
        {cat({{4, 0, 0}, Bytes(16, 0xAB)}), 4, "171", ""},
        {{4, 0, 0, 1}, -1, "", ""},
    };
    for (const ColourRow& row : rows) {
        const auto colour = decodeColourBox(row.payload);
        ASSERT_EQ(colour.has_value(), row.method >= 0) << row.spaceOrVersion;
        if (!colour)
            continue;
        EXPECT_EQ(colour->method, row.method);
        std::string got;
        if (colour->enumerated)
            got = enumeratedSpaceName(*colour->enumerated);
        if (colour->profile)
            got = iccVersionText(*colour->profile);
        if (colour->vendor)
            got = std::to_string((*colour->vendor)[0]);
        EXPECT_EQ(got, row.spaceOrVersion);
        EXPECT_EQ(
            colour->profile && colour->profile->description ? *colour->profile->description : "",
            row.description);
    }
}

struct ResolutionRow {
    Bytes payload;
    double verticalPerMetre;  // 0: none
    double horizontalPerInch;
};

TEST(Resolution, ExponentsOfBothSignsAndZeroDenominators) {
    const ResolutionRow rows[] = {
        {{0x0B, 0xB8, 0, 1, 0x0B, 0xB8, 0, 1, 0, 0}, 3000, 76.2},
        {{0, 30, 0, 1, 0, 3, 0, 1, 2, 3}, 3000, 76.2},
        {{0x75, 0x30, 0, 1, 0x75, 0x30, 0, 1, 0xFF, 0xFF}, 3000, 76.2},
        {{0, 3, 0, 0, 0, 0, 0, 1, 0, 0}, 0, 0},
    };
    for (const ResolutionRow& row : rows) {
        const auto r = decodeResolution(row.payload);
        ASSERT_TRUE(r);
        EXPECT_NEAR(r->vertical.perMetre().value_or(0), row.verticalPerMetre, 1e-9);
        EXPECT_NEAR(r->horizontal.perInch().value_or(0), row.horizontalPerInch, 1e-9);
    }
    EXPECT_FALSE(decodeResolution(Bytes(9, 1)));
}

struct HeaderRow {
    const char* name;
    Bytes payload;
    std::size_t boxes;
    std::vector<std::string> warnings;  // a word each warning holds, in order
};

TEST(Jp2Header, WarningsOfWholeHeaders) {
    const Bytes srgb = box("colr", {1, 0, 0, 0, 0, 0, 16});
    const Bytes grey1 = box("ihdr", {0, 0, 0, 2, 0, 0, 0, 3, 0, 1, 0xFF, 7, 0, 0});
    const Bytes resc0 = box("res ", box("resc", {0, 3, 0, 0, 0, 0, 0, 1, 0, 0}));
    Bytes extended = {0, 0, 0, 1,  'c', 'o', 'l', 'r', 0, 0, 0, 0,
                      0, 0, 0, 23, 1,   0,   0,   0,   0, 0, 17};
    const HeaderRow rows[] = {
        {"sound", cat({kIhdr3x8, srgb}), 2, {}},
        {"extended length", cat({kIhdr3x8, extended}), 2, {}},
        {"cut box",
         cat({kIhdr3x8, Bytes(srgb.begin(), srgb.end() - 1)}),
         1,
         {"cut short", "no colour"}},
        {"order", cat({srgb, kIhdr3x8}), 2, {"not the first"}},
        {"bpcc missing, sRGB of one", cat({grey1, srgb}), 2, {"bpcc", "sRGB"}},
        {"bpcc extra", cat({kIhdr3x8, box("bpcc", {7, 7, 7}), srgb}), 3, {"bpcc"}},
        {"resolution zero",
         cat({kIhdr3x8, srgb, resc0}),
         3,
         {"vertical resolution has denominator 0", "horizontal resolution has numerator 0"}},
        {"two res boxes",
         cat({kIhdr3x8, srgb, box("res ", box("resc", {0, 3, 0, 1, 0, 3, 0, 1, 0, 0})), resc0}),
         4,
         {"more than one 'res '", "more than one 'resc'"}},
    };
    for (const HeaderRow& row : rows) {
        const Jp2Header header = decodeJp2Header(row.payload);
        EXPECT_EQ(header.order.size(), row.boxes) << row.name;
        ASSERT_EQ(header.warnings.size(), row.warnings.size()) << row.name;
        for (std::size_t i = 0; i < row.warnings.size(); ++i) {
            EXPECT_NE(header.warnings[i].find(row.warnings[i]), std::string::npos)
                << row.name << ": " << header.warnings[i];
        }
    }
}

}  // namespace
}  // namespace bq
