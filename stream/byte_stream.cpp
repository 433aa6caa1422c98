#include "stream/byte_stream.h"

#include <algorithm>
#include <new>
#include <vector>

namespace bq {

namespace {

// Large enough that a copy is dominated by the bytes, small enough to bound memory.
constexpr std::uint64_t kCopyBlock = 4 * 1024 * 1024;

}  // namespace

bool ByteStream::copyFrom(ByteStream& source, std::uint64_t count) {
    std::vector<std::uint8_t> block;
    try {
        block.resize(static_cast<std::size_t>(std::min(count, kCopyBlock)));
    } catch (const std::bad_alloc&) {
        return false;
    }
    while (count != 0) {
        const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, block.size()));
        source.readBytes(block.data(), chunk);
        if (!source.good()) {
            return false;
        }
        writeBytes(block.data(), chunk);
        if (!good()) {
            return false;
        }
        count -= chunk;
    }
    return true;
}

}  // namespace bq
