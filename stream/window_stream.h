#pragma once

#include <cstdint>

#include "stream/byte_stream.h"

namespace bq {

// A read-only view of `size` bytes of another stream, from `start` on, with positions counted
// from the view's start. Like a memory stream, a read that asks for more than remains sets a
// sticky overrun; so one walk serves bytes in memory and bytes left in a file alike.
class WindowStream final : public ByteStream {
  public:
    WindowStream(ByteStream& base, std::uint64_t start, std::uint64_t size)
        : base_(base), start_(start), size_(size), overrun_(size == 0) {}

    std::uint64_t size() const { return size_; }

    int kind() const override { return base_.kind(); }
    bool good() const override { return !overrun_; }
    bool isOpen() const override { return base_.isOpen(); }
    bool atEnd() const override { return overrun_; }
    void readU8(std::uint8_t& out) override;
    void readU16(std::uint16_t& out) override;
    void readU32(std::uint32_t& out) override;
    // The view is for reading: a write only marks it overrun.
    void writeU8(std::uint8_t) override { overrun_ = true; }
    void writeU16(std::uint16_t) override { overrun_ = true; }
    void writeU32(std::uint32_t) override { overrun_ = true; }
    void readBytes(std::uint8_t* destination, std::uint32_t count) override;
    void writeBytes(const std::uint8_t*, std::uint32_t) override { overrun_ = true; }
    std::uint64_t tell() const override { return position_; }
    bool seek(std::uint64_t position) override;
    void close() override {}

  private:
    // Whether `count` more bytes lie in the view; sets the overrun when not.
    bool claim(std::uint64_t count);
    // Reads from the base at the view's position; an unexpected shortfall (the file shrank)
    // is an overrun too.
    void readBase(std::uint8_t* destination, std::uint32_t count);

    ByteStream& base_;
    std::uint64_t start_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
    bool overrun_;
};

}  // namespace bq
