#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "stream/byte_stream.h"
#include "stream/file_identity.h"
#include "stream/file_reader.h"

namespace bq {

// A ByteStream over a file. Opened for reading only ("rb"), it reads by offset through a
// FileReader (the status taken once at the open, the first block read with it); opened to
// write, or adopted, it runs over a buffered C file. `position` is the stream's own count of
// the bytes asked for, not a file position.
class FileStream final : public ByteStream {
  public:
    FileStream() = default;
    ~FileStream() override;

    bool open(const std::string& path, const char* mode);
    // Takes over a file opened elsewhere (closing whatever was open); false for none.
    bool adopt(std::FILE* file);
    // The file's length (for reading: as it was at the open). 0 when it cannot be measured.
    std::uint64_t size();
    // The file's length, or -1 when it cannot be measured.
    std::int64_t sizeWide();
    // The open file's length and modification time as the file system reports them (for
    // reading: at the open).
    std::optional<FileIdentity> identity() const;
    // Whether the file open for reading is a regular one (not a FIFO, device or folder).
    bool regularFile() const { return reader_.isOpen() && reader_.regular(); }
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
    bool isOpen() const override { return handle_ != nullptr || reader_.isOpen(); }
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
    int nativeDescriptor() const override;

  private:
    // Reads at the position through the reader; a short read sets the end, as the runtime
    // does. The bytes that arrived are copied, the rest of `destination` is left alone.
    std::size_t readAtPosition(std::uint8_t* destination, std::size_t count);

    std::FILE* handle_ = nullptr;
    FileReader reader_;
    std::uint64_t position_ = 0;
    bool ended_ = false;    // a read ran past the end (reading through the reader)
    bool misused_ = false;  // a write to a file opened for reading
};

}  // namespace bq
