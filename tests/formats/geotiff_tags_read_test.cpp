#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "formats/geotiff_tags.h"
#include "tests/formats/tiff_bytes.h"

namespace bq {
namespace {

// A file whose `gap` bytes of pixels behind the header are not there: reading them, or more
// than 1 MiB at once (a count believed), is stray and fails, as does a read at `failAt`.
struct File {
    Bytes bytes;
    std::uint64_t gap = 0, failAt = ~0ull;
    bool stray = false;
    GeoTiffTagsResult read() {
        const std::uint64_t head = bytes[2] + bytes[3] == 43 ? 16 : 8;
        const auto at = [&](std::uint64_t offset, std::span<std::uint8_t> out) {
            const std::uint64_t from = offset < head ? offset : offset - gap;
            stray = stray || (offset < head + gap && offset + out.size() > head && gap > 0) ||
                    out.size() > (1u << 20) || from + out.size() > bytes.size();
            if (stray || offset == failAt) {
                return false;
            }
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(from), out.size(), out.begin());
            return true;
        };
        return readGeoTiffTags(at, bytes.size() + gap);
    }
};

const GeoTiffTags want{{30, 30, 0}, {0, 0, 0, 5e5, 46e5, 0}, {}, {1, 1, 0, 0}, {6378137.0}, "A|"};

Tiff geo(bool little) {
    Tiff t{little, {}, {}};
    t.shorts(256, {20}).longs(273, 16).doubles(33550, want.pixelScale);
    t.doubles(33922, want.tiepoints).shorts(34735, want.keyDirectory);
    t.doubles(34736, want.doubleParams).ascii(34737, want.asciiParams);
    return t;
}

auto fields(const GeoTiffTags& t) {
    return std::tie(t.pixelScale, t.tiepoints, t.keyDirectory, t.doubleParams, t.asciiParams);
}

TEST(GeoTiffTagsRead, ByteOrdersAndBigTiffReadTheSameTagsNeverThePixels) {
    for (int i = 0; i < 8; ++i) {  // byte order x classic or BigTIFF x 300 MB of pixels or none
        const std::uint64_t gap = (i & 4) != 0 ? 300ull << 20 : 0;
        File file{geo((i & 1) != 0).build((i & 2) != 0 ? 43 : 42, gap), gap};
        const GeoTiffTagsResult r = file.read();
        ASSERT_TRUE(r.tags) << r.fault.value_or("") << i;
        EXPECT_EQ(fields(*r.tags), fields(want));
        EXPECT_FALSE(file.stray);
    }
}

TEST(GeoTiffTagsRead, HostileOrBrokenFilesAreFaults) {
    const auto with = [](Tiff t, Tiff::Tag tag) {
        t.tags.push_back(tag);
        return t;
    };
    const auto patched = [](Bytes b, std::size_t at, std::uint8_t v) {
        b.at(at) = v;
        return b;
    };
    const Tiff keysOnly = Tiff{true, {}, {}}.shorts(34735, {1, 1, 0, 0});
    std::tuple<const char*, File, std::string> rows[] = {
        // name, file, named in the fault
        {"short BigTIFF header", {Bytes{'M', 'M', 0, 43, 0, 8, 0, 0, 0, 0}}, ""},
        {"BigTIFF offsets of 4 bytes", {patched(geo(true).build(43), 4, 4)}, ""},
        {"not a TIFF", {Bytes{'X', 'X', 42, 0, 8, 0, 0, 0}}, ""},
        {"IFD past end", {patched(geo(true).build(), 7, 0xF0)}, ""},
        {"BigTIFF entry count", {patched(geo(true).build(43), 23, 0x40)}, ""},
        {"values past end", {with(keysOnly, {33922, 12, 1000, Bytes(16, 0)}).build(43)}, "33922"},
        {"count * 8 wraps", {with(keysOnly, {34264, 12, (1ull << 61) + 1, {}}).build(43)}, "34264"},
        {"cap", {with(keysOnly, {34736, 12, 3 << 20, {}}).build(42, 1 << 30), 1 << 30}, "34736"},
        {"wrong type", {with(keysOnly, {33550, 3, 1, Bytes(2, 0)}).build()}, "33550"},
        {"read fails", {geo(true).build(), 0, 122}, "33922"},  // at the tiepoints' values
        {"tag twice", {with(geo(true), {33550, 12, 3, Bytes(24, 0)}).build()}, "33550"},
        {"no GeoKey directory", {Tiff{false, {}, {}}.doubles(33550, {1, 1, 0}).build()}, ""},
        {"nothing places pixels", {keysOnly.build()}, ""},
    };
    for (auto& [name, file, mentions] : rows) {
        const GeoTiffTagsResult r = file.read();
        EXPECT_TRUE(!r.tags && r.fault) << name;
        EXPECT_NE(r.fault.value_or("").find(mentions), std::string::npos) << name;
        EXPECT_FALSE(file.stray) << name;
    }
}

}  // namespace
}  // namespace bq
