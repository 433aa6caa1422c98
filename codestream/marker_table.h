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

// Marker codes: the second byte of a marker, whose first byte is always 0xFF.
constexpr std::uint8_t kMarkerPrefix = 0xFF;
constexpr std::uint8_t kCodeSoc = 0x4F;
constexpr std::uint8_t kCodeSiz = 0x51;
constexpr std::uint8_t kCodeCod = 0x52;
constexpr std::uint8_t kCodeCoc = 0x53;
constexpr std::uint8_t kCodeTlm = 0x55;
constexpr std::uint8_t kCodePlm = 0x57;
constexpr std::uint8_t kCodePlt = 0x58;
constexpr std::uint8_t kCodeQcd = 0x5C;
constexpr std::uint8_t kCodeQcc = 0x5D;
constexpr std::uint8_t kCodeRgn = 0x5E;
constexpr std::uint8_t kCodePoc = 0x5F;
constexpr std::uint8_t kCodePpm = 0x60;
constexpr std::uint8_t kCodePpt = 0x61;
constexpr std::uint8_t kCodeCrg = 0x63;
constexpr std::uint8_t kCodeCom = 0x64;
constexpr std::uint8_t kCodeSot = 0x90;
constexpr std::uint8_t kCodeSod = 0x93;
constexpr std::uint8_t kCodeEoc = 0xD9;
// 0x30 to 0x3F: markers without a segment, accepted anywhere.
constexpr std::uint8_t kCodeBareFirst = 0x30;
constexpr std::uint8_t kCodeBareLast = 0x3F;

// The marker as the codestream holds it, both bytes read as one big-endian value.
constexpr std::uint16_t fullMarker(std::uint8_t code) {
    return static_cast<std::uint16_t>((kMarkerPrefix << 8) | code);
}
constexpr bool isBareMarker(std::uint16_t marker) {
    return marker >= fullMarker(kCodeBareFirst) && marker <= fullMarker(kCodeBareLast);
}

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
        {"SOC", kCodeSoc, 0, kStateStart, kStateAfterSoc},
        {"SIZ", kCodeSiz, 1, kStateAfterSoc, kStateMainHeader},
        {"COD", kCodeCod, 1, kHeaders, 0},
        {"COC", kCodeCoc, 1, kHeaders, 0},
        {"QCD", kCodeQcd, 1, kHeaders, 0},
        {"QCC", kCodeQcc, 1, kHeaders, 0},
        {"RGN", kCodeRgn, 1, kHeaders, 0},
        {"POC", kCodePoc, 1, kHeaders, 0},
        {"TLM", kCodeTlm, 1, kStateMainHeader, 0},
        {"PLM", kCodePlm, 1, kStateMainHeader, 0},
        {"PLT", kCodePlt, 1, kStateTilePartHeader, 0},
        {"PPM", kCodePpm, 1, kStateMainHeader, 0},
        {"PPT", kCodePpt, 1, kStateTilePartHeader, 0},
        {"CRG", kCodeCrg, 1, kStateMainHeader, 0},
        {"COM", kCodeCom, 1, kHeaders, 0},
        {"SOT", kCodeSot, 1, kStateMainHeader | kStateTileData, kStateTilePartHeader},
        {"SOD", kCodeSod, 0, kStateTilePartHeader, kStateTileData},
        {"EOC", kCodeEoc, 0, kStateTileData, kStateEnd},
        {"xFF", kMarkerPrefix, 0, kStateStart, 0},
    }};
    constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < 16; ++i) {
        MarkerRow& row = table[20 + i];
        row.name[0] = 'x';
        row.name[1] = '3';
        row.name[2] = kHex[i];
        row.name[3] = '\0';
        row.code = static_cast<std::uint8_t>(kCodeBareFirst + i);
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
