#pragma once

#include <cstdint>

#include "stream/byte_stream.h"

namespace bq {

// A ByteStream over a caller's buffer. A read or write that asks for more bytes than remain
// sets the sticky `overrun` flag, which only attach() clears.
class MemoryStream final : public ByteStream {
  public:
    MemoryStream() = default;
    ~MemoryStream() override;

    // Borrows `buffer` (which must outlive the stream); not good when `size` is 0. Writes go
    // into the borrowed bytes, so the buffer is taken as mutable.
    void attach(std::uint8_t* buffer, std::uint32_t size);
    // Read-only convenience for walking bytes the caller does not want changed; writing
    // through such a stream is a caller error.
    void attach(const std::uint8_t* buffer, std::uint32_t size) {
        attach(const_cast<std::uint8_t*>(buffer), size);
    }
    std::uint32_t size() const { return size_; }

    int kind() const override { return kMemoryStreamKind; }
    bool good() const override { return buffer_ != nullptr && !overrun_; }
    bool isOpen() const override { return buffer_ != nullptr; }
    bool atEnd() const override { return overrun_; }
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

  private:
    bool fits(std::uint32_t count) const {
        return buffer_ != nullptr && count <= size_ - position_;
    }

    std::uint8_t* buffer_ = nullptr;
    std::uint32_t position_ = 0;
    std::uint32_t size_ = 0;
    bool overrun_ = false;
};

}  // namespace bq
