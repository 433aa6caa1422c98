#include "stream/input_file.h"

#include <gtest/gtest.h>

#include <thread>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "tests/ui/test_files.h"

namespace bq {
namespace {

using test::Bytes;
using test::TempFolder;
using test::writeFile;

TEST(ReadInput, ReadsFilesWholeUpToTheLimitAndRefusesMoreBeforeReading) {
    TempFolder folder;
    writeFile(folder.file("ten"), Bytes(10, 'x'));
    struct Case {
        std::string path;
        std::uint64_t limit;
        InputError error;
    };
    const Case cases[] = {
        {folder.file("ten"), 10, InputError::None},
        {folder.file("ten"), 9, InputError::TooLarge},
        {folder.file("missing"), 10, InputError::OpenFailed},
        {folder.path().string(), 10, InputError::OpenFailed},
#if !defined(_WIN32)
        // A device without end: refused once it passes the limit.
        {"/dev/zero", 100000, InputError::TooLarge},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.limit));
        const InputBytes input = readInput(c.path, c.limit);
        EXPECT_EQ(input.error, c.error);
        EXPECT_EQ(input.bytes.size(), c.error == InputError::None ? 10u : 0u);
    }
}

#if !defined(_WIN32)
TEST(ReadInput, AFifoIsReadAsItsWriterWritesAndOneWithoutWriterGivesUp) {
    TempFolder folder;
    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readInput(fifo, 1000, std::chrono::milliseconds(50)).error, InputError::NoWriter);

    // More than a pipe holds at once, written after the reader is waiting.
    const Bytes sent(200 * 1024, 'f');
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        writeFile(fifo, sent);
    });
    const InputBytes input = readInput(fifo, sent.size());
    writer.join();
    EXPECT_EQ(input.error, InputError::None);
    EXPECT_EQ(input.bytes, sent);
}
#endif

}  // namespace
}  // namespace bq
