#include "stream/utf8_path.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace bq {

namespace {

// The length of the character the byte starts, in bytes and in UTF-16 units.
struct CharacterSize {
    std::size_t bytes;
    std::size_t units;
};

CharacterSize characterAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t bytes = lead >= 0xF8   ? 1
                              : lead >= 0xF0 ? 4
                              : lead >= 0xE0 ? 3
                              : lead >= 0xC0 ? 2
                                             : 1;
    // A truncated or malformed sequence is taken a byte at a time.
    if (bytes == 1 || at + bytes > text.size()) {
        return {1, 1};
    }
    for (std::size_t i = 1; i < bytes; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            return {1, 1};
        }
    }
    return {bytes, bytes == 4 ? 2u : 1u};
}

}  // namespace

// On Windows through our own conversion, which replaces what is not UTF-8 where the
// library's would throw; elsewhere a path is its bytes.
std::filesystem::path pathFromUtf8(std::string_view utf8) {
#if defined(_WIN32)
    return std::filesystem::path(widen(utf8));
#else
    return std::filesystem::path(std::string(utf8));
#endif
}

std::string utf8FromPath(const std::filesystem::path& path) {
#if defined(_WIN32)
    return narrow(path.native());
#else
    return path.native();
#endif
}

std::size_t windowsLength(std::string_view utf8) {
    std::size_t units = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        const CharacterSize size = characterAt(utf8, at);
        at += size.bytes;
        units += size.units;
    }
    return units;
}

std::string_view cutToWindowsLength(std::string_view utf8, std::size_t units) {
    std::size_t at = 0;
    for (std::size_t used = 0; at < utf8.size();) {
        const CharacterSize size = characterAt(utf8, at);
        if (used + size.units > units) {
            break;
        }
        at += size.bytes;
        used += size.units;
    }
    return utf8.substr(0, at);
}

#if defined(_WIN32)
std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length = static_cast<int>(std::min<std::size_t>(utf8.size(), 0x7FFFFFFF));
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), units);
    }
    return wide;
}

std::string narrow(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int length = static_cast<int>(std::min<std::size_t>(wide.size(), 0x7FFFFFFF));
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), bytes, nullptr, nullptr);
    }
    return utf8;
}
#endif

}  // namespace bq
