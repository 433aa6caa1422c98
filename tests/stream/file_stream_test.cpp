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
