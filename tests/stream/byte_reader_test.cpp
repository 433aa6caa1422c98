#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "stream/box_header.h"
#include "stream/byte_reader.h"

namespace bq {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ByteReader, EitherOrderAndAFailureThatSticksAndKeepsTheOutput) {
    const Bytes bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    for (const ByteOrder order : {ByteOrder::Big, ByteOrder::Little}) {
        const bool big = order == ByteOrder::Big;
        ByteReader reader(bytes, order);
        std::uint16_t u16 = 0;
        std::uint64_t u64 = 0;
        EXPECT_TRUE(reader.u16(u16));
        EXPECT_EQ(u16, big ? 0x0102 : 0x0201);
        EXPECT_TRUE(reader.uint(3, u64));
        EXPECT_EQ(u64, big ? 0x030405u : 0x050403u);
        EXPECT_FALSE(reader.u64(u64));  // 4 left
        EXPECT_EQ(u64, big ? 0x030405u : 0x050403u);
        EXPECT_FALSE(reader.u16(u16));  // would fit, but the failure sticks
        EXPECT_TRUE(reader.rest().empty());
        EXPECT_EQ(reader.position(), 5u);
        EXPECT_FALSE(reader.ok());
    }
}

TEST(BoxHeader, EveryFormAndEveryFault) {
    struct Row {
        const char* name;
        Bytes bytes;
        BoxHeaderFault fault;
        HeaderForm form;
        std::uint64_t length;  // 0 where the fault leaves none
    };
    const Row rows[] = {
        {"plain", {0, 0, 0, 9, 'x', 'm', 'l', ' ', 0}, BoxHeaderFault::None, HeaderForm::Plain, 9},
        {"extended",
         {0, 0, 0, 1, 'j', 'p', '2', 'c', 0, 0, 0, 1, 0, 0, 0, 16},
         BoxHeaderFault::None,
         HeaderForm::Extended,
         (1ull << 32) + 16},
        {"to the end",
         {0, 0, 0, 0, 'j', 'p', '2', 'c'},
         BoxHeaderFault::None,
         HeaderForm::ToEnd,
         0},
        {"7 bytes", {0, 0, 0, 8, 'x', 'm', 'l'}, BoxHeaderFault::CutShort, HeaderForm::Plain, 0},
        {"extended, 15 bytes",
         {0, 0, 0, 1, 'x', 'm', 'l', ' ', 0, 0, 0, 0, 0, 0, 0},
         BoxHeaderFault::ExtendedCutShort,
         HeaderForm::Plain,
         0},
        {"length 7",
         {0, 0, 0, 7, 'x', 'm', 'l', ' '},
         BoxHeaderFault::ShorterThanHeader,
         HeaderForm::Plain,
         0},
        {"extended length 15",
         {0, 0, 0, 1, 'x', 'm', 'l', ' ', 0, 0, 0, 0, 0, 0, 0, 15},
         BoxHeaderFault::ShorterThanHeader,
         HeaderForm::Extended,
         0},
    };
    for (const Row& row : rows) {
        BoxHeader header;
        EXPECT_EQ(readBoxHeader(row.bytes, header), row.fault) << row.name;
        if (row.fault == BoxHeaderFault::None) {
            EXPECT_EQ(header.form, row.form) << row.name;
            EXPECT_EQ(header.length, row.length) << row.name;
            EXPECT_EQ(header.payloadLength(100), row.form == HeaderForm::ToEnd   ? 92u
                                                 : row.form == HeaderForm::Plain ? 1u
                                                                                 : (1ull << 32))
                << row.name;
        }
    }
}

}  // namespace
}  // namespace bq
