// Each row a small file with one fault, and the test that must name it.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "stream/memory_stream.h"
#include "tests/ui/test_files.h"
#include "validate/validate_file.h"

namespace bq::test {
namespace {

Bytes u16Bytes(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}
Bytes ihdr(std::uint8_t bpc = 7, std::uint8_t ipr = 0) {
    return boxBytes("ihdr", concat({u32Bytes(4), u32Bytes(4), u16Bytes(3), {bpc, 7, 0, ipr}}));
}
Bytes colr(std::uint32_t space = 16, std::uint8_t precedence = 0) {
    return boxBytes("colr", concat({{1, precedence, 0}, u32Bytes(space)}));
}
Bytes iccColr(std::uint32_t tagOffset, const char* tag) {
    Bytes profile(128, 0);
    const Bytes size = u32Bytes(128 + 4 + 12 + 4);
    std::copy(size.begin(), size.end(), profile.begin());
    const Bytes cls = textBytes("mntr");
    std::copy(cls.begin(), cls.end(), profile.begin() + 12);
    return boxBytes("colr", concat({{2, 0, 0},
                                    profile,
                                    u32Bytes(1),
                                    textBytes(tag),
                                    u32Bytes(tagOffset),
                                    u32Bytes(4),
                                    {0, 0, 0, 0}}));
}
// A JP2 file: signature, ftyp, a header of `header` boxes, `extra`, then a codestream box.
Bytes jp2(const Bytes& header, const Bytes& extra = {}, const Bytes& ftyp = kFileTypePayload) {
    return concat({kSignatureBytes, boxBytes("ftyp", ftyp), boxBytes("jp2h", header), extra,
                   boxBytes("jp2c", {0xFF, 0x4F, 0xFF, 0xD9})});
}
const Bytes kHeader = concat({ihdr(), colr()});
Bytes res(const Bytes& resc) {
    return concat({kHeader, boxBytes("res ", boxBytes("resc", resc))});
}

const Bytes kJpxType = concat({textBytes("jpx "), u32Bytes(0), textBytes("jp2 jpx ")});
// ML 1, FUAM, DCM, one standard feature (5) with its mask, no vendor feature.
const Bytes kRreq = boxBytes("rreq", {1, 0xFF, 0xFF, 0, 1, 0, 5, 0x80, 0, 0});
Bytes jpx(const Bytes& extra, const Bytes& rreq = kRreq) {
    return concat({kSignatureBytes, boxBytes("ftyp", kJpxType), rreq, boxBytes("jp2h", kHeader),
                   extra, boxBytes("jp2c", {0xFF, 0x4F, 0xFF, 0xD9})});
}
// A fragment table of one fragment: offset, length, data reference.
Bytes ftbl(std::uint32_t offset, std::uint16_t reference) {
    return boxBytes("ftbl", boxBytes("flst", concat({u16Bytes(1), u32Bytes(0), u32Bytes(offset),
                                                     u32Bytes(10), u16Bytes(reference)})));
}

struct Row {
    const char* name;
    Bytes file;
    const char* test;
    Severity severity;
    const char* format;
};

const Row kRows[] = {
    {"empty", {}, "containsSignatureBox", Severity::Error, "unknown"},
    {"jpeg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16}, "containsSignatureBox", Severity::Error, "jpeg"},
    {"badSignature",
     concat({Bytes(kSignatureBytes.begin(), kSignatureBytes.end() - 1), {0x0B}, Bytes{}}),
     "signatureIsValid", Severity::Error, "jp2"},
    {"minorVersion", jp2(kHeader, {}, concat({textBytes("jp2 "), u32Bytes(1), textBytes("jp2 ")})),
     "minorVersionIsValid", Severity::Error, "jp2"},
    {"compatList", jp2(kHeader, {}, concat({textBytes("jp2 "), u32Bytes(0), textBytes("jpxb")})),
     "compatibilityListIsValid", Severity::Error, "jp2"},
    {"noHeader", concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload)}),
     "containsJP2HeaderBox", Severity::Error, "jp2"},
    {"ihdrNotFirst", jp2(concat({colr(), ihdr()})), "firstJP2HeaderBoxIsImageHeaderBox",
     Severity::Error, "jp2"},
    {"bpcTooDeep", jp2(concat({ihdr(0x40), colr()})), "bPCIsValid", Severity::Error, "jp2"},
    {"bpc255NoBpcc", jp2(concat({ihdr(0xFF), colr()})), "containsBitsPerComponentBox",
     Severity::Error, "jp2"},
    {"iprWithoutBox", jp2(concat({ihdr(7, 1), colr()})), "containsIntellectualPropertyBox",
     Severity::Error, "jp2"},
    {"enumSpace", jp2(concat({ihdr(), colr(20)})), "enumCSIsValid", Severity::Error, "jp2"},
    {"precedence", jp2(concat({ihdr(), colr(16, 1)})), "precIsValid", Severity::Error, "jp2"},
    {"colrApart", jp2(concat({ihdr(), colr(), boxBytes("bpcc", {7, 7, 7}), colr()})),
     "colourSpecificationBoxesAreContiguous", Severity::Error, "jp2"},
    {"zeroDenominator",
     jp2(res(concat({u16Bytes(1), u16Bytes(0), u16Bytes(1), u16Bytes(1), {0, 0}}))), "vRcDIsValid",
     Severity::Error, "jp2"},
    {"paletteAlone", jp2(concat({kHeader, boxBytes("pclr", concat({u16Bytes(1), {1, 7}, {9}}))})),
     "paletteAndComponentMappingBoxesOnlyTogether", Severity::Error, "jp2"},
    {"cdefAssociation",
     jp2(concat({kHeader,
                 boxBytes("cdef", concat({u16Bytes(1), u16Bytes(0), u16Bytes(0), u16Bytes(5)}))})),
     "cAssocIsValid", Severity::Error, "jp2"},
    {"iccLut", jp2(concat({ihdr(), iccColr(144, "A2B0")})), "iccNoLUTBasedProfile", Severity::Error,
     "jp2"},
    {"iccTagOutside", jp2(concat({ihdr(), iccColr(4000, "desc")})), "iccTagTableIsValid",
     Severity::Error, "jp2"},
    {"xmlBroken", jp2(kHeader, boxBytes("xml ", textBytes("<a><b></a>"))), "containsWellformedXML",
     Severity::Error, "jp2"},
    {"twoUrls",
     jp2(kHeader, boxBytes("uinf", concat({boxBytes("ulst", u16Bytes(0)),
                                           boxBytes("url ", {0, 0, 0, 0, 'a', 0}),
                                           boxBytes("url ", {0, 0, 0, 0, 'b', 0})}))),
     "containsOneURLBox", Severity::Error, "jp2"},
    {"xmlNulPadded", jp2(kHeader, boxBytes("xml ", textBytes(std::string("<a/>\0", 5)))),
     "containsWellformedXML", Severity::Error, "jp2"},
    {"nestedXmlNulPadded",
     jp2(kHeader, boxBytes("asoc", boxBytes("xml ", textBytes(std::string("<a/>\0", 5))))),
     "xmlHasNoTrailingNull", Severity::Warning, "jp2"},
    {"noCodestream",
     concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload), boxBytes("jp2h", kHeader)}),
     "locationJP2HeaderBoxIsValid", Severity::Error, "jp2"},
    {"rescWithoutExponents", jp2(res(concat({u16Bytes(1), u16Bytes(1), u16Bytes(1), u16Bytes(1)}))),
     "vRcEIsValid", Severity::Error, "jp2"},
    {"colrWithoutEnumCS", jp2(concat({ihdr(), boxBytes("colr", {1, 0, 0, 0})})), "enumCSIsValid",
     Severity::Error, "jp2"},
    {"lengthPastEnd", concat({jp2(kHeader), u32Bytes(100), textBytes("free")}), "boxLengthIsValid",
     Severity::Error, "jp2"},
    {"headerAfterCodestream",
     concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload), boxBytes("jp2c", {}),
             boxBytes("jp2h", kHeader)}),
     "locationJP2HeaderBoxIsValid", Severity::Error, "jp2"},
    {"emptyAssociation", jp2(kHeader, boxBytes("asoc", {})), "associationIsNotEmpty",
     Severity::Error, "jp2"},
    {"labelNotUtf8", jp2(kHeader, boxBytes("asoc", boxBytes("lbl ", {0xC3, 0x28}))), "labelIsUTF8",
     Severity::Error, "jp2"},
    {"jpxWithoutRreq", jpx({}, {}), "containsReaderRequirementsBox", Severity::Error, "jpx"},
    {"maskLength", jpx({}, boxBytes("rreq", {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
     "maskLengthIsValid", Severity::Error, "jpx"},
    {"rreqShort", jpx({}, boxBytes("rreq", {1, 0xFF, 0xFF, 0, 2, 0, 5, 0x80, 0, 0})),
     "boxLengthIsValid", Severity::Error, "jpx"},
    {"fragmentOutside", jpx(ftbl(1000, 0)), "fragmentIsInsideFile", Severity::Error, "jpx"},
    {"noDataReference", jpx(ftbl(0, 1)), "dataReferenceExists", Severity::Error, "jpx"},
    {"jpchColourFirst", jpx(boxBytes("jpch", concat({colr(), ihdr()}))),
     "firstCodestreamHeaderBoxIsImageHeaderBox", Severity::Error, "jpx"},
    {"jpchTooMany", jpx(concat({boxBytes("jpch", ihdr()), boxBytes("jpch", ihdr())})),
     "codestreamHeaderCountIsValid", Severity::Error, "jpx"},
};

class ValidateRow : public testing::TestWithParam<Row> {};

TEST_P(ValidateRow, NamesItsFault) {
    const Row& row = GetParam();
    MemoryStream stream;
    stream.attach(row.file.data(), static_cast<std::uint32_t>(row.file.size()));
    const ValidationReport report = validateStream(stream, row.file.size());
    EXPECT_EQ(report.format, row.format);
    const auto& all = report.findings.all();
    const bool found = std::any_of(all.begin(), all.end(), [&](const Finding& finding) {
        return finding.test == row.test && finding.severity == row.severity;
    });
    std::string seen;
    for (const Finding& finding : all) {
        seen += finding.test + ": " + finding.message + "\n";
    }
    EXPECT_TRUE(found) << seen;
}

INSTANTIATE_TEST_SUITE_P(Faults, ValidateRow, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Validate, SamplesHaveNoError) {
    for (const char* name : {"tiled.jp2", "geo-gmljp2.jp2", "nested-asoc.jp2"}) {
        const ValidationReport report =
            validateFile(std::string(BOXQUILL_SOURCE_DIR) + "/samples/" + name);
        std::string seen;
        for (const Finding& finding : report.findings.all()) {
            seen += finding.test + ": " + finding.message + " [" + finding.box + "]\n";
        }
        EXPECT_TRUE(report.valid()) << name << "\n" << seen;
        EXPECT_EQ(report.format, "jp2");
        // The check's own limits (a payload read whole, a level's box count) are no tests.
        for (const std::string& test : report.findings.passed()) {
            EXPECT_FALSE(test.ends_with("Checked")) << name << ": " << test;
        }
    }
}

TEST(Validate, ALimitReachedIsAWarningAndNeverPasses) {
    Findings findings;
    findings.limit("payloadIsChecked", true, "");
    findings.limit("boxesChecked", false, "more than 100000 boxes");
    findings.error("signatureIsValid", true, "");
    EXPECT_EQ(findings.passed(), std::vector<std::string>{"signatureIsValid"});
    ASSERT_EQ(findings.all().size(), 1u);
    EXPECT_EQ(findings.all()[0].severity, Severity::Warning);
}

TEST(Validate, JpxMadeOfAValidJp2HasNoError) {
    // tiled.jp2 with a JPX file type and a reader requirements box after it.
    const Bytes sample = readFile(std::string(BOXQUILL_SOURCE_DIR) + "/samples/tiled.jp2");
    ASSERT_GT(sample.size(), 32u);
    const Bytes file =
        concat({Bytes(sample.begin(), sample.begin() + 12), boxBytes("ftyp", kJpxType), kRreq,
                Bytes(sample.begin() + 32, sample.end())});
    MemoryStream stream;
    stream.attach(file.data(), static_cast<std::uint32_t>(file.size()));
    const ValidationReport report = validateStream(stream, file.size());
    EXPECT_EQ(report.format, "jpx");
    for (const Finding& finding : report.findings.all()) {
        ADD_FAILURE() << finding.test << ": " << finding.message;
    }
}

// geo-gmljp2.jp2 with one byte of its GML root instance changed; lengths stay.
Bytes editedGml(std::string_view from, std::string_view to) {
    Bytes file = readFile(std::string(BOXQUILL_SOURCE_DIR) + "/samples/geo-gmljp2.jp2");
    const auto at = std::search(file.begin(), file.end(), from.begin(), from.end());
    EXPECT_NE(at, file.end());
    if (at != file.end()) {
        std::copy(to.begin(), to.end(), at);
    }
    return file;
}

TEST(Validate, GmlRootInstanceAndItsAgreementWithGeoJp2) {
    const struct {
        Bytes file;
        const char* test;
        Severity severity;
    } cases[] = {
        {editedGml("<gml:pos>46.9995", "<gml:pos>56.9995"), "geoJp2AgreesWithGmlJp2",
         Severity::Warning},
        {editedGml("</gml:pos>", "</gml:pas>"), "gmlRootInstanceIsWellformed", Severity::Error},
    };
    for (const auto& row : cases) {
        MemoryStream stream;
        stream.attach(row.file.data(), static_cast<std::uint32_t>(row.file.size()));
        const ValidationReport report = validateStream(stream, row.file.size());
        const auto& all = report.findings.all();
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Finding& finding) {
            return finding.test == row.test && finding.severity == row.severity;
        })) << row.test;
    }
}

TEST(Validate, FindingsNameTheRowOfTopLevelBoxes) {
    const Bytes file = jp2(kHeader, boxBytes("xml ", textBytes("<a>")));
    MemoryStream stream;
    stream.attach(file.data(), static_cast<std::uint32_t>(file.size()));
    const ValidationReport report = validateStream(stream, file.size());
    // The stand-in codestream has findings of its own; the XML box's is the one wanted here.
    const auto& all = report.findings.all();
    const auto xml = std::find_if(all.begin(), all.end(),
                                  [](const Finding& finding) { return finding.box == "xml"; });
    ASSERT_NE(xml, all.end());
    EXPECT_EQ(xml->row, 2);  // after ftyp and jp2h, as `list` says
}

}  // namespace
}  // namespace bq::test
