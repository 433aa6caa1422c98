#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bq {

// How text from a file is made safe to print for a person. Control characters (C0, DEL) and
// bytes that are not UTF-8 become \xNN, C1 controls (U+0080 to U+009F) \u0080 to \u009f:
// raw, they can retitle, clear or drive the terminal that shows them. Backslashes stay.
enum class Escape : std::uint8_t {
    Lines,  // line feeds, tabs and CR before LF stay, so that a text keeps its layout
    Field,  // a TSV field: tab, CR and LF become \t, \r and \n
};
std::string escapeText(std::string_view text, Escape mode);

}  // namespace bq
