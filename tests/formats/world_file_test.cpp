#include "formats/world_file.h"

#include <gtest/gtest.h>

namespace bq {
namespace {

TEST(WorldFile, SixNumbersPlaceTheCentreOfTheFirstPixel) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<std::array<double, 6>> expected;  // none: refused
    };
    const Row rows[] = {
        {"north up, CR LF", "30\r\n0\r\n0\r\n-20\r\n500015\r\n4600050\r\n",
         std::array<double, 6>{500000, 30, 0, 4600060, 0, -20}},
        {"rotated, signs and exponents", "+2\n0.25\n0.5\n-3e0\n101.25\n198.625",
         std::array<double, 6>{100, 2, 0.5, 200, 0.25, -3}},
        {"five numbers", "1\n0\n0\n-1\n0\n", std::nullopt},
        {"seven numbers", "1\n0\n0\n-1\n0\n0\n7\n", std::nullopt},
        {"a word", "1\n0\n0\n-1\nten\n0\n", std::nullopt},
        {"infinite", "1\n0\n0\n-1\ninf\n0\n", std::nullopt},
        {"no pixel size", "1\n1\n1\n1\n0\n0\n", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string why;
        const auto gt = parseWorldFile(row.text, why);
        EXPECT_EQ(gt, row.expected);
        EXPECT_EQ(why.empty(), row.expected.has_value());
    }
}

}  // namespace
}  // namespace bq
