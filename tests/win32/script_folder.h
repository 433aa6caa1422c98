#pragma once
// A folder named in Cyrillic and CJK script holding a copy of a sample named so too: what
// the narrow Windows API cannot spell outside those code pages.

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "stream/utf8_path.h"

namespace bq::test {

inline constexpr std::string_view kScriptFileName = "Карта 東京.jp2";

class ScriptFolder {
  public:
    // `sample`: a Windows path to the file to copy in under kScriptFileName.
    explicit ScriptFolder(const std::string& sample)
        : folder_(std::filesystem::temp_directory_path() / pathFromUtf8("Папка 地图")) {
        std::error_code error;
        std::filesystem::create_directories(folder_, error);
        std::filesystem::copy_file(pathFromUtf8(sample), folder_ / pathFromUtf8(kScriptFileName),
                                   std::filesystem::copy_options::overwrite_existing, error);
    }
    ScriptFolder(const ScriptFolder&) = delete;
    ScriptFolder& operator=(const ScriptFolder&) = delete;
    ~ScriptFolder() {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }

    // The UTF-8 path of `name` in the folder.
    std::string file(std::string_view name) const {
        return utf8FromPath(folder_ / pathFromUtf8(name));
    }
    bool holds(std::string_view name) const {
        std::error_code error;
        return std::filesystem::is_regular_file(folder_ / pathFromUtf8(name), error);
    }

  private:
    std::filesystem::path folder_;
};

}  // namespace bq::test
