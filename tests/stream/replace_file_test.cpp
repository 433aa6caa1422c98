#include "stream/replace_file.h"

#include <gtest/gtest.h>

#include <thread>

#if !defined(_WIN32)
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "tests/ui/test_files.h"

namespace bq {
namespace {

using test::Bytes;
using test::readFile;
using test::TempFolder;
using test::textBytes;
using test::writeFile;

std::function<bool(FileStream&)> writing(const Bytes& bytes) {
    return [bytes](FileStream& stream) {
        stream.writeBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        return true;
    };
}

TEST(ReplaceFile, EachFailingStepLeavesTheTargetAsItWasAndNoTemporaryFile) {
    using Step = ReplaceStep;
    struct Case {
        Step failing;
        ReplaceOutcome outcome;
    };
    // The folder sync comes after the rename: the new file is in place either way.
    const Case cases[] = {
        {Step::Create, ReplaceOutcome::CreateFailed}, {Step::Write, ReplaceOutcome::WriteFailed},
        {Step::Sync, ReplaceOutcome::WriteFailed},    {Step::Close, ReplaceOutcome::WriteFailed},
        {Step::Rename, ReplaceOutcome::WriteFailed},  {Step::FolderSync, ReplaceOutcome::Written},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.failing));
        TempFolder folder;
        const std::string target = folder.file("target.jp2");
        writeFile(target, textBytes("old"));
        std::vector<Step> seen;
        const ReplaceResult result = replaceFile(target, writing(textBytes("new")), [&](Step step) {
            seen.push_back(step);
            return step != c.failing;
        });
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(readFile(target),
                  textBytes(c.outcome == ReplaceOutcome::Written ? "new" : "old"));
        EXPECT_EQ(folder.names(), std::vector<std::string>{"target.jp2"});
        EXPECT_EQ(seen.back(), c.failing);
        if (c.failing == Step::FolderSync) {
            EXPECT_EQ(seen, (std::vector<Step>{Step::Create, Step::Write, Step::Sync, Step::Close,
                                               Step::Rename, Step::FolderSync}));
        }
    }
}

#if !defined(_WIN32)
// Not under Wine, whose ReplaceFileW leaves its own backup files behind when two replacements
// of one file race.
TEST(ReplaceFile, ConcurrentWritersLeaveOneWholeFile) {
    TempFolder folder;
    const std::string target = folder.file("target.jp2");
    const Bytes first(300 * 1024, 'a');
    const Bytes second(200 * 1024, 'b');
    const auto writer = [&](const Bytes& bytes) {
        for (int round = 0; round < 40; ++round) {
            // In pieces, so that the two writers interleave.
            replaceFile(target, [&](FileStream& stream) {
                for (std::size_t at = 0; at < bytes.size(); at += 4096) {
                    stream.writeBytes(bytes.data() + at, 4096);
                    std::this_thread::yield();
                }
                return true;
            });
        }
    };
    std::thread one(writer, std::cref(first));
    std::thread two(writer, std::cref(second));
    one.join();
    two.join();
    const Bytes result = readFile(target);
    EXPECT_TRUE(result == first || result == second) << result.size();
    EXPECT_EQ(folder.names(), std::vector<std::string>{"target.jp2"});
}

mode_t modeOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST(ReplaceFile, APrivateTargetIsNeverReadableByOthersAndKeepsItsAttributes) {
    TempFolder folder;
    const std::string target = folder.file("private.jp2");
    writeFile(target, textBytes("old"));
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    const bool attributes = setxattr(target.c_str(), "user.archive", "kept", 4, 0) == 0;
    bool checked = false;
    const ReplaceResult result = replaceFile(target, [&](FileStream& stream) {
        // Whatever the temporary file is, named or not, no one else may read it.
        struct stat info {};
        EXPECT_EQ(fstat(fileno(stream.nativeFile()), &info), 0);
        EXPECT_EQ(info.st_mode & 077, 0u);
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            EXPECT_EQ(modeOf(entry.path().string()) & 077, 0u) << entry.path();
        }
        checked = true;
        stream.writeBytes(reinterpret_cast<const std::uint8_t*>("new"), 3);
        return true;
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(result.outcome, ReplaceOutcome::Written);
    EXPECT_EQ(modeOf(target) & 07777, 0600u);
    EXPECT_EQ(readFile(target), textBytes("new"));
    if (attributes) {
        char value[8] = {};
        EXPECT_EQ(getxattr(target.c_str(), "user.archive", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
}

TEST(ReplaceFile, OnlyRegularFilesAreReplacedAndLinksToThemFollowed) {
    TempFolder folder;
    const std::string real = folder.file("real.jp2");
    writeFile(real, textBytes("old"));
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> make;
        ReplaceOutcome outcome;
    };
    const Case cases[] = {
        {"fifo", [](const std::string& p) { return mkfifo(p.c_str(), 0600) == 0; },
         ReplaceOutcome::NotRegularFile},
        {"folder", [](const std::string& p) { return mkdir(p.c_str(), 0700) == 0; },
         ReplaceOutcome::NotRegularFile},
        {"socket",
         [](const std::string& p) {
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             if (p.size() >= sizeof address.sun_path) {
                 return false;
             }
             p.copy(address.sun_path, p.size());
             const int s = socket(AF_UNIX, SOCK_STREAM, 0);
             const bool bound =
                 bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
             close(s);
             return bound;
         },
         ReplaceOutcome::NotRegularFile},
        {"dangling link",
         [&](const std::string& p) {
             return symlink(folder.file("nothing").c_str(), p.c_str()) == 0;
         },
         ReplaceOutcome::DanglingLink},
        {"link to a file",
         [&](const std::string& p) { return symlink(real.c_str(), p.c_str()) == 0; },
         ReplaceOutcome::Written},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = folder.file(std::string("t-") + c.name);
        ASSERT_TRUE(c.make(target));
        const mode_t before = modeOf(target);
        const auto namesBefore = folder.names();
        EXPECT_EQ(replaceFile(target, writing(textBytes("new"))).outcome, c.outcome);
        EXPECT_EQ(modeOf(target), before);
        EXPECT_EQ(folder.names(), namesBefore);
    }
    EXPECT_EQ(readFile(real), textBytes("new"));
}

#endif

}  // namespace
}  // namespace bq
