#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "formats/jp2_header_rewrite.h"
#include "formats/resolution_fraction.h"
#include "tests/ui/test_files.h"

namespace bq {
namespace {

using test::Bytes;
using Action = ResolutionChange::Action;

Bytes box(const char* type, const Bytes& payload, bool extended = false) {
    const std::string_view name(type, 4);
    if (!extended) {
        return test::boxBytes(name, payload);
    }
    const std::uint64_t length = payload.size() + 16;
    return test::concat({test::u32Bytes(1), test::textBytes(name),
                         test::u32Bytes(static_cast<std::uint32_t>(length >> 32)),
                         test::u32Bytes(static_cast<std::uint32_t>(length)), payload});
}
Bytes cat(std::initializer_list<Bytes> parts) {
    return test::concat(parts);
}

const Bytes kIhdr = box("ihdr", {0, 0, 0, 2, 0, 0, 0, 3, 0, 3, 7, 7, 0, 0});
const Bytes kColr = box("colr", {1, 0, 0, 0, 0, 0, 16});
const Bytes kOther = box("xxxx", {9, 8, 7});
// 300 dpi both axes, and 72 dpi vertically with 1/1 x 10^0 horizontally.
const Bytes kResc300 = box("resc", {0x01, 0x2C, 0x00, 0xFE, 0x01, 0x2C, 0x00, 0xFE, 4, 4});
const Bytes kResdOdd = box("resd", {0x00, 0x48, 0x00, 0xFE, 0x00, 0x01, 0x00, 0x01, 4, 0});
const Bytes kResc72 = box("resc", {0x00, 0x48, 0x00, 0xFE, 0x00, 0x48, 0x00, 0xFE, 4, 4});

ResolutionChange set(std::uint16_t n, std::uint16_t d, std::int8_t e) {
    return {Action::Set, {n, d, e}, {n, d, e}};
}
const ResolutionChange kKeep{};
const ResolutionChange kRemove{Action::Remove, {}, {}};

struct ResolutionRow {
    const char* name;
    Bytes header;
    ResolutionChange capture;
    ResolutionChange display;
    std::optional<Bytes> expected;  // none: refused
};

TEST(Jp2HeaderRewrite, ResolutionChangesOnlyTheBoxesItNames) {
    const ResolutionRow rows[] = {
        {"new res goes after the colour boxes", cat({kIhdr, kColr, kOther}), set(300, 254, 4),
         kKeep, cat({kIhdr, kColr, box("res ", kResc300), kOther})},
        {"capture replaced, display kept byte for byte",
         cat({kIhdr, kColr, box("res ", cat({kResc72, kResdOdd})), kOther}), set(300, 254, 4),
         kKeep, cat({kIhdr, kColr, box("res ", cat({kResc300, kResdOdd})), kOther})},
        {"capture added before an existing display", cat({kIhdr, box("res ", kResdOdd)}),
         set(72, 254, 4), kKeep, cat({kIhdr, box("res ", cat({kResc72, kResdOdd}))})},
        {"extended res keeps its form", cat({kIhdr, box("res ", kResc72, true)}), set(300, 254, 4),
         kKeep, cat({kIhdr, box("res ", kResc300, true)})},
        {"removing both removes res", cat({kIhdr, box("res ", cat({kResc72, kResdOdd})), kOther}),
         kRemove, kRemove, cat({kIhdr, kOther})},
        {"removing capture keeps display", cat({kIhdr, box("res ", cat({kResc72, kResdOdd}))}),
         kRemove, kKeep, cat({kIhdr, box("res ", kResdOdd)})},
        {"header lengths that do not add up", cat({kIhdr, Bytes{0, 0, 0, 40, 'c', 'o', 'l', 'r'}}),
         set(1, 1, 0), kKeep, std::nullopt},
        {"two res boxes", cat({kIhdr, box("res ", kResc72), box("res ", kResdOdd)}), set(1, 1, 0),
         kKeep, std::nullopt},
        {"res lengths that do not add up", cat({kIhdr, box("res ", {0, 0, 0, 99, 'r', 'e'})}),
         set(1, 1, 0), kKeep, std::nullopt},
    };
    for (const ResolutionRow& row : rows) {
        std::string why;
        const auto result = setJp2Resolution(row.header, row.capture, row.display, why);
        EXPECT_EQ(result, row.expected) << row.name;
        EXPECT_EQ(why.empty(), row.expected.has_value()) << row.name << ": " << why;
    }
}

TEST(Jp2HeaderRewrite, ProfileReplacesOneColourBoxKeepingMethodPrecedenceApproximation) {
    const Bytes profile = {'P', 'R', 'O'};
    const Bytes any = box("colr", {3, 0xFF, 1, 'o', 'l', 'd'});
    struct Row {
        Bytes header;
        std::size_t colr;
        std::optional<Bytes> expected;
    } rows[] = {
        {cat({kIhdr, box("colr", {1, 2, 1, 0, 0, 0, 16}), any}), 0,
         cat({kIhdr, box("colr", {2, 2, 1, 'P', 'R', 'O'}), any})},
        {cat({kIhdr, kColr, any, kOther}), 1,
         cat({kIhdr, kColr, box("colr", {3, 0xFF, 1, 'P', 'R', 'O'}), kOther})},
        {cat({kIhdr, kColr}), 1, std::nullopt},
    };
    for (const Row& row : rows) {
        std::string why;
        EXPECT_EQ(setJp2Profile(row.header, row.colr, profile, why), row.expected) << why;
    }
    std::string why;
    EXPECT_EQ(firstProfileColour(cat({kIhdr, kColr, any})), 1u);
    EXPECT_EQ(jp2Profile(cat({kIhdr, kColr, any}), 1, why), (Bytes{'o', 'l', 'd'}));
    EXPECT_FALSE(jp2Profile(cat({kIhdr, kColr, any}), 0, why));
}

TEST(ResolutionFraction, StoresExactlyWhereTheFieldsAllowElseTheNearest) {
    struct Row {
        double value;
        ResolutionUnit unit;
        std::uint16_t n, d;
        int e;
        bool exact;
    } rows[] = {
        {300, ResolutionUnit::PerInch, 300, 254, 4, true},
        {72, ResolutionUnit::PerInch, 72, 254, 4, true},
        {299.5, ResolutionUnit::PerInch, 2995, 254, 3, true},
        {5, ResolutionUnit::PerCentimetre, 5, 1, 2, true},
        {2834, ResolutionUnit::PerMetre, 2834, 1, 0, true},
        {1e9, ResolutionUnit::PerMetre, 10000, 1, 5, true},
        {123456, ResolutionUnit::PerMetre, 61728, 5, 1, true},
        {123457, ResolutionUnit::PerMetre, 0, 0, 0, false},
    };
    for (const Row& row : rows) {
        const auto fit = fitResolution(row.value, row.unit);
        ASSERT_TRUE(fit) << row.value;
        if (row.exact) {
            EXPECT_EQ(fit->axis.numerator, row.n) << row.value;
            EXPECT_EQ(fit->axis.denominator, row.d) << row.value;
            EXPECT_EQ(fit->axis.exponent, row.e) << row.value;
        }
        EXPECT_EQ(fit->exact, row.exact) << row.value;
    }
    // Pi dots per inch has no exact form; the nearest is very near.
    const auto pi = fitResolution(std::numbers::pi, ResolutionUnit::PerInch);
    ASSERT_TRUE(pi);
    EXPECT_FALSE(pi->exact);
    EXPECT_NEAR(*pi->axis.perInch(), std::numbers::pi, 1e-8);
    EXPECT_FALSE(fitResolution(0, ResolutionUnit::PerInch));
    EXPECT_FALSE(fitResolution(std::nan(""), ResolutionUnit::PerInch));
}

}  // namespace
}  // namespace bq
