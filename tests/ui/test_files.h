#pragma once
// Files for tests: a private folder removed afterwards, whole-file reads and writes, and
// JP2 bytes built inline.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace bq::test {

using Bytes = std::vector<std::uint8_t>;

class TempFolder {
  public:
    TempFolder() {
        std::random_device seed;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = base / ("boxquill-test-" + std::to_string(seed()));
            if (std::filesystem::create_directory(path_)) {
                return;
            }
        }
        ADD_FAILURE() << "no temporary folder";
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }
    // The names of the files in the folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }

  private:
    std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

inline Bytes textBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes u32Bytes(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

// One box: length, type, payload.
inline Bytes boxBytes(std::string_view type, const Bytes& payload) {
    return concat(
        {u32Bytes(static_cast<std::uint32_t>(payload.size() + 8)), textBytes(type), payload});
}

inline const Bytes kSignatureBytes = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                      0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
inline const Bytes kFileTypePayload = concat({textBytes("jp2 "), u32Bytes(0), textBytes("jp2 ")});

// A small well-formed JP2 document: signature, ftyp, an association holding a label and an
// XML box, and a generic box.
inline Bytes sampleDocument() {
    const Bytes label = boxBytes("lbl ", textBytes("gml.data"));
    const Bytes xml = boxBytes("xml ", textBytes("<a/>"));
    return concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload),
                   boxBytes("asoc", concat({label, xml})), boxBytes("free", {1, 2, 3})});
}

}  // namespace bq::test
