#include "stream/file_reader.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#if defined(_WIN32)
#include <windows.h>

#include <io.h>

#include "stream/utf8_path.h"
#else
#include <unistd.h>
#endif

namespace bq {

namespace {

// One positional read; the bytes read, 0 at the end, -1 on an error.
long long readOnce(int descriptor, std::uint64_t offset, std::uint8_t* destination,
                   std::size_t count) {
    // Bounded, so that each call's count and the offset after it stay in range.
    count = std::min<std::size_t>(count, 1u << 30);
#if defined(_WIN32)
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (ReadFile(file, destination, static_cast<DWORD>(count), &got, &at) == 0) {
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    }
    return got;
#else
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return -1;
    }
    for (;;) {
        const ssize_t got = pread(descriptor, destination, count, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
#endif
}

}  // namespace

bool FileReader::open(const std::string& path) {
    close();
#if defined(_WIN32)
    // The wide call: the narrow one reads the name in the system's code page.
    descriptor_ = HeldDescriptor(_wopen(widen(path).c_str(), _O_RDONLY | _O_BINARY));
#else
    // Without waiting: a FIFO opens at once (its status then says what it is), where a plain
    // open would wait for a writer.
    descriptor_ = HeldDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
#endif
    if (!isOpen()) {
        return false;
    }
    const std::optional<DescriptorStatus> status = statusOfDescriptor(descriptor_.get());
    if (!status) {
        close();
        return false;
    }
    status_ = *status;
    blockCapacity_ = kBlock;
    // Most files of a collection are smaller than a block: this one read is all they cost.
    fill(0, kBlock);
    return true;
}

void FileReader::close() {
    descriptor_ = HeldDescriptor();
    status_ = {};
    blockCapacity_ = 0;
    blockStart_ = 0;
    blockLength_ = 0;
    failed_ = false;
}

std::uint64_t FileReader::end() const {
    return status_.regular ? status_.identity.size : std::numeric_limits<std::uint64_t>::max();
}

std::size_t FileReader::readDirect(std::uint64_t offset, std::uint8_t* destination,
                                   std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const long long got =
            readOnce(descriptor_.get(), offset + done, destination + done, count - done);
        if (got < 0) {
            failed_ = true;
            break;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void FileReader::fill(std::uint64_t offset, std::size_t least) {
    const std::uint64_t blockEnd = blockStart_ + blockLength_;
    // Just past the last block: the reader walks forward through small pieces (tile-part
    // headers close together, a long marker segment), so fetch a whole block. A longer jump
    // (over a tile's data, say) fetches a little.
    const bool continues = blockLength_ != 0 && offset >= blockEnd && offset - blockEnd < kNear;
    std::size_t want = std::max(continues ? kBlock : kFirstAhead, least);
    want = std::min(want, blockCapacity_);
    if (const std::uint64_t stop = end(); offset < stop) {
        want = static_cast<std::size_t>(std::min<std::uint64_t>(want, stop - offset));
    } else {
        want = 0;
    }
    blockStart_ = offset;
    blockLength_ = 0;
    if (want == 0) {
        return;
    }
    // One call brings the whole block but for a signal or a file that has shrunk; only
    // then is the rest of what the reader wants asked for again.
    const long long got = readOnce(descriptor_.get(), offset, block_.data(), want);
    if (got < 0) {
        failed_ = true;
        return;
    }
    blockLength_ = static_cast<std::size_t>(got);
    if (blockLength_ != 0 && blockLength_ < std::min(least, want)) {
        blockLength_ += readDirect(offset + blockLength_, block_.data() + blockLength_,
                                   std::min(least, want) - blockLength_);
    }
}

std::size_t FileReader::read(std::uint64_t offset, std::uint8_t* destination, std::size_t count) {
    if (!isOpen() || count == 0) {
        return 0;
    }
    const std::uint64_t stop = end();
    if (offset >= stop) {
        return 0;
    }
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, stop - offset));
    std::size_t done = 0;
    const auto fromBlock = [&] {
        const std::uint64_t at = offset + done;
        if (at < blockStart_ || at - blockStart_ >= blockLength_) {
            return;
        }
        const auto skip = static_cast<std::size_t>(at - blockStart_);
        const std::size_t take = std::min(count - done, blockLength_ - skip);
        std::memcpy(destination + done, block_.data() + skip, take);
        done += take;
    };
    fromBlock();
    if (done == count) {
        return done;
    }
    if (count - done >= kBlock) {
        // Bulk bytes (a payload, a copy) go straight to their destination.
        return done + readDirect(offset + done, destination + done, count - done);
    }
    fill(offset + done, count - done);
    fromBlock();
    return done;
}

}  // namespace bq
