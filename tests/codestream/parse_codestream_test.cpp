#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "codestream/parse_codestream.h"
#include "tests/codestream/codestream_bytes.h"

namespace bq {
namespace {

using test::Bytes;
using test::Siz;

struct Walk {
    bool ok;
    MarkerParser parser;
    CodestreamInfo info;
};

Walk walk(const std::vector<std::uint8_t>& bytes) {
    Walk w{};
    w.ok =
        parseCodestream(w.parser, w.info, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return w;
}

// One tile, one tile-part, EOC: the smallest codestream the walk accepts.
Bytes minimal() {
    Bytes b;
    b.mainHeader().tilePart(0, 20).eoc();
    return b;
}

struct WalkCase {
    const char* name;
    std::function<void(Bytes&)> build;
    bool ok;
};

TEST(ParseCodestream, AcceptsOrRefusesMarkerSequences) {
    const Siz twoByTwo{.xtsiz = 512, .ytsiz = 512};
    const std::vector<WalkCase> cases = {
        {"the smallest codestream", [](Bytes& b) { b = minimal(); }, true},
        {"no bytes at all", [](Bytes&) {}, false},
        {"x30 to x3F before SOC, between SOC and SIZ and everywhere else",
         [](Bytes& b) {
             b.marker(0x30).soc().marker(0x3F).siz({}).marker(0x35).cod().qcd().marker(0x3A);
             b.tilePart(0, 20).marker(0x31).eoc();
         },
         true},
        {"SIZ first", [](Bytes& b) { b.siz({}).cod().qcd().tilePart(0, 20).eoc(); }, false},
        {"SOC not followed by SIZ", [](Bytes& b) { b.soc().cod().siz({}).qcd().eoc(); }, false},
        {"a second SOC", [](Bytes& b) { b.soc().soc(); }, false},
        {"marker code 0x00 first",
         [](Bytes& b) {
             b.raw({0xFF, 0x00}).soc();
         },
         false},
        {"marker code 0xFF first",
         [](Bytes& b) {
             b.raw({0xFF, 0xFF}).soc();
         },
         false},
        {"a marker outside the table",
         [](Bytes& b) { b.soc().siz({}).segment(0x50, 4).cod().qcd().tilePart(0, 20).eoc(); },
         false},
        {"a segment of length 3",
         [](Bytes& b) { b.soc().siz({}).segment(0x64, 3).cod().qcd().tilePart(0, 20).eoc(); },
         true},
        {"a segment of length 2",
         [](Bytes& b) { b.soc().siz({}).segment(0x64, 2).cod().qcd().tilePart(0, 20).eoc(); },
         false},
        {"markers recognised by their second byte alone",
         [](Bytes& b) {
             b.mainHeader().tilePart(0, 20).eoc();
             b.bytes[b.bytes.size() - 22] = 0x12;  // the SOT's 0xFF
         },
         true},
        {"EOC straight after the main header", [](Bytes& b) { b.mainHeader().eoc(); }, false},
        {"SOT without QCD", [](Bytes& b) { b.soc().siz({}).cod().tilePart(0, 20).eoc(); }, false},
        {"SOT without COD", [](Bytes& b) { b.soc().siz({}).qcd().tilePart(0, 20).eoc(); }, false},
        {"QCD before COD", [](Bytes& b) { b.soc().siz({}).qcd().cod().tilePart(0, 20).eoc(); },
         true},
        {"PLT in the main header",
         [](Bytes& b) { b.mainHeader().segment(0x58, 5).tilePart(0, 20).eoc(); }, false},
        {"PPT in the main header",
         [](Bytes& b) { b.mainHeader().segment(0x61, 5).tilePart(0, 20).eoc(); }, false},
        {"SOD in the main header",
         [](Bytes& b) { b.mainHeader().marker(0x93).tilePart(0, 20).eoc(); }, false},
        {"TLM, PLM, PPM, CRG, COC, QCC, RGN, POC and COM in the main header",
         [](Bytes& b) {
             b.mainHeader();
             for (int code : {0x55, 0x57, 0x60, 0x63, 0x53, 0x5D, 0x5E, 0x5F, 0x64}) {
                 b.segment(static_cast<std::uint8_t>(code), 6);
             }
             b.tilePart(0, 20).eoc();
         },
         true},
        {"Isot equal to the tile count",
         [&](Bytes& b) { b.mainHeader(twoByTwo).tilePart(4, 20).eoc(); }, false},
        {"Isot just below the tile count",
         [&](Bytes& b) { b.mainHeader(twoByTwo).tilePart(3, 20).eoc(); }, true},
        {"Psot 12: a tile-part that is only its SOT segment",
         [](Bytes& b) { b.mainHeader().sot(0, 12).eoc(); }, true},
        {"Psot 11", [](Bytes& b) { b.mainHeader().sot(0, 11).fill(10).eoc(); }, false},
        {"Psot 1", [](Bytes& b) { b.mainHeader().sot(0, 1).fill(10).eoc(); }, false},
        {"a tile-part running into the last byte",
         [](Bytes& b) { b.mainHeader().sot(0, 16).marker(0x93).eoc(); }, false},
        {"a tile-part running past the bytes",
         [](Bytes& b) { b.mainHeader().sot(0, 0xFFFFFFF0).marker(0x93).fill(8).eoc(); }, false},
        {"a segment skip that reaches the end of the bytes",
         [](Bytes& b) {
             b.mainHeader().marker(0x64).u16(6).raw({1, 2}).eoc();
         },
         false},
        {"SOT cut short", [](Bytes& b) { b.mainHeader().marker(0x90).u16(10).u16(0).u16(0); },
         false},
        {"Psot 0 without a closing pair",
         [](Bytes& b) { b.mainHeader().sot(0, 0).marker(0x93).fill(10).raw({0xFF}); }, false},
        {"an EOC pair inside the SOT fields does not close a Psot 0 tile-part",
         [](Bytes& b) { b.mainHeader().sot(0xFFD9, 0); }, false},
        {"a SIZ segment cut short", [](Bytes& b) { b.soc().marker(0x51).u16(41).u32(5).u16(1); },
         false},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b;
        c.build(b);
        EXPECT_EQ(walk(b.bytes).ok, c.ok);
    }
}

TEST(ParseCodestream, FillsTheImageAreaAndTheClippedTileGrid) {
    Bytes b;
    b.mainHeader(Siz{.xtsiz = 512, .ytsiz = 512}).tilePart(0, 20).eoc();
    const Walk w = walk(b.bytes);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.info.x1, 1000u);
    EXPECT_EQ(w.info.y1, 1000u);
    EXPECT_EQ(w.info.components, 3u);
    EXPECT_EQ(w.info.tilesAcross, 2);
    EXPECT_EQ(w.info.tilesDown, 2);
    EXPECT_EQ(w.info.tileCount, 4);
    const TileRecord last = w.info.tile(3);
    EXPECT_EQ(last.x0, 512u);
    EXPECT_EQ(last.y0, 512u);
    EXPECT_EQ(last.x1, 1000u);
    EXPECT_EQ(last.y1, 1000u);
    EXPECT_EQ(w.info.tile(1).x0, 512u);
    EXPECT_EQ(w.info.tile(1).y1, 512u);
}

struct GridCase {
    const char* name;
    Siz siz;
    bool ok;
    std::int32_t across;
    std::int32_t down;
    TileRecord first;  // x0, y0, x1, y1
    TileRecord last;
};

TEST(ParseCodestream, GridEdges) {
    const std::vector<GridCase> cases = {
        {"an image offset clips the first column",
         {.xsiz = 1000, .xosiz = 100, .xtsiz = 512},
         true,
         2,
         1,
         {100, 0, 512, 1000},
         {512, 0, 1000, 1000}},
        {"tiles wider than the image give one tile across",
         {.xsiz = 300, .ysiz = 200, .xtsiz = 4096, .ytsiz = 100},
         true,
         1,
         2,
         {0, 0, 300, 100},
         {0, 100, 300, 200}},
        {"tile offsets inside the image offset",
         {.xsiz = 300,
          .ysiz = 300,
          .xosiz = 50,
          .yosiz = 60,
          .xtsiz = 100,
          .ytsiz = 100,
          .xtosiz = 20,
          .ytosiz = 30},
         true,
         3,
         3,
         {50, 60, 120, 130},
         {220, 230, 300, 300}},
        {"tiles of 2^32 - 1 are one tile, not a negative count",
         {.xsiz = 1000, .ysiz = 1000, .xtsiz = 0xFFFFFFFF, .ytsiz = 0xFFFFFFFF},
         true,
         1,
         1,
         {0, 0, 1000, 1000},
         {0, 0, 1000, 1000}},
        {"tile ends beyond 2^32 are clipped, not wrapped",
         {.xsiz = 0xFFFFFFFF,
          .ysiz = 0xFFFFFFFF,
          .xosiz = 0xFFFFFF00,
          .yosiz = 0xFFFFFF00,
          .xtsiz = 0x80000000,
          .ytsiz = 0x80000000,
          .xtosiz = 0x7FFFFF80,
          .ytosiz = 0x7FFFFF80},
         true,
         2,
         2,
         {0xFFFFFF00, 0xFFFFFF00, 0xFFFFFF80, 0xFFFFFF80},
         {0xFFFFFF80, 0xFFFFFF80, 0xFFFFFFFF, 0xFFFFFFFF}},
        {"65535 tiles, the most a codestream can address",
         {.xsiz = 65535, .ysiz = 1, .xtsiz = 1, .ytsiz = 1},
         true,
         65535,
         1,
         {0, 0, 1, 1},
         {65534, 0, 65535, 1}},
        {"XTsiz 0", {.xtsiz = 0}, false, 0, 0, {}, {}},
        {"YTsiz 0", {.ytsiz = 0}, false, 0, 0, {}, {}},
        {"an empty image area", {.xsiz = 100, .xosiz = 100}, false, 0, 0, {}, {}},
        {"a tile grid starting past the image", {.xtosiz = 1000}, false, 0, 0, {}, {}},
        {"a first tile lying wholly before the image",
         {.xosiz = 600, .xtsiz = 512},
         false,
         0,
         0,
         {},
         {}},
        {"65536 tiles", {.xsiz = 65536, .ysiz = 1, .xtsiz = 1, .ytsiz = 1}, false, 0, 0, {}, {}},
        {"a grid whose tile count overflows 32 bits",
         {.xsiz = 0xFFFFFFFF, .ysiz = 0xFFFFFFFF, .xtsiz = 1, .ytsiz = 1},
         false,
         0,
         0,
         {},
         {}},
    };
    for (const GridCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b;
        b.mainHeader(c.siz).tilePart(0, 20).eoc();
        const Walk w = walk(b.bytes);
        ASSERT_EQ(w.ok, c.ok);
        if (!c.ok) {
            EXPECT_FALSE(w.info.hasGrid());
            continue;
        }
        EXPECT_EQ(w.info.tilesAcross, c.across);
        EXPECT_EQ(w.info.tilesDown, c.down);
        ASSERT_EQ(w.info.tileCount, c.across * c.down);
        const auto lastIndex = static_cast<std::uint32_t>(w.info.tileCount - 1);
        for (const auto& [tile, expected] :
             {std::pair{w.info.tile(0), c.first}, std::pair{w.info.tile(lastIndex), c.last}}) {
            EXPECT_EQ(tile.x0, expected.x0);
            EXPECT_EQ(tile.y0, expected.y0);
            EXPECT_EQ(tile.x1, expected.x1);
            EXPECT_EQ(tile.y1, expected.y1);
        }
    }
}

TEST(ParseCodestream, RefusesASizSegmentTooShortForItsFixedFields) {
    // Lsiz 37 would leave the walk 65535 bytes further on; there a valid rest follows, which
    // must not be taken for this codestream's.
    Bytes b;
    b.soc().siz({.csiz = 0}, 37);
    b.fill(65535 - 1).cod().qcd().tilePart(0, 20).eoc();
    EXPECT_FALSE(walk(b.bytes).ok);

    Bytes exact;
    exact.soc().siz({.csiz = 0}, 38).cod().qcd().tilePart(0, 20).eoc();
    EXPECT_TRUE(walk(exact.bytes).ok);
}

TEST(ParseCodestream, CountsTilePartsAsTheFirstNonZeroTNsotAnnounces) {
    struct Part {
        std::uint8_t tpsot;
        std::uint8_t tnsot;
    };
    struct Case {
        const char* name;
        std::vector<Part> parts;
        bool ok;
        std::uint32_t count;
    };
    const std::vector<Case> cases = {
        {"TNsot 2 then TPsot 1 and 2", {{0, 2}, {1, 2}, {2, 2}}, true, 2},
        {"TNsot 2 then TPsot 3", {{0, 2}, {3, 2}}, false, 2},
        {"TNsot 0 leaves the count unknown", {{0, 0}, {5, 0}}, true, 0},
        {"the first non-zero TNsot sets the count for good", {{0, 0}, {1, 3}, {2, 9}}, true, 3},
        {"a later TNsot does not raise the count", {{0, 1}, {2, 5}}, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b;
        b.mainHeader();
        for (const Part& p : c.parts) {
            b.tilePart(0, 20, p.tpsot, p.tnsot);
        }
        b.eoc();
        const Walk w = walk(b.bytes);
        EXPECT_EQ(w.ok, c.ok);
        ASSERT_EQ(w.info.tileCount, 1);
        EXPECT_EQ(w.info.tile(0).tilePartCount, c.count);
    }
}

TEST(ParseCodestream, SumsTilePartLengthsPerTile) {
    Bytes b;
    b.mainHeader(Siz{.xtsiz = 512, .ytsiz = 512});
    b.tilePart(0, 100, 0, 2).tilePart(2, 40).tilePart(0, 30, 1, 2).sot(1, 12).tilePart(1, 14);
    b.eoc();
    const Walk w = walk(b.bytes);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.info.tile(0).compressedSize, 130u);
    EXPECT_EQ(w.info.tile(1).compressedSize, 26u);
    EXPECT_EQ(w.info.tile(2).compressedSize, 40u);
    EXPECT_EQ(w.info.tile(3).compressedSize, 0u);
    EXPECT_EQ(w.info.tileParts, 5u);
    EXPECT_EQ(w.info.namedTiles.size(), 3u);  // none kept for the tile no tile-part names
}

TEST(ParseCodestream, PsotZeroRunsToTheFirstClosingPairAndEndsTheWalk) {
    Bytes b;
    b.mainHeader(Siz{.xtsiz = 512, .ytsiz = 512}).tilePart(1, 50);
    const std::size_t sotAt = b.bytes.size();
    // 0xFF 0xFF 0xD9: the pair is the second 0xFF and the 0xD9.
    b.sot(1, 0, 1, 2).marker(0x93).fill(30).raw({0xFF, 0x00, 0xFF, 0xFF, 0xD9});
    const std::size_t pairAt = b.bytes.size() - 2;
    b.raw({0xFF, 0x4F, 0x01});  // not walked: the walk ends at the pair
    const Walk w = walk(b.bytes);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.info.tile(1).compressedSize, 50u + (pairAt - sotAt));
    EXPECT_EQ(w.info.tile(1).tilePartCount, 1u);
}

// The end marker is searched for 64 KiB at a time from behind SOD; a pair may straddle two.
TEST(ParseCodestream, FindsTheEndMarkerWhereverItFallsAgainstTheScanBlocks) {
    for (const std::size_t before : {std::size_t{65534}, std::size_t{65535}, std::size_t{65536}}) {
        SCOPED_TRACE(before);
        Bytes b;
        b.mainHeader().sot(0, 0).marker(0x93).fill(before).eoc().raw({0xFF, 0xD9});
        const Walk w = walk(b.bytes);
        ASSERT_TRUE(w.ok);
        EXPECT_EQ(w.info.tile(0).compressedSize, 12u + 2u + before);
    }
}

}  // namespace
}  // namespace bq
