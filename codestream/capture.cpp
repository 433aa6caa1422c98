#include "codestream/capture.h"

#include <algorithm>
#include <limits>
#include <new>

#include "codestream/pair_scan.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"

namespace bq {

namespace {

constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

// How many bytes the stream can still supply, as far as it can be told. A memory stream knows
// exactly, and must be told: reading past its end is sticky. For a file the caller's size is
// a hint that the reads below verify; other streams give no hint.
std::uint64_t availableHint(ByteStream& stream, std::uint32_t fileSize) {
    if (const auto* memory = dynamic_cast<const MemoryStream*>(&stream)) {
        return memory->size() > memory->tell() ? memory->size() - memory->tell() : 0;
    }
    if (dynamic_cast<const FileStream*>(&stream) != nullptr) {
        return fileSize > stream.tell() ? fileSize - stream.tell() : 0;
    }
    return kUnknown;
}

// Reads up to `want` bytes and returns how many arrived. A stream only tells that a read fell
// short, not by how much, so a short read is repeated byte by byte from where it began; the
// stream then stands at its end, just as a byte-wise reader would leave it.
std::uint32_t readChunk(ByteStream& stream, std::uint8_t* buffer, std::uint32_t want) {
    const std::uint32_t at = stream.tell();
    stream.readBytes(buffer, want);
    if (stream.good()) {
        return want;
    }
    if (!stream.seek(at)) {
        return 0;
    }
    std::uint32_t got = 0;
    while (got < want) {
        std::uint8_t byte = 0;
        stream.readU8(byte);
        if (!stream.good()) {
            break;
        }
        buffer[got++] = byte;
    }
    return got;
}

// The index of the first 0xD9 in bytes[0, count) that follows a 0xFF, where the byte before
// bytes[0] is `previous`; count when there is none.
std::uint32_t findPairEnd(const std::uint8_t* bytes, std::uint32_t count, std::uint8_t previous) {
    if (count == 0) {
        return 0;
    }
    if (previous == 0xFF && bytes[0] == 0xD9) {
        return 0;
    }
    const std::size_t first = findEndPair(bytes, count);
    return first < count ? static_cast<std::uint32_t>(first + 1) : count;
}

// Reads one byte more, as a byte-wise capture would before giving up, so the stream ends where
// such a capture leaves it.
bool refuse(ByteStream& stream) {
    std::uint8_t byte = 0;
    stream.readU8(byte);
    return false;
}

}  // namespace

bool captureCodestream(ByteStream& stream, std::uint32_t limit, std::vector<std::uint8_t>& out) {
    if (!stream.good()) {
        return refuse(stream);
    }
    const std::uint32_t start = stream.tell();
    std::uint64_t available = availableHint(stream, limit);
    // Seeking back clears a file's end indicator, so a short block read there can be redone
    // byte by byte. A stream of unknown kind may keep its end state, so it is read byte-wise.
    const bool blockReads = available != kUnknown;

    // First pass: find the pair with a fixed block, so the bytes are held only once, in a
    // buffer of exactly their size.
    std::uint64_t length = 0;
    {
        // Small streams get a block of their own size.
        const auto blockSize = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(
            std::min<std::uint64_t>(available, limit), 1, kCaptureBlockSize));
        std::vector<std::uint8_t> block;
        try {
            block.resize(blockSize);
        } catch (const std::bad_alloc&) {
            return false;
        }
        std::uint64_t scanned = 0;
        std::uint8_t previous = 0;
        while (length == 0) {
            if (scanned == limit) {
                return refuse(stream);
            }
            std::uint64_t want = std::min<std::uint64_t>(blockSize, limit - scanned);
            if (available != kUnknown) {
                want = std::min(want, available - scanned);
            } else if (!blockReads) {
                want = std::min<std::uint64_t>(want, 1);
            }
            if (want == 0) {
                // The stream should be at its end; a byte-wise read makes sure.
                std::uint8_t byte = 0;
                stream.readU8(byte);
                if (!stream.good()) {
                    return false;
                }
                available = kUnknown;  // the hint was wrong; from here on reads verify
                ++scanned;
                if (previous == 0xFF && byte == 0xD9) {
                    length = scanned;
                }
                previous = byte;
                continue;
            }
            const auto asked = static_cast<std::uint32_t>(want);
            const std::uint32_t got = readChunk(stream, block.data(), asked);
            const std::uint32_t end = findPairEnd(block.data(), got, previous);
            if (end < got) {
                length = scanned + end + 1;
                break;
            }
            if (got != 0) {
                previous = block[got - 1];
            }
            scanned += got;
            if (got < asked) {
                return false;  // ran out; readChunk left the stream at its end
            }
        }
    }

    // Second pass: read exactly the captured bytes, which leaves the stream behind the pair.
    const auto count = static_cast<std::uint32_t>(length);
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(count);
    } catch (const std::bad_alloc&) {
        const std::uint64_t behind = std::uint64_t{start} + count;
        if (stream.tell() != behind && behind <= std::numeric_limits<std::uint32_t>::max()) {
            stream.seek(static_cast<std::uint32_t>(behind));
        }
        return false;
    }
    if (!stream.seek(start)) {
        return false;
    }
    stream.readBytes(bytes.data(), count);
    // The file could have changed between the passes.
    if (!stream.good() || bytes[count - 2] != 0xFF || bytes[count - 1] != 0xD9) {
        return false;
    }
    out.swap(bytes);
    return true;
}

}  // namespace bq
