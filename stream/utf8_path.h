#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace bq {

// Paths travel through the editor as UTF-8 text; these turn them into the system's own
// form and back, so a name in any script reaches the file system whole on every platform.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

// How many UTF-16 units the UTF-8 text takes: the unit of Windows' name limits. A byte that
// cannot start a character counts as one unit, as the conversion replaces it with one.
std::size_t windowsLength(std::string_view utf8);
// The longest start of the text that takes at most `units` UTF-16 units and ends between
// two characters.
std::string_view cutToWindowsLength(std::string_view utf8, std::size_t units);

#if defined(_WIN32)
// UTF-8 to UTF-16 and back, for the wide Win32 calls; bytes that are not UTF-8 become
// U+FFFD.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);
#endif

}  // namespace bq
