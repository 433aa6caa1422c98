#pragma once

#include <cstdint>
#include <optional>

namespace bq {

// What tells one version of a file from another without reading it: a file replaced or
// rewritten since it was opened differs in one of these.
struct FileIdentity {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
    // The last change of content or metadata, which no program can set back: a file rewritten
    // in place with its old modification time put back still differs here.
    std::int64_t changedNs = 0;
    std::uint64_t fileId = 0;  // the inode (the file index on Windows): a file replaced differs
    std::uint64_t device = 0;

    bool operator==(const FileIdentity&) const = default;
};

// What one status call tells about an open file.
struct DescriptorStatus {
    FileIdentity identity;
    // A regular file (a disk file on Windows): its size is where its bytes end.
    bool regular = false;
};

// The status of the file open as `descriptor` (a C runtime descriptor on Windows).
std::optional<DescriptorStatus> statusOfDescriptor(int descriptor);

// The identity of the file open as `descriptor` (a C runtime descriptor on Windows).
std::optional<FileIdentity> identityOfDescriptor(int descriptor);

}  // namespace bq
