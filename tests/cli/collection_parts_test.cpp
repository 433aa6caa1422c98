// The pieces of a collection run that need no files: the progress and summary texts, shard
// and extension arguments, and how shards split keys.

#include <gtest/gtest.h>

#include "cli/folder_walk.h"
#include "cli/progress.h"
#include "cli/shard.h"

namespace bq::cli {
namespace {

TEST(CollectionParts, ProgressTextSaysWhatIsKnown) {
    struct Case {
        ProgressCounts counts;
        std::string text;
    };
    const Case cases[] = {
        {{120, 1000, 2, 3.0}, "120/1000 files  40.0 files/s  0:03 elapsed  0:22 left  2 errors"},
        {{120, std::nullopt, 1, 3.0}, "120 files  40.0 files/s  0:03 elapsed  1 error"},
        {{0, 10, 0, 1.5}, "0/10 files  0.0 files/s  0:01 elapsed  0 errors"},
        {{10, 8, 0, 2.0}, "10/8 files  5.0 files/s  0:02 elapsed  0:00 left  0 errors"},
        {{7200, 9000, 0, 3661.0},
         "7200/9000 files  2.0 files/s  1:01:01 elapsed  15:15 left  0 errors"},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(progressText(test.counts), test.text);
    }
    EXPECT_EQ(summaryText({990, 8, 2}, 3.25),
              "1000 files: 990 valid, 8 invalid, 2 unreadable in 3.2 s");
    EXPECT_EQ(summaryText({0, 0, 1}, 0.04), "1 file: 0 valid, 0 invalid, 1 unreadable in 0.0 s");
}

TEST(CollectionParts, ShardArgumentsAndExtensions) {
    struct ShardCase {
        const char* text;
        std::optional<std::pair<std::uint64_t, std::uint64_t>> shard;
    };
    const ShardCase shards[] = {
        {"1/1", {{1, 1}}},
        {"3/3", {{3, 3}}},
        {"2/10", {{2, 10}}},
        {"0/3", {}},
        {"4/3", {}},
        {"1/0", {}},
        {"1", {}},
        {"/3", {}},
        {"1/", {}},
        {"+1/3", {}},
        {"1/3/", {}},
        {" 1/3", {}},
        {"99999999999999999999/1", {}},
    };
    for (const ShardCase& test : shards) {
        const std::optional<Shard> parsed = parseShard(test.text);
        ASSERT_EQ(parsed.has_value(), test.shard.has_value()) << test.text;
        if (parsed) {
            EXPECT_EQ(parsed->index, test.shard->first) << test.text;
            EXPECT_EQ(parsed->count, test.shard->second) << test.text;
        }
    }
    // The published FNV-1a test vectors: another tool's shares can be matched against these.
    EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325u);
    EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cu);
    EXPECT_EQ(fnv1a64("foobar"), 0x85944171f73967e8u);

    EXPECT_EQ(parseExtensions("jp2,JPX,.j2c"), (std::vector<std::string>{"jp2", "jpx", "j2c"}));
    for (const char* bad : {"", ",", "jp2,", ".", "a.b", "x/y"}) {
        EXPECT_FALSE(parseExtensions(bad)) << bad;
    }
    const std::vector<std::string> jp2 = {"jp2", "jpx"};
    for (const char* name : {"a.jp2", "A.JP2", "x.y.Jpx"}) {
        EXPECT_TRUE(hasExtension(name, jp2)) << name;
    }
    for (const char* name : {"jp2", ".jp2x", "ajp2", "a.jp", "a.j2k"}) {
        EXPECT_FALSE(hasExtension(name, jp2)) << name;
    }
}

}  // namespace
}  // namespace bq::cli
