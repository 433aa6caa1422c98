#include "stream/replace_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "stream/utf8_path.h"

namespace bq {

namespace {

namespace fs = std::filesystem;

// Twelve hexadecimal digits no other process can guess, so no one can plant a file or a link
// at the name first (and one planted anyway only makes the exclusive create try again).
std::string randomTag() {
    std::array<unsigned char, 6> bytes{};
#if defined(_WIN32)
    std::random_device device;
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(device());
    }
#else
    if (getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        std::random_device device;
        for (unsigned char& byte : bytes) {
            byte = static_cast<unsigned char>(device());
        }
    }
#endif
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string tag;
    for (const unsigned char byte : bytes) {
        tag += kDigits[byte >> 4];
        tag += kDigits[byte & 0xF];
    }
    return tag;
}

// A temporary name beside the target: the target's name, cut where the suffix would take it
// past what the system allows (259 units a path on Windows; 255 bytes a name on Linux, and on
// the Linux file systems Wine writes to), then a random tag. Empty when no name fits.
std::string temporaryName(std::string_view folder, std::string_view name) {
    // Built by appending: GCC 12 warns wrongly about a chain of + on a short literal.
    std::string suffix = ".";
    suffix += randomTag();
    suffix += ".bqtmp";
#if defined(_WIN32)
    constexpr std::size_t kMaxPath = 259;
    const std::size_t used = windowsLength(folder) + 1 + suffix.size();
    name = used < kMaxPath ? cutToWindowsLength(name, kMaxPath - used) : std::string_view();
#else
    static_cast<void>(folder);
#endif
    constexpr std::size_t kMaxName = 255;
    std::size_t length = std::min(name.size(), kMaxName - suffix.size());
    while (length > 0 && length < name.size() &&
           (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;  // not inside a character
    }
    const std::string_view kept = name.substr(0, length);
    return kept.empty() ? std::string() : std::string(kept) + suffix;
}

// The file a save to `target` writes: a link is followed to the file it names. Only a regular
// file, or no file at all, may be replaced: anything else is the refusal given.
std::optional<ReplaceOutcome> refusalFor(const std::string& target, fs::path& resolved) {
    std::error_code error;
    resolved = pathFromUtf8(target);
    if (fs::is_symlink(fs::symlink_status(resolved, error))) {
        resolved = fs::canonical(resolved, error);
        if (error) {
            return ReplaceOutcome::DanglingLink;
        }
    }
    const fs::file_status status = fs::symlink_status(resolved, error);
    if (status.type() == fs::file_type::not_found) {
        return resolved.filename().empty() ? std::optional(ReplaceOutcome::NotRegularFile)
                                           : std::nullopt;
    }
    if (error) {
        return ReplaceOutcome::CreateFailed;
    }
    return fs::is_regular_file(status) ? std::nullopt
                                       : std::optional(ReplaceOutcome::NotRegularFile);
}

#if !defined(_WIN32)

// A descriptor closed on every path out.
class Descriptor {
  public:
    explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    int get() const { return descriptor_; }

  private:
    int descriptor_;
};

// The target's extended attributes (ACLs among them) onto the new file, as far as the process
// may set them; an attribute it may not set is left out rather than failing the save.
void copyAttributes(const fs::path& from, int to, const ReplaceCalls& calls) {
    const ssize_t listSize = llistxattr(from.c_str(), nullptr, 0);
    if (listSize <= 0) {
        return;
    }
    std::vector<char> names(static_cast<std::size_t>(listSize));
    const ssize_t listed = llistxattr(from.c_str(), names.data(), names.size());
    if (listed <= 0) {
        return;
    }
    std::vector<char> value;
    for (std::size_t at = 0; at < static_cast<std::size_t>(listed);) {
        const char* name = names.data() + at;
        at += std::char_traits<char>::length(name) + 1;
        const ssize_t size = lgetxattr(from.c_str(), name, nullptr, 0);
        if (size < 0) {
            continue;
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = lgetxattr(from.c_str(), name, value.data(), value.size());
        if (got >= 0) {
            calls.setAttribute(to, name, value.data(), static_cast<std::size_t>(got));
        }
    }
}

// A file with no name yet, where the file system can make one: a save killed half way then
// leaves nothing behind. None where it cannot.
int createUnnamed(int folder, mode_t mode, const ReplaceCalls& calls) {
#if defined(O_TMPFILE)
    return calls.openAt(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
#else
    static_cast<void>(folder);
    static_cast<void>(mode);
    static_cast<void>(calls);
    return -1;
#endif
}

// A new file under a fresh random name, never through a link planted there.
int createNamed(int folder, std::string_view folderText, std::string_view name, mode_t mode,
                std::string& created, const ReplaceCalls& calls) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string candidate = temporaryName(folderText, name);
        if (candidate.empty()) {
            return -1;
        }
        const int descriptor = calls.openAt(
            folder, candidate.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC, mode);
        if (descriptor >= 0) {
            created = candidate;
            return descriptor;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

// Gives the unnamed file a fresh random name in the folder, once it is complete.
bool linkUnnamed(int descriptor, int folder, std::string_view name, std::string& linked,
                 const ReplaceCalls& calls) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string candidate = temporaryName("", name);
        if (candidate.empty()) {
            return false;
        }
        if (calls.link(descriptor, folder, candidate.c_str()) == 0) {
            linked = candidate;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

ReplaceResult replaceOnPosix(const fs::path& resolved,
                             const std::function<bool(FileStream&)>& write,
                             const ReplaceCalls& calls) {
    ReplaceResult result;
    result.path = utf8FromPath(resolved);
    const fs::path folderPath =
        resolved.parent_path().empty() ? fs::path(".") : resolved.parent_path();
    const std::string name = resolved.filename().string();
    const Descriptor folder(
        calls.openAt(AT_FDCWD, folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (folder.get() < 0) {
        return result;
    }
    struct stat existing {};
    const bool replaces = fstatat(folder.get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    // Private from the start: never readable by more than the target is.
    const mode_t mode = replaces ? (existing.st_mode & 0600) : 0666;
    std::string temporary;
    int raw = createUnnamed(folder.get(), mode, calls);
    const bool unnamed = raw >= 0;
    if (!unnamed) {
        raw = createNamed(folder.get(), folderPath.native(), name, mode, temporary, calls);
    }
    const Descriptor created(raw);
    if (created.get() < 0) {
        return result;
    }
    result.outcome = ReplaceOutcome::WriteFailed;
    const auto fail = [&] {
        if (!temporary.empty()) {
            calls.unlink(folder.get(), temporary.c_str());
        }
        return result;
    };
    // The target's mode before any byte is written.
    if (replaces && calls.changeMode(created.get(), existing.st_mode & 07777) != 0) {
        return fail();
    }
    FileStream stream;
    const int writing = dup(created.get());
    std::FILE* handle = writing >= 0 ? fdopen(writing, "wb") : nullptr;
    if (handle == nullptr) {
        if (writing >= 0) {
            ::close(writing);
        }
        return fail();
    }
    stream.adopt(handle);
    bool good = write(stream) && stream.flush() && !stream.hasError();
    if (good && replaces) {
        // Owner and group only once the data is in, so no one else can write to the file
        // while it is filled; the mode again, since a change of owner clears set-id bits.
        if (calls.changeOwner(created.get(), existing.st_uid, existing.st_gid) == 0) {
            calls.changeMode(created.get(), existing.st_mode & 07777);
        }
        copyAttributes(folderPath / name, created.get(), calls);
    }
    good = good && calls.sync(created.get()) == 0;
    const std::optional<FileIdentity> written = identityOfDescriptor(created.get());
    good = good && written && stream.closeChecked();
    if (!good) {
        return fail();
    }
    if (unnamed && !linkUnnamed(created.get(), folder.get(), name, temporary, calls)) {
        return fail();
    }
    // What stands at the name now, not what stood there when the save began.
    struct stat now {};
    if (fstatat(folder.get(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(now.st_mode) && !S_ISLNK(now.st_mode)) {
        result.outcome = ReplaceOutcome::NotRegularFile;
        return fail();
    }
    if (calls.rename(folder.get(), temporary.c_str(), name.c_str()) != 0) {
        return fail();
    }
    result.outcome = ReplaceOutcome::Written;
    // The rename is made durable where the file system lets a folder be synced; the new file
    // is in place either way.
    calls.sync(folder.get());
    const Descriptor check(
        openat(folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (const std::optional<FileIdentity> placed =
            check.get() >= 0 ? identityOfDescriptor(check.get()) : std::nullopt;
        placed && placed->fileId == written->fileId && placed->device == written->device) {
        result.identity = placed;
    }
    return result;
}

#else

// A handle closed on every path out that has not handed it on.
class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

  private:
    HANDLE handle_;
};

std::optional<FileIdentity> identityAt(const std::wstring& path) {
    const int descriptor = _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::optional<FileIdentity> identity = identityOfDescriptor(descriptor);
    _close(descriptor);
    return identity;
}

ReplaceResult replaceOnWindows(const fs::path& resolved,
                               const std::function<bool(FileStream&)>& write,
                               const ReplaceCalls& calls) {
    ReplaceResult result;
    result.path = utf8FromPath(resolved);
    const std::string folder = utf8FromPath(resolved.parent_path());
    const std::string name = utf8FromPath(resolved.filename());
    std::wstring temporary;
    HANDLE raw = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 64 && raw == INVALID_HANDLE_VALUE; ++attempt) {
        const std::string candidate = temporaryName(folder, name);
        if (candidate.empty()) {
            return result;
        }
        temporary = widen(folder.empty() ? candidate : folder + "\\" + candidate);
        raw = calls.createNew(temporary.c_str());
        if (raw == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return result;
        }
    }
    if (raw == INVALID_HANDLE_VALUE) {
        return result;
    }
    Handle created(raw);
    result.outcome = ReplaceOutcome::WriteFailed;
    FileStream stream;
    const auto fail = [&] {
        stream.close();  // an open file cannot be deleted
        calls.remove(temporary.c_str());
        return result;
    };
    const int descriptor =
        _open_osfhandle(reinterpret_cast<intptr_t>(created.get()), _O_WRONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(created.release());  // closed before the file can be deleted
        return fail();
    }
    created.release();  // the descriptor owns it now
    std::FILE* handle = _fdopen(descriptor, "wb");
    if (handle == nullptr) {
        _close(descriptor);
        return fail();
    }
    stream.adopt(handle);
    bool good = write(stream) && stream.flush() && !stream.hasError();
    good =
        good && calls.flush(reinterpret_cast<void*>(_get_osfhandle(_fileno(stream.nativeFile()))));
    good = good && stream.closeChecked();
    if (!good) {
        return fail();
    }
    const std::wstring target = resolved.wstring();
    // ReplaceFileW keeps the target's attributes, ACL and alternate streams; a move serves
    // only where there is no target yet.
    bool placed = calls.move(temporary.c_str(), target.c_str());
    if (!placed) {
        const DWORD why = GetLastError();
        placed = (why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS) &&
                 calls.swap(target.c_str(), temporary.c_str());
    }
    if (!placed) {
        return fail();
    }
    result.outcome = ReplaceOutcome::Written;
    result.identity = identityAt(target);
    return result;
}

#endif

}  // namespace

#if defined(_WIN32)
ReplaceCalls::ReplaceCalls()
    : createNew([](const wchar_t* path) -> void* {
          return CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
      }),
      flush([](void* file) { return FlushFileBuffers(file) != 0; }),
      move([](const wchar_t* from, const wchar_t* to) {
          return MoveFileExW(from, to, MOVEFILE_WRITE_THROUGH) != 0;
      }),
      swap([](const wchar_t* target, const wchar_t* from) {
          return ReplaceFileW(target, from, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                              nullptr) != 0;
      }),
      remove([](const wchar_t* path) { return DeleteFileW(path) != 0; }) {}
#else
ReplaceCalls::ReplaceCalls()
    : openAt([](int folder, const char* name, int flags, mode_t mode) {
          return ::openat(folder, name, flags, mode);
      }),
      changeMode([](int descriptor, mode_t mode) { return ::fchmod(descriptor, mode); }),
      changeOwner([](int descriptor, uid_t owner, gid_t group) {
          return ::fchown(descriptor, owner, group);
      }),
      setAttribute([](int descriptor, const char* name, const void* value, std::size_t size) {
          return ::fsetxattr(descriptor, name, value, size, 0);
      }),
      sync([](int descriptor) { return ::fsync(descriptor); }),
      // Through /proc, or by the descriptor itself where the process may (no /proc mounted).
      link([](int descriptor, int folder, const char* name) {
          const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
          return ::linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0 ||
                         (errno != EEXIST &&
                          ::linkat(descriptor, "", folder, name, AT_EMPTY_PATH) == 0)
                     ? 0
                     : -1;
      }),
      rename([](int folder, const char* from, const char* to) {
          return ::renameat(folder, from, folder, to);
      }),
      unlink([](int folder, const char* name) { return ::unlinkat(folder, name, 0); }) {}
#endif

ReplaceResult replaceFile(const std::string& target, const std::function<bool(FileStream&)>& write,
                          const ReplaceCalls& calls) {
    fs::path resolved;
    if (const std::optional<ReplaceOutcome> refused = refusalFor(target, resolved)) {
        ReplaceResult result;
        result.outcome = *refused;
        result.path = target;
        return result;
    }
#if defined(_WIN32)
    return replaceOnWindows(resolved, write, calls);
#else
    return replaceOnPosix(resolved, write, calls);
#endif
}

}  // namespace bq
