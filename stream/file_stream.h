#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "stream/byte_stream.h"

namespace bq {

// A ByteStream over a buffered C file. `position` is the stream's own count of the bytes
// asked for, not the runtime's file position.
class FileStream final : public ByteStream {
  public:
    FileStream() = default;
    ~FileStream() override;

    bool open(const std::string& path, const char* mode);
    // The file's length; seeks to the end and back to the start. Files of 4 GiB or more
    // report 0xFFFFFFFF here: use sizeWide() to tell them apart.
    std::uint32_t size();
    // The file's length in 64 bits, or -1 when it cannot be measured.
    std::int64_t sizeWide();
    // Whether the runtime reported a write or read error (not end of file).
    bool hasError() const;
    // Flushes buffered writes to the file; false when the runtime reports a failure.
    bool flush();

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
    std::uint32_t tell() const override { return position_; }
    bool seek(std::uint32_t position) override;
    void close() override;

  private:
    std::FILE* handle_ = nullptr;
    std::uint32_t position_ = 0;
};

}  // namespace bq
