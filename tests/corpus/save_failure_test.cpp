// A save that fails at any point leaves the file it was to replace exactly as it was, leaves
// no stray file behind, and leaves the document modified, so nothing the user has is lost.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/document_harness.h"
#include "ui/app.h"
#include "ui/commands.h"
#include "ui/open_document.h"
#include "ui/save_document.h"

namespace {

namespace fs = std::filesystem;
using bq::harness::Document;
using bq::harness::readWholeFile;
using bq::harness::TempFolder;
using Bytes = std::vector<std::uint8_t>;

void u32(Bytes& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        b.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

void box(Bytes& b, const char* type, const Bytes& payload) {
    u32(b, static_cast<std::uint32_t>(payload.size() + 8));
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), payload.begin(), payload.end());
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A document that a save writes back byte for byte: exact association sizes, CR LF line
// ends, labels without a trailing NUL, and a large box so that writes reach the disk in
// several pieces.
Bytes canonicalDocument() {
    Bytes file;
    u32(file, 12);
    file.insert(file.end(), {'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A});
    Bytes ftyp = text("jp2 ");
    u32(ftyp, 0);
    ftyp.insert(ftyp.end(), {'j', 'p', '2', ' '});
    box(file, "ftyp", ftyp);
    Bytes inner;
    box(inner, "lbl ", text("gml.data"));
    box(inner, "xml ", text("<a>\r\n</a>\r\n"));
    box(file, "asoc", inner);
    Bytes filler(100000);
    for (std::size_t i = 0; i < filler.size(); ++i) {
        filler[i] = static_cast<std::uint8_t>(i * 7);
    }
    box(file, "free", filler);
    return file;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The document of `source` opened and marked modified, as it is when Save can be pressed.
void openModified(Document& document, const std::string& source) {
    bq::openDocument(document.app, source);
    ASSERT_TRUE(document.platform.errors.empty());
    document.app.markModified();
}

// Runs `body` in a child process and returns its exit code (-1 when it died by a signal).
int inChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// What a child reports about its save, one bit each.
constexpr int kStillModified = 1;
constexpr int kWriteErrorShown = 2;
constexpr int kOtherError = 4;
constexpr int kNoError = 8;

enum class Write { Save, ExportFreeBox };
constexpr int kFreeBoxRow = 4;

int writeWithFileSizeLimit(const std::string& source, const std::string& target, rlim_t limit,
                           Write write = Write::Save) {
    return inChild([&] {
        Document document;
        bq::openDocument(document.app, source);
        document.app.markModified();
        document.platform.saveAnswer = target;
        // The limit stands in for a full disk: writes past it fail with EFBIG instead of
        // killing the process.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit fileSize{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) {
            return 100;
        }
        if (write == Write::Save) {
            bq::saveDocument(document.app);
        } else {
            document.boxes.selectRow(kFreeBoxRow);
            bq::exportBoxPayload(document.app);
        }
        int report = document.app.modified() ? kStillModified : 0;
        if (document.platform.errors.empty()) {
            report |= kNoError;
        } else if (document.platform.errors.front() ==
                   bq::formatErrorText(bq::kWriteFailedMessage)) {
            report |= kWriteErrorShown;
        } else {
            report |= kOtherError;
        }
        return report;
    });
}

class SaveFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        original = canonicalDocument();
        source = work.file("source.jp2");
        target = work.file("target.jp2");
        ASSERT_TRUE(bq::harness::writeWholeFile(source, original.data(), original.size()));
        ASSERT_TRUE(bq::harness::writeWholeFile(target, previous.data(), previous.size()));
    }

    TempFolder work{"boxquill-save-failure"};
    Bytes original;
    const Bytes previous = text(std::string(5000, 'p') + " the file the user had before");
    std::string source;
    std::string target;
};

TEST_F(SaveFailure, DiskFullAtAnyPointKeepsTheTargetAndTheModifiedDocument) {
    const rlim_t size = original.size();
    for (const rlim_t limit : {rlim_t{0}, rlim_t{12}, rlim_t{4096}, rlim_t{50000}, size - 1}) {
        const int report = writeWithFileSizeLimit(source, target, limit);
        EXPECT_EQ(report, kStillModified | kWriteErrorShown) << "file size limit " << limit;
        EXPECT_EQ(readWholeFile(target), previous) << "file size limit " << limit;
        EXPECT_EQ(namesIn(work.path()), (std::set<std::string>{"source.jp2", "target.jp2"}))
            << "file size limit " << limit;
    }
    // The same save with room for the whole file succeeds, so the limit is what failed it.
    EXPECT_EQ(writeWithFileSizeLimit(source, target, size), kNoError);
    EXPECT_EQ(readWholeFile(target), original);
}

TEST_F(SaveFailure, DiskFullDuringAnExportKeepsTheFileItWasToReplace) {
    for (const rlim_t limit : {rlim_t{0}, rlim_t{4096}, rlim_t{99999}}) {
        const int report = writeWithFileSizeLimit(source, target, limit, Write::ExportFreeBox);
        EXPECT_EQ(report, kStillModified | kWriteErrorShown) << "file size limit " << limit;
        EXPECT_EQ(readWholeFile(target), previous) << "file size limit " << limit;
        EXPECT_EQ(namesIn(work.path()), (std::set<std::string>{"source.jp2", "target.jp2"}))
            << "file size limit " << limit;
    }
    EXPECT_EQ(writeWithFileSizeLimit(source, target, 100000, Write::ExportFreeBox),
              kStillModified | kNoError);
    EXPECT_EQ(readWholeFile(target).value_or(Bytes{}).size(), 100000u);
}

TEST_F(SaveFailure, UnwritableFolderKeepsTheTargetAndTheModifiedDocument) {
    Document document;
    openModified(document, source);
    // Permissions do not stop the superuser; the immutable attribute does, where the file
    // system has it.
    const bool root = ::geteuid() == 0;
    const std::string folder = work.path().string();
    const std::string lock = root ? "chattr +i '" + folder + "' 2>/dev/null" : "";
    const std::string unlock = root ? "chattr -i '" + folder + "' 2>/dev/null" : "";
    if (root ? std::system(lock.c_str()) != 0 : ::chmod(folder.c_str(), 0555) != 0) {
        GTEST_SKIP() << "cannot make " << folder << " unwritable here";
    }
    struct Restore {
        std::function<void()> undo;
        ~Restore() { undo(); }
    } restore{[&] {
        if (root) {
            [[maybe_unused]] const int ignored = std::system(unlock.c_str());
        } else {
            ::chmod(folder.c_str(), 0755);
        }
    }};
    const std::string probe = work.file("probe");
    if (bq::harness::writeWholeFile(probe, nullptr, 0)) {
        fs::remove(probe);
        GTEST_SKIP() << folder << " stays writable for this user";
    }

    document.platform.saveAnswer = target;
    bq::saveDocument(document.app);
    EXPECT_TRUE(document.app.modified());
    EXPECT_EQ(document.platform.errors.size(), 1u);
    EXPECT_EQ(readWholeFile(target), previous);
    EXPECT_EQ(namesIn(work.path()), (std::set<std::string>{"source.jp2", "target.jp2"}));
}

TEST_F(SaveFailure, MissingFolderIsReportedAndTheDocumentStaysModified) {
    Document document;
    openModified(document, source);
    document.platform.saveAnswer = work.file("gone/target.jp2");
    bq::saveDocument(document.app);
    EXPECT_TRUE(document.app.modified());
    ASSERT_EQ(document.platform.errors.size(), 1u);
    EXPECT_EQ(document.platform.errors.front(), bq::formatErrorText(bq::kCreateFailedMessage));
    EXPECT_EQ(namesIn(work.path()), (std::set<std::string>{"source.jp2", "target.jp2"}));
}

TEST_F(SaveFailure, TargetReplacedByAFolderWhileOpenStaysAsItIs) {
    Document document;
    openModified(document, source);
    fs::remove(target);
    fs::create_directory(target);
    const Bytes inside = text("a file in the folder");
    ASSERT_TRUE(
        bq::harness::writeWholeFile(work.file("target.jp2/keep"), inside.data(), inside.size()));

    document.platform.saveAnswer = target;
    bq::saveDocument(document.app);
    EXPECT_TRUE(document.app.modified());
    EXPECT_EQ(document.platform.errors.size(), 1u);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(readWholeFile(work.file("target.jp2/keep")), inside);
    EXPECT_EQ(namesIn(work.path()), (std::set<std::string>{"source.jp2", "target.jp2"}));
}

// The document holds everything it needs once opened: replacing or removing the file it came
// from does not change what a save writes.
TEST_F(SaveFailure, SourceReplacedOrRemovedWhileOpenIsSavedFromTheDocument) {
    for (const bool removed : {false, true}) {
        Document document;
        openModified(document, source);
        if (removed) {
            fs::remove(source);
        } else {
            const Bytes other = text("replaced by another program");
            ASSERT_TRUE(bq::harness::writeWholeFile(source, other.data(), other.size()));
        }
        document.platform.saveAnswer = source;
        bq::saveDocument(document.app);
        EXPECT_TRUE(document.platform.errors.empty()) << (removed ? "removed" : "replaced");
        EXPECT_FALSE(document.app.modified());
        EXPECT_EQ(readWholeFile(source), original) << (removed ? "removed" : "replaced");
    }
}

// A file that happens to carry the name a save would first write to is not the save's to
// overwrite.
TEST_F(SaveFailure, AFileNamedLikeTheTemporaryFileSurvivesTheSave) {
    const Bytes bystander = text("someone else's file");
    const std::string temporaryLike = target + ".bqtmp";
    ASSERT_TRUE(bq::harness::writeWholeFile(temporaryLike, bystander.data(), bystander.size()));
    Document document;
    openModified(document, source);
    document.platform.saveAnswer = target;
    bq::saveDocument(document.app);
    EXPECT_TRUE(document.platform.errors.empty());
    EXPECT_EQ(readWholeFile(target), original);
    EXPECT_EQ(readWholeFile(temporaryLike), bystander);
    EXPECT_EQ(namesIn(work.path()),
              (std::set<std::string>{"source.jp2", "target.jp2", "target.jp2.bqtmp"}));
}

}  // namespace
