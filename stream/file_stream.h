#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "stream/byte_stream.h"

namespace bq {

// What tells one version of a file from another without reading it: a file replaced or
// rewritten since it was opened differs in one of these.
struct FileIdentity {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
    // The last change of content or metadata, which no program can set back: a file rewritten
    // in place with its old modification time put back still differs here.
    std::int64_t changedNs = 0;
    std::uint64_t fileId = 0;  // the inode (the file index on Windows): a file replaced differs
    std::uint64_t device = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file open as `descriptor` (a C runtime descriptor on Windows).
std::optional<FileIdentity> identityOfDescriptor(int descriptor);

// A ByteStream over a buffered C file. `position` is the stream's own count of the bytes
// asked for, not the runtime's file position.
class FileStream final : public ByteStream {
  public:
    FileStream() = default;
    ~FileStream() override;

    bool open(const std::string& path, const char* mode);
    // Takes over a file opened elsewhere (closing whatever was open); false for none.
    bool adopt(std::FILE* file);
    // The file's length; seeks to the end and back to the start. 0 when it cannot be measured.
    std::uint64_t size();
    // The file's length, or -1 when it cannot be measured.
    std::int64_t sizeWide();
    // The open file's length and modification time as the file system reports them.
    std::optional<FileIdentity> identity() const;
    // Whether the runtime reported a write or read error (not end of file).
    bool hasError() const;
    // Flushes buffered writes to the file; false when the runtime reports a failure.
    bool flush();
    // Flushes, then asks the system to put the bytes on the disk before it answers.
    bool sync();
    // Closes the file; false when the close reports a failure (a write it could not finish).
    bool closeChecked();

    int kind() const override { return kFileStreamKind; }
    bool good() const override;
    bool isOpen() const override { return handle_ != nullptr; }
    bool atEnd() const override;
    void readU8(std::uint8_t& out) override;
    void readU16(std::uint16_t& out) override;
    void readU32(std::uint32_t& out) override;
    void writeU8(std::uint8_t value) override;
    void writeU16(std::uint16_t value) override;
    void writeU32(std::uint32_t value) override;
    void readBytes(std::uint8_t* destination, std::uint32_t count) override;
    void writeBytes(const std::uint8_t* source, std::uint32_t count) override;
    std::uint64_t tell() const override { return position_; }
    bool seek(std::uint64_t position) override;
    void close() override;
    bool copyFrom(ByteStream& source, std::uint64_t count) override;
    std::FILE* nativeFile() const override { return handle_; }

  private:
    std::FILE* handle_ = nullptr;
    std::uint64_t position_ = 0;
};

}  // namespace bq
