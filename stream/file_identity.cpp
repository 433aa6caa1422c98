#include "stream/file_identity.h"

#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <windows.h>

#include <io.h>
#endif

namespace bq {

std::optional<DescriptorStatus> statusOfDescriptor(int descriptor) {
#if defined(_WIN32)
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (file == INVALID_HANDLE_VALUE || GetFileInformationByHandle(file, &info) == 0 ||
        GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times) == 0) {
        return std::nullopt;
    }
    const auto wide = [](DWORD high, DWORD low) {
        return (std::uint64_t{high} << 32) | std::uint64_t{low};
    };
    // Windows counts 100-nanosecond ticks; only differences matter here.
    return DescriptorStatus{
        FileIdentity{wide(info.nFileSizeHigh, info.nFileSizeLow),
                     times.LastWriteTime.QuadPart * 100, times.ChangeTime.QuadPart * 100,
                     wide(info.nFileIndexHigh, info.nFileIndexLow), info.dwVolumeSerialNumber},
        GetFileType(file) == FILE_TYPE_DISK &&
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0};
#else
    struct stat info {};
    if (fstat(descriptor, &info) != 0 || info.st_size < 0) {
        return std::nullopt;
    }
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return DescriptorStatus{
        FileIdentity{static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
                     nanoseconds(info.st_ctim), static_cast<std::uint64_t>(info.st_ino),
                     static_cast<std::uint64_t>(info.st_dev)},
        S_ISREG(info.st_mode)};
#endif
}

std::optional<FileIdentity> identityOfDescriptor(int descriptor) {
    if (const std::optional<DescriptorStatus> status = statusOfDescriptor(descriptor)) {
        return status->identity;
    }
    return std::nullopt;
}

}  // namespace bq
