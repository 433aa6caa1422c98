#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "stream/file_stream.h"

namespace bq {

// The steps of a replacement, in the order they run.
enum class ReplaceStep : std::uint8_t { Create, Write, Sync, Close, Rename, FolderSync };

enum class ReplaceOutcome : std::uint8_t {
    Written,
    CreateFailed,    // no temporary file could be made beside the target
    WriteFailed,     // writing, flushing or moving it into place failed
    NotRegularFile,  // the target is a folder, device, FIFO or socket: left as it is
    DanglingLink,    // the target is a symbolic link to nothing
};

struct ReplaceResult {
    ReplaceOutcome outcome = ReplaceOutcome::CreateFailed;
    // The file written: the target, or the file a symbolic link named as the target points to.
    std::string path;
    // The new file as it stands on the disk, when it is still the one this call wrote (another
    // writer may have replaced it since).
    std::optional<FileIdentity> identity;
};

// Called before each step; answering false makes that step fail as if the system had refused
// it. Tests watch and break the steps through it.
using ReplaceSeam = std::function<bool(ReplaceStep)>;

// Writes `target` whole or not at all. `write` fills a temporary file that is made beside the
// target under a name no one can predict, exclusively and without following links, private
// until it takes the target's mode (before any byte is written) and owner, group and extended
// attributes (after the data, where the process may). It is put on the disk, closed with its
// close checked, and only then moved over the target in one step; the folder is synced after.
// Concurrent writers each write their own temporary file, so the target always ends as one
// whole save. Only regular files are replaced (a link to one is followed); on any failure the
// target is as it was and no temporary file is left.
ReplaceResult replaceFile(const std::string& target, const std::function<bool(FileStream&)>& write,
                          const ReplaceSeam& seam = {});

}  // namespace bq
