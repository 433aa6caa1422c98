#include "stream/held_descriptor.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace bq {

HeldDescriptor& HeldDescriptor::operator=(HeldDescriptor&& other) noexcept {
    if (this != &other) {
        HeldDescriptor gone(release());
        descriptor_ = other.release();
    }
    return *this;
}

HeldDescriptor::~HeldDescriptor() {
    if (descriptor_ >= 0) {
#if defined(_WIN32)
        _close(descriptor_);
#else
        ::close(descriptor_);
#endif
    }
}

}  // namespace bq
