#include "ui/properties.h"

#include <gtest/gtest.h>

namespace bq::test {
namespace {

TEST(WithCrLf, BreaksEveryBareLineFeedOnceAndLeavesTheRestAlone) {
    const struct {
        const char* text;
        const char* expected;
    } rows[] = {
        {"", ""},
        {"a", "a"},
        {"\n", "\r\n"},
        {"a\nb\n", "a\r\nb\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"a\r\nb", "a\r\nb"},
        {"\r\n\n", "\r\n\r\n"},
        {"a\rb", "a\rb"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(withCrLf(row.text), row.expected) << testing::PrintToString(row.text);
    }
}

}  // namespace
}  // namespace bq::test
