#include "stream/file_stream.h"

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
    if (std::strcmp(mode, "rb") == 0 || std::strcmp(mode, "r") == 0) {
        return reader_.open(path);
    }
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
    if (reader_.isOpen()) {
        // No seek: the status read at the open already holds the size. A pipe or device has
        // none, as the runtime's seek to the end finds.
        const std::uint64_t length = reader_.identity().size;
        return reader_.regular() && length <= 0x7FFFFFFFFFFFFFFFull
                   ? static_cast<std::int64_t>(length)
                   : -1;
    }
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

std::optional<FileIdentity> FileStream::identity() const {
    if (reader_.isOpen()) {
        return reader_.identity();
    }
    if (handle_ == nullptr) {
        return std::nullopt;
    }
#if defined(_WIN32)
    return identityOfDescriptor(_fileno(handle_));
#else
    return identityOfDescriptor(fileno(handle_));
#endif
}

int FileStream::nativeDescriptor() const {
    if (reader_.isOpen()) {
        return reader_.descriptor();
    }
    if (handle_ == nullptr) {
        return -1;
    }
#if defined(_WIN32)
    return _fileno(handle_);
#else
    return fileno(handle_);
#endif
}

bool FileStream::hasError() const {
    if (reader_.isOpen()) {
        return reader_.failed() || misused_;
    }
    return handle_ != nullptr && std::ferror(handle_) != 0;
}

bool FileStream::flush() {
    if (reader_.isOpen()) {
        return !misused_;  // nothing is ever buffered to write
    }
    return handle_ != nullptr && std::fflush(handle_) == 0;
}

bool FileStream::sync() {
    if (!flush()) {
        return false;
    }
#if defined(_WIN32)
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(nativeDescriptor()));
    return file != INVALID_HANDLE_VALUE && FlushFileBuffers(file) != 0;
#else
    return fsync(nativeDescriptor()) == 0;
#endif
}

bool FileStream::closeChecked() {
    const bool closed = handle_ == nullptr || std::fclose(handle_) == 0;
    handle_ = nullptr;
    close();
    return closed;
}

bool FileStream::good() const {
    if (reader_.isOpen()) {
        return !ended_ && !reader_.failed() && !misused_;
    }
    return handle_ != nullptr && std::feof(handle_) == 0 && std::ferror(handle_) == 0;
}

bool FileStream::atEnd() const {
    if (reader_.isOpen()) {
        return ended_;
    }
    return handle_ != nullptr && std::feof(handle_) != 0;
}

std::size_t FileStream::readAtPosition(std::uint8_t* destination, std::size_t count) {
    const std::size_t got = reader_.read(position_, destination, count);
    if (got < count) {
        ended_ = true;
    }
    return got;
}

void FileStream::readU8(std::uint8_t& out) {
    if (reader_.isOpen()) {
        // What the runtime's fgetc gives at the end, cast to a byte.
        std::uint8_t value = 0xFF;
        static_cast<void>(readAtPosition(&value, 1));
        out = value;
    } else {
        out = static_cast<std::uint8_t>(std::fgetc(handle_));
    }
    ++position_;
}

// A short read leaves the bytes that arrived over the destination's old bytes, and the
// conversion still runs over all of them: callers rely on that exact value.
void FileStream::readU16(std::uint16_t& out) {
    // Start from the old value's bytes in little-endian order, so that a failed read hands
    // it back reversed on every host.
    std::uint8_t raw[2] = {static_cast<std::uint8_t>(out), static_cast<std::uint8_t>(out >> 8)};
    if (reader_.isOpen()) {
        static_cast<void>(readAtPosition(raw, 2));
    } else {
        static_cast<void>(std::fread(raw, 1, 2, handle_));
    }
    out = loadU16(raw);
    position_ += 2;
}

void FileStream::readU32(std::uint32_t& out) {
    std::uint8_t raw[4] = {static_cast<std::uint8_t>(out), static_cast<std::uint8_t>(out >> 8),
                           static_cast<std::uint8_t>(out >> 16),
                           static_cast<std::uint8_t>(out >> 24)};
    if (reader_.isOpen()) {
        static_cast<void>(readAtPosition(raw, 4));
    } else {
        static_cast<void>(std::fread(raw, 1, 4, handle_));
    }
    out = loadU32(raw);
    position_ += 4;
}

void FileStream::writeU8(std::uint8_t value) {
    writeBytes(&value, 1);
}

void FileStream::writeU16(std::uint16_t value) {
    std::uint8_t raw[2];
    storeBigEndian(value, raw, 2);
    writeBytes(raw, 2);
}

void FileStream::writeU32(std::uint32_t value) {
    std::uint8_t raw[4];
    storeBigEndian(value, raw, 4);
    writeBytes(raw, 4);
}

void FileStream::readBytes(std::uint8_t* destination, std::uint32_t count) {
    if (count != 0) {
        if (reader_.isOpen()) {
            static_cast<void>(readAtPosition(destination, count));
        } else {
            std::fread(destination, 1, count, handle_);
        }
    }
    position_ += count;
}

void FileStream::writeBytes(const std::uint8_t* source, std::uint32_t count) {
    if (count != 0) {
        if (reader_.isOpen()) {
            misused_ = true;  // the runtime's write to a file opened "rb" fails the same way
        } else {
            std::fwrite(source, 1, count, handle_);
        }
    }
    position_ += count;
}

bool FileStream::seek(std::uint64_t position) {
    if (reader_.isOpen()) {
        // As the runtime's seek, it clears the end but not an error.
        if (position > 0x7FFFFFFFFFFFFFFFull) {
            return false;
        }
        position_ = position;
        ended_ = false;
        return true;
    }
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
    const int input = source.nativeDescriptor();
    if (input >= 0 && handle_ != nullptr && std::fflush(handle_) == 0 &&
        source.tell() <= static_cast<std::uint64_t>(std::numeric_limits<loff_t>::max()) &&
        position_ <= static_cast<std::uint64_t>(std::numeric_limits<loff_t>::max())) {
        auto inOffset = static_cast<loff_t>(source.tell());
        auto outOffset = static_cast<loff_t>(position_);
        std::uint64_t left = count;
        while (left != 0) {
            const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, 1u << 30));
            const ssize_t moved =
                copy_file_range(input, &inOffset, fileno(handle_), &outOffset, chunk, 0);
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
    reader_.close();
    position_ = 0;
    ended_ = false;
    misused_ = false;
}

}  // namespace bq
