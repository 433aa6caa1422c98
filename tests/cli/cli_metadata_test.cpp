// boxquill-cli resolution, icc and xmp as a program: each saved file compared whole with the
// bytes expected, so every byte the command should not touch is shown kept.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "formats/xmp_packet.h"
#include "tests/cli/cli_run.h"
#include "tests/ui/test_files.h"

namespace bq::test {
namespace {

const Bytes kIhdr = boxBytes("ihdr", {0, 0, 0, 2, 0, 0, 0, 3, 0, 3, 7, 7, 0, 0});
const Bytes kColr = boxBytes("colr", {1, 5, 1, 0, 0, 0, 16});
const Bytes kFree = boxBytes("free", {1, 2, 3});
const Bytes kXml = boxBytes("xml ", textBytes("<a/>"));

Bytes document(const Bytes& header, const Bytes& middle = {}) {
    return concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload), boxBytes("jp2h", header),
                   middle, kFree, kXml});
}
Bytes resolution(std::string_view type, Bytes vertical, Bytes horizontal, std::uint8_t ve,
                 std::uint8_t he) {
    return boxBytes(type, concat({vertical, horizontal, {ve, he}}));
}
// N and D of one axis.
Bytes axis(std::uint16_t n, std::uint16_t d) {
    return {static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n),
            static_cast<std::uint8_t>(d >> 8), static_cast<std::uint8_t>(d)};
}
Bytes profile(std::string_view space, std::uint32_t sizeField = 128) {
    Bytes p(128, 0);
    const Bytes size = u32Bytes(sizeField);
    std::copy(size.begin(), size.end(), p.begin());
    std::copy(space.begin(), space.end(), p.begin() + 16);
    const std::string_view acsp = "acsp";
    std::copy(acsp.begin(), acsp.end(), p.begin() + 36);
    return p;
}
Bytes xmpBox(std::string_view packet) {
    return boxBytes("uuid", concat({Bytes(kXmpUuid.begin(), kXmpUuid.end()), textBytes(packet)}));
}

struct Row {
    const char* name;
    Bytes input;
    std::vector<std::string> args;  // after FILE; "IN" is the profile file, -o OUT added
    std::optional<Bytes> expected;  // none: refused, nothing written
    Bytes inputFile = {};
};

TEST(CliMetadata, EachChangeKeepsEveryOtherByte) {
    BOXQUILL_NEEDS_SHELL();
    const Bytes plain = concat({kIhdr, kColr});
    const Bytes res300x72 =
        boxBytes("res ", concat({resolution("resc", axis(300, 254), axis(300, 254), 4, 4),
                                 resolution("resd", axis(72, 254), axis(72, 254), 4, 4)}));
    const Row rows[] = {
        {"capture and display in dpi",
         document(plain),
         {"resolution", "--capture", "300", "--display", "72"},
         document(concat({plain, res300x72}))},
        {"HxV is horizontal then vertical, in dpcm",
         document(plain),
         {"resolution", "--capture", "5x7", "--unit", "dpcm"},
         document(
             concat({plain, boxBytes("res ", resolution("resc", axis(7, 1), axis(5, 1), 2, 2))}))},
        {"removing both resolutions removes res",
         document(concat({plain, res300x72})),
         {"resolution", "--remove", "both"},
         document(plain)},
        {"unreadable header is not rewritten",
         document(concat({kIhdr, u32Bytes(99)})),
         {"resolution", "--capture", "300"},
         std::nullopt},
        {"profile into an enumerated colr",
         document(plain),
         {"icc", "--import", "IN"},
         document(concat({kIhdr, boxBytes("colr", concat({{2, 5, 1}, profile("RGB ")}))})),
         profile("RGB ")},
        {"profile of the wrong colour space",
         document(plain),
         {"icc", "--import", "IN"},
         std::nullopt,
         profile("CMYK")},
        {"profile whose size field lies",
         document(plain),
         {"icc", "--import", "IN"},
         std::nullopt,
         profile("RGB ", 200)},
        {"profile longer than its size field",
         document(plain),
         {"icc", "--import", "IN"},
         std::nullopt,
         concat({profile("RGB "), Bytes(8, 0)})},
        {"XMP added after the header",
         document(plain),
         {"xmp", "--set-text", "<x/>"},
         document(plain, xmpBox("<x/>"))},
        {"XMP replaced where it is",
         document(plain, xmpBox("<old/>")),
         {"xmp", "--set-file", "IN"},
         document(plain, xmpBox("<y>new</y>")),
         textBytes("<y>new</y>")},
        {"XMP that is not well-formed",
         document(plain),
         {"xmp", "--set-text", "<x>"},
         std::nullopt},
    };
    for (const Row& row : rows) {
        TempFolder folder;
        const std::string in = folder.file("in.jp2");
        const std::string out = folder.file("out.jp2");
        writeFile(in, row.input);
        writeFile(folder.file("in.dat"), row.inputFile);
        std::vector<std::string> args{row.args.front(), in};
        for (std::size_t i = 1; i < row.args.size(); ++i) {
            args.push_back(row.args[i] == "IN" ? folder.file("in.dat") : row.args[i]);
        }
        args.insert(args.end(), {"-o", out});
        const CliResult result = runCli(folder, args);
        EXPECT_EQ(result.exitCode, row.expected ? 0 : 1) << row.name << ": " << result.err;
        if (row.expected) {
            EXPECT_EQ(readFile(out), *row.expected) << row.name;
        } else {
            EXPECT_FALSE(std::filesystem::exists(out)) << row.name;
            EXPECT_NE(result.err, "") << row.name;
        }
    }
}

TEST(CliMetadata, ReadsBackWhatItWrote) {
    BOXQUILL_NEEDS_SHELL();
    TempFolder folder;
    const std::string in = folder.file("in.jp2");
    const Bytes icc = profile("RGB ");
    writeFile(in, document(concat({kIhdr, kColr, boxBytes("colr", concat({{3, 0, 0}, icc}))}),
                           xmpBox("<p/>")));
    EXPECT_EQ(runCli(folder, {"xmp", in}).out, "<p/>");
    const std::string exported = folder.file("out.icc");
    ASSERT_EQ(runCli(folder, {"icc", in, "--export", exported}).exitCode, 0);
    EXPECT_EQ(readFile(exported), icc);
    EXPECT_EQ(runCli(folder, {"icc", in, "--colr", "0", "--export", exported}).exitCode, 1);
}

TEST(CliMetadata, ScriptLinesRunTheSameChanges) {
    BOXQUILL_NEEDS_SHELL();
    TempFolder folder;
    const std::string in = folder.file("in.jp2");
    const std::string out = folder.file("out.jp2");
    const std::string script = folder.file("script.txt");
    writeFile(in, document(concat({kIhdr, kColr})));
    writeFile(script, textBytes("resolution --display 72\nxmp --set-text '<x/>'\n"));
    const CliResult ran = runCli(folder, {"run", in, "-o", out, script});
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    const Bytes res = boxBytes("res ", resolution("resd", axis(72, 254), axis(72, 254), 4, 4));
    EXPECT_EQ(readFile(out), document(concat({kIhdr, kColr, res}), xmpBox("<x/>")));
}

}  // namespace
}  // namespace bq::test
