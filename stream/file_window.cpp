#include "stream/file_window.h"

#include <algorithm>
#include <utility>

namespace bq {

namespace {

using Ends = std::array<std::uint8_t, 2>;

// The window's first and last bytes (up to two each) as the stream holds them now.
bool readEnds(ByteStream& stream, std::uint64_t offset, std::uint64_t length, Ends& head,
              Ends& tail) {
    head = {};
    tail = {};
    const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, 2));
    if (count == 0) {
        return true;
    }
    if (!stream.seek(offset)) {
        return false;
    }
    stream.readBytes(head.data(), count);
    if (!stream.seek(offset + length - count)) {
        return false;
    }
    stream.readBytes(tail.data(), count);
    return stream.good();
}

}  // namespace

std::optional<FileWindow> makeFileWindow(ByteStream& stream,
                                         std::shared_ptr<const SourceFile> source,
                                         std::uint64_t offset, std::uint64_t length) {
    FileWindow window;
    window.offset = offset;
    window.length = length;
    if (source == nullptr || !readEnds(stream, offset, length, window.head, window.tail)) {
        return std::nullopt;
    }
    window.source = std::move(source);
    return window;
}

bool copyFileWindow(const FileWindow& window, ByteStream& out) {
    if (window.source == nullptr) {
        return false;
    }
    FileStream file;
    if (!file.open(window.source->path, "rb")) {
        return false;
    }
    const std::optional<FileIdentity> now = file.identity();
    if (!now || *now != window.source->identity || window.offset > now->size ||
        window.length > now->size - window.offset) {
        return false;
    }
    Ends head;
    Ends tail;
    if (!readEnds(file, window.offset, window.length, head, tail) || head != window.head ||
        tail != window.tail) {
        return false;
    }
    if (window.length == 0) {
        return true;
    }
    return file.seek(window.offset) && out.copyFrom(file, window.length);
}

}  // namespace bq
