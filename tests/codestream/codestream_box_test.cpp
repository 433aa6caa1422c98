#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include "box/read_box.h"
#include "codestream/box_factory.h"
#include "codestream/codestream_box.h"
#include "codestream/report.h"
#include "stream/file_stream.h"
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
    auto box = std::make_unique<CodestreamBox>(bytes.size());
    MemoryStream stream;
    stream.attach(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    ReadContext context;
    context.fileSize = bytes.size();
    if (!box->readPayload(stream, context)) {
        return nullptr;
    }
    return box;
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
    const std::vector<std::uint8_t> held(box->heldBytes().begin(), box->heldBytes().end());
    EXPECT_EQ(held, b.bytes);  // no NUL behind
    EXPECT_FALSE(box->hasData());
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

// Box sequences as readBox sees them after the signature: a 'jp2c' box and what follows it.
struct Sequence {
    std::vector<std::uint8_t> bytes;

    Sequence& header(std::uint32_t length, std::uint32_t type) {
        Bytes b;
        b.u32(length).u32(type);
        bytes.insert(bytes.end(), b.bytes.begin(), b.bytes.end());
        return *this;
    }
    Sequence& codestream(const Bytes& cs, std::uint32_t length) {
        header(length, kTypeJp2c);
        bytes.insert(bytes.end(), cs.bytes.begin(), cs.bytes.end());
        return *this;
    }
    Sequence& raw(std::initializer_list<std::uint8_t> values) {
        bytes.insert(bytes.end(), values);
        return *this;
    }
    Sequence& xml() { return header(11, fourCC("xml ")).raw({'a', 'b', 'c'}); }
};

std::uint32_t sizeOf(const Bytes& b, std::size_t more = 0) {
    return static_cast<std::uint32_t>(b.bytes.size() + 8 + more);
}

struct Boxes {
    std::vector<std::unique_ptr<Box>> boxes;
    bool atEnd = false;
};

// Reads a sequence with every document kind; `holdLimit` 0 and a file leave the codestream in
// the file, as a large one is.
Boxes readSequence(ByteStream& stream, std::uint64_t size, std::uint64_t holdLimit,
                   std::shared_ptr<const SourceFile> source) {
    ReadContext context;
    context.fileSize = size;
    context.make = makeDocumentBox;
    context.holdLimit = holdLimit;
    context.source = std::move(source);
    Boxes read;
    while (std::unique_ptr<Box> box = readBox(stream, context)) {
        read.boxes.push_back(std::move(box));
    }
    read.atEnd = stream.atEnd();
    return read;
}

std::vector<std::uint8_t> writeAll(const Boxes& read) {
    std::vector<std::uint8_t> out(1 << 20);
    MemoryStream stream;
    stream.attach(out.data(), static_cast<std::uint32_t>(out.size()));
    for (const auto& box : read.boxes) {
        EXPECT_TRUE(box->writeBox(stream, true));
    }
    out.resize(static_cast<std::size_t>(stream.tell()));
    return out;
}

// The codestream's end is found by its structure, never by a stray 0xFF 0xD9, and every byte
// its box covers is kept and written back, from memory or from the file alike.
TEST(CodestreamBox, KeepsEveryByteItsBoxCoversWhateverTheCodestreamHolds) {
    Bytes comment;  // a comment in the main header holding the end marker's bytes
    comment.mainHeader().marker(0x64).u16(8).raw({0x00, 0x01, 0xFF, 0xD9, 0x02, 0x03});
    comment.tilePart(0, 20).eoc();
    Bytes psot;  // a tile-part whose length ends in 0xFF 0xD9
    psot.mainHeader().tilePart(0, 0xFFD9).eoc();
    Bytes lastPart;  // Psot 0, with the end marker's bytes in a comment of its header
    lastPart.mainHeader().sot(0, 0).marker(0x64).u16(6).raw({0xFF, 0xD9, 0x00, 0x00});
    lastPart.marker(0x93).fill(30).eoc();
    Bytes noEnd = fourTiles();
    noEnd.bytes.resize(noEnd.bytes.size() - 2);
    Bytes invalid;
    invalid.mainHeader().marker(0x01).fill(10).eoc();
    const Bytes four = fourTiles();
    const std::string report = readCodestream(four.bytes)->text();
    const std::string noEndText = std::string(kCodestreamNoEnd) + "\r\n\r\n";

    struct Case {
        const char* name;
        Sequence file;
        std::string textStart;
        std::uint64_t payload;
        std::size_t boxes;
        std::vector<std::uint8_t> saved;  // empty: the file itself
    };
    Case cases[] = {
        {"end marker bytes in a comment",
         Sequence().codestream(comment, sizeOf(comment)).xml(),
         "Image size: 1000 x 1000",
         comment.bytes.size(),
         2,
         {}},
        {"tile-part length ending in FF D9",
         Sequence().codestream(psot, sizeOf(psot)),
         "Image size",
         psot.bytes.size(),
         1,
         {}},
        {"Psot 0 behind a comment holding FF D9",
         Sequence().codestream(lastPart, sizeOf(lastPart)),
         "Image size",
         lastPart.bytes.size(),
         1,
         {}},
        {"no end marker",
         Sequence().codestream(noEnd, sizeOf(noEnd)).xml(),
         noEndText,
         noEnd.bytes.size(),
         2,
         {}},
        {"bytes after the end marker",
         Sequence().codestream(four, sizeOf(four, 2)).raw({0, 0}).xml(),
         report,
         four.bytes.size() + 2,
         2,
         {}},
        {"length 0", Sequence().codestream(four, 0), report, four.bytes.size(), 1, {}},
        {"walk fails",
         Sequence().codestream(invalid, sizeOf(invalid)),
         "ERROR: Failed to parse",
         invalid.bytes.size(),
         1,
         {}},
        {"cut short", Sequence().codestream(noEnd, sizeOf(noEnd, 4)),
         std::string(kCodestreamCutShort), noEnd.bytes.size(), 1,
         Sequence().codestream(noEnd, sizeOf(noEnd)).bytes},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A signature stands in front, as in a real file; the boxes are read from behind it.
        std::vector<std::uint8_t> file(12, 0);
        file.insert(file.end(), c.file.bytes.begin(), c.file.bytes.end());
        const std::vector<std::uint8_t> expected = c.saved.empty() ? c.file.bytes : c.saved;

        MemoryStream memory;
        memory.attach(file.data(), static_cast<std::uint32_t>(file.size()));
        memory.seek(12);
        const Boxes held = readSequence(memory, file.size(), UINT64_MAX, nullptr);

        const auto path =
            std::filesystem::temp_directory_path() /
            ("boxquill-codestream-" + std::to_string(std::random_device{}()) + ".bin");
        {
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(file.data()),
                       static_cast<std::streamsize>(file.size()));
        }
        FileStream stream;
        ASSERT_TRUE(stream.open(path.string(), "rb"));
        stream.seek(12);
        const auto source =
            std::make_shared<const SourceFile>(SourceFile{path.string(), *stream.identity(), {}});
        const Boxes left = readSequence(stream, file.size(), 0, source);

        for (const Boxes* read : {&held, &left}) {
            SCOPED_TRACE(read == &held ? "held" : "left in the file");
            ASSERT_EQ(read->boxes.size(), c.boxes);
            EXPECT_TRUE(read->atEnd);
            const auto* box = dynamic_cast<const CodestreamBox*>(read->boxes[0].get());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text().substr(0, c.textStart.size()), c.textStart);
            EXPECT_EQ(box->payloadSize, c.payload);
            EXPECT_EQ(box->window.has_value(), read == &left);
            EXPECT_EQ(writeAll(*read), expected);
        }
        stream.close();
        std::filesystem::remove(path);
    }
}

TEST(CodestreamBox, AFileReplacedSinceTheOpenIsNotCopiedFrom) {
    Sequence file;
    file.codestream(fourTiles(), sizeOf(fourTiles()));
    const auto path = std::filesystem::temp_directory_path() /
                      ("boxquill-replaced-" + std::to_string(std::random_device{}()) + ".bin");
    const auto put = [&](const std::vector<std::uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    };
    file.bytes.insert(file.bytes.begin(), 12, 0);  // where the signature stands
    put(file.bytes);
    FileStream stream;
    ASSERT_TRUE(stream.open(path.string(), "rb"));
    stream.seek(12);
    const auto source =
        std::make_shared<const SourceFile>(SourceFile{path.string(), *stream.identity(), {}});
    const Boxes left = readSequence(stream, file.bytes.size(), 0, source);
    stream.close();
    ASSERT_EQ(left.boxes.size(), 1u);
    std::vector<std::uint8_t> sink(1 << 16);
    MemoryStream out;
    out.attach(sink.data(), static_cast<std::uint32_t>(sink.size()));
    EXPECT_TRUE(left.boxes[0]->writeBox(out, false));

    // Same size each time; the first byte of the payload with a new modification time, then a
    // byte in the middle with the old time put back, which only the change time tells.
    const auto opened = std::filesystem::last_write_time(path);
    for (const std::size_t at : {std::size_t{20}, file.bytes.size() / 2}) {
        SCOPED_TRACE(at);
        std::vector<std::uint8_t> changed = file.bytes;
        changed[at] ^= 0x01;
        put(changed);
        std::filesystem::last_write_time(path,
                                         at == 20 ? opened + std::chrono::seconds(5) : opened);
        EXPECT_FALSE(left.boxes[0]->writeBox(out, false));
    }
    std::filesystem::remove(path);
}

// A codestream past 4 GiB in a box with a 64-bit length, most of it a hole of the file system:
// it is walked where it lies, by seeking over its tile-parts.
TEST(CodestreamBox, AnExtendedBoxPast4GiBIsWalkedInTheFile) {
    constexpr std::uint32_t kFirstPart = 0xC0000000u;
    constexpr std::uint32_t kSecondPart = 0x40000100u;
    Bytes head;
    head.mainHeader().sot(0, kFirstPart, 0, 2).marker(0x93);
    Bytes tail;
    tail.sot(0, kSecondPart, 1, 2).marker(0x93);
    const std::uint64_t partsAt = head.bytes.size() - 14;
    const std::uint64_t length = partsAt + kFirstPart + kSecondPart + 2;
    Bytes header;
    header.u32(1).u32(kTypeJp2c).u32(static_cast<std::uint32_t>((length + 16) >> 32));
    header.u32(static_cast<std::uint32_t>(length + 16));

    const auto path = std::filesystem::temp_directory_path() /
                      ("boxquill-large-" + std::to_string(std::random_device{}()) + ".bin");
    {
        std::ofstream out(path, std::ios::binary);
        const auto put = [&](const Bytes& b) {
            out.write(reinterpret_cast<const char*>(b.bytes.data()),
                      static_cast<std::streamsize>(b.bytes.size()));
        };
        put(header);
        put(head);
        out.seekp(static_cast<std::streamoff>(16 + partsAt + kFirstPart));
        put(tail);
        out.seekp(static_cast<std::streamoff>(16 + length - 2));
        put(Bytes().eoc());
        if (!out) {
            std::filesystem::remove(path);
            GTEST_SKIP() << "this file system cannot hold a sparse file past 4 GiB";
        }
    }
    FileStream stream;
    ASSERT_TRUE(stream.open(path.string(), "rb"));
    const auto source =
        std::make_shared<const SourceFile>(SourceFile{path.string(), *stream.identity(), {}});
    const Boxes left = readSequence(stream, 16 + length + 12, 64 * 1024, source);
    stream.close();
    std::filesystem::remove(path);

    ASSERT_EQ(left.boxes.size(), 1u);
    EXPECT_TRUE(left.atEnd);
    const auto* box = dynamic_cast<const CodestreamBox*>(left.boxes[0].get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->walk.outcome, WalkOutcome::Complete);
    EXPECT_EQ(box->walk.end, length);
    EXPECT_EQ(box->payloadSize, length);
    EXPECT_EQ(box->headerForm, HeaderForm::Extended);
    EXPECT_EQ(box->headerSize(), 16u);
    ASSERT_TRUE(box->window.has_value());
    EXPECT_EQ(box->window->offset, 16u);
    EXPECT_TRUE(box->heldBytes().empty());
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
    info.tileWidth = 0x55555555;  // three tiles of the same width
    info.tileHeight = 0xFFFFFFFF;
    info.tilesAcross = 3;
    info.tilesDown = 1;
    info.tileCount = 3;
    for (std::uint32_t index = 0; index < 3; ++index) {
        info.namedTiles[index] = {255, 0xFFFFFFFF};
    }
    const std::string full = formatReport(info, 1 << 20);
    const std::string line = " 0, 0 x 0, 1431655765 x 4294967295, 4294967295\r\n";
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
