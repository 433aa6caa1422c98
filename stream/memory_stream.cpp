#include "stream/memory_stream.h"

#include <cstring>

#include "stream/byte_reader.h"

namespace bq {

MemoryStream::~MemoryStream() {
    close();
}

void MemoryStream::attach(std::uint8_t* buffer, std::uint32_t size) {
    close();
    buffer_ = buffer;
    size_ = size;
    position_ = 0;
    overrun_ = size == 0;
}

void MemoryStream::readU8(std::uint8_t& out) {
    if (!fits(1)) {
        overrun_ = true;
        return;
    }
    out = buffer_[position_++];
}

void MemoryStream::readU16(std::uint16_t& out) {
    if (!fits(2)) {
        overrun_ = true;
        out = byteSwap16(out);  // the host-order conversion still runs on the old value
        return;
    }
    out = loadU16(buffer_ + position_);
    position_ += 2;
}

void MemoryStream::readU32(std::uint32_t& out) {
    if (!fits(4)) {
        overrun_ = true;
        out = byteSwap32(out);
        return;
    }
    out = loadU32(buffer_ + position_);
    position_ += 4;
}

void MemoryStream::writeU8(std::uint8_t value) {
    if (!fits(1)) {
        overrun_ = true;
        return;
    }
    buffer_[position_++] = value;
}

void MemoryStream::writeU16(std::uint16_t value) {
    if (!fits(2)) {
        overrun_ = true;
        return;
    }
    storeBigEndian(value, buffer_ + position_, 2);
    position_ += 2;
}

void MemoryStream::writeU32(std::uint32_t value) {
    if (!fits(4)) {
        overrun_ = true;
        return;
    }
    storeBigEndian(value, buffer_ + position_, 4);
    position_ += 4;
}

void MemoryStream::readBytes(std::uint8_t* destination, std::uint32_t count) {
    if (buffer_ == nullptr) {
        overrun_ = true;
        return;
    }
    if (!fits(count)) {
        overrun_ = true;
        count = size_ - position_;
    }
    if (count != 0) {
        std::memcpy(destination, buffer_ + position_, count);
    }
    position_ += count;
}

void MemoryStream::writeBytes(const std::uint8_t* source, std::uint32_t count) {
    if (buffer_ == nullptr) {
        overrun_ = true;
        return;
    }
    if (!fits(count)) {
        overrun_ = true;
        count = size_ - position_;
    }
    if (count != 0) {
        std::memcpy(buffer_ + position_, source, count);
    }
    position_ += count;
}

bool MemoryStream::seek(std::uint64_t position) {
    if (position >= size_) {
        return false;
    }
    position_ = static_cast<std::uint32_t>(position);
    return true;
}

// The buffer is always borrowed (attach is the only way in), so closing only forgets it.
void MemoryStream::close() {
    buffer_ = nullptr;
}

}  // namespace bq
