#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/geotiff_tags.h"
#include "tests/formats/tiff_bytes.h"

namespace bq {
namespace {

// A file with `gap` bytes of pixels behind its header and `padding` bytes at its end that are
// not there: a read of them, or of more than 1 MiB (a count believed), is stray and fails, as
// does a read at `failAt`.
struct File {
    Bytes bytes;
    std::uint64_t gap = 0, padding = 0, failAt = ~0ull;
    bool strayRead = false;
    GeoTiffTagsResult read() {
        const std::uint64_t head = bytes[2] + bytes[3] == 43 ? 16 : 8;
        const auto at = [&](std::uint64_t offset, std::span<std::uint8_t> out) {
            if (offset == failAt) {
                return false;
            }
            const std::uint64_t from = offset < head ? offset : offset - gap;
            if ((gap > 0 && offset < head + gap && offset + out.size() > head) ||
                out.size() > (1u << 20) || from + out.size() > bytes.size()) {
                strayRead = true;
                return false;
            }
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(from), out.size(), out.begin());
            return true;
        };
        return readGeoTiffTags(at, bytes.size() + gap + padding);
    }
};

Tiff geo(bool little) {
    Tiff t{little, {}, {}};
    t.shorts(256, {20}).longs(273, 16).doubles(33550, {30, 30, 0});
    t.doubles(33922, {0, 0, 0, 500000, 4600000, 0}).shorts(34735, {1, 1, 0, 0});
    t.doubles(34736, {6378137.0}).ascii(34737, "A|");
    return t;
}

TEST(GeoTiffTagsRead, ByteOrdersAndBigTiffReadTheSameTagsNeverThePixels) {
    for (bool little : {true, false}) {
        for (std::uint16_t version : {std::uint16_t{42}, std::uint16_t{43}}) {
            for (std::uint64_t gap : {0ull, 300ull << 20}) {
                File file{geo(little).build(version, gap), gap};
                const GeoTiffTagsResult r = file.read();
                ASSERT_TRUE(r.tags) << r.fault.value_or("") << little << version << gap;
                EXPECT_EQ(r.tags->pixelScale, (std::vector<double>{30, 30, 0}));
                EXPECT_EQ(r.tags->tiepoints[3], 500000);
                EXPECT_TRUE(r.tags->transformation.empty());
                EXPECT_EQ(r.tags->keyDirectory, (std::vector<std::uint16_t>{1, 1, 0, 0}));
                EXPECT_EQ(r.tags->doubleParams, std::vector<double>{6378137.0});
                EXPECT_EQ(r.tags->asciiParams, "A|");
                EXPECT_FALSE(file.strayRead);
            }
        }
    }
}

struct FaultRow {
    const char* name;
    File file;
    std::string mentions;  // in the fault, when not empty
};

TEST(GeoTiffTagsRead, HostileOrBrokenFilesAreFaults) {
    const auto with = [](Tiff t, Tiff::Tag tag) {
        t.tags.push_back(tag);
        return t;
    };
    const auto patched = [](Bytes b, std::size_t at, std::uint8_t value) {
        b[at] = value;
        return b;
    };
    Tiff keysOnly{true, {}, {}}, noKeys{false, {}, {}};
    keysOnly.shorts(34735, {1, 1, 0, 0});
    noKeys.doubles(33550, {1, 1, 0});
    FaultRow rows[] = {
        {"short header", {Bytes{'I', 'I', 42, 0, 8, 0}}, ""},
        {"short BigTIFF header", {Bytes{'M', 'M', 0, 43, 0, 8, 0, 0, 0, 0}}, ""},
        {"BigTIFF offsets of 4 bytes", {patched(geo(true).build(43), 4, 4)}, ""},
        {"not a TIFF", {Bytes{'X', 'X', 42, 0, 8, 0, 0, 0}}, ""},
        {"IFD past end", {patched(geo(true).build(), 7, 0xF0)}, ""},
        {"entries past end", {patched(geo(false).build(), 8, 0xFF)}, ""},
        {"BigTIFF entry count", {patched(geo(true).build(43), 23, 0x40)}, ""},
        {"values past end", {with(keysOnly, {33922, 12, 1000, Bytes(16, 0)}).build(43)}, "33922"},
        {"count * 8 wraps",
         {with(keysOnly, {34264, 12, (1ull << 61) + 1, Bytes(8, 0)}).build(43)},
         "34264"},
        {"count over the cap",
         {with(keysOnly, {34736, 12, 3 << 20, Bytes(16, 0)}).build(), 0, 1 << 30},
         "34736"},
        {"wrong type", {with(keysOnly, {33550, 3, 1, Bytes(2, 0)}).build()}, "33550"},
        {"read fails in the IFD", {geo(true).build(), 0, 0, 8}, ""},
        {"read fails in the tiepoints", {geo(true).build(), 0, 0, 122}, "33922"},
        {"tag twice", {with(geo(true), {33550, 12, 3, Bytes(24, 0)}).build()}, "33550"},
        {"no GeoKey directory", {noKeys.build()}, ""},
        {"nothing places pixels", {keysOnly.build()}, ""},
    };
    for (FaultRow& row : rows) {
        const GeoTiffTagsResult r = row.file.read();
        EXPECT_FALSE(r.tags) << row.name;
        const std::string fault = r.fault.value_or("");
        EXPECT_NE(fault.find(row.mentions), std::string::npos) << row.name << ": " << fault;
        EXPECT_FALSE(fault.empty()) << row.name;
        EXPECT_FALSE(row.file.strayRead) << row.name;
    }
}

}  // namespace
}  // namespace bq
