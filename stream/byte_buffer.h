#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

namespace bq {

// An owned block of bytes that is not zeroed when made: bytes about to be read over would
// only be written twice. Large blocks ask the system for huge pages, which makes the first
// touch of hundreds of megabytes many times cheaper.
class ByteBuffer {
  public:
    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    ByteBuffer(ByteBuffer&& other) noexcept { swap(other); }
    ByteBuffer& operator=(ByteBuffer&& other) noexcept {
        ByteBuffer(std::move(other)).swap(*this);
        return *this;
    }
    ~ByteBuffer() { release(); }

    // Replaces the contents with `size` bytes of unspecified value; false (and empty) when
    // the memory cannot be had.
    bool allocate(std::size_t size);
    void release();

    std::uint8_t* data() { return bytes_; }
    const std::uint8_t* data() const { return bytes_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::span<const std::uint8_t> bytes() const { return {bytes_, size_}; }

    void swap(ByteBuffer& other) noexcept {
        std::swap(bytes_, other.bytes_);
        std::swap(size_, other.size_);
        std::swap(mapped_, other.mapped_);
    }

  private:
    std::uint8_t* bytes_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;  // from the system's page allocator rather than the heap
};

}  // namespace bq
