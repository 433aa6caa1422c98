#pragma once
// Work over a stream of items on several threads, its results handed on in the items' order
// as soon as each and every one before it is done. At most `window` items are between being
// taken and being handed on, so memory stays bounded however many items there are.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "cli/folder_walk.h"
#include "cli/output.h"

namespace bq::cli {

enum class FileOutcome : std::uint8_t { Ok, Invalid, Unreadable };

struct FileResult {
    FileOutput output{true};
    FileOutcome outcome = FileOutcome::Ok;
};

struct OrderedWork {
    std::function<std::optional<CollectedFile>()> next;       // the items; none at the end
    std::function<FileResult(const CollectedFile&)> process;  // on a worker thread
    std::function<void(FileResult&)> deliver;                 // in order, on the caller's thread
    std::function<void()> idle;  // on the caller's thread while it waits (a progress line)
    // The result of an item whose work threw (memory ran out); Unreadable and silent when
    // even that throws.
    std::function<FileResult(const CollectedFile&)> failed;
};

// Runs with `workers` threads (at least 1) and a window of `window` items (at least
// `workers`). Returns once every item was delivered.
void runOrdered(const OrderedWork& work, std::size_t workers, std::size_t window);

}  // namespace bq::cli
