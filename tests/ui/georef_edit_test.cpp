// What the editor takes for a TIFF when a georeferencing source is chosen.

#include "ui/georef_edit.h"

#include <gtest/gtest.h>

#include <utility>

#include "tests/ui/test_files.h"

namespace bq::test {
namespace {

TEST(IsTiffFile, ByTheByteOrderAndVersionOfAClassicOrBigTiff) {
    const std::pair<Bytes, bool> rows[] = {
        {{'I', 'I', 42, 0, 8, 0}, true}, {{'M', 'M', 0, 42}, true},    {{'I', 'I', 43, 0, 8}, true},
        {{'M', 'M', 0, 43, 0}, true},    {{'M', 'M', 42, 0}, false},   {{'I', 'I', 42, 1}, false},
        {{'I', 'I', 42}, false},         {textBytes("30\n0\n"), false}};
    const TempFolder folder;
    for (const auto& [start, tiff] : rows) {
        writeFile(folder.file("source"), start);
        EXPECT_EQ(isTiffFile(folder.file("source")), tiff) << testing::PrintToString(start);
    }
    EXPECT_FALSE(isTiffFile(folder.file("missing")));
}

}  // namespace
}  // namespace bq::test
