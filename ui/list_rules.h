#pragma once
// The box list's colours and columns as plain computation, shared by the Win32 list view
// and the tests.

#include <array>
#include <cstdint>
#include <string_view>

#include "ui/box_list.h"

namespace bq {

// A 24-bit colour laid out as a Win32 COLORREF: 0x00BBGGRR.
using Colour = std::uint32_t;

constexpr Colour makeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Colour{red} | (Colour{green} << 8) | (Colour{blue} << 16);
}
constexpr std::uint8_t redOf(Colour c) {
    return static_cast<std::uint8_t>(c);
}
constexpr std::uint8_t greenOf(Colour c) {
    return static_cast<std::uint8_t>(c >> 8);
}
constexpr std::uint8_t blueOf(Colour c) {
    return static_cast<std::uint8_t>(c >> 16);
}

// Text of rows whose box is locked: red 128, green 128, blue 144.
constexpr Colour kLockedTextColour = makeColour(128, 128, 144);
// The odd rows' background is the window colour shaded to this percentage.
constexpr unsigned kOddRowShadePercent = 96;

// Each channel scaled by percent / 100, truncating.
constexpr Colour shade(Colour colour, unsigned percent) {
    auto scale = [percent](std::uint8_t channel) {
        return static_cast<std::uint8_t>(unsigned{channel} * percent / 100u);
    };
    return makeColour(scale(redOf(colour)), scale(greenOf(colour)), scale(blueOf(colour)));
}

// Stripes follow the absolute row index, so they stay with their rows when the list scrolls.
constexpr bool isOddRow(int row) {
    return (row & 1) != 0;
}
constexpr Colour rowBackgroundColour(int row, Colour windowColour) {
    return isOddRow(row) ? shade(windowColour, kOddRowShadePercent) : windowColour;
}

// The locked colour for a row whose box is locked; the window-text colour for every other
// row and for a slot without a row.
Colour rowTextColour(const BoxList& boxes, int row, Colour windowTextColour);

enum class ColumnAlignment { Left = 0, Centre = 1, Right = 2 };

struct ColumnSpec {
    std::string_view caption;
    int widthAt96Dpi;
    ColumnAlignment alignment;
};

inline constexpr std::array<ColumnSpec, 3> kColumns = {{
    {"ID", 52, ColumnAlignment::Left},
    {"Description", 113, ColumnAlignment::Left},
    {"Size", 57, ColumnAlignment::Right},
}};

// A 96-dpi measure scaled to `dpi` on its own, with integer division.
constexpr int scaleForDpi(int measure, int dpi) {
    return measure * dpi / 96;
}
// The column's width at `dpi`; 0 for a column that does not exist.
constexpr int columnWidth(int column, int dpi) {
    if (column < 0 || column >= static_cast<int>(kColumns.size())) {
        return 0;
    }
    return scaleForDpi(kColumns[static_cast<std::size_t>(column)].widthAt96Dpi, dpi);
}

}  // namespace bq
