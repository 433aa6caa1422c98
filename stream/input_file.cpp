#include "stream/input_file.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include "stream/utf8_path.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace bq {

namespace {

constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::uint64_t kMaxFromDevice = 64 * 1024 * 1024;

// Reads until the end of the input through `readSome` (bytes read, 0 at the end, negative on
// an error), growing the buffer as the bytes come, never past limit + 1 bytes: one byte more
// than the limit proves the input too large. `expected` is the size a regular file reports.
// With `refuseNul`, the read stops at the first NUL byte.
template <typename ReadSome>
InputBytes readAll(ReadSome&& readSome, std::uint64_t limit, std::uint64_t expected,
                   bool refuseNul) {
    InputBytes result;
    const std::uint64_t ceiling = std::min<std::uint64_t>(limit, SIZE_MAX - 1) + 1;
    std::size_t have = 0;
    try {
        // A regular file's own size first (and one byte to see its end), then doubling.
        result.bytes.resize(static_cast<std::size_t>(
            std::min<std::uint64_t>(std::max<std::uint64_t>(expected + 1, kFirstBlock), ceiling)));
        for (;;) {
            if (have == result.bytes.size()) {
                if (have >= ceiling) {
                    result.bytes = {};
                    result.error = InputError::TooLarge;
                    return result;
                }
                result.bytes.resize(static_cast<std::size_t>(
                    std::min<std::uint64_t>(std::uint64_t{have} * 2, ceiling)));
            }
            const long got = readSome(result.bytes.data() + have, result.bytes.size() - have);
            if (got < 0) {
                result.bytes = {};
                result.error = InputError::ReadFailed;
                return result;
            }
            if (got == 0) {
                break;
            }
            if (refuseNul && std::memchr(result.bytes.data() + have, 0,
                                         static_cast<std::size_t>(got)) != nullptr) {
                result.bytes = {};
                result.error = InputError::HoldsNul;
                return result;
            }
            have += static_cast<std::size_t>(got);
        }
    } catch (const std::bad_alloc&) {
        result.bytes = {};
        result.error = InputError::NoMemory;
        return result;
    }
    if (have > limit) {
        result.bytes = {};
        result.error = InputError::TooLarge;
        return result;
    }
    result.bytes.resize(have);
    result.bytes.shrink_to_fit();
    return result;
}

InputBytes failure(InputError error) {
    InputBytes result;
    result.error = error;
    return result;
}

#if !defined(_WIN32)

InputBytes readDescriptor(int descriptor, std::uint64_t limit, std::uint64_t expected,
                          bool refuseNul) {
    return readAll(
        [descriptor](std::uint8_t* into, std::size_t count) -> long {
            for (;;) {
                const ssize_t got =
                    ::read(descriptor, into, std::min<std::size_t>(count, 1u << 30));
                if (got >= 0 || errno != EINTR) {
                    return static_cast<long>(got);
                }
            }
        },
        limit, expected, refuseNul);
}

#endif

InputBytes readPath(const std::string& path, std::uint64_t limit,
                    std::chrono::milliseconds writerWait, bool refuseNul) {
#if defined(_WIN32)
    static_cast<void>(writerWait);
    std::FILE* file = _wfopen(widen(path).c_str(), L"rb");
    if (file == nullptr) {
        return failure(InputError::OpenFailed);
    }
    struct _stat64 info {};
    InputBytes result;
    if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFDIR) != 0) {
        result.error = InputError::OpenFailed;
    } else if ((info.st_mode & _S_IFREG) != 0 && static_cast<std::uint64_t>(info.st_size) > limit) {
        result.error = InputError::TooLarge;
    } else {
        const std::uint64_t expected =
            (info.st_mode & _S_IFREG) != 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
        result = readAll(
            [file](std::uint8_t* into, std::size_t count) -> long {
                const std::size_t got =
                    std::fread(into, 1, std::min<std::size_t>(count, 1u << 30), file);
                return std::ferror(file) != 0 ? -1 : static_cast<long>(got);
            },
            limit, expected, refuseNul);
    }
    std::fclose(file);
    return result;
#else
    // Not blocking, so that opening a FIFO without a writer does not wait for ever.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return failure(InputError::OpenFailed);
    }
    struct stat info {};
    InputBytes result;
    if (fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
        result.error = InputError::OpenFailed;
    } else if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > limit) {
        result.error = InputError::TooLarge;
    } else {
        bool ready = true;
        if (S_ISFIFO(info.st_mode)) {
            pollfd waiting{descriptor, POLLIN, 0};
            const auto wait =
                std::clamp<std::chrono::milliseconds::rep>(writerWait.count(), 0, 0x7FFFFFFF);
            int polled = 0;
            do {
                polled = poll(&waiting, 1, static_cast<int>(wait));
            } while (polled < 0 && errno == EINTR);
            ready = polled > 0;
        }
        const int flags = fcntl(descriptor, F_GETFL);
        if (!ready) {
            result.error = InputError::NoWriter;
        } else if (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            result.error = InputError::ReadFailed;
        } else {
            // A device states no length, and one like /dev/zero never ends: past what any
            // metadata needs it is taken as endless rather than read into memory to the limit.
            const std::uint64_t most =
                S_ISCHR(info.st_mode) ? std::min(limit, kMaxFromDevice) : limit;
            result = readDescriptor(
                descriptor, most,
                S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0, refuseNul);
        }
    }
    ::close(descriptor);
    return result;
#endif
}

}  // namespace

InputBytes readInput(const std::string& path, std::uint64_t limit,
                     std::chrono::milliseconds writerWait) {
    return readPath(path, limit, writerWait, false);
}

InputBytes readTextInput(const std::string& path, std::uint64_t limit) {
    return readPath(path, limit, kDefaultWriterWait, true);
}

InputBytes readStandardInput(std::uint64_t limit) {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
    return readAll(
        [](std::uint8_t* into, std::size_t count) -> long {
            const std::size_t got =
                std::fread(into, 1, std::min<std::size_t>(count, 1u << 30), stdin);
            return std::ferror(stdin) != 0 ? -1 : static_cast<long>(got);
        },
        limit, 0, false);
#else
    return readDescriptor(STDIN_FILENO, limit, 0, false);
#endif
}

}  // namespace bq
