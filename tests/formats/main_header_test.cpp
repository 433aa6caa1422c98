#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codestream/main_header.h"
#include "stream/memory_stream.h"

namespace bq {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kSiz = {0xFF, 0x51, 0, 47, 0, 0, 0, 0, 0, 3,    0, 0, 0,    2, 0, 0, 0,
                    0,    0,    0, 0,  0, 0, 0, 0, 3, 0,    0, 0, 2,    0, 0, 0, 0,
                    0,    0,    0, 0,  0, 3, 7, 1, 1, 0x87, 2, 2, 0x0B, 1, 1};
const Bytes kCod = {0xFF, 0x52, 0, 14, 0x07, 2, 0, 3, 1, 1, 4, 3, 0x21, 1, 0x77, 0x88};
const Bytes kQcd = {0xFF, 0x5C, 0, 4, 0x42, 0x48};
const Bytes kCom = {0xFF, 0x64, 0, 7, 0, 1, 'a', 0xE9, 'b'};
const Bytes kTlm = {0xFF, 0x55, 0, 4, 0, 0};
const Bytes kSot = {0xFF, 0x90, 0, 10, 0, 0, 0, 0, 0, 14, 0, 1};

struct Row {
    const char* name;
    std::vector<Bytes> parts;
    bool complete;
    std::size_t components;
    bool tlm;
    std::size_t comments;
    const char* warning = "";  // in the first warning; "" for none
};

TEST(MainHeader, FieldsAndFaults) {
    const Bytes soc = {0xFF, 0x4F};
    const Bytes cutCom = {0xFF, 0x64, 0, 40, 0, 1};
    // Csiz 16384 in a segment holding 3 components; XRsiz 0; 32 levels, 2 precinct bytes.
    Bytes manyComponents = kSiz;
    manyComponents[38] = 0x40;
    manyComponents[39] = 0x00;
    Bytes noSubsampling = kSiz;
    noSubsampling[44] = 0;
    Bytes shortPrecincts = kCod;
    shortPrecincts[9] = 32;
    const Row rows[] = {
        {"whole", {soc, kSiz, kCod, kQcd, kCom, kTlm, kSot}, true, 3, true, 1},
        {"no SOC", {kSiz, kCod, kSot}, false, 0, false, 0},
        {"segment past the end", {soc, kSiz, cutCom}, false, 3, false, 0},
        {"no first tile-part", {soc, kSiz, kCod}, false, 3, false, 0},
        {"Csiz beyond Lsiz", {soc, manyComponents, kSot}, true, 3, false, 0, "holds 3"},
        {"XRsiz 0", {soc, noSubsampling, kSot}, true, 3, false, 0, "component 1"},
        {"precincts short", {soc, kSiz, shortPrecincts, kSot}, true, 3, false, 0, "2 of its 33"},
    };
    for (const Row& row : rows) {
        Bytes bytes;
        for (const Bytes& part : row.parts)
            bytes.insert(bytes.end(), part.begin(), part.end());
        MemoryStream stream;
        stream.attach(static_cast<const std::uint8_t*>(bytes.data()),
                      static_cast<std::uint32_t>(bytes.size()));
        const MainHeader header = readMainHeader(stream, bytes.size());
        EXPECT_EQ(header.complete, row.complete) << row.name;
        EXPECT_EQ(header.size ? header.size->components.size() : 0, row.components) << row.name;
        EXPECT_EQ(header.hasTlm, row.tlm) << row.name;
        EXPECT_EQ(header.comments.size(), row.comments) << row.name;
        const std::string first = header.warnings.empty() ? "" : header.warnings[0];
        EXPECT_EQ(*row.warning == '\0', first.empty()) << row.name << ": " << first;
        EXPECT_NE(first.find(row.warning), std::string::npos) << row.name << ": " << first;
    }
}

TEST(MainHeader, CodingParametersOfAWholeHeader) {
    Bytes bytes = {0xFF, 0x4F};
    for (const Bytes& part : {kSiz, kCod, kQcd, kCom, kSot})
        bytes.insert(bytes.end(), part.begin(), part.end());
    MemoryStream stream;
    stream.attach(static_cast<const std::uint8_t*>(bytes.data()),
                  static_cast<std::uint32_t>(bytes.size()));
    const MainHeader h = readMainHeader(stream, bytes.size());
    ASSERT_TRUE(h.size && h.coding && h.quantization);
    EXPECT_EQ(h.size->components[1].ssiz, 0x87);
    EXPECT_EQ(h.size->components[1].dx, 2);
    EXPECT_EQ(progressionName(h.coding->progression), "RPCL");
    EXPECT_EQ(h.coding->layers, 3);
    EXPECT_EQ(h.coding->levels, 1);
    EXPECT_EQ(h.coding->precincts, (Bytes{0x77, 0x88}));
    EXPECT_EQ(h.quantization->guardBits(), 2);
    EXPECT_EQ(quantizationName(h.quantization->style()), "scalar expounded");
    EXPECT_EQ(h.comments[0].text,
              "a\xC3\xA9"
              "b");
    EXPECT_EQ(h.length, bytes.size() - kSot.size());
}

}  // namespace
}  // namespace bq
