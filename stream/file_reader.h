#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "stream/file_identity.h"
#include "stream/held_descriptor.h"

namespace bq {

// A file read by offset: one status call and one read of its first block at the open, then
// every read at its own offset (pread; ReadFile with an offset on Windows), with no file
// position and no runtime buffer between. Reads are served from one block held in memory,
// refilled ahead of the reader: a far jump fetches a little, a read just past the block a
// whole block, so headers that lie close together cost one call.
class FileReader {
  public:
    static constexpr std::size_t kBlock = 64 * 1024;
    // What a jump fetches first: enough for a tile-part's SOT and a few marker segments,
    // where a whole block would be copied for the twelve bytes a walk over tiles wants.
    static constexpr std::size_t kFirstAhead = 512;
    // A read this close past the block's end continues a forward walk.
    static constexpr std::size_t kNear = 4 * 1024;

    FileReader() = default;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // False, with nothing open, when the file cannot be opened or its status read.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return descriptor_.get() >= 0; }
    // The C runtime descriptor on Windows.
    int descriptor() const { return descriptor_.get(); }
    // The file as it was at the open.
    const FileIdentity& identity() const { return status_.identity; }
    bool regular() const { return status_.regular; }
    // Copies up to `count` bytes from `offset` and returns how many: fewer at the end of the
    // file as it was opened, or where the file has since shrunk, or on a read error.
    std::size_t read(std::uint64_t offset, std::uint8_t* destination, std::size_t count);
    // Whether the system refused a read.
    bool failed() const { return failed_; }

  private:
    // Reads straight into `destination` until `count` bytes, the end or an error.
    std::size_t readDirect(std::uint64_t offset, std::uint8_t* destination, std::size_t count);
    // Refills the block from `offset` with at least `least` bytes where the file holds them.
    void fill(std::uint64_t offset, std::size_t least);
    // Where reads stop: the size at the open for a regular file, nowhere for others.
    std::uint64_t end() const;

    HeldDescriptor descriptor_;
    DescriptorStatus status_;
    // Inside the reader, not allocated for each file, and never cleared: only bytes a read
    // brought are ever copied out of it.
    std::array<std::uint8_t, kBlock> block_;
    std::size_t blockCapacity_ = 0;
    std::uint64_t blockStart_ = 0;
    std::size_t blockLength_ = 0;
    bool failed_ = false;
};

}  // namespace bq
