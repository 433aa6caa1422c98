#include "stream/input_file.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include "stream/utf8_path.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "stream/file_stream.h"
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

// A temporary file without a name, so that nothing is left behind even when the process is
// killed: O_TMPFILE where the file system has it, else a file unlinked as soon as it is made.
int anonymousFile() {
    const char* folder = std::getenv("TMPDIR");
    const std::string base = folder != nullptr && *folder != '\0' ? folder : "/tmp";
#if defined(O_TMPFILE)
    if (const int descriptor = ::open(base.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        descriptor >= 0) {
        return descriptor;
    }
#endif
    std::string name = base + "/boxquill-spool-XXXXXX";
    const int descriptor = mkostemp(name.data(), O_CLOEXEC);
    if (descriptor >= 0) {
        ::unlink(name.c_str());
    }
    return descriptor;
}

bool writeAll(int descriptor, const std::uint8_t* bytes, std::size_t count) {
    while (count != 0) {
        const ssize_t put = ::write(descriptor, bytes, count);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        bytes += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

// Copies the stream to a temporary file a block at a time, refusing it once it passes
// `limit`, then keeps it there when it is longer than `holdAbove`.
InputBytes spoolDescriptor(int descriptor, std::uint64_t limit, std::uint64_t holdAbove) {
    HeldDescriptor spool(anonymousFile());
    if (spool.get() < 0) {
        return failure(InputError::ReadFailed);
    }
    std::vector<std::uint8_t> block;
    try {
        block.resize(kFirstBlock * 16);
    } catch (const std::bad_alloc&) {
        return failure(InputError::NoMemory);
    }
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t got = ::read(descriptor, block.data(), block.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return failure(InputError::ReadFailed);
        }
        if (got == 0) {
            break;
        }
        if (static_cast<std::uint64_t>(got) > limit - total) {
            return failure(InputError::TooLarge);
        }
        total += static_cast<std::uint64_t>(got);
        if (!writeAll(spool.get(), block.data(), static_cast<std::size_t>(got))) {
            return failure(InputError::ReadFailed);
        }
    }
    const std::string path = "/proc/self/fd/" + std::to_string(spool.get());
    if (total <= holdAbove) {
        // Small enough to hold: read back, and the spool goes.
        if (::lseek(spool.get(), 0, SEEK_SET) != 0) {
            return failure(InputError::ReadFailed);
        }
        return readDescriptor(spool.get(), total, total, false);
    }
    const std::optional<FileIdentity> identity = identityOfDescriptor(spool.get());
    if (!identity || identity->size != total) {
        return failure(InputError::ReadFailed);
    }
    InputBytes result;
    try {
        result.spooled =
            std::make_shared<const SourceFile>(SourceFile{path, *identity, std::move(spool)});
    } catch (const std::bad_alloc&) {
        return failure(InputError::NoMemory);
    }
    return result;
}

#endif

// `holdAbove`, when given, spools a stream (readInputSpooling).
InputBytes readPath(const std::string& path, std::uint64_t limit,
                    std::chrono::milliseconds writerWait, bool refuseNul,
                    std::optional<std::uint64_t> holdAbove = std::nullopt) {
#if defined(_WIN32)
    static_cast<void>(writerWait);
    static_cast<void>(holdAbove);
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
            if (holdAbove && !S_ISREG(info.st_mode)) {
                result = spoolDescriptor(descriptor, most, *holdAbove);
            } else {
                result = readDescriptor(
                    descriptor, most,
                    S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0,
                    refuseNul);
            }
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

InputBytes readInputSpooling(const std::string& path, std::uint64_t limit,
                             std::uint64_t holdAbove) {
    return readPath(path, limit, kDefaultWriterWait, false, holdAbove);
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
