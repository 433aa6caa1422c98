#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codestream/marker_parser.h"
#include "codestream/marker_table.h"
#include "stream/memory_stream.h"

namespace bq {
namespace {

TEST(MarkerTable, ListsTheNamedMarkersThenSixteenAnywhereMarkersInSearchOrder) {
    const std::vector<std::uint8_t> namedCodes = {0x00, 0x4F, 0x51, 0x52, 0x53, 0x5C, 0x5D,
                                                  0x5E, 0x5F, 0x55, 0x57, 0x58, 0x60, 0x61,
                                                  0x63, 0x64, 0x90, 0x93, 0xD9, 0xFF};
    ASSERT_EQ(kMarkerTable.size(), namedCodes.size() + 16);
    for (std::size_t i = 0; i < namedCodes.size(); ++i) {
        EXPECT_EQ(kMarkerTable[i].code, namedCodes[i]) << "row " << i;
    }
    const char* hex = "0123456789ABCDEF";
    for (std::size_t i = 0; i < 16; ++i) {
        const MarkerRow& row = kMarkerTable[namedCodes.size() + i];
        EXPECT_EQ(row.code, 0x30 + i);
        EXPECT_EQ(std::string(row.name, 3), std::string("x3") + hex[i]);
        EXPECT_EQ(row.name[3], '\0');
        EXPECT_EQ(row.hasSegment, 0);
        EXPECT_EQ(row.allowedStates, 0xFF);
        EXPECT_EQ(row.nextState, 0);
    }
    const MarkerRow& sot = kMarkerTable[findMarkerRow(0x90)];
    EXPECT_STREQ(sot.name, "SOT");
    EXPECT_EQ(sot.allowedStates, kStateMainHeader | kStateTileData);
    EXPECT_EQ(sot.nextState, kStateTilePartHeader);
    EXPECT_EQ(findMarkerRow(0x50), kMarkerRowCount);
}

struct ReadMarkerCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::uint8_t stateBefore;
    int result;
    std::uint16_t marker;
    std::uint16_t remaining;
    std::uint8_t stateAfter;
    bool seenSet;
};

TEST(MarkerParser, ReadMarkerChecksTableStateAndSegmentLength) {
    const std::vector<ReadMarkerCase> cases = {
        {"SOC at the start", {0xFF, 0x4F}, kStateStart, kStepOk, 0x4F, 0, kStateAfterSoc, true},
        {"SIZ before SOC is refused but seen",
         {0xFF, 0x51, 0x00, 0x29},
         kStateStart,
         kMarkerRefused,
         0x51,
         0,
         kStateStart,
         true},
        {"SIZ length 3 is the smallest accepted",
         {0xFF, 0x51, 0x00, 0x03},
         kStateAfterSoc,
         kStepOk,
         0x51,
         1,
         kStateMainHeader,
         true},
        {"length 2 is refused after the state moved",
         {0xFF, 0x51, 0x00, 0x02},
         kStateAfterSoc,
         kMarkerRefused,
         0x51,
         2,
         kStateMainHeader,
         true},
        {"length 1",
         {0xFF, 0x64, 0x00, 0x01},
         kStateMainHeader,
         kMarkerRefused,
         0x64,
         1,
         kStateMainHeader,
         true},
        {"length 0",
         {0xFF, 0x64, 0x00, 0x00},
         kStateMainHeader,
         kMarkerRefused,
         0x64,
         0,
         kStateMainHeader,
         true},
        {"the first byte is ignored: 12 90 is SOT",
         {0x12, 0x90, 0x00, 0x0A},
         kStateMainHeader,
         kStepOk,
         0x90,
         8,
         kStateTilePartHeader,
         true},
        {"unknown code",
         {0xFF, 0x50},
         kStateMainHeader,
         kMarkerRefused,
         0x50,
         0,
         kStateMainHeader,
         false},
        {"PLT in the main header",
         {0xFF, 0x58, 0x00, 0x04},
         kStateMainHeader,
         kMarkerRefused,
         0x58,
         0,
         kStateMainHeader,
         true},
        {"PPT in the main header",
         {0xFF, 0x61, 0x00, 0x04},
         kStateMainHeader,
         kMarkerRefused,
         0x61,
         0,
         kStateMainHeader,
         true},
        {"SOD in the main header",
         {0xFF, 0x93},
         kStateMainHeader,
         kMarkerRefused,
         0x93,
         0,
         kStateMainHeader,
         true},
        {"EOC in the main header",
         {0xFF, 0xD9},
         kStateMainHeader,
         kMarkerRefused,
         0xD9,
         0,
         kStateMainHeader,
         true},
        {"EOC after tile data", {0xFF, 0xD9}, kStateTileData, kStepOk, 0xD9, 0, kStateEnd, true},
        {"x3A after the end", {0xFF, 0x3A}, kStateEnd, kStepOk, 0x3A, 0, kStateEnd, true},
        {"x30 before SOC", {0xFF, 0x30}, kStateStart, kStepOk, 0x30, 0, kStateStart, true},
    };
    for (const ReadMarkerCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream stream;
        stream.attach(c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size()));
        MarkerParser parser;
        parser.state = c.stateBefore;
        parser.remaining = 77;
        EXPECT_EQ(parser.readMarker(stream), c.result);
        EXPECT_EQ(parser.marker, c.marker);
        EXPECT_EQ(parser.remaining, c.remaining);
        EXPECT_EQ(parser.state, c.stateAfter);
        const std::size_t row = findMarkerRow(static_cast<std::uint8_t>(c.marker));
        EXPECT_EQ(row != kMarkerRowCount && parser.seen.test(row), c.seenSet);
        EXPECT_EQ(parser.seen.count(), c.seenSet ? 1u : 0u);
    }
}

TEST(MarkerParser, SkipSegmentStopsShortOfTheEndOfTheBytes) {
    const std::vector<std::uint8_t> bytes(10, 0x11);
    struct Case {
        const char* name;
        std::uint32_t position;
        std::uint16_t remaining;
        bool overrun;
        int result;
        std::uint32_t positionAfter;
    };
    const std::vector<Case> cases = {
        {"nothing to skip on a good stream", 10, 0, false, kStepOk, 10},
        {"nothing to skip after an overrun", 4, 0, true, kSkipFailed, 4},
        {"target inside the bytes", 2, 7, false, kStepOk, 9},
        {"target at the end of the bytes", 2, 8, false, kSkipFailed, 2},
        {"target far beyond", 9, 0xFFFF, false, kSkipFailed, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream stream;
        stream.attach(bytes.data(), 10);
        std::vector<std::uint8_t> sink(16);
        stream.readBytes(sink.data(), c.position);
        if (c.overrun) {
            std::uint32_t big = 0;
            stream.seek(8);
            stream.readU32(big);
            stream.seek(c.position);
        }
        MarkerParser parser;
        parser.remaining = c.remaining;
        EXPECT_EQ(parser.skipSegment(stream, stream.size()), c.result);
        EXPECT_EQ(stream.tell(), c.positionAfter);
    }
}

}  // namespace
}  // namespace bq
