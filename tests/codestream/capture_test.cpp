#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "codestream/capture.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"

namespace bq {
namespace {

using ByteVector = std::vector<std::uint8_t>;

// A stream of a kind the capture does not know, over a memory stream.
class ForwardingStream final : public ByteStream {
  public:
    explicit ForwardingStream(MemoryStream& inner) : inner_(inner) {}
    int kind() const override { return 99; }
    bool good() const override { return inner_.good(); }
    bool isOpen() const override { return inner_.isOpen(); }
    bool atEnd() const override { return inner_.atEnd(); }
    void readU8(std::uint8_t& out) override { inner_.readU8(out); }
    void readU16(std::uint16_t& out) override { inner_.readU16(out); }
    void readU32(std::uint32_t& out) override { inner_.readU32(out); }
    void writeU8(std::uint8_t value) override { inner_.writeU8(value); }
    void writeU16(std::uint16_t value) override { inner_.writeU16(value); }
    void writeU32(std::uint32_t value) override { inner_.writeU32(value); }
    void readBytes(std::uint8_t* d, std::uint32_t n) override { inner_.readBytes(d, n); }
    void writeBytes(const std::uint8_t* s, std::uint32_t n) override { inner_.writeBytes(s, n); }
    std::uint32_t tell() const override { return inner_.tell(); }
    bool seek(std::uint32_t position) override { return inner_.seek(position); }
    void close() override { inner_.close(); }

  private:
    MemoryStream& inner_;
};

class TempFile {
  public:
    explicit TempFile(const ByteVector& bytes) {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("bq_capture_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "_" + std::to_string(++counter) + ".bin");
        std::FILE* f = std::fopen(path_.string().c_str(), "wb");
        if (f != nullptr) {
            if (!bytes.empty()) {
                std::fwrite(bytes.data(), 1, bytes.size(), f);
            }
            std::fclose(f);
        }
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    std::string path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

ByteVector filled(std::size_t size) {
    return ByteVector(size, 0x22);
}

ByteVector withPairAt(std::size_t size, std::size_t at) {
    ByteVector bytes = filled(size);
    bytes[at] = 0xFF;
    bytes[at + 1] = 0xD9;
    return bytes;
}

struct CaptureCase {
    std::string name;
    ByteVector bytes;
    std::uint32_t start;
    std::uint32_t limit;  // 0: the number of bytes
    bool ok;
    std::uint32_t captured;  // from start, when ok
    bool endsAtEnd;          // refused because the stream ran out
};

std::vector<CaptureCase> captureCases() {
    constexpr std::uint32_t kBlock = kCaptureBlockSize;
    ByteVector falsePair = withPairAt(kBlock + 20, kBlock + 5);
    falsePair[kBlock - 1] = 0xFF;
    ByteVector doubleFf = withPairAt(kBlock + 20, kBlock);
    doubleFf[kBlock - 1] = 0xFF;
    return {
        {"the pair first", {0xFF, 0xD9, 0x01, 0x02}, 0, 0, true, 2, false},
        {"a lone 0xD9 first does not close", {0xD9, 0x00, 0xFF, 0xD9, 0x07}, 0, 0, true, 4, false},
        {"0xFF 0xFF 0xD9", {0x01, 0xFF, 0xFF, 0xD9, 0x07}, 0, 0, true, 4, false},
        {"the byte before the start does not pair",
         {0xFF, 0xD9, 0x00, 0xFF, 0xD9},
         1,
         0,
         true,
         4,
         false},
        {"the pair ends the bytes", {0x00, 0x00, 0xFF, 0xD9}, 0, 0, true, 4, false},
        {"no pair", {0xFF, 0x00, 0xD9, 0x00, 0xFF}, 0, 0, false, 0, true},
        {"a lone 0xFF last", {0x00, 0xFF}, 1, 0, false, 0, true},
        {"nothing left to read", {0x00, 0x01}, 2, 0, false, 0, true},
        {"a capture of exactly the limit", {0x00, 0xFF, 0xD9, 0x00, 0x00}, 0, 3, true, 3, false},
        {"a capture one byte over the limit",
         {0x00, 0xFF, 0xD9, 0x00, 0x00},
         0,
         2,
         false,
         0,
         false},
        {"no pair within the limit", filled(10), 0, 4, false, 0, false},
        {"the pair closing the first block", withPairAt(kBlock + 20, kBlock - 2), 0, 0, true,
         kBlock, false},
        {"the pair straddling two blocks", withPairAt(kBlock + 20, kBlock - 1), 0, 0, true,
         kBlock + 1, false},
        {"0xFF closing a block without 0xD9 behind", falsePair, 0, 0, true, kBlock + 7, false},
        {"0xFF 0xFF straddling two blocks", doubleFf, 0, 0, true, kBlock + 2, false},
        {"the pair in the third block from an offset", withPairAt(3 * kBlock, 2 * kBlock + 77), 9,
         0, true, 2 * kBlock + 70, false},
        {"no pair over several blocks", filled(2 * kBlock + 3), 5, 0, false, 0, true},
    };
}

void checkCapture(const CaptureCase& c, ByteStream& stream) {
    std::vector<std::uint8_t> sink(c.start + 1u);
    stream.readBytes(sink.data(), c.start);
    const std::uint32_t limit = c.limit != 0 ? c.limit : static_cast<std::uint32_t>(c.bytes.size());
    ByteVector out = {0x5A};
    const bool ok = captureCodestream(stream, limit, out);
    ASSERT_EQ(ok, c.ok);
    if (!ok) {
        EXPECT_EQ(out, ByteVector{0x5A});
        EXPECT_EQ(stream.atEnd(), c.endsAtEnd);
        return;
    }
    const ByteVector expected(c.bytes.begin() + c.start, c.bytes.begin() + c.start + c.captured);
    EXPECT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);
    EXPECT_EQ(stream.tell(), c.start + c.captured);
    EXPECT_TRUE(stream.good());
}

TEST(CaptureCodestream, StopsJustBehindTheFirstPairOnAMemoryStream) {
    for (const CaptureCase& c : captureCases()) {
        SCOPED_TRACE(c.name);
        MemoryStream stream;
        stream.attach(c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size()));
        checkCapture(c, stream);
    }
}

TEST(CaptureCodestream, StopsJustBehindTheFirstPairOnAFileStream) {
    for (const CaptureCase& c : captureCases()) {
        SCOPED_TRACE(c.name);
        TempFile file(c.bytes);
        FileStream stream;
        ASSERT_TRUE(stream.open(file.path(), "rb"));
        checkCapture(c, stream);
        if (c.ok) {
            // The stream really stands there: the next byte read is the one behind the pair.
            std::uint8_t next = 0;
            stream.readU8(next);
            const std::size_t behind = c.start + c.captured;
            EXPECT_EQ(stream.good(), behind < c.bytes.size());
            if (behind < c.bytes.size()) {
                EXPECT_EQ(next, c.bytes[behind]);
            }
        }
    }
}

TEST(CaptureCodestream, StopsJustBehindTheFirstPairOnAStreamOfUnknownKind) {
    for (const CaptureCase& c : captureCases()) {
        SCOPED_TRACE(c.name);
        MemoryStream inner;
        inner.attach(c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size()));
        ForwardingStream stream(inner);
        checkCapture(c, stream);
    }
}

TEST(CaptureCodestream, FileCaptureDoesNotTrustTheSizeItIsGiven) {
    const ByteVector bytes = withPairAt(kCaptureBlockSize + 100, kCaptureBlockSize + 50);
    TempFile file(bytes);
    for (const std::uint32_t claimed : {std::uint32_t{40}, std::uint32_t{0xFFFFFFF0}}) {
        SCOPED_TRACE(claimed);
        FileStream stream;
        ASSERT_TRUE(stream.open(file.path(), "rb"));
        ByteVector sink(30);
        stream.readBytes(sink.data(), 30);
        // A size below the real one only bounds the capture; one above it is found out.
        ByteVector out;
        const bool ok = captureCodestream(stream, claimed, out);
        if (claimed == 40) {
            EXPECT_FALSE(ok);
            EXPECT_FALSE(stream.atEnd());
            EXPECT_EQ(stream.tell(), 30u + 41u);
        } else {
            ASSERT_TRUE(ok);
            EXPECT_EQ(out.size(), kCaptureBlockSize + 52u - 30u);
            EXPECT_EQ(stream.tell(), kCaptureBlockSize + 52u);
        }
    }
    // The file ends before the pair although its claimed size goes further.
    const ByteVector noPair = filled(kCaptureBlockSize + 3);
    TempFile shortFile(noPair);
    FileStream stream;
    ASSERT_TRUE(stream.open(shortFile.path(), "rb"));
    ByteVector out;
    EXPECT_FALSE(captureCodestream(stream, 0xFFFFFFF0, out));
    EXPECT_TRUE(stream.atEnd());
}

TEST(CaptureCodestream, AStreamAlreadyAtItsEndCapturesNothing) {
    const ByteVector bytes = {0xFF, 0xD9};
    MemoryStream stream;
    stream.attach(bytes.data(), 2);
    std::uint32_t past = 0;
    stream.readU32(past);  // overrun: sticky
    ByteVector out;
    EXPECT_FALSE(captureCodestream(stream, 2, out));
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace bq
