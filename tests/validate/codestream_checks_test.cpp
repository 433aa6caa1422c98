#include "validate/codestream_checks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "stream/memory_stream.h"

namespace bq {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& b, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void segment(Bytes& b, std::uint8_t code, const Bytes& body) {
    put(b, 0xFF00u | code, 2);
    put(b, body.size() + 2, 2);
    b.insert(b.end(), body.begin(), body.end());
}

struct TilePart {
    std::uint16_t isot = 0;
    std::uint8_t tpsot = 0, tnsot = 1;
    std::vector<std::pair<std::uint8_t, Bytes>> header;
    int data = 4;
    std::optional<std::uint32_t> psot;  // else the tile-part's own length
};

// Tile-part `tpsot` of `tnsot` of tile 0.
TilePart part(std::uint8_t tpsot, std::uint8_t tnsot,
              std::vector<std::pair<std::uint8_t, Bytes>> header = {}) {
    TilePart t;
    t.tpsot = tpsot;
    t.tnsot = tnsot;
    t.header = std::move(header);
    return t;
}

// The parts of a small codestream that rows change: one 8 x 8 tile of one 8-bit component.
struct Plan {
    Bytes siz = {0, 0, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                 0, 8, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 7, 1, 1};
    std::vector<std::pair<std::uint8_t, Bytes>> main = {{0x52, {0, 0, 0, 1, 0, 0, 2, 2, 0, 1}},
                                                        {0x5C, {0x40, 0x48}}};
    std::vector<TilePart> parts = {TilePart{}};
    bool eoc = true;
    std::function<void(Bytes&)> patch;
};

Bytes build(const Plan& s) {
    Bytes b = {0xFF, 0x4F};
    segment(b, 0x51, s.siz);
    for (const auto& [code, body] : s.main)
        segment(b, code, body);
    for (const TilePart& t : s.parts) {
        Bytes header;
        for (const auto& [code, body] : t.header)
            segment(header, code, body);
        const std::size_t size = 12 + header.size() + 2 + static_cast<std::size_t>(t.data);
        Bytes sot;
        put(sot, t.isot, 2);
        put(sot, t.psot.value_or(static_cast<std::uint32_t>(size)), 4);
        sot.push_back(t.tpsot);
        sot.push_back(t.tnsot);
        segment(b, 0x90, sot);
        b.insert(b.end(), header.begin(), header.end());
        put(b, 0xFF93, 2);
        b.insert(b.end(), static_cast<std::size_t>(t.data), 0x11);
    }
    if (s.eoc)
        put(b, 0xFFD9, 2);
    if (s.patch)
        s.patch(b);
    return b;
}

Findings check(const Bytes& bytes) {
    MemoryStream stream;
    stream.attach(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    Findings findings;
    checkCodestream(stream, 0, bytes.size(), "jp2c", findings);
    return findings;
}

std::string errorsOf(const Findings& findings) {
    std::string text;
    for (const Finding& f : findings.all())
        text += f.test + ": " + f.message + "\n";
    return text;
}

TEST(CodestreamChecks, ValidControlHasNoFinding) {
    Plan toEnd;  // Psot 0: the last tile-part runs to EOC
    toEnd.parts[0].psot = 0;
    Plan full;  // two tile-parts, TLM and PLT that agree with them
    full.parts = {part(0, 2, {{0x58, {0, 4}}}), part(1, 2)};
    full.main.push_back({0x55, {0, 0x20, 0, 0, 0, 24, 0, 0, 0, 18}});
    full.main.push_back({0x57, {0, 1, 4, 1, 4}});
    Plan implied;  // TLM whose tile indices are implied
    implied.main.push_back({0x55, {0, 0, 0, 18}});
    Plan later;  // a tile-part after the first may hold POC, PLT and COM
    later.parts = {
        part(0, 2),
        part(1, 2, {{0x5F, {0, 0, 0, 1, 1, 1, 0}}, {0x58, {0, 4}}, {0x64, {0, 1, 'a'}}})};
    std::vector<Plan> plans = {Plan{}, toEnd, full, implied, later};
    // Rsiz: cinema 2K, broadcast level 7, IMF 4K sub level 5 level 3, extended tools with CAP
    // absent, and the profile in PRF with its PRF and a CPF.
    for (const unsigned rsiz : {0x0003u, 0x0107u, 0x0553u, 0x8123u, 0x0FFFu}) {
        Plan plan;
        plan.siz[0] = static_cast<std::uint8_t>(rsiz >> 8);
        plan.siz[1] = static_cast<std::uint8_t>(rsiz);
        if (rsiz == 0x0FFF) {
            plan.main.push_back({0x56, {0, 1}});
            plan.main.push_back({0x59, {0, 1, 0, 2}});
        }
        plans.push_back(plan);
    }
    for (const Plan& plan : plans) {
        const Findings findings = check(build(plan));
        EXPECT_TRUE(findings.all().empty()) << errorsOf(findings);
    }
}

struct Row {
    const char* test;
    std::function<void(Plan&)> change;
};

const Row kRows[] = {
    {"lsizIsValid", [](Plan& s) { s.siz.resize(36); }},
    {"lsizConsistentWithCsiz", [](Plan& s) { s.siz.push_back(0); }},
    {"rsizIsValid", [](Plan& s) { s.siz[1] = 9; }},
    {"rsizIsValid", [](Plan& s) { s.siz[0] = 0x0A; }},  // past the last IMF profile
    {"rsizIsValid",                                     // broadcast has no sub level
     [](Plan& s) {
         s.siz[0] = 0x01;
         s.siz[1] = 0x10;
     }},
    {"foundPRFMarker", [](Plan& s) { s.siz[0] = 0x0F, s.siz[1] = 0xFF; }},
    {"lprfIsValid",
     [](Plan& s) {
         s.siz[0] = 0x0F, s.siz[1] = 0xFF;
         s.main.push_back({0x56, {0, 1, 2}});
     }},
    {"prfConsistentWithRsiz",
     [](Plan& s) {
         s.main.push_back({0x56, {0, 1}});
     }},
    {"lcpfIsValid",
     [](Plan& s) {
         s.main.push_back({0x59, {}});
     }},
    {"xsizIsValid", [](Plan& s) { s.siz[5] = 0; }},
    {"xOsizIsValid", [](Plan& s) { s.siz[13] = 8; }},
    {"yTOsizIsValid", [](Plan& s) { s.siz[33] = 1; }},
    {"xTsizIsValid", [](Plan& s) { s.siz[21] = 0; }},
    {"csizIsValid", [](Plan& s) { s.siz[35] = 0; }},
    {"ssizIsValid", [](Plan& s) { s.siz[36] = 40; }},
    {"yRsizIsValid", [](Plan& s) { s.siz[38] = 0; }},
    {"foundCODMarker", [](Plan& s) { s.main.erase(s.main.begin()); }},
    {"foundQCDMarker", [](Plan& s) { s.main.pop_back(); }},
    {"orderIsValid", [](Plan& s) { s.main[0].second[1] = 5; }},
    {"layersIsValid", [](Plan& s) { s.main[0].second[3] = 0; }},
    {"levelsIsValid", [](Plan& s) { s.main[0].second[5] = 33; }},
    {"lcodConsistencyCheck", [](Plan& s) { s.main[0].second[0] = 1; }},
    {"sumHeightWidthExponentIsValid",
     [](Plan& s) { s.main[0].second[6] = s.main[0].second[7] = 5; }},
    {"transformationIsValid", [](Plan& s) { s.main[0].second[9] = 2; }},
    {"precinctSizeXIsValid",
     [](Plan& s) { s.main[0].second = {1, 0, 0, 1, 0, 1, 2, 2, 0, 1, 0x11, 0x10}; }},
    {"ccocIsValid",
     [](Plan& s) {
         s.main.push_back({0x53, {1, 0, 0, 2, 2, 0, 1}});
     }},
    {"maxOneCcocPerComponent",
     [](Plan& s) {
         s.main.insert(s.main.end(), 2, {0x53, {0, 0, 0, 2, 2, 0, 1}});
     }},
    {"qStyleIsValid", [](Plan& s) { s.main[1].second[0] = 0x43; }},
    {"lqcdConsistencyCheck", [](Plan& s) { s.main[1].second[0] = 0x41; }},
    {"maxOneCqccPerComponent",
     [](Plan& s) {
         s.main.insert(s.main.end(), 2, {0x5D, {0, 0x40, 0x48}});
     }},
    {"roiStyleIsValid",
     [](Plan& s) {
         s.main.push_back({0x5E, {0, 1, 3}});
     }},
    {"repocIsValid",
     [](Plan& s) {
         s.main.push_back({0x5F, {2, 0, 0, 1, 2, 1, 0}});
     }},
    {"cspocIsValid",
     [](Plan& s) {
         s.main.push_back({0x5F, {0, 1, 0, 1, 2, 2, 0}});
     }},
    {"lcrgIsValid",
     [](Plan& s) {
         s.main.push_back({0x63, {0, 0}});
     }},
    {"rcomIsValid",
     [](Plan& s) {
         s.main.push_back({0x64, {0, 2, 'x'}});
     }},
    {"commentIsValid",
     [](Plan& s) {
         s.main.push_back({0x64, {0, 1, 'a', 7}});
     }},
    {"markerAllowedInMainHeader",
     [](Plan& s) {
         s.main.push_back({0x58, {0, 4}});
     }},
    {"capConsistentWithRsiz", [](Plan& s) { s.siz[0] = 0x40; }},
    {"lcapIsValid",
     [](Plan& s) {
         s.siz[0] = 0x40;
         s.main.push_back({0x50, {0, 2, 0, 0}});
     }},
    {"markerSegmentIsComplete", [](Plan& s) { s.patch = [](Bytes& b) { b.resize(62); }; }},
    // Tile-parts; the first SOT is at 65.
    {"lsotIsValid", [](Plan& s) { s.patch = [](Bytes& b) { b[68] = 11; }; }},
    {"isotIsValid", [](Plan& s) { s.parts[0].isot = 1; }},
    {"psotIsValid", [](Plan& s) { s.parts[0].psot = 5; }},
    {"tpsotIsValid", [](Plan& s) { s.parts[0].tpsot = 255; }},
    {"foundSODMarker",
     [](Plan& s) {
         s.parts[0].header = {{0x64, {0, 1, 'a'}}};
         s.parts[0].psot = 19;
     }},
    {"foundNextTilePartOrEOC", [](Plan& s) { s.parts[0].psot = 20; }},
    {"foundExpectedNumberOfTiles", [](Plan& s) { s.siz[5] = 16; }},
    {"foundExpectedNumberOfTileParts", [](Plan& s) { s.parts[0].tnsot = 2; }},
    {"foundEOCMarker", [](Plan& s) { s.eoc = false; }},
    {"markerAllowedInTilePartHeader",
     [](Plan& s) {
         s.parts[0].header = {{0x55, {0, 0}}};
     }},
    // Beyond the field's usual tests.
    {"tilePartsInOrder",
     [](Plan& s) {
         s.parts = {part(1, 2), part(0, 2)};
     }},
    {"tilePartsInOrder",
     [](Plan& s) {
         s.parts = {part(0, 2), part(0, 2)};  // the first tile-part again
     }},
    {"tnsotIsConsistent",
     [](Plan& s) {
         s.parts = {part(0, 2), part(1, 3)};
     }},
    {"codInFirstTilePartOnly",
     [](Plan& s) {
         s.parts = {part(0, 2), part(1, 2, {{0x52, s.main[0].second}})};
     }},
    {"pltIsConsistent",
     [](Plan& s) {
         s.parts[0].header = {{0x58, {0, 5}}};
     }},
    {"tlmIsConsistent",
     [](Plan& s) {
         s.main.push_back({0x55, {0, 0x20, 0, 0, 0, 17}});
     }},
    {"plmIsConsistent",
     [](Plan& s) {
         s.main.push_back({0x57, {0, 1, 3}});
     }},
    {"plmIsValid",
     [](Plan& s) {
         s.main.push_back({0x57, {0, 2, 3}});
     }},
    {"tlmIsValid",
     [](Plan& s) {
         s.main.push_back({0x55, {0, 0x30}});
     }},
    {"ppmAndPptNotBoth",
     [](Plan& s) {
         s.main.push_back({0x60, {0}});
         s.parts[0].header = {{0x61, {0}}};
     }},
};

TEST(CodestreamChecks, EachFaultFailsItsTest) {
    for (const Row& row : kRows) {
        Plan plan;
        row.change(plan);
        const Findings findings = check(build(plan));
        const auto& all = findings.all();
        const bool found = std::any_of(all.begin(), all.end(), [&](const Finding& f) {
            return f.test == row.test && f.box == "jp2c" && f.offset.has_value();
        });
        EXPECT_TRUE(found) << row.test << " not failed; findings:\n" << errorsOf(findings);
    }
}

TEST(CodestreamChecks, RealTiledFileHasNoError) {
    std::ifstream in(BOXQUILL_SAMPLES_DIR "/tiled.jp2", std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), {}};
    // The top-level boxes, to the codestream's.
    std::size_t pos = 0;
    while (pos + 8 <= file.size() &&
           std::string(file.begin() + static_cast<long>(pos) + 4,
                       file.begin() + static_cast<long>(pos) + 8) != "jp2c") {
        pos += (std::size_t{file[pos]} << 24) | (std::size_t{file[pos + 1]} << 16) |
               (std::size_t{file[pos + 2]} << 8) | file[pos + 3];
    }
    ASSERT_LT(pos + 8, file.size());
    const Findings findings = check(Bytes(file.begin() + static_cast<long>(pos) + 8, file.end()));
    EXPECT_FALSE(findings.hasErrors()) << errorsOf(findings);
    EXPECT_GT(findings.passed().size(), 30u);
}

}  // namespace
}  // namespace bq

namespace bq {
namespace {

TEST(CodestreamChecks, FailuresOfOneTestAreListedAtMostAHundredTimes) {
    Plan plan;
    plan.parts.assign(150, part(0, 0));
    for (TilePart& t : plan.parts)
        t.isot = 7;
    const Findings findings = check(build(plan));
    const auto& all = findings.all();
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                            [](const Finding& f) { return f.test == "isotIsValid"; }),
              100);
}

}  // namespace
}  // namespace bq
