#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "box/read_box.h"
#include "codestream/codestream_box.h"
#include "codestream/report.h"
#include "stream/memory_stream.h"
#include "tests/codestream/codestream_bytes.h"

namespace bq {
namespace {

using test::Bytes;
using test::Siz;

// The 1000 x 1000 image of three components in four 512 x 512 tiles, holding 5000, 4000, 3000
// and 2000 bytes.
Bytes fourTiles() {
    Bytes b;
    b.mainHeader(Siz{.xtsiz = 512, .ytsiz = 512});
    b.tilePart(0, 5000).tilePart(1, 4000).tilePart(2, 3000).tilePart(3, 2000).eoc();
    return b;
}

std::unique_ptr<CodestreamBox> readCodestream(const std::vector<std::uint8_t>& bytes) {
    auto box = std::make_unique<CodestreamBox>();
    MemoryStream stream;
    stream.attach(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    NestingContext nesting;
    if (!box->readPayload(stream, static_cast<std::uint32_t>(bytes.size()), nesting)) {
        return nullptr;
    }
    return box;
}

std::vector<std::uint8_t> written(const Box& box, bool withHeader) {
    std::vector<std::uint8_t> buffer(box.payloadSize + 64u);
    MemoryStream stream;
    stream.attach(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    EXPECT_TRUE(box.writeBox(stream, withHeader));
    buffer.resize(stream.tell());
    return buffer;
}

TEST(CodestreamBox, ReportsImageComponentsAndEveryTile) {
    const Bytes b = fourTiles();
    const auto box = readCodestream(b.bytes);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(),
              "Image size: 1000 x 1000\r\n"
              "Components: 3\r\n"
              "\r\n"
              "Tiles: 2 x 2 = 4\r\n"
              "-------------------------\r\n"
              " #, H x V, DX x DY, compressed size (bytes)\r\n"
              " 0, 0 x 0, 512 x 512, 5000\r\n"
              " 1, 1 x 0, 488 x 512, 4000\r\n"
              " 2, 0 x 1, 512 x 488, 3000\r\n"
              " 3, 1 x 1, 488 x 488, 2000\r\n");
    EXPECT_FALSE(box->errorText.has_value());
}

TEST(CodestreamBox, KeepsExactlyTheCapturedBytesAndWritesThemBack) {
    Bytes b = fourTiles();
    const std::vector<std::uint8_t> codestream = b.bytes;
    b.raw({0x00, 0x00, 0x00, 0x0B, 'x', 'm', 'l', ' ', 'a', 'b', 'c'});
    const auto box = readCodestream(b.bytes);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->payloadSize, codestream.size());
    EXPECT_EQ(box->data, codestream);  // no NUL behind
    EXPECT_EQ(written(*box, false), codestream);

    const std::vector<std::uint8_t> whole = written(*box, true);
    const std::uint32_t length = box->payloadSize + 8;
    const std::vector<std::uint8_t> header = {static_cast<std::uint8_t>(length >> 24),
                                              static_cast<std::uint8_t>(length >> 16),
                                              static_cast<std::uint8_t>(length >> 8),
                                              static_cast<std::uint8_t>(length),
                                              'j',
                                              'p',
                                              '2',
                                              'c'};
    ASSERT_EQ(whole.size(), codestream.size() + 8);
    EXPECT_EQ(std::vector<std::uint8_t>(whole.begin(), whole.begin() + 8), header);
    EXPECT_EQ(std::vector<std::uint8_t>(whole.begin() + 8, whole.end()), codestream);
    EXPECT_EQ(box->writtenSize(), codestream.size() + 8u);
}

TEST(CodestreamBox, IsALockedJ2kBox) {
    const CodestreamBox box;
    EXPECT_EQ(box.payloadSize, 0u);
    EXPECT_EQ(box.type, kTypeJp2c);
    EXPECT_TRUE(box.isLocked());
    EXPECT_FALSE(box.isEditable());
    EXPECT_FALSE(box.canImport());
    EXPECT_STREQ(box.fileKind().typeName, "J2K");
    EXPECT_STREQ(box.fileKind().extension, ".j2k");
    EXPECT_EQ(box.description(), "Image codestream");
    EXPECT_EQ(box.text(), "");
    EXPECT_FALSE(box.hasData());
}

TEST(CodestreamBox, ACodestreamThatDoesNotParseKeepsItsBytesAndShowsTheErrorLine) {
    // A COM segment holding 0xFF 0xD9 cuts the capture short inside the main header.
    Bytes b;
    b.mainHeader().marker(0x64).u16(8).raw({0x00, 0x01, 0xFF, 0xD9, 0x02, 0x03});
    const std::size_t cut = b.bytes.size() - 2;
    b.tilePart(0, 20).eoc();
    const auto box = readCodestream(b.bytes);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->payloadSize, cut);
    EXPECT_EQ(box->text(), "ERROR: Failed to parse J2K codestream.");
    EXPECT_FALSE(box->report.has_value());
    EXPECT_EQ(written(*box, false),
              std::vector<std::uint8_t>(b.bytes.begin(), b.bytes.begin() + static_cast<long>(cut)));
}

TEST(CodestreamBox, RefusesAStreamWithoutTheClosingPair) {
    Bytes b = fourTiles();
    b.bytes.pop_back();
    EXPECT_EQ(readCodestream(b.bytes), nullptr);
}

// A JP2 box sequence: signature-less, as readBox sees it after the signature.
std::vector<std::uint8_t> boxSequence(std::uint32_t jp2cLength, const Bytes& codestream,
                                      std::initializer_list<std::uint8_t> behind) {
    Bytes b;
    b.u32(jp2cLength).raw({'j', 'p', '2', 'c'});
    b.bytes.insert(b.bytes.end(), codestream.bytes.begin(), codestream.bytes.end());
    b.raw(behind);
    return b.bytes;
}

TEST(CodestreamBox, ReadBoxGoesOnRightBehindThePairWhateverTheHeaderLength) {
    const Bytes cs = fourTiles();
    const auto size = static_cast<std::uint32_t>(cs.bytes.size());
    // Two stray bytes inside the box behind EOC become part of the next header.
    for (const std::uint32_t length : {0u, size + 8, size + 10}) {
        SCOPED_TRACE(length);
        const std::vector<std::uint8_t> file =
            boxSequence(length, cs, {0x00, 0x00, 0x00, 0x0B, 'x', 'm', 'l', ' ', 'a', 'b', 'c'});
        MemoryStream stream;
        stream.attach(file.data(), static_cast<std::uint32_t>(file.size()));
        NestingContext nesting;
        const auto fileSize = static_cast<std::uint32_t>(file.size() + 12);
        std::unique_ptr<Box> first = readBox(stream, fileSize, nesting);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->type, kTypeJp2c);
        EXPECT_EQ(first->payloadSize, size);
        EXPECT_NE(dynamic_cast<CodestreamBox*>(first.get()), nullptr);
        std::unique_ptr<Box> second = readBox(stream, fileSize, nesting);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->type, fourCC("xml "));
        EXPECT_EQ(readBox(stream, fileSize, nesting), nullptr);
        EXPECT_TRUE(stream.atEnd());
    }
}

TEST(CodestreamBox, ReadBoxDropsACodestreamThatNeverCloses) {
    Bytes cs = fourTiles();
    cs.bytes.resize(cs.bytes.size() - 2);
    const std::vector<std::uint8_t> file = boxSequence(0, cs, {});
    MemoryStream stream;
    stream.attach(file.data(), static_cast<std::uint32_t>(file.size()));
    NestingContext nesting;
    EXPECT_EQ(readBox(stream, static_cast<std::uint32_t>(file.size() + 12), nesting), nullptr);
    EXPECT_TRUE(stream.atEnd());
}

TEST(CodestreamReport, GetsSixtyFourBytesPerTileAndFourLinesMore) {
    CodestreamInfo info;
    info.tilesAcross = 2;
    info.tilesDown = 3;
    EXPECT_EQ(reportCapacity(info), (6u + 4u) * 64u);
    info.tilesAcross = kMaxTileCount;
    info.tilesDown = 1;
    EXPECT_EQ(reportCapacity(info), (std::uint64_t{kMaxTileCount} + 4) * 64);
}

TEST(CodestreamReport, LeavesOutLinesThatDoNotFitWhole) {
    CodestreamInfo info;
    info.x1 = 0xFFFFFFFF;
    info.y1 = 0xFFFFFFFF;
    info.components = 16384;
    info.tilesAcross = 3;
    info.tilesDown = 1;
    info.tileCount = 3;
    info.tiles.assign(3, TileRecord{0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 255, 0xFFFFFFFF});
    const std::string full = formatReport(info, 1 << 20);
    const std::string line = " 0, 0 x 0, 4294967295 x 4294967295, 4294967295\r\n";
    ASSERT_NE(full.find(line), std::string::npos);
    const std::size_t header = full.find(line);
    for (std::size_t capacity : {header + 1, header + line.size(), header + line.size() + 1,
                                 header + 2 * line.size() + 5, std::size_t{10}}) {
        SCOPED_TRACE(capacity);
        const std::string cut = formatReport(info, capacity);
        EXPECT_LE(cut.size(), capacity - 1);
        EXPECT_EQ(cut, full.substr(0, cut.size()));
        if (capacity > header) {
            EXPECT_EQ((cut.size() - header) % line.size(), 0u) << "whole lines only";
        }
    }
    EXPECT_EQ(formatReport(info, header + line.size() + 1).size(), header + line.size());
}

}  // namespace
}  // namespace bq
