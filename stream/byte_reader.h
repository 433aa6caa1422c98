#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace bq {

// The one decoding of multi-byte integers. Each byte is widened before it is shifted, so no
// byte lands in a sign bit.
constexpr std::uint64_t loadBigEndian(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        value = (value << 8) | std::uint64_t{bytes[i]};
    }
    return value;
}
constexpr std::uint64_t loadLittleEndian(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i > 0; --i) {
        value = (value << 8) | std::uint64_t{bytes[i - 1]};
    }
    return value;
}
constexpr std::uint16_t loadU16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(loadBigEndian(bytes, 2));
}
constexpr std::uint32_t loadU32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(loadBigEndian(bytes, 4));
}
constexpr void storeBigEndian(std::uint64_t value, std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = count; i > 0; --i) {
        bytes[i - 1] = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
}

enum class ByteOrder : std::uint8_t { Big, Little };

// A cursor over bytes a file supplied, big-endian unless the format says otherwise (TIFF). A
// read past the end fails, leaves its output untouched and makes every later read fail too, so
// a decoder can read a run of fields and ask ok() once.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes, ByteOrder order = ByteOrder::Big)
        : bytes_(bytes), order_(order) {}

    bool u8(std::uint8_t& out) { return read(1, out); }
    bool u16(std::uint16_t& out) { return read(2, out); }
    bool u32(std::uint32_t& out) { return read(4, out); }
    bool u64(std::uint64_t& out) { return read(8, out); }
    // An unsigned field of 1 to 8 bytes, for formats whose field widths vary (BigTIFF).
    bool uint(std::size_t count, std::uint64_t& out) { return read(count, out); }
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
    template <typename T>
    bool read(std::size_t count, T& out) {
        if (!claim(count)) {
            return false;
        }
        const std::uint8_t* at = bytes_.data() + position_;
        out = static_cast<T>(order_ == ByteOrder::Big ? loadBigEndian(at, count)
                                                      : loadLittleEndian(at, count));
        position_ += count;
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    ByteOrder order_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

}  // namespace bq
