#include "stream/window_stream.h"

#include "stream/byte_reader.h"

namespace bq {

bool WindowStream::claim(std::uint64_t count) {
    if (overrun_ || count > size_ - position_) {
        overrun_ = true;
        return false;
    }
    return true;
}

void WindowStream::readBase(std::uint8_t* destination, std::uint32_t count) {
    const std::uint64_t at = start_ + position_;
    if (base_.tell() != at && !base_.seek(at)) {
        overrun_ = true;
        return;
    }
    base_.readBytes(destination, count);
    if (!base_.good()) {
        overrun_ = true;
        return;
    }
    position_ += count;
}

void WindowStream::readU8(std::uint8_t& out) {
    if (claim(1)) {
        readBase(&out, 1);
    }
}

void WindowStream::readU16(std::uint16_t& out) {
    std::uint8_t raw[2] = {};
    if (claim(2)) {
        readBase(raw, 2);
        out = loadU16(raw);
    }
}

void WindowStream::readU32(std::uint32_t& out) {
    std::uint8_t raw[4] = {};
    if (claim(4)) {
        readBase(raw, 4);
        out = loadU32(raw);
    }
}

void WindowStream::readBytes(std::uint8_t* destination, std::uint32_t count) {
    if (claim(count)) {
        readBase(destination, count);
    }
}

bool WindowStream::seek(std::uint64_t position) {
    if (position >= size_) {
        return false;
    }
    position_ = position;
    return true;
}

}  // namespace bq
