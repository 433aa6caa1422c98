#include "stream/byte_buffer.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace bq {

namespace {

#if defined(__linux__)
// Below this the heap serves as well; above it whole huge pages pay off.
constexpr std::size_t kMapThreshold = 4 * 1024 * 1024;
#endif

}  // namespace

bool ByteBuffer::allocate(std::size_t size) {
    release();
    if (size == 0) {
        return true;
    }
#if defined(__linux__)
    if (size >= kMapThreshold) {
        void* block =
            mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED) {
            return false;
        }
        madvise(block, size, MADV_HUGEPAGE);  // advice only: without it the block still works
        bytes_ = static_cast<std::uint8_t*>(block);
        size_ = size;
        mapped_ = true;
        return true;
    }
#endif
    bytes_ = new (std::nothrow) std::uint8_t[size];
    if (bytes_ == nullptr) {
        return false;
    }
    size_ = size;
    return true;
}

void ByteBuffer::release() {
    if (bytes_ != nullptr) {
#if defined(__linux__)
        if (mapped_) {
            munmap(bytes_, size_);
        } else {
            delete[] bytes_;
        }
#else
        delete[] bytes_;
#endif
    }
    bytes_ = nullptr;
    size_ = 0;
    mapped_ = false;
}

}  // namespace bq
