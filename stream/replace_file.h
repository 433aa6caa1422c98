#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#if !defined(_WIN32)
#include <sys/types.h>
#endif

#include "stream/file_stream.h"

namespace bq {

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

// The system calls a replacement makes, one member each: the real calls by default. Tests
// record them, check their order and make any one fail, so every failure path runs.
struct ReplaceCalls {
#if defined(_WIN32)
    // A file handle is a HANDLE; the header keeps <windows.h> to the one file that calls it.
    std::function<void*(const wchar_t* path)> createNew;  // CREATE_NEW, write access only
    std::function<bool(void* file)> flush;                // FlushFileBuffers
    std::function<bool(const wchar_t* from, const wchar_t* to)> move;      // MoveFileExW
    std::function<bool(const wchar_t* target, const wchar_t* from)> swap;  // ReplaceFileW
    std::function<bool(const wchar_t* path)> remove;                       // DeleteFileW
#else
    std::function<int(int folder, const char* name, int flags, mode_t mode)> openAt;
    std::function<int(int descriptor, mode_t mode)> changeMode;
    std::function<int(int descriptor, uid_t owner, gid_t group)> changeOwner;
    std::function<int(int descriptor, const char* name, const void* value, std::size_t size)>
        setAttribute;
    std::function<int(int descriptor)> sync;  // the new file's data, then the folder's entry
    std::function<int(int descriptor, int folder, const char* name)> link;  // names a file
    std::function<int(int folder, const char* from, const char* to)> rename;
    std::function<int(int folder, const char* name)> unlink;
#endif
    ReplaceCalls();
};

// Writes `target` whole or not at all. `write` fills a temporary file that is made beside the
// target under a name no one can predict, exclusively and without following links, private
// until it takes the target's mode (before any byte is written) and owner, group and extended
// attributes (after the data, where the process may). It is put on the disk, closed with its
// close checked, and only then moved over the target in one step; the folder is synced after.
// Concurrent writers each write their own temporary file, so the target always ends as one
// whole save. Only regular files are replaced (a link to one is followed); on any failure the
// target is as it was and no temporary file is left.
ReplaceResult replaceFile(const std::string& target, const std::function<bool(FileStream&)>& write,
                          const ReplaceCalls& calls = {});

}  // namespace bq
