#include <gtest/gtest.h>

#include <vector>

#include "box/signature.h"
#include "box_bytes.h"

namespace bq {
namespace {

TEST(Signature, FirstBytesAreJudgedInOrder) {
    const std::vector<std::uint8_t> jp2 = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                           0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        SignatureResult result;
        std::uint32_t tellAfterOk;
    };
    std::vector<std::uint8_t> socThenJp2 = {0xFF, 0x4F};
    socThenJp2.insert(socThenJp2.end(), jp2.begin(), jp2.end());
    std::vector<std::uint8_t> badContent = jp2;
    badContent[11] = 0x0B;
    std::vector<std::uint8_t> badLength = jp2;
    badLength[3] = 0x0D;
    const Case cases[] = {
        {"signature", jp2, SignatureResult::Ok, 12},
        {"signature behind SOC", socThenJp2, SignatureResult::Ok, 14},
        {"codestream", {0xFF, 0x4F, 0xFF, 0x51, 0x00, 0x29}, SignatureResult::CodestreamFound, 0},
        {"SOC then something else",
         {0xFF, 0x4F, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0},
         SignatureResult::ParseFailure,
         0},
        // The failed second read leaves 0x4FFF: neither SIZ nor zero.
        {"only SOC", {0xFF, 0x4F}, SignatureResult::ParseFailure, 0},
        {"empty", {}, SignatureResult::ReadFailure, 0},
        {"one byte", {0x00}, SignatureResult::ReadFailure, 0},
        {"ends within the signature",
         {0x00, 0x00, 0x00, 0x0C, 0x6A},
         SignatureResult::ReadFailure,
         0},
        {"JPEG",
         {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0, 1},
         SignatureResult::ParseFailure,
         0},
        {"wrong content", badContent, SignatureResult::ParseFailure, 0},
        {"wrong length", badLength, SignatureResult::ParseFailure, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint8_t none = 0;
        MemoryStream stream;
        stream.attach(c.bytes.empty() ? &none : c.bytes.data(),
                      static_cast<std::uint32_t>(c.bytes.size()));
        EXPECT_EQ(testSignature(stream), c.result);
        if (c.result == SignatureResult::Ok) {
            EXPECT_EQ(stream.tell(), c.tellAfterOk);
        }
    }
}

TEST(Signature, WrittenSignatureIsTheTwelveBytesThatPassTheTest) {
    std::vector<std::uint8_t> buffer(12, 0);
    MemoryStream stream;
    stream.attach(buffer.data(), 12);
    writeSignature(stream);
    EXPECT_TRUE(stream.good());
    EXPECT_EQ(buffer, test::Bytes().signature().get());
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20,
                                                 0x0D, 0x0A, 0x87, 0x0A}));
}

}  // namespace
}  // namespace bq
