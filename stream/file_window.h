#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "stream/byte_stream.h"
#include "stream/file_stream.h"
#include "stream/held_descriptor.h"

namespace bq {

// The file a document was read from, as it was when it was opened; or the temporary file a
// streamed input was spooled to, held open by `held`.
struct SourceFile {
    std::string path;
    FileIdentity identity;
    HeldDescriptor held;
};

// A payload left where it lies in its source file instead of being held in memory: large
// codestreams are copied from there when the document is saved or the payload exported.
struct FileWindow {
    std::shared_ptr<const SourceFile> source;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    // The first and last two bytes (fewer for a shorter window), as they were at the open.
    std::array<std::uint8_t, 2> head{};
    std::array<std::uint8_t, 2> tail{};
};

// Describes `length` bytes of `stream` from `offset` as a window into `source`, reading their
// first and last bytes; the stream's position is then unspecified. None when they cannot be
// read.
std::optional<FileWindow> makeFileWindow(ByteStream& stream,
                                         std::shared_ptr<const SourceFile> source,
                                         std::uint64_t offset, std::uint64_t length);

// Copies the window's bytes to the end of `out`. False, with nothing more than part of the
// bytes written, when the source is no longer the file that was opened (another size or
// modification time, or other bytes at either end) or cannot be read.
bool copyFileWindow(const FileWindow& window, ByteStream& out);

}  // namespace bq
