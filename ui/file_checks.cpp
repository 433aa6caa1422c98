#include "ui/file_checks.h"

#include <filesystem>
#include <system_error>

namespace bq {

bool isFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(path), error);
}

bool pathExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path), error);
}

void removeQuietly(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(path), error);
}

}  // namespace bq
