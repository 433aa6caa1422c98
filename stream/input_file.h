#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stream/file_window.h"

namespace bq {

enum class InputError : std::uint8_t {
    None,
    OpenFailed,  // missing, unreadable, or a folder
    ReadFailed,
    TooLarge,  // more than the limit
    NoMemory,
    NoWriter,  // a FIFO that no program wrote to in time
    HoldsNul,  // a text with a NUL byte (readTextInput)
};

struct InputBytes {
    std::vector<std::uint8_t> bytes;
    InputError error = InputError::None;
    // readInputSpooling: set instead of `bytes` for a large stream, whose bytes are then the
    // whole of this temporary file.
    std::shared_ptr<const SourceFile> spooled;
};

// How long a FIFO may go without a writer before the read gives up on it.
constexpr std::chrono::milliseconds kDefaultWriterWait{30000};

// The whole content of a file given by the user: a regular file, a FIFO or pipe (process
// substitution included) or a device, read as a stream up to `limit` bytes. A regular file
// longer than the limit is refused before anything is read, a stream as soon as it passes the
// limit, so memory never grows past what the caller can take; a device, which states no
// length, gives at most 64 MiB.
InputBytes readInput(const std::string& path, std::uint64_t limit,
                     std::chrono::milliseconds writerWait = kDefaultWriterWait);
// readInput for a text that a box keeps up to its first NUL: refused at the first NUL byte,
// as it arrives, so a stream of zeros is not read on to the limit first.
InputBytes readTextInput(const std::string& path, std::uint64_t limit);
// readInput for a payload that may be large: a stream (FIFO, pipe, device) is copied to a
// temporary file without a name as it is read, checked against the limit, so memory stays
// flat; when it ends up longer than `holdAbove` it stays there (`spooled`), else it is held
// in `bytes`. A regular file is read as readInput reads it, and so is everything on Windows.
InputBytes readInputSpooling(const std::string& path, std::uint64_t limit, std::uint64_t holdAbove);
// Standard input, read the same way.
InputBytes readStandardInput(std::uint64_t limit);

}  // namespace bq
