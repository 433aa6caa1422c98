#include "ui/durable_write.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "stream/utf8_path.h"
#include "ui/file_checks.h"

namespace bq {

namespace {

namespace fs = std::filesystem;

// A name beside the target that no file has yet: the target's name with a suffix. The name
// is cut where the suffix would take it past what the system allows, so that a name at the
// limit can still be saved: 255 bytes a file name on Linux, 259 units a path on Windows.
std::string temporaryNameFor(const std::string& target) {
#if defined(_WIN32)
    const std::size_t slash = target.find_last_of("\\/");
#else
    const std::size_t slash = target.find_last_of('/');
#endif
    const std::string_view whole(target);
    const std::string_view folder = whole.substr(0, slash == std::string::npos ? 0 : slash + 1);
    const std::string_view name = whole.substr(folder.size());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string suffix = ".bqtmp";
        if (attempt != 0) {
            suffix += std::to_string(attempt);
        }
#if defined(_WIN32)
        constexpr std::size_t kMaxPath = 259;
        const std::size_t used = windowsLength(folder) + suffix.size();
        const std::string_view kept =
            used < kMaxPath ? cutToWindowsLength(name, kMaxPath - used) : std::string_view();
#else
        constexpr std::size_t kMaxName = 255;
        std::size_t length = std::min(name.size(), kMaxName - suffix.size());
        while (length > 0 && length < name.size() &&
               (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
            --length;  // not inside a character
        }
        const std::string_view kept = name.substr(0, length);
#endif
        if (kept.empty()) {
            return {};
        }
        std::string candidate = std::string(folder) + std::string(kept) + suffix;
        if (!pathExists(candidate)) {
            return candidate;
        }
    }
    return {};
}

// Replaces the target with the finished temporary file in one step.
bool replaceFile(const std::string& from, const std::string& to) {
#if defined(_WIN32)
    // Write-through: the call returns once the move itself is on the disk.
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    std::error_code error;
    fs::rename(pathFromUtf8(from), pathFromUtf8(to), error);
    return !error;
#endif
}

// The replacement keeps the access rights of the file it replaces. (On Windows the only
// right is read-only, and a read-only file cannot be replaced anyway.)
void keepPermissions(const std::string& target, const std::string& temporary) {
#if !defined(_WIN32)
    std::error_code error;
    const fs::file_status status = fs::status(pathFromUtf8(target), error);
    if (!error && fs::exists(status)) {
        fs::permissions(pathFromUtf8(temporary), status.permissions(), error);
    }
#else
    static_cast<void>(target);
    static_cast<void>(temporary);
#endif
}

// Makes the rename itself durable where the system lets a folder be synced.
void syncFolderOf(const std::string& path) {
#if !defined(_WIN32)
    const fs::path folder = pathFromUtf8(path).parent_path();
    const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        fsync(descriptor);
        ::close(descriptor);
    }
#else
    static_cast<void>(path);
#endif
}

}  // namespace

DurableWrite writeDurably(const std::string& destination,
                          const std::function<bool(FileStream&)>& write) {
    DurableWrite result;
    const std::string temporary =
        isFolder(destination) ? std::string() : temporaryNameFor(destination);
    FileStream stream;
    if (temporary.empty() || !stream.open(temporary, "wb")) {
        return result;
    }
    result.outcome = WriteOutcome::WriteFailed;
    bool written = write(stream);
    // On the disk before it replaces anything: after a power cut the destination is either
    // the old file or the whole new one.
    written = stream.sync() && written && !stream.hasError();
    result.identity = stream.identity();
    written = stream.closeChecked() && written;
    if (written) {
        keepPermissions(destination, temporary);
    }
    if (!written || !result.identity || !replaceFile(temporary, destination)) {
        removeQuietly(temporary);
        result.identity.reset();
        return result;
    }
    syncFolderOf(destination);
    result.outcome = WriteOutcome::Written;
    return result;
}

std::string resolvedTarget(const std::string& target) {
    std::error_code error;
    const fs::path path = pathFromUtf8(target);
    if (fs::is_symlink(path, error)) {
        const fs::path real = fs::canonical(path, error);
        if (!error) {
            return utf8FromPath(real);
        }
    }
    return target;
}

}  // namespace bq
