#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace bq {

// The states of a codestream walk. Each is one bit so a row can name a set of them.
enum ParserState : std::uint8_t {
    kStateStart = 0x01,           // nothing read yet
    kStateAfterSoc = 0x02,        // SOC read; SIZ must come next
    kStateMainHeader = 0x04,      // SIZ read
    kStateTileData = 0x08,        // a tile-part has been jumped over
    kStateTilePartHeader = 0x10,  // entered by SOT; the SOT handling leaves it at once
    kStateEnd = 0x20,             // EOC read
};

constexpr std::uint8_t kAnyState = 0xFF;

// One marker the walk knows: its second byte, whether a 16-bit segment length follows it, the
// states that accept it and the state it leads to (0 keeps the current one).
struct MarkerRow {
    char name[4];
    std::uint8_t code;
    std::uint8_t hasSegment;
    std::uint8_t allowedStates;
    std::uint8_t nextState;
};

constexpr std::size_t kMarkerRowCount = 36;
using MarkerTable = std::array<MarkerRow, kMarkerRowCount>;

namespace detail {

constexpr MarkerTable makeMarkerTable() {
    constexpr std::uint8_t kHeaders = kStateMainHeader | kStateTilePartHeader;
    MarkerTable table = {{
        {"nul", 0x00, 0, kStateStart, 0},
        {"SOC", 0x4F, 0, kStateStart, kStateAfterSoc},
        {"SIZ", 0x51, 1, kStateAfterSoc, kStateMainHeader},
        {"COD", 0x52, 1, kHeaders, 0},
        {"COC", 0x53, 1, kHeaders, 0},
        {"QCD", 0x5C, 1, kHeaders, 0},
        {"QCC", 0x5D, 1, kHeaders, 0},
        {"RGN", 0x5E, 1, kHeaders, 0},
        {"POC", 0x5F, 1, kHeaders, 0},
        {"TLM", 0x55, 1, kStateMainHeader, 0},
        {"PLM", 0x57, 1, kStateMainHeader, 0},
        {"PLT", 0x58, 1, kStateTilePartHeader, 0},
        {"PPM", 0x60, 1, kStateMainHeader, 0},
        {"PPT", 0x61, 1, kStateTilePartHeader, 0},
        {"CRG", 0x63, 1, kStateMainHeader, 0},
        {"COM", 0x64, 1, kHeaders, 0},
        {"SOT", 0x90, 1, kStateMainHeader | kStateTileData, kStateTilePartHeader},
        {"SOD", 0x93, 0, kStateTilePartHeader, kStateTileData},
        {"EOC", 0xD9, 0, kStateTileData, kStateEnd},
        {"xFF", 0xFF, 0, kStateStart, 0},
    }};
    // Markers 0x30 to 0x3F carry no segment and are accepted anywhere.
    constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < 16; ++i) {
        MarkerRow& row = table[20 + i];
        row.name[0] = 'x';
        row.name[1] = '3';
        row.name[2] = kHex[i];
        row.name[3] = '\0';
        row.code = static_cast<std::uint8_t>(0x30 + i);
        row.hasSegment = 0;
        row.allowedStates = kAnyState;
        row.nextState = 0;
    }
    return table;
}

}  // namespace detail

// The known markers in search order: the first row whose code matches is taken.
inline constexpr MarkerTable kMarkerTable = detail::makeMarkerTable();

// The index of the first row with this code, or kMarkerRowCount when there is none.
constexpr std::size_t findMarkerRow(std::uint8_t code) {
    for (std::size_t i = 0; i < kMarkerTable.size(); ++i) {
        if (kMarkerTable[i].code == code) {
            return i;
        }
    }
    return kMarkerRowCount;
}

}  // namespace bq
