#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace bq {

// A big-endian cursor over bytes a file supplied. A read past the end fails, leaves its
// output untouched and makes every later read fail too, so a decoder can read a run of
// fields and ask ok() once.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool u8(std::uint8_t& out) {
        if (!claim(1)) {
            return false;
        }
        out = bytes_[position_++];
        return true;
    }
    bool u16(std::uint16_t& out) {
        std::uint64_t value = 0;
        if (!bigEndian(2, value)) {
            return false;
        }
        out = static_cast<std::uint16_t>(value);
        return true;
    }
    bool u32(std::uint32_t& out) {
        std::uint64_t value = 0;
        if (!bigEndian(4, value)) {
            return false;
        }
        out = static_cast<std::uint32_t>(value);
        return true;
    }
    bool u64(std::uint64_t& out) { return bigEndian(8, out); }
    // The next `count` bytes; empty (and failed) when fewer remain.
    std::span<const std::uint8_t> take(std::size_t count) {
        if (!claim(count)) {
            return {};
        }
        const auto part = bytes_.subspan(position_, count);
        position_ += count;
        return part;
    }
    std::span<const std::uint8_t> rest() { return take(remaining()); }

    bool ok() const { return !failed_; }
    std::size_t position() const { return position_; }
    std::size_t remaining() const { return bytes_.size() - position_; }

  private:
    bool claim(std::size_t count) {
        if (failed_ || count > remaining()) {
            failed_ = true;
            return false;
        }
        return true;
    }
    bool bigEndian(std::size_t count, std::uint64_t& out) {
        if (!claim(count)) {
            return false;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            value = (value << 8) | bytes_[position_++];
        }
        out = value;
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

}  // namespace bq
