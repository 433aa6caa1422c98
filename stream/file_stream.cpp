#include "stream/file_stream.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

#include "stream/byte_reader.h"

#if defined(_WIN32)
#include <windows.h>

#include <io.h>

#include "stream/utf8_path.h"
#else
#include <unistd.h>
#endif

namespace bq {

FileStream::~FileStream() {
    close();
}

bool FileStream::open(const std::string& path, const char* mode) {
    close();
#if defined(_WIN32)
    // The wide call: the narrow one reads the name in the system's code page, which holds
    // only a few scripts.
    const std::wstring wideMode(mode, mode + std::strlen(mode));
    handle_ = _wfopen(widen(path).c_str(), wideMode.c_str());
#else
    handle_ = std::fopen(path.c_str(), mode);
#endif
    position_ = 0;
    return handle_ != nullptr;
}

bool FileStream::adopt(std::FILE* file) {
    close();
    handle_ = file;
    position_ = 0;
    return handle_ != nullptr;
}

std::int64_t FileStream::sizeWide() {
    if (handle_ == nullptr) {
        return -1;
    }
#if defined(_WIN32)
    if (_fseeki64(handle_, 0, SEEK_END) != 0) {
        return -1;
    }
    const std::int64_t length = _ftelli64(handle_);
    _fseeki64(handle_, 0, SEEK_SET);
#else
    if (fseeko(handle_, 0, SEEK_END) != 0) {
        return -1;
    }
    const std::int64_t length = ftello(handle_);
    fseeko(handle_, 0, SEEK_SET);
#endif
    return length;
}

std::uint64_t FileStream::size() {
    const std::int64_t length = sizeWide();
    return length < 0 ? 0 : static_cast<std::uint64_t>(length);
}

std::optional<FileIdentity> identityOfDescriptor(int descriptor) {
#if defined(_WIN32)
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (file == INVALID_HANDLE_VALUE || GetFileInformationByHandle(file, &info) == 0 ||
        GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times) == 0) {
        return std::nullopt;
    }
    const auto wide = [](DWORD high, DWORD low) {
        return (std::uint64_t{high} << 32) | std::uint64_t{low};
    };
    // Windows counts 100-nanosecond ticks; only differences matter here.
    return FileIdentity{wide(info.nFileSizeHigh, info.nFileSizeLow),
                        times.LastWriteTime.QuadPart * 100, times.ChangeTime.QuadPart * 100,
                        wide(info.nFileIndexHigh, info.nFileIndexLow), info.dwVolumeSerialNumber};
#else
    struct stat info {};
    if (fstat(descriptor, &info) != 0 || info.st_size < 0) {
        return std::nullopt;
    }
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return FileIdentity{static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
                        nanoseconds(info.st_ctim), static_cast<std::uint64_t>(info.st_ino),
                        static_cast<std::uint64_t>(info.st_dev)};
#endif
}

std::optional<FileIdentity> FileStream::identity() const {
    if (handle_ == nullptr) {
        return std::nullopt;
    }
#if defined(_WIN32)
    return identityOfDescriptor(_fileno(handle_));
#else
    return identityOfDescriptor(fileno(handle_));
#endif
}

bool FileStream::hasError() const {
    return handle_ != nullptr && std::ferror(handle_) != 0;
}

bool FileStream::flush() {
    return handle_ != nullptr && std::fflush(handle_) == 0;
}

bool FileStream::sync() {
    if (!flush()) {
        return false;
    }
#if defined(_WIN32)
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(handle_)));
    return file != INVALID_HANDLE_VALUE && FlushFileBuffers(file) != 0;
#else
    return fsync(fileno(handle_)) == 0;
#endif
}

bool FileStream::closeChecked() {
    const bool closed = handle_ == nullptr || std::fclose(handle_) == 0;
    handle_ = nullptr;
    position_ = 0;
    return closed;
}

bool FileStream::good() const {
    return handle_ != nullptr && std::feof(handle_) == 0 && std::ferror(handle_) == 0;
}

bool FileStream::atEnd() const {
    return handle_ != nullptr && std::feof(handle_) != 0;
}

void FileStream::readU8(std::uint8_t& out) {
    out = static_cast<std::uint8_t>(std::fgetc(handle_));
    ++position_;
}

// A short read leaves the bytes that arrived over the destination's old bytes, and the
// conversion still runs over all of them: callers rely on that exact value.
void FileStream::readU16(std::uint16_t& out) {
    // Start from the old value's bytes in little-endian order, so that a failed read hands
    // it back reversed on every host.
    std::uint8_t raw[2] = {static_cast<std::uint8_t>(out), static_cast<std::uint8_t>(out >> 8)};
    static_cast<void>(std::fread(raw, 1, 2, handle_));
    out = loadU16(raw);
    position_ += 2;
}

void FileStream::readU32(std::uint32_t& out) {
    std::uint8_t raw[4] = {static_cast<std::uint8_t>(out), static_cast<std::uint8_t>(out >> 8),
                           static_cast<std::uint8_t>(out >> 16),
                           static_cast<std::uint8_t>(out >> 24)};
    static_cast<void>(std::fread(raw, 1, 4, handle_));
    out = loadU32(raw);
    position_ += 4;
}

void FileStream::writeU8(std::uint8_t value) {
    std::fputc(value, handle_);
    ++position_;
}

void FileStream::writeU16(std::uint16_t value) {
    std::uint8_t raw[2];
    storeBigEndian(value, raw, 2);
    std::fwrite(raw, 1, 2, handle_);
    position_ += 2;
}

void FileStream::writeU32(std::uint32_t value) {
    std::uint8_t raw[4];
    storeBigEndian(value, raw, 4);
    std::fwrite(raw, 1, 4, handle_);
    position_ += 4;
}

void FileStream::readBytes(std::uint8_t* destination, std::uint32_t count) {
    if (count != 0) {
        std::fread(destination, 1, count, handle_);
    }
    position_ += count;
}

void FileStream::writeBytes(const std::uint8_t* source, std::uint32_t count) {
    if (count != 0) {
        std::fwrite(source, 1, count, handle_);
    }
    position_ += count;
}

bool FileStream::seek(std::uint64_t position) {
    if (handle_ == nullptr) {
        return false;
    }
    position_ = position;
#if defined(_WIN32)
    // Plain fseek where a 32-bit long reaches: some runtimes' _fseeki64 leaves the end-of-file
    // indicator set, and a stream sought back from the end must read again.
    if (position <= 0x7FFFFFFFu) {
        return std::fseek(handle_, static_cast<long>(position), SEEK_SET) == 0;
    }
    if (position > 0x7FFFFFFFFFFFFFFFull) {
        return false;
    }
    return _fseeki64(handle_, static_cast<std::int64_t>(position), SEEK_SET) == 0;
#else
    if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return false;
    }
    return fseeko(handle_, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

bool FileStream::copyFrom(ByteStream& source, std::uint64_t count) {
#if defined(__linux__)
    // File to file, the kernel moves the bytes (and may share them, on file systems that can)
    // without a trip through this process's memory.
    std::FILE* input = source.nativeFile();
    if (input != nullptr && handle_ != nullptr && std::fflush(handle_) == 0 &&
        source.tell() <= static_cast<std::uint64_t>(std::numeric_limits<loff_t>::max()) &&
        position_ <= static_cast<std::uint64_t>(std::numeric_limits<loff_t>::max())) {
        auto inOffset = static_cast<loff_t>(source.tell());
        auto outOffset = static_cast<loff_t>(position_);
        std::uint64_t left = count;
        while (left != 0) {
            const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, 1u << 30));
            const ssize_t moved =
                copy_file_range(fileno(input), &inOffset, fileno(handle_), &outOffset, chunk, 0);
            if (moved <= 0) {
                break;  // the source ran short, or the file systems cannot: copy the rest below
            }
            left -= static_cast<std::uint64_t>(moved);
        }
        const std::uint64_t copied = count - left;
        if (!source.seek(source.tell() + copied) || !seek(position_ + copied)) {
            return false;
        }
        count = left;
    }
#endif
    return ByteStream::copyFrom(source, count);
}

void FileStream::close() {
    if (handle_ != nullptr) {
        std::fclose(handle_);
        handle_ = nullptr;
    }
    position_ = 0;
}

}  // namespace bq
