#pragma once

namespace bq {

// An open file descriptor (the C runtime's on Windows), closed with its holder: a file being
// read, or a file without a name (a spooled input) kept open so that its path under
// /proc/self/fd stays valid until the last window over it is gone.
class HeldDescriptor {
  public:
    HeldDescriptor() = default;
    explicit HeldDescriptor(int descriptor) : descriptor_(descriptor) {}
    HeldDescriptor(HeldDescriptor&& other) noexcept : descriptor_(other.release()) {}
    HeldDescriptor& operator=(HeldDescriptor&& other) noexcept;
    HeldDescriptor(const HeldDescriptor&) = delete;
    HeldDescriptor& operator=(const HeldDescriptor&) = delete;
    ~HeldDescriptor();

    int get() const { return descriptor_; }
    int release() {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return descriptor;
    }

  private:
    int descriptor_ = -1;
};

}  // namespace bq
