#include "stream/replace_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#endif

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

// The replacement's system calls, each recorded by name; the one named in `failing` fails as
// the system would refuse it. `noUnnamedFiles` makes the file system lack O_TMPFILE, so the
// named temporary file is used.
struct RecordedCalls {
    std::vector<std::string> names;
    std::string failing;
    bool noUnnamedFiles = false;

    bool fails(const std::string& name) {
        names.push_back(name);
        return name == failing;
    }
    ReplaceCalls table() {
        const ReplaceCalls real;
        ReplaceCalls calls;
#if defined(_WIN32)
        calls.createNew = [this, real](const wchar_t* path) -> void* {
            return fails("create") ? INVALID_HANDLE_VALUE : real.createNew(path);
        };
        calls.flush = [this, real](void* file) { return !fails("flush") && real.flush(file); };
        calls.move = [this, real](const wchar_t* from, const wchar_t* to) {
            if (fails("move")) {
                SetLastError(ERROR_ACCESS_DENIED);
                return false;
            }
            return real.move(from, to);
        };
        calls.swap = [this, real](const wchar_t* target, const wchar_t* from) {
            return !fails("swap") && real.swap(target, from);
        };
        calls.remove = [this, real](const wchar_t* path) {
            return !fails("remove") && real.remove(path);
        };
#else
        const auto refuse = [](int error) {
            errno = error;
            return -1;
        };
        calls.openAt = [=, this](int folder, const char* name, int flags, mode_t mode) {
            const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
            if (unnamed && noUnnamedFiles) {
                return refuse(EOPNOTSUPP);
            }
            // O_TMPFILE holds O_DIRECTORY's bit: the unnamed file is told apart first.
            const char* what = unnamed                      ? "create unnamed"
                               : (flags & O_DIRECTORY) != 0 ? "open folder"
                                                            : "create named";
            return fails(what) ? refuse(EACCES) : real.openAt(folder, name, flags, mode);
        };
        calls.changeMode = [=, this](int descriptor, mode_t mode) {
            return fails("chmod") ? refuse(EPERM) : real.changeMode(descriptor, mode);
        };
        calls.changeOwner = [=, this](int descriptor, uid_t owner, gid_t group) {
            return fails("chown") ? refuse(EPERM) : real.changeOwner(descriptor, owner, group);
        };
        calls.setAttribute = [=, this](int descriptor, const char* name, const void* value,
                                       std::size_t size) {
            return fails("setxattr") ? refuse(EPERM)
                                     : real.setAttribute(descriptor, name, value, size);
        };
        calls.sync = [=, this](int descriptor) {
            struct stat info {};
            const bool folder = fstat(descriptor, &info) == 0 && S_ISDIR(info.st_mode);
            return fails(folder ? "sync folder" : "sync file") ? refuse(EIO)
                                                               : real.sync(descriptor);
        };
        calls.link = [=, this](int descriptor, int folder, const char* name) {
            return fails("link") ? refuse(ENOSPC) : real.link(descriptor, folder, name);
        };
        calls.rename = [=, this](int folder, const char* from, const char* to) {
            return fails("rename") ? refuse(EIO) : real.rename(folder, from, to);
        };
        calls.unlink = [=, this](int folder, const char* name) {
            return fails("unlink") ? refuse(EIO) : real.unlink(folder, name);
        };
#endif
        return calls;
    }
};

TEST(ReplaceFile, EachFailingCallLeavesTheTargetAsItWasAndNoTemporaryFile) {
    struct Case {
        const char* failing;
        bool named;  // the file system has no O_TMPFILE
        ReplaceOutcome outcome;
    };
    // A failed owner, attribute or folder sync does not undo a save: the data is in place.
    const Case cases[] = {
#if defined(_WIN32)
        {"create", true, ReplaceOutcome::CreateFailed},
        {"flush", true, ReplaceOutcome::WriteFailed},
        {"swap", true, ReplaceOutcome::WriteFailed},
        {"", true, ReplaceOutcome::Written},
#else
        {"open folder", false, ReplaceOutcome::CreateFailed},
        {"create unnamed", false, ReplaceOutcome::Written},  // a named file instead
        {"create named", true, ReplaceOutcome::CreateFailed},
        {"chmod", false, ReplaceOutcome::WriteFailed},
        {"chmod", true, ReplaceOutcome::WriteFailed},
        {"sync file", false, ReplaceOutcome::WriteFailed},
        {"sync file", true, ReplaceOutcome::WriteFailed},
        {"link", false, ReplaceOutcome::WriteFailed},
        {"rename", false, ReplaceOutcome::WriteFailed},
        {"rename", true, ReplaceOutcome::WriteFailed},
        {"chown", true, ReplaceOutcome::Written},
        {"sync folder", false, ReplaceOutcome::Written},
        {"", false, ReplaceOutcome::Written},
        {"", true, ReplaceOutcome::Written},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.failing) + (c.named ? ", named" : ", unnamed"));
        TempFolder folder;
        const std::string target = folder.file("target.jp2");
        writeFile(target, textBytes("old"));
        RecordedCalls recorded;
        recorded.failing = c.failing;
        recorded.noUnnamedFiles = c.named;
        const ReplaceResult result =
            replaceFile(target, writing(textBytes("new")), recorded.table());
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(readFile(target),
                  textBytes(c.outcome == ReplaceOutcome::Written ? "new" : "old"));
        EXPECT_EQ(folder.names(), std::vector<std::string>{"target.jp2"});
        if (*c.failing != '\0') {
            EXPECT_NE(std::find(recorded.names.begin(), recorded.names.end(), c.failing),
                      recorded.names.end());
        }
#if !defined(_WIN32)
        // The data is on the disk before the file takes the name, and the folder is synced
        // once the name is in place.
        std::vector<std::string> order;
        for (const std::string& name : recorded.names) {
            if (name == "sync file" || name == "link" || name == "rename" ||
                name == "sync folder") {
                order.push_back(name);
            }
        }
        if (*c.failing == '\0') {
            EXPECT_EQ(
                order,
                c.named ? (std::vector<std::string>{"sync file", "rename", "sync folder"})
                        : (std::vector<std::string>{"sync file", "link", "rename", "sync folder"}));
        }
#endif
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

TEST(ReplaceFile, TheTargetKeepsItsOwnerAndGroup) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another owner";
    }
    for (const bool named : {false, true}) {
        TempFolder folder;
        const std::string target = folder.file("owned.jp2");
        writeFile(target, textBytes("old"));
        ASSERT_EQ(chown(target.c_str(), 4321, 4322), 0);
        RecordedCalls recorded;
        recorded.noUnnamedFiles = named;
        EXPECT_EQ(replaceFile(target, writing(textBytes("new")), recorded.table()).outcome,
                  ReplaceOutcome::Written);
        struct stat info {};
        ASSERT_EQ(stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 4321u);
        EXPECT_EQ(info.st_gid, 4322u);
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
