#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codestream/pair_scan.h"

namespace bq {
namespace {

std::size_t naiveFind(const std::vector<std::uint8_t>& b) {
    for (std::size_t i = 0; i + 1 < b.size(); ++i) {
        if (b[i] == 0xFF && b[i + 1] == 0xD9) {
            return i;
        }
    }
    return b.size();
}

TEST(FindEndPair, FindsTheFirstPairAtEveryOffsetAroundTheWideSteps) {
    for (std::size_t size = 0; size <= 200; ++size) {
        std::vector<std::uint8_t> bytes(size, 0x00);
        EXPECT_EQ(findEndPair(bytes.data(), size), size);
        for (std::size_t at = 0; at + 1 < size; ++at) {
            bytes.assign(size, 0xD9);  // 0xD9 everywhere: only the 0xFF makes a pair
            bytes[at] = 0xFF;
            ASSERT_EQ(findEndPair(bytes.data(), size), at) << size << " " << at;
            bytes.assign(size, 0xFF);  // 0xFF everywhere: only the 0xD9 makes a pair
            bytes[at + 1] = 0xD9;
            ASSERT_EQ(findEndPair(bytes.data(), size), at) << size << " " << at;
        }
        if (size > 0) {
            bytes.assign(size, 0x00);
            bytes[size - 1] = 0xFF;  // a last 0xFF has no 0xD9 within the range
            EXPECT_EQ(findEndPair(bytes.data(), size), size);
        }
    }
}

TEST(FindEndPair, AgreesWithAPlainSearchOnDenseRandomBytes) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(0, 3);
    const std::uint8_t alphabet[] = {0xFF, 0xD9, 0x00, 0xFE};
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(round % 300));
        for (std::uint8_t& b : bytes) {
            b = alphabet[pick(random)];
        }
        ASSERT_EQ(findEndPair(bytes.data(), bytes.size()), naiveFind(bytes)) << round;
    }
}

}  // namespace
}  // namespace bq
