#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "box/association_box.h"
#include "box/file_type_box.h"
#include "box/text_box.h"
#include "box/uuid_box.h"
#include "box_bytes.h"
#include "codestream/codestream_box.h"

namespace bq {
namespace {

using test::Bytes;
using test::readFile;
using test::written;

const std::vector<std::uint8_t> kGeoId(kGeoTiffUuid.begin(), kGeoTiffUuid.end());
const std::string kGeoLine =
    "ID: [ B1, 4B, F8, BD, 08, 3D, 4B, 43, A5, AE, 8C, D7, D5, A6, CE, 03 ]";

// The one box a file of a signature and `box` reads as (the signature keeps the box shorter
// than the file).
std::unique_ptr<Box> readOne(const Bytes& box) {
    Bytes file;
    file.signature().raw(box.get());
    auto result = readFile(file.get());
    if (result.boxes.size() != 1) {
        ADD_FAILURE() << "read " << result.boxes.size() << " boxes";
        return nullptr;
    }
    return std::move(result.boxes[0]);
}

std::vector<std::uint8_t> bytesOf(const std::string& s) {
    return {s.begin(), s.end()};
}
// A literal with embedded NULs: all its characters but the terminator.
template <std::size_t N>
std::vector<std::uint8_t> bytesOf(const char (&s)[N]) {
    return {s, s + N - 1};
}

TEST(BoxKinds, OperationTable) {
    struct Row {
        std::unique_ptr<Box> box;
        bool locked;
        bool editable;
        bool canImport;
        std::string typeName;
        std::string extension;
    };
    Row rows[] = {
        {std::make_unique<GenericBox>(0, kTypeJp2h), true, false, false, "Data", ".dat"},
        {std::make_unique<AssociationBox>(), false, false, false, "Data", ".dat"},
        {std::make_unique<FileTypeBox>(0), true, false, false, "Data", ".dat"},
        {std::make_unique<XmlBox>(), false, true, true, "XML", ".xml"},
        {std::make_unique<LabelBox>(), false, true, true, "Text", ".txt"},
        {std::make_unique<UuidBox>(0, false), false, false, true, "Data", ".dat"},
        {std::make_unique<UuidBox>(0, true), false, false, true, "TIFF", ".tif"},
        {std::make_unique<CodestreamBox>(), true, false, false, "J2K", ".j2k"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(idText(*row.box));
        EXPECT_EQ(row.box->isLocked(), row.locked);
        EXPECT_EQ(row.box->isEditable(), row.editable);
        EXPECT_EQ(row.box->canImport(), row.canImport);
        EXPECT_EQ(row.box->fileKind().typeName, row.typeName);
        EXPECT_EQ(row.box->fileKind().extension, row.extension);
    }
}

TEST(BoxKinds, DescriptionNamesByTypeBehindThreeBlanksPerLevel) {
    struct Row {
        std::uint32_t type;
        const char* name;
    };
    const Row rows[] = {
        {kTypeAsoc, "Association box"},
        {kTypeFtyp, "File type"},
        {kTypeJp2c, "Image codestream"},
        {kTypeJp2h, "JP2 header"},
        {kTypeLbl, "Label"},
        {kTypeRreq, "Reader requirements"},
        {kTypeUuid, "User data"},
        {kTypeXml, "XML file"},
        {fourCC("free"), ""},
    };
    for (const Row& row : rows) {
        GenericBox box(0, row.type);
        EXPECT_EQ(box.description(), row.name);
        box.depth = 2;
        EXPECT_EQ(box.description(), std::string("      ") + row.name);
    }
    GenericBox rreq(0, kTypeRreq);
    rreq.depth = 78;
    EXPECT_EQ(rreq.description().size(), 3u * 78 + 19);
}

TEST(BoxKinds, IdTextUpperCasesLettersOnlyAndIndentsWithBars) {
    GenericBox box(0, kTypeJp2c);
    EXPECT_EQ(idText(box), "JP2C");
    box.type = kTypeXml;
    box.depth = 2;
    EXPECT_EQ(idText(box), "|  |  XML ");
    box.depth = 0;
    EXPECT_EQ(idText(box, fourCC("jpxb")), "JPXB");
    box.type = 0x617A7B00;  // 'a', 'z', '{' and NUL: only the letters change
    EXPECT_EQ(idText(box), std::string("AZ{\0", 4));
    box.type = 0xE96A7032;
    EXPECT_EQ(idText(box), "\xE9JP2");
}

TEST(XmlBox, LineEndsBecomeCrLf) {
    const std::string payload = "a\nb\rc\r\nd\r";
    auto box = readOne(Bytes().box(kTypeXml, payload));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(box->payloadSize, 12u);
    EXPECT_EQ(static_cast<XmlBox&>(*box).capacity, 512);
    EXPECT_EQ(written(*box, true), Bytes().box(kTypeXml, "a\r\nb\r\nc\r\nd\r\n").get());
}

TEST(XmlBox, LineEndTable) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", ""},
        {"\n", "\r\n"},
        {"\r", "\r\n"},
        {"\r\r", "\r\n\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"\r\n\r\n", "\r\n\r\n"},
        {"x\n\ry", "x\r\n\r\ny"},
        {std::string("ab\0cd", 5), "ab"},
    };
    for (const Case& c : cases) {
        auto box = readOne(Bytes().box(kTypeXml, c.in));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), c.out);
        EXPECT_EQ(box->payloadSize, c.out.size());
        EXPECT_EQ(written(*box, false), bytesOf(c.out));
    }
}

TEST(XmlBox, ImportNormalisesLineEnds) {
    XmlBox box;
    const std::vector<std::uint8_t> file = bytesOf("<a>\n</a>\n");
    MemoryStream stream;
    stream.attach(file.data(), static_cast<std::uint32_t>(file.size()));
    ASSERT_TRUE(box.importPayload(stream, static_cast<std::uint32_t>(file.size())));
    EXPECT_EQ(box.text(), "<a>\r\n</a>\r\n");
    EXPECT_EQ(box.payloadSize, 11u);
    EXPECT_EQ(box.capacity, 511);
}

TEST(LabelBox, OneTrailingNulIsDropped) {
    struct Case {
        std::string payload;
        std::uint32_t size;
    };
    const Case cases[] = {{std::string("abc\0", 4), 3},
                          {std::string("abc\0\0", 5), 4},
                          {"abc", 3},
                          {"", 0},
                          {std::string("\0", 1), 0}};
    for (const Case& c : cases) {
        auto box = readOne(Bytes().box(kTypeLbl, c.payload));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->payloadSize, c.size);
        EXPECT_EQ(box->text(), c.payload.substr(0, c.payload.find('\0')));
        EXPECT_EQ(static_cast<LabelBox&>(*box).capacity, static_cast<int>(c.payload.size()));
        EXPECT_EQ(written(*box, false), bytesOf(c.payload.substr(0, c.size)));
    }
}

TEST(LabelBox, ImportKeepsNulsAndLineEndsAndSetsCapacityToTheSize) {
    LabelBox box;
    const std::vector<std::uint8_t> file = {'a', '\n', 'b', 0};
    MemoryStream stream;
    stream.attach(file.data(), 4);
    ASSERT_TRUE(box.importPayload(stream, 4));
    EXPECT_EQ(box.payloadSize, 4u);
    EXPECT_EQ(box.capacity, 4);
    EXPECT_EQ(written(box, false), file);
}

TEST(TextBox, SetTextReusesTheBufferOnlyBelowCapacity) {
    XmlBox box;
    box.setText("hello");
    EXPECT_EQ(box.capacity, 505);
    EXPECT_EQ(box.payloadSize, 5u);
    EXPECT_EQ(box.text(), "hello");
    const std::uint8_t* buffer = box.data.data();

    box.setText("hi");
    EXPECT_EQ(box.data.data(), buffer);
    EXPECT_EQ(box.capacity, 505);
    EXPECT_EQ(box.text(), "hi");
    EXPECT_EQ(box.payloadSize, 2u);
    EXPECT_EQ(written(box, true), Bytes().box(kTypeXml, "hi").get());

    const std::string full(505, 'x');
    box.setText(full);
    EXPECT_EQ(box.capacity, 1005);
    EXPECT_EQ(box.text(), full);
    EXPECT_EQ(box.payloadSize, 505u);

    box.setText(std::string("cut\0here", 8));
    EXPECT_EQ(box.text(), "cut");
    EXPECT_EQ(box.payloadSize, 3u);
}

TEST(TextBox, ReserveTextMakesRoomForTheTextAndItsNul) {
    LabelBox box;  // as the Add command makes it: no data, capacity 0
    box.reserveText(0);
    EXPECT_EQ(box.capacity, 500);
    EXPECT_EQ(box.payloadSize, 0u);
    ASSERT_GE(box.data.size(), 1u);
    box.reserveText(499);
    EXPECT_EQ(box.capacity, 500);
    EXPECT_EQ(box.payloadSize, 499u);
    box.reserveText(500);
    EXPECT_EQ(box.capacity, 1000);
    EXPECT_GE(box.data.size(), 501u);

    // A label read from a file with a trailing NUL has capacity one above its size.
    LabelBox fromFile(8);
    fromFile.reserveText(3);  // no data yet: a buffer must be made whatever capacity says
    EXPECT_GE(fromFile.data.size(), 4u);
    EXPECT_EQ(fromFile.payloadSize, 3u);
}

TEST(UuidBox, GeoTiffPayloadIsDescribedAsGeoTiffAtEveryDepthAndExportsTheTiffAlone) {
    std::vector<std::uint8_t> payload = kGeoId;
    const std::vector<std::uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
    payload.insert(payload.end(), tiff.begin(), tiff.end());
    const Bytes boxBytes = Bytes().box(kTypeUuid, payload);
    auto box = readOne(boxBytes);
    ASSERT_NE(box, nullptr);
    auto& uuid = static_cast<UuidBox&>(*box);
    EXPECT_TRUE(uuid.isGeoTiff);
    EXPECT_EQ(uuid.description(), "GeoTIFF");
    uuid.depth = 3;
    EXPECT_EQ(uuid.description(), "GeoTIFF");
    EXPECT_EQ(uuid.fileKind().typeName, std::string("TIFF"));
    EXPECT_EQ(uuid.text(), kGeoLine + "\r\n\r\n<GeoTIFF file>");
    EXPECT_EQ(written(uuid, false), tiff);
    EXPECT_EQ(written(uuid, true), boxBytes.get());
    EXPECT_EQ(uuid.writtenSize(), boxBytes.size());
}

TEST(UuidBox, OtherIdentifiersShowTheirBytesAndWriteBackUnchanged) {
    const std::vector<std::uint8_t> xmp = {0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42,
                                           0xE8, 0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3,
                                           0xAF, 0xAC, '<',  'x',  '/',  '>'};
    const Bytes boxBytes = Bytes().box(kTypeUuid, xmp);
    auto box = readOne(boxBytes);
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(static_cast<UuidBox&>(*box).isGeoTiff);
    EXPECT_EQ(box->description(), "User data");
    EXPECT_EQ(box->text(),
              "ID: [ BE, 7A, CF, CB, 97, A9, 42, E8, 9C, 71, 99, 94, 91, E3, AF, AC ]");
    EXPECT_EQ(written(*box, true), boxBytes.get());
    EXPECT_EQ(written(*box, false), bytesOf("<x/>"));
}

// A payload too short for an identifier is shown and written as the bytes it has.
TEST(UuidBox, ShortPayloadsShowOnlyTheirBytesAndWriteBackUnchanged) {
    for (std::uint8_t n = 0; n < 17; ++n) {
        std::vector<std::uint8_t> payload;
        std::string ids;
        for (std::uint8_t i = 0; i < n; ++i) {
            payload.push_back(kGeoTiffUuid[i]);
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", kGeoTiffUuid[i]);
            ids += (i == 0 ? "" : ", ") + std::string(hex);
        }
        const Bytes boxBytes = Bytes().box(kTypeUuid, payload);
        auto box = readOne(boxBytes);
        ASSERT_NE(box, nullptr);
        const auto& uuid = static_cast<UuidBox&>(*box);
        SCOPED_TRACE(int{n});
        EXPECT_EQ(uuid.isGeoTiff, n == 16);
        EXPECT_EQ(written(uuid, true), boxBytes.get());
        EXPECT_EQ(uuid.writtenSize(), boxBytes.size());
        if (n < 16) {
            EXPECT_EQ(uuid.text(), "ID: [ " + ids + " ]");
            EXPECT_EQ(written(uuid, false), std::vector<std::uint8_t>{});
        }
    }
}

TEST(UuidBox, UnfilledGeoTiffBoxShowsTheIdentifierAndWritesNothing) {
    UuidBox box(0, true);
    EXPECT_EQ(box.text(), kGeoLine);
    EXPECT_EQ(box.text().size(), 70u);
    EXPECT_EQ(written(box, true), std::vector<std::uint8_t>{});
    EXPECT_EQ(written(box, false), std::vector<std::uint8_t>{});
    EXPECT_EQ(box.writtenSize(), 0u);
}

TEST(UuidBox, ImportPutsTheIdentifierInFront) {
    const std::vector<std::uint8_t> file = {'I', 'I', 42, 0};
    {
        UuidBox box(0, true);  // as the Add command makes it
        MemoryStream stream;
        stream.attach(file.data(), 4);
        ASSERT_TRUE(box.importPayload(stream, 4));
        EXPECT_EQ(box.payloadSize, 20u);
        EXPECT_TRUE(box.isGeoTiff);
        EXPECT_EQ(box.text(), kGeoLine + "\r\n\r\n<GeoTIFF file>");
        EXPECT_EQ(written(box, false), file);
        std::vector<std::uint8_t> expected = kGeoId;
        expected.insert(expected.end(), file.begin(), file.end());
        EXPECT_EQ(written(box, true), Bytes().box(kTypeUuid, expected).get());
    }
    {
        // A box with an identifier of its own keeps it: its payload is replaced, not its kind.
        std::vector<std::uint8_t> payload(16, 0x5A);
        payload.push_back('x');
        auto box = readOne(Bytes().box(kTypeUuid, payload));
        ASSERT_NE(box, nullptr);
        MemoryStream stream;
        stream.attach(file.data(), 4);
        ASSERT_TRUE(box->importPayload(stream, 4));
        std::vector<std::uint8_t> expected(16, 0x5A);
        expected.insert(expected.end(), file.begin(), file.end());
        EXPECT_EQ(written(*box, true), Bytes().box(kTypeUuid, expected).get());
        EXPECT_FALSE(static_cast<UuidBox&>(*box).isGeoTiff);
    }
}

TEST(FileTypeBox, SummaryListsTheCompatibilityEntries) {
    struct Case {
        std::vector<std::uint8_t> payload;
        std::string summary;
        bool isJpx;
    };
    const Case cases[] = {
        {bytesOf("jp2 \0\0\0\0jp2 "), "JP2: [ JP2  ]", false},
        {bytesOf(std::string("jpx \0\0\0\1jpx jp2 jpxb", 20)), "JPX: [ JPX  | JP2  | JPXB ]", true},
        {bytesOf(std::string("jp2 \0\0\0\0", 8)), "JP2: [  ]", false},
    };
    for (const Case& c : cases) {
        const Bytes boxBytes = Bytes().box(kTypeFtyp, c.payload);
        SCOPED_TRACE(c.summary);
        auto box = readOne(boxBytes);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), c.summary);
        EXPECT_EQ(static_cast<FileTypeBox&>(*box).isJpx, c.isJpx);
        EXPECT_EQ(written(*box, true), boxBytes.get());
    }
}

TEST(FileTypeBox, RefusedPayloadsEndTheSequence) {
    const std::vector<std::uint8_t> payloads[] = {
        bytesOf("jpm \0\0\0\0jp2 "),      // another brand
        bytesOf(std::string("jp2 ", 4)),  // shorter than brand and version
        [] {
            std::vector<std::uint8_t> p = bytesOf(std::string("jp2 \0\0\0\0", 8));
            p.resize(140, 'x');  // 33 entries
            return p;
        }(),
    };
    for (const auto& payload : payloads) {
        Bytes file;
        file.signature().box(kTypeFtyp, payload).box(kTypeLbl, "x");
        const auto result = readFile(file.get());
        EXPECT_TRUE(result.boxes.empty());
        EXPECT_FALSE(result.atEnd);
    }
}

// Bytes behind the last whole entry stay with the box, so the next box is read from its true
// start and the box is written back with the length it had.
TEST(FileTypeBox, OddTrailingBytesAreKeptWithTheBox) {
    for (std::uint8_t odd = 1; odd <= 3; ++odd) {
        std::vector<std::uint8_t> payload = bytesOf(std::string("jp2 \0\0\0\0jp2 jpx ", 16));
        for (std::uint8_t i = 0; i < odd; ++i) {
            payload.push_back(static_cast<std::uint8_t>(0xA0 + i));
        }
        const Bytes ftyp = Bytes().box(kTypeFtyp, payload);
        Bytes file;
        file.signature().raw(ftyp.get()).box(kTypeLbl, "next");
        const auto result = readFile(file.get());
        ASSERT_EQ(result.boxes.size(), 2u) << int{odd};
        EXPECT_EQ(result.boxes[0]->text(), "JP2: [ JP2  | JPX  ]");
        EXPECT_EQ(written(*result.boxes[0], true), ftyp.get());
        EXPECT_EQ(result.boxes[1]->text(), "next");
        EXPECT_TRUE(result.atEnd);
    }
    // The longest payload: 32 entries and three odd bytes.
    std::vector<std::uint8_t> payload = bytesOf(std::string("jpx \0\0\0\0", 8));
    for (int i = 0; i < 32; ++i) {
        const auto more = bytesOf("jpxb");
        payload.insert(payload.end(), more.begin(), more.end());
    }
    payload.insert(payload.end(), {1, 2, 3});
    ASSERT_EQ(payload.size(), 139u);
    const Bytes ftyp = Bytes().box(kTypeFtyp, payload);
    auto box = readOne(ftyp);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(static_cast<FileTypeBox&>(*box).compatCount, 32);
    EXPECT_EQ(written(*box, true), ftyp.get());
}

TEST(AssociationBox, WritesItsHeaderAloneWithOrWithoutTheFlag) {
    AssociationBox box;
    box.payloadSize = 30;
    const std::vector<std::uint8_t> header = Bytes().header(kTypeAsoc, 30).get();
    EXPECT_EQ(written(box, true), header);
    EXPECT_EQ(written(box, false), header);
    EXPECT_EQ(box.writtenSize(), 8u);
}

// The association-size refresh counts writtenSize, so it must match what writeBox puts out.
TEST(BoxKinds, WrittenSizeMatchesTheBytesWritten) {
    std::vector<std::unique_ptr<Box>> boxes;
    boxes.push_back(std::make_unique<GenericBox>(0, kTypeRreq));
    boxes.push_back(std::make_unique<AssociationBox>(12));
    boxes.push_back(std::make_unique<UuidBox>(0, true));
    boxes.push_back(std::make_unique<UuidBox>(0, false));
    auto xml = std::make_unique<XmlBox>();
    xml->setText("<a/>");
    boxes.push_back(std::move(xml));
    auto label = std::make_unique<LabelBox>();
    label->setText("name");
    boxes.push_back(std::move(label));
    Bytes file;
    file.signature()
        .box(kTypeFtyp, bytesOf("jp2 \0\0\0\0jp2 \1"))
        .box(kTypeUuid, std::vector<std::uint8_t>(40, 7))
        .box(kTypeUuid, std::vector<std::uint8_t>(3, 7))
        .box(kTypeUuid, std::vector<std::uint8_t>{})
        .box(kTypeLbl, std::string("z\0", 2))
        .box(kTypeXml, "a\nb");
    auto result = readFile(file.get());
    ASSERT_EQ(result.boxes.size(), 6u);
    for (auto& box : result.boxes) {
        boxes.push_back(std::move(box));
    }
    for (const auto& box : boxes) {
        SCOPED_TRACE(idText(*box) + " " + std::to_string(box->payloadSize));
        bool ok = false;
        EXPECT_EQ(written(*box, true, &ok).size(), box->writtenSize());
        EXPECT_TRUE(ok);
    }
}

// A box whose buffer holds less than its size claims writes zeros for the rest rather than
// reading past the buffer.
TEST(BoxKinds, WritingNeverReadsPastTheBuffer) {
    GenericBox generic(6, fourCC("free"));
    EXPECT_EQ(written(generic, true),
              Bytes().header(fourCC("free"), 6).raw({0, 0, 0, 0, 0, 0}).get());
    UuidBox uuid(20, false);
    uuid.data = {1, 2, 3, 0};
    std::vector<std::uint8_t> expected = {1, 2, 3, 0};
    expected.resize(20, 0);
    EXPECT_EQ(written(uuid, true), Bytes().box(kTypeUuid, expected).get());
    EXPECT_EQ(uuid.text(), "ID: [ 01, 02, 03, 00 ]");
}

TEST(BoxKinds, BaseImportReplacesThePayload) {
    GenericBox box(3, fourCC("free"));
    box.data = {1, 2, 3, 0};
    const std::vector<std::uint8_t> file = {9, 8};
    MemoryStream stream;
    stream.attach(file.data(), 2);
    ASSERT_TRUE(box.importPayload(stream, 2));
    EXPECT_EQ(box.payloadSize, 2u);
    EXPECT_EQ(box.data, (std::vector<std::uint8_t>{9, 8, 0}));
}

}  // namespace
}  // namespace bq
