#pragma once

#include <functional>
#include <optional>
#include <string>

#include "stream/file_stream.h"

namespace bq {

enum class WriteOutcome { Written, CreateFailed, WriteFailed };

struct DurableWrite {
    WriteOutcome outcome = WriteOutcome::CreateFailed;
    // The new file as it was written, for payloads that are to be read from it later.
    std::optional<FileIdentity> identity;
};

// Writes a file at `destination` so that a failure or a power cut never leaves it half
// written: `write` fills a temporary file beside it, which is put on the disk, checked and
// only then renamed over the destination; the folder is synced after. On any failure the
// destination is as it was and the temporary file is gone.
DurableWrite writeDurably(const std::string& destination,
                          const std::function<bool(FileStream&)>& write);

// Where a save to `target` must write: through a symbolic link, the file it points to.
std::string resolvedTarget(const std::string& target);

}  // namespace bq
