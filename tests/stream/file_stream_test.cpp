#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "stream/file_stream.h"

namespace bq {
namespace {

// A file of the given bytes in the temporary folder, removed when the test ends.
class TempFile {
  public:
    explicit TempFile(const std::vector<std::uint8_t>& bytes) {
        // Random, so parallel runs from several build folders never share a file.
        static std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("boxquill_stream_" + std::to_string(random()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    std::string path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

TEST(FileStream, MeasuringTheSizeLeavesTellAtZeroAndReadsFromTheStart) {
    TempFile file({0x00, 0x00, 0x00, 0x0C, 0x6A});
    FileStream stream;
    ASSERT_TRUE(stream.open(file.path(), "rb"));
    EXPECT_EQ(stream.kind(), kFileStreamKind);
    EXPECT_EQ(stream.size(), 5u);
    EXPECT_EQ(stream.tell(), 0u);
    std::uint32_t value = 0;
    stream.readU32(value);
    EXPECT_EQ(value, 12u);
    EXPECT_TRUE(stream.good());
}

TEST(FileStream, ReadBytesPastTheEndAdvancesTellByTheFullCount) {
    TempFile file({1, 2, 3});
    FileStream stream;
    ASSERT_TRUE(stream.open(file.path(), "rb"));
    std::vector<std::uint8_t> out(10, 0);
    stream.readBytes(out.data(), 10);
    EXPECT_EQ(stream.tell(), 10u);
    EXPECT_FALSE(stream.good());
    EXPECT_TRUE(stream.atEnd());
    EXPECT_EQ(out[2], 3);
}

TEST(FileStream, ReadU8AtTheEndYieldsFFAndSetsTheEndIndicator) {
    TempFile file({0x41});
    FileStream stream;
    ASSERT_TRUE(stream.open(file.path(), "rb"));
    std::uint8_t value = 0;
    stream.readU8(value);
    EXPECT_EQ(value, 0x41);
    EXPECT_FALSE(stream.atEnd());
    stream.readU8(value);
    EXPECT_EQ(value, 0xFF);
    EXPECT_TRUE(stream.atEnd());
    EXPECT_EQ(stream.tell(), 2u);
}

// A short read puts the bytes that arrived over the destination's old bytes (lowest byte
// first, as on the little-endian hosts the format grew up on) and reverses them all the same.
TEST(FileStream, ShortIntegerReadsKeepTheOldBytesReversed) {
    struct Case {
        std::vector<std::uint8_t> file;
        std::uint16_t before;
        std::uint16_t after;
    };
    const Case cases[] = {
        {{}, 0x1234, 0x3412},
        {{0xAB}, 0x1234, 0xAB12},
        {{0xFF, 0x4F}, 0x0000, 0xFF4F},
    };
    for (const Case& c : cases) {
        TempFile file(c.file);
        FileStream stream;
        ASSERT_TRUE(stream.open(file.path(), "rb"));
        std::uint16_t value = c.before;
        stream.readU16(value);
        EXPECT_EQ(value, c.after) << c.file.size() << " byte(s)";
        EXPECT_EQ(stream.tell(), 2u);
    }
    TempFile file({0xAA, 0xBB});
    FileStream stream;
    ASSERT_TRUE(stream.open(file.path(), "rb"));
    std::uint32_t value = 0x11223344;
    stream.readU32(value);
    EXPECT_EQ(value, 0xAABB2211u);
    EXPECT_EQ(stream.tell(), 4u);
    EXPECT_TRUE(stream.atEnd());
}

// The byte at `offset` of the patterned files below: no two nearby blocks alike.
std::uint8_t patternAt(std::size_t offset) {
    return static_cast<std::uint8_t>(offset * 7 + offset / 251);
}

std::vector<std::uint8_t> patterned(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = patternAt(i);
    }
    return bytes;
}

// One stream read at these places in turn, so that each read meets the block the reads
// before it left: across the first block's end, far ahead, back, past the end.
TEST(FileStream, ReadsAnywhereGiveTheFileBytesAndFailPastTheEnd) {
    constexpr std::uint64_t kBlock = 64 * 1024;
    struct Place {
        std::uint64_t offset;
        std::uint32_t count;
    };
    const Place places[] = {
        {0, 12},          {kBlock - 3, 8},       {kBlock + 5, 100}, {kBlock - 1, 1},
        {3 * kBlock, 40}, {2 * kBlock - 2, 4},   {10, 3 * kBlock},  {kBlock * 3 + 100, 23},
        {999, 2},         {3 * kBlock + 120, 9}, {5 * kBlock, 1},   {0, 0},
    };
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1000}, std::size_t{kBlock}, std::size_t{3 * kBlock + 123}}) {
        TempFile file(patterned(size));
        FileStream stream;
        ASSERT_TRUE(stream.open(file.path(), "rb"));
        EXPECT_EQ(stream.size(), size);
        for (const Place& place : places) {
            SCOPED_TRACE(std::to_string(size) + " bytes, read " + std::to_string(place.count) +
                         " at " + std::to_string(place.offset));
            ASSERT_TRUE(stream.seek(place.offset));
            std::vector<std::uint8_t> out(place.count, 0xEE);
            stream.readBytes(out.data(), place.count);
            const bool whole = place.offset + place.count <= size;
            EXPECT_EQ(stream.good(), whole);
            EXPECT_EQ(stream.atEnd(), !whole);
            EXPECT_EQ(stream.tell(), place.offset + place.count);
            for (std::size_t i = 0; i < out.size(); ++i) {
                const bool inFile = place.offset + i < size;
                ASSERT_EQ(out[i], inFile ? patternAt(place.offset + i) : 0xEE) << "byte " << i;
            }
        }
    }
}

// A file cut short while open: what lies past its new end is a failed read, never bytes
// from nowhere; its size stays what the open measured.
TEST(FileStream, AFileThatShrinksAfterTheOpenFailsPastItsNewEnd) {
    TempFile file(patterned(300 * 1024));
    FileStream stream;
    ASSERT_TRUE(stream.open(file.path(), "rb"));
    std::filesystem::resize_file(file.path(), 100 * 1024);
    EXPECT_EQ(stream.size(), 300u * 1024);
    for (const std::uint64_t offset : {std::uint64_t{200 * 1024}, std::uint64_t{100 * 1024 - 2}}) {
        ASSERT_TRUE(stream.seek(offset));
        std::uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        stream.readBytes(out, 4);
        EXPECT_FALSE(stream.good()) << offset;
        EXPECT_EQ(out[3], 0xEE) << offset;
    }
    ASSERT_TRUE(stream.seek(80 * 1024));
    std::uint32_t word = 0;
    stream.readU32(word);
    EXPECT_TRUE(stream.good());
    EXPECT_EQ(word >> 24, patternAt(80 * 1024));
}

TEST(FileStream, WritesBigEndianAndCountsEveryByte) {
    TempFile file({});
    {
        FileStream stream;
        ASSERT_TRUE(stream.open(file.path(), "wb"));
        stream.writeU8(0x01);
        stream.writeU16(0x0203);
        stream.writeU32(0x04050607);
        const std::uint8_t tail[2] = {0x08, 0x09};
        stream.writeBytes(tail, 2);
        EXPECT_EQ(stream.tell(), 9u);
        EXPECT_TRUE(stream.good());
        stream.close();
        EXPECT_EQ(stream.tell(), 0u);
    }
    FileStream stream;
    ASSERT_TRUE(stream.open(file.path(), "rb"));
    ASSERT_EQ(stream.size(), 9u);
    std::vector<std::uint8_t> back(9, 0);
    stream.readBytes(back.data(), 9);
    EXPECT_EQ(back, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(FileStream, SeekSetsThePositionAndClearsTheEndOfFile) {
    TempFile file({1, 2, 3, 4});
    FileStream stream;
    ASSERT_TRUE(stream.open(file.path(), "rb"));
    std::uint32_t value = 0;
    stream.readU32(value);
    stream.readU32(value);
    ASSERT_TRUE(stream.atEnd());
    EXPECT_TRUE(stream.seek(2));
    EXPECT_EQ(stream.tell(), 2u);
    EXPECT_TRUE(stream.good());
    std::uint16_t word = 0;
    stream.readU16(word);
    EXPECT_EQ(word, 0x0304);
}

TEST(FileStream, AFileThatFailedToOpenIsNeitherGoodNorOpenAndCloseIsHarmless) {
    FileStream stream;
    EXPECT_FALSE(stream.open(
        (std::filesystem::temp_directory_path() / "boxquill_no_such_folder" / "missing.jp2")
            .string(),
        "rb"));
    EXPECT_FALSE(stream.good());
    EXPECT_FALSE(stream.isOpen());
    EXPECT_FALSE(stream.atEnd());
    EXPECT_FALSE(stream.seek(0));
    stream.close();
    stream.close();
    EXPECT_EQ(stream.tell(), 0u);
}

TEST(FileStream, OpeningAgainClosesTheFirstFileAndRestartsAtZero) {
    TempFile first({1, 2});
    TempFile second({7, 8, 9});
    FileStream stream;
    ASSERT_TRUE(stream.open(first.path(), "rb"));
    std::uint16_t word = 0;
    stream.readU16(word);
    ASSERT_TRUE(stream.open(second.path(), "rb"));
    EXPECT_EQ(stream.tell(), 0u);
    EXPECT_EQ(stream.size(), 3u);
    std::uint8_t byte = 0;
    stream.readU8(byte);
    EXPECT_EQ(byte, 7);
}

}  // namespace
}  // namespace bq
