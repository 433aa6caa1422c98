// The round-trip check that the fuzzer and the corpus suite rely on: it accepts exactly the
// changes a reopen makes by design and reports every other one.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/document_harness.h"
#include "stream/box_type.h"

namespace {

using bq::harness::RowSnapshot;

RowSnapshot row(std::string id, std::uint32_t type, int depth, std::vector<std::uint8_t> payload,
                std::uint32_t statedPayload) {
    RowSnapshot r;
    r.id = std::move(id);
    r.type = type;
    r.depth = depth;
    r.size = std::to_string(statedPayload);
    const std::uint32_t length = statedPayload + 8;
    r.written = {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                 static_cast<std::uint8_t>(length >> 8),  static_cast<std::uint8_t>(length),
                 static_cast<std::uint8_t>(type >> 24),   static_cast<std::uint8_t>(type >> 16),
                 static_cast<std::uint8_t>(type >> 8),    static_cast<std::uint8_t>(type)};
    r.written.insert(r.written.end(), payload.begin(), payload.end());
    r.labelEndsInNul = type == bq::kTypeLbl && !payload.empty() && payload.back() == 0;
    return r;
}

// An association holding a label "ab\0" and a generic box of two bytes.
std::vector<RowSnapshot> saved() {
    return {row("ASOC", bq::kTypeAsoc, 0, {}, 11 + 10),
            row("|  LBL ", bq::kTypeLbl, 1, {'a', 'b', 0}, 3),
            row("|  FREE", 0x66726565, 1, {1, 2}, 2)};
}

TEST(RoundTripCheck, AcceptsTheLabelNulDroppedAndItsAssociationShrunk) {
    std::vector<RowSnapshot> reopened = saved();
    reopened[0] = row("ASOC", bq::kTypeAsoc, 0, {}, 10 + 10);
    reopened[1] = row("|  LBL ", bq::kTypeLbl, 1, {'a', 'b'}, 2);
    EXPECT_FALSE(bq::harness::compareReopened(saved(), reopened));
}

TEST(RoundTripCheck, ReportsEveryOtherChange) {
    struct Case {
        const char* what;
        std::vector<RowSnapshot> reopened;
    };
    std::vector<Case> cases;
    cases.push_back({"unchanged label keeps its NUL", saved()});
    {
        auto r = saved();
        r[0] = row("ASOC", bq::kTypeAsoc, 0, {}, 10 + 10);
        r[1] = row("|  LBL ", bq::kTypeLbl, 1, {'a', 'b'}, 2);
        r[2] = row("|  FREE", 0x66726565, 1, {1, 3}, 2);
        cases.push_back({"a payload byte changed", r});
    }
    {
        auto r = saved();
        r[1] = row("|  LBL ", bq::kTypeLbl, 1, {'a', 'b'}, 2);
        cases.push_back({"association size not shrunk", r});
    }
    {
        auto r = saved();
        r.pop_back();
        cases.push_back({"a row lost", r});
    }
    {
        auto r = saved();
        r[0] = row("ASOC", bq::kTypeAsoc, 0, {}, 10 + 10);
        r[1] = row("|  LBL ", bq::kTypeLbl, 1, {'a', 'b'}, 2);
        r[2].depth = 0;
        r[2].id = "FREE";
        cases.push_back({"a row moved out of its association", r});
    }
    for (const Case& c : cases) {
        EXPECT_TRUE(bq::harness::compareReopened(saved(), c.reopened)) << c.what;
    }
}

}  // namespace
