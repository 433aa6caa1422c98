#include "ui/file_checks.h"

#include <filesystem>
#include <system_error>

#include "stream/utf8_path.h"

namespace bq {

bool isFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(pathFromUtf8(path), error);
}

bool isSpecialFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(pathFromUtf8(path), error);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

bool pathExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(pathFromUtf8(path), error);
}

}  // namespace bq
