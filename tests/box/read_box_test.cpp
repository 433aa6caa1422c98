#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "box/association_box.h"
#include "box/read_box.h"
#include "box/text_box.h"
#include "box/uuid_box.h"
#include "box_bytes.h"

namespace bq {
namespace {

using test::Bytes;
using test::readFile;

// An association A (length 49) holding a label (13) and an association B (28) that holds an
// XML box (20), then a uuid box behind A.
Bytes workedExample() {
    Bytes file;
    file.signature()
        .header(kTypeAsoc, 41)
        .box(kTypeLbl, "label")
        .header(kTypeAsoc, 20)
        .box(kTypeXml, "<a>hello</a>")
        .box(kTypeUuid, std::vector<std::uint8_t>(20, 0x11));
    return file;
}

TEST(ReadBox, WorkedExampleGivesDepthsParentsAndTextsCallByCall) {
    const Bytes file = workedExample();
    MemoryStream stream;
    stream.attach(file.get().data(), file.size());
    ASSERT_EQ(testSignature(stream), SignatureResult::Ok);
    ReadContext context;
    context.fileSize = file.size();
    NestingContext& nesting = context.nesting;

    struct Step {
        std::uint32_t type;
        int depth;
        int parentIndex;  // -1: none
        const char* id;
        const char* description;
        int contextDepth;
        int contextParentIndex;
    };
    const Step steps[] = {
        {kTypeAsoc, 0, -1, "ASOC", "Association box", 1, 0},
        {kTypeLbl, 1, 0, "|  LBL ", "   Label", 1, 0},
        {kTypeAsoc, 1, 0, "|  ASOC", "   Association box", 2, 2},
        {kTypeXml, 2, 2, "|  |  XML ", "      XML file", 0, -1},
        {kTypeUuid, 0, -1, "UUID", "User data", 0, -1},
    };
    std::vector<std::unique_ptr<Box>> boxes;
    for (const Step& step : steps) {
        auto box = readBox(stream, context);
        ASSERT_NE(box, nullptr) << "call " << boxes.size() + 1;
        boxes.push_back(std::move(box));
        const Box& b = *boxes.back();
        SCOPED_TRACE(step.id);
        EXPECT_EQ(b.type, step.type);
        EXPECT_EQ(b.depth, step.depth);
        EXPECT_EQ(b.parent, step.parentIndex < 0 ? nullptr : boxes[step.parentIndex].get());
        EXPECT_EQ(idText(b), step.id);
        EXPECT_EQ(b.description(), step.description);
        EXPECT_EQ(nesting.depth, step.contextDepth);
        EXPECT_EQ(nesting.parent,
                  step.contextParentIndex < 0 ? nullptr : boxes[step.contextParentIndex].get());
    }
    const std::uint32_t p = 20;  // just behind A's header
    EXPECT_EQ(boxes[0]->endPosition, p + 41);
    EXPECT_EQ(boxes[2]->endPosition, p + 41);
    EXPECT_EQ(boxes[1]->endPosition, 0u);
    // Associations show no payload until their sizes are refreshed from their rows.
    EXPECT_EQ(boxes[0]->payloadSize, 0u);
    EXPECT_EQ(boxes[2]->payloadSize, 0u);
    EXPECT_EQ(boxes[1]->payloadSize, 5u);
    EXPECT_EQ(boxes[3]->payloadSize, 12u);

    // A file that ends exactly behind its last box ends the sequence at the end.
    EXPECT_EQ(readBox(stream, context), nullptr);
    EXPECT_TRUE(stream.atEnd());
}

TEST(ReadBox, RefusedLengthsEndTheSequenceBeforeTheEnd) {
    struct Case {
        const char* name;
        std::uint32_t length;
    };
    const Case cases[] = {
        {"extended length", 1}, {"two", 2}, {"seven", 7}, {"file length", 0}, {"beyond", 0},
    };
    for (const Case& c : cases) {
        Bytes file;
        file.signature().box(kTypeXml, "before");
        const std::uint32_t at = file.size();
        file.u32(c.length).u32(kTypeXml).text("0123456789abcdef");
        std::vector<std::uint8_t> bytes = file.get();
        // Patch in the lengths that depend on the file's own size.
        std::uint32_t length = c.length;
        if (std::string(c.name) == "file length") {
            length = static_cast<std::uint32_t>(bytes.size());
        } else if (std::string(c.name) == "beyond") {
            length = static_cast<std::uint32_t>(bytes.size()) + 100;
        }
        for (int i = 0; i < 4; ++i) {
            bytes[at + static_cast<std::uint32_t>(i)] =
                static_cast<std::uint8_t>(length >> (24 - 8 * i));
        }
        const auto result = readFile(bytes);
        SCOPED_TRACE(c.name);
        ASSERT_EQ(result.boxes.size(), 1u);
        EXPECT_FALSE(result.atEnd);
        // An extended length is read whole before it is refused.
        EXPECT_EQ(result.tell, at + (c.length == 1 ? 16u : 8u));
    }
}

TEST(ReadBox, LengthEightGivesAnEmptyPayloadWithoutData) {
    Bytes file;
    file.signature().header(kTypeXml, 0).header(kTypeLbl, 0).header(fourCC("free"), 0);
    const auto result = readFile(file.get());
    ASSERT_EQ(result.boxes.size(), 3u);
    EXPECT_TRUE(result.atEnd);
    const Box& generic = *result.boxes[2];
    EXPECT_EQ(generic.payloadSize, 0u);
    EXPECT_FALSE(generic.hasData());
    EXPECT_EQ(result.boxes[1]->text(), "");
    EXPECT_EQ(result.boxes[1]->payloadSize, 0u);
    EXPECT_EQ(result.boxes[0]->text(), "");
    EXPECT_EQ(result.boxes[0]->payloadSize, 0u);
}

TEST(ReadBox, LengthZeroRunsToTheEndOfTheFileAndIsWrittenBackAsItWas) {
    Bytes file;
    file.signature().u32(0).u32(fourCC("free")).box(kTypeLbl, "next");
    const auto result = readFile(file.get());
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0]->payloadSize, 12u);
    EXPECT_EQ(result.boxes[0]->headerForm, HeaderForm::ToEnd);
    EXPECT_TRUE(result.atEnd);
    EXPECT_EQ(test::written(*result.boxes[0], true), test::slice(file.get(), 12, 20));
}

// Length 1: the real length follows the type in 64 bits and counts the 16-byte header.
TEST(ReadBox, ExtendedLengthsAreReadAndWrittenBackAndShortOnesRefused) {
    struct Case {
        std::uint32_t low;
        bool read;
    };
    for (const Case c : {Case{16 + 4, true}, Case{16, true}, Case{15, false}, Case{8, false}}) {
        SCOPED_TRACE(c.low);
        Bytes file;
        file.signature().u32(1).u32(fourCC("free")).u32(0).u32(c.low).text("abcd");
        const auto result = readFile(file.get());
        ASSERT_EQ(result.boxes.size(), c.read ? 1u : 0u);
        if (c.read) {
            EXPECT_EQ(result.boxes[0]->payloadSize, c.low - 16u);
            EXPECT_EQ(result.boxes[0]->headerForm, HeaderForm::Extended);
            EXPECT_EQ(test::written(*result.boxes[0], true), test::slice(file.get(), 12, c.low));
        }
    }
}

TEST(ReadBox, TrailingBytesShorterThanAHeaderEndTheSequenceAtTheEnd) {
    for (std::uint8_t extra = 0; extra < 8; ++extra) {
        Bytes file;
        file.signature().box(kTypeLbl, "x");
        for (std::uint8_t i = 0; i < extra; ++i) {
            file.u8(0x7F);
        }
        const auto result = readFile(file.get());
        EXPECT_EQ(result.boxes.size(), 1u) << int{extra};
        EXPECT_TRUE(result.atEnd) << int{extra};
    }
}

TEST(ReadBox, EmptyAssociationIsTakenOffInItsOwnCall) {
    Bytes file;
    file.signature().header(kTypeAsoc, 0).box(kTypeLbl, "sibling");
    const auto result = readFile(file.get());
    ASSERT_EQ(result.boxes.size(), 2u);
    EXPECT_EQ(result.boxes[1]->depth, 0);
    EXPECT_EQ(result.boxes[1]->parent, nullptr);
}

TEST(ReadBox, NestedAssociationsEndingTogetherAreBothTakenOffAfterTheLastChild) {
    Bytes file;
    file.signature()
        .header(kTypeAsoc, 8 + 8 + 4)
        .header(kTypeAsoc, 8 + 4)
        .box(kTypeLbl, "leaf")
        .box(kTypeLbl, "after");
    const auto result = readFile(file.get());
    ASSERT_EQ(result.boxes.size(), 4u);
    EXPECT_EQ(result.boxes[2]->depth, 2);
    EXPECT_EQ(result.boxes[2]->parent, result.boxes[1].get());
    EXPECT_EQ(result.boxes[1]->parent, result.boxes[0].get());
    EXPECT_EQ(result.boxes[3]->depth, 0);
    EXPECT_EQ(result.boxes[3]->parent, nullptr);
    EXPECT_EQ(result.context.nesting.depth, 0);
    EXPECT_EQ(result.context.nesting.parent, nullptr);
}

TEST(ReadBox, Jp2hIsAGenericBoxWrittenBackByteForByte) {
    Bytes file;
    const std::vector<std::uint8_t> payload = {0, 0, 0, 22, 'i', 'h', 'd', 'r', 1,  2,  3, 4,
                                               5, 6, 7, 8,  9,   10,  11,  12,  13, 14, 0};
    file.signature().box(kTypeJp2h, payload);
    const auto result = readFile(file.get());
    ASSERT_EQ(result.boxes.size(), 1u);
    const Box& box = *result.boxes[0];
    EXPECT_NE(dynamic_cast<const GenericBox*>(&box), nullptr);
    EXPECT_EQ(box.description(), "JP2 header");
    EXPECT_EQ(idText(box), "JP2H");
    EXPECT_TRUE(box.isLocked());
    EXPECT_FALSE(box.canImport());
    EXPECT_EQ(box.text(), "");
    EXPECT_EQ(test::written(box, true), test::slice(file.get(), 12, payload.size() + 8));
    EXPECT_EQ(test::written(box, false), payload);
    EXPECT_EQ(box.writtenSize(), payload.size() + 8);
}

// The part of a payload that the file does not supply reads as zeros, never as stale memory.
TEST(ReadBox, BoxRunningPastTheEndStaysWithZerosForTheMissingBytes) {
    Bytes file;
    file.signature().box(kTypeRreq, "0123456789").header(fourCC("free"), 20).text("abcde");
    const auto result = readFile(file.get());
    ASSERT_EQ(result.boxes.size(), 2u);
    EXPECT_TRUE(result.atEnd);
    const Box& box = *result.boxes[1];
    EXPECT_EQ(box.payloadSize, 20u);
    std::vector<std::uint8_t> expected = {'a', 'b', 'c', 'd', 'e'};
    expected.resize(21, 0);
    EXPECT_EQ(box.data, expected);
}

TEST(ReadBox, AssociationDeeperThanAnyDisplayBufferKeepsWholeTexts) {
    constexpr int kDepth = kMaxShownDepth;
    static_assert(kDepth >= 200);
    Bytes file;
    file.signature();
    const std::string leaf = "<deep/>";
    for (int level = 0; level < kDepth; ++level) {
        file.header(kTypeAsoc,
                    static_cast<std::uint32_t>((kDepth - 1 - level) * 8 + 8 + leaf.size()));
    }
    file.box(kTypeXml, leaf).box(kTypeRreq, "r");
    const auto result = readFile(file.get());
    ASSERT_EQ(result.boxes.size(), static_cast<std::size_t>(kDepth + 2));
    const Box& deepest = *result.boxes[kDepth];
    EXPECT_EQ(deepest.depth, kDepth);
    EXPECT_EQ(deepest.parent, result.boxes[kDepth - 1].get());
    std::string bars;
    for (int level = 0; level < kDepth; ++level) {
        bars += "|  ";
    }
    EXPECT_EQ(idText(deepest), bars + "XML ");
    EXPECT_EQ(deepest.description(), std::string(3 * kDepth, ' ') + "XML file");
    EXPECT_EQ(deepest.text(), leaf);
    // Deeper still, the indentation stays at its widest.
    GenericBox deeper(0, kTypeLbl);
    deeper.depth = kDepth + 50;
    EXPECT_EQ(idText(deeper), bars + "LBL ");
    EXPECT_EQ(deeper.description(), std::string(3 * kDepth, ' ') + "Label");
    const Box& after = *result.boxes[kDepth + 1];
    EXPECT_EQ(after.depth, 0);
    EXPECT_EQ(after.description(), "Reader requirements");
    EXPECT_TRUE(result.atEnd);
}

TEST(ReadBox, KindsAreChosenByType) {
    Bytes file;
    file.signature()
        .header(kTypeAsoc, 0)
        .box(kTypeLbl, "l")
        .box(kTypeXml, "x")
        .box(kTypeUuid, std::vector<std::uint8_t>(16, 0))
        .box(kTypeRreq, "r");
    const auto result = readFile(file.get());
    ASSERT_EQ(result.boxes.size(), 5u);
    EXPECT_NE(dynamic_cast<AssociationBox*>(result.boxes[0].get()), nullptr);
    EXPECT_NE(dynamic_cast<LabelBox*>(result.boxes[1].get()), nullptr);
    EXPECT_NE(dynamic_cast<XmlBox*>(result.boxes[2].get()), nullptr);
    EXPECT_NE(dynamic_cast<UuidBox*>(result.boxes[3].get()), nullptr);
    EXPECT_NE(dynamic_cast<GenericBox*>(result.boxes[4].get()), nullptr);
}

TEST(ReadBox, RefusedPayloadEndsTheSequenceAndLeavesTheContextAlone) {
    Bytes file;
    file.signature().header(kTypeAsoc, 8 + 8).box(kTypeFtyp, "jpm 0000").box(kTypeLbl, "x");
    MemoryStream stream;
    stream.attach(file.get().data(), file.size());
    ASSERT_EQ(testSignature(stream), SignatureResult::Ok);
    ReadContext context;
    context.fileSize = file.size();
    NestingContext& nesting = context.nesting;
    auto asoc = readBox(stream, context);
    ASSERT_NE(asoc, nullptr);
    EXPECT_EQ(readBox(stream, context), nullptr);
    EXPECT_FALSE(stream.atEnd());
    EXPECT_EQ(nesting.parent, asoc.get());
    EXPECT_EQ(nesting.depth, 1);
}

}  // namespace
}  // namespace bq
