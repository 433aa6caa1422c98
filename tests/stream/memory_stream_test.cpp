#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "stream/memory_stream.h"

namespace bq {
namespace {

TEST(MemoryStream, AttachedOverZeroBytesIsNotGoodAndAtEndFromTheStart) {
    std::uint8_t unused = 0;
    MemoryStream stream;
    stream.attach(&unused, 0);
    EXPECT_EQ(stream.kind(), kMemoryStreamKind);
    EXPECT_TRUE(stream.isOpen());
    EXPECT_FALSE(stream.good());
    EXPECT_TRUE(stream.atEnd());
}

TEST(MemoryStream, ReadsIntegersBigEndian) {
    const std::array<std::uint8_t, 7> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE};
    MemoryStream stream;
    stream.attach(bytes.data(), bytes.size());
    std::uint8_t u8 = 0;
    std::uint16_t u16 = 0;
    std::uint32_t u32 = 0;
    stream.readU8(u8);
    stream.readU16(u16);
    stream.readU32(u32);
    EXPECT_EQ(u8, 0x12);
    EXPECT_EQ(u16, 0x3456);
    EXPECT_EQ(u32, 0x789ABCDEu);
    EXPECT_EQ(stream.tell(), 7u);
    // Reaching the last byte is not the end: only asking for more is.
    EXPECT_TRUE(stream.good());
    EXPECT_FALSE(stream.atEnd());
}

TEST(MemoryStream, WritesIntegersBigEndian) {
    std::array<std::uint8_t, 7> bytes{};
    MemoryStream stream;
    stream.attach(bytes.data(), bytes.size());
    stream.writeU8(0x12);
    stream.writeU16(0x3456);
    stream.writeU32(0x789ABCDE);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 7>{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE}));
    EXPECT_TRUE(stream.good());
}

TEST(MemoryStream, ReadU16WithOneByteLeftSetsOverrunKeepsPositionAndReversesDestination) {
    const std::array<std::uint8_t, 3> bytes = {0x01, 0x02, 0xAB};
    MemoryStream stream;
    stream.attach(bytes.data(), bytes.size());
    std::uint16_t word = 0;
    stream.readU16(word);
    word = 0x1234;
    stream.readU16(word);
    EXPECT_EQ(word, 0x3412);
    EXPECT_EQ(stream.tell(), 2u);
    EXPECT_TRUE(stream.atEnd());
    EXPECT_FALSE(stream.good());

    // A smaller read that fits still succeeds; the overrun stays.
    std::uint8_t last = 0;
    stream.readU8(last);
    EXPECT_EQ(last, 0xAB);
    EXPECT_EQ(stream.tell(), 3u);
    EXPECT_FALSE(stream.good());
}

TEST(MemoryStream, ReadU32ThatDoesNotFitReversesDestinationAndCopiesNothing) {
    const std::array<std::uint8_t, 3> bytes = {0xFF, 0xFF, 0xFF};
    MemoryStream stream;
    stream.attach(bytes.data(), bytes.size());
    std::uint32_t value = 0x11223344;
    stream.readU32(value);
    EXPECT_EQ(value, 0x44332211u);
    EXPECT_EQ(stream.tell(), 0u);
    EXPECT_TRUE(stream.atEnd());
}

TEST(MemoryStream, ReadU8PastTheEndLeavesDestination) {
    const std::array<std::uint8_t, 1> bytes = {0x42};
    MemoryStream stream;
    stream.attach(bytes.data(), bytes.size());
    std::uint8_t value = 0;
    stream.readU8(value);
    stream.readU8(value);
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(stream.tell(), 1u);
    EXPECT_TRUE(stream.atEnd());
}

TEST(MemoryStream, SeekToSizeFailsSeekToLastByteSucceedsAndNeitherClearsOverrun) {
    const std::array<std::uint8_t, 4> bytes = {1, 2, 3, 4};
    MemoryStream stream;
    stream.attach(bytes.data(), bytes.size());
    std::uint8_t sink[8] = {};
    stream.readBytes(sink, 8);
    ASSERT_TRUE(stream.atEnd());

    EXPECT_FALSE(stream.seek(4));
    EXPECT_EQ(stream.tell(), 4u);
    EXPECT_TRUE(stream.seek(3));
    EXPECT_EQ(stream.tell(), 3u);
    EXPECT_TRUE(stream.atEnd());
    EXPECT_FALSE(stream.good());
}

TEST(MemoryStream, ReadBytesThatDoNotFitCopyTheRestAndStopAtTheEnd) {
    const std::array<std::uint8_t, 4> bytes = {1, 2, 3, 4};
    MemoryStream stream;
    stream.attach(bytes.data(), bytes.size());
    ASSERT_TRUE(stream.seek(1));
    std::array<std::uint8_t, 6> out = {9, 9, 9, 9, 9, 9};
    stream.readBytes(out.data(), 6);
    EXPECT_EQ(out, (std::array<std::uint8_t, 6>{2, 3, 4, 9, 9, 9}));
    EXPECT_EQ(stream.tell(), 4u);
    EXPECT_TRUE(stream.atEnd());
}

TEST(MemoryStream, WritesThatDoNotFitStayInsideTheBuffer) {
    std::array<std::uint8_t, 6> storage{};
    MemoryStream stream;
    stream.attach(storage.data(), 3);  // the last three bytes are outside the stream
    stream.writeU16(0x0102);
    stream.writeU16(0x0304);  // does not fit: nothing written
    EXPECT_EQ(stream.tell(), 2u);
    EXPECT_TRUE(stream.atEnd());
    const std::uint8_t more[4] = {5, 6, 7, 8};
    stream.writeBytes(more, 4);  // only the one byte left is written
    EXPECT_EQ(storage, (std::array<std::uint8_t, 6>{1, 2, 5, 0, 0, 0}));
    EXPECT_EQ(stream.tell(), 3u);
}

TEST(MemoryStream, AttachClearsOverrunAndCloseForgetsTheBuffer) {
    const std::array<std::uint8_t, 2> bytes = {1, 2};
    MemoryStream stream;
    stream.attach(bytes.data(), 1);
    std::uint16_t word = 0;
    stream.readU16(word);
    ASSERT_TRUE(stream.atEnd());
    stream.attach(bytes.data(), 2);
    EXPECT_TRUE(stream.good());
    EXPECT_EQ(stream.tell(), 0u);
    stream.close();
    EXPECT_FALSE(stream.isOpen());
    EXPECT_FALSE(stream.good());
    stream.close();          // closing twice is harmless
    EXPECT_EQ(bytes[0], 1);  // a borrowed buffer is left alone
}

}  // namespace
}  // namespace bq
