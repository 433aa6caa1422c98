#pragma once

#include <cstdint>
#include <map>

#include "codestream/marker_parser.h"

namespace bq {

// One tile of the grid: its rectangle on the reference grid clipped to the image area (x1 and
// y1 exclusive), its tile-part count as TNsot announced it (0 while unknown) and the sum of
// its tile-parts' lengths, modulo 2^32.
struct TileRecord {
    std::uint32_t x0 = 0;
    std::uint32_t y0 = 0;
    std::uint32_t x1 = 0;
    std::uint32_t y1 = 0;
    std::uint32_t tilePartCount = 0;
    std::uint32_t compressedSize = 0;
};

// What tile-parts told of one tile.
struct TileParts {
    std::uint32_t count = 0;           // TNsot, 0 while unknown
    std::uint32_t compressedSize = 0;  // modulo 2^32
};

// What a walk learns: the image area, the component count and the tile grid. Only the tiles
// that tile-parts name are stored, so a grid costs memory in proportion to the codestream's
// bytes, not to the number of tiles it announces.
struct CodestreamInfo {
    std::uint32_t x0 = 0;  // XOsiz
    std::uint32_t y0 = 0;  // YOsiz
    std::uint32_t x1 = 0;  // Xsiz
    std::uint32_t y1 = 0;  // Ysiz
    std::uint32_t components = 0;
    std::uint32_t tileWidth = 0;    // XTsiz
    std::uint32_t tileHeight = 0;   // YTsiz
    std::uint32_t tileOffsetX = 0;  // XTOsiz
    std::uint32_t tileOffsetY = 0;  // YTOsiz
    std::int32_t tilesAcross = 0;
    std::int32_t tilesDown = 0;
    std::int32_t tileCount = 0;
    std::uint32_t tileParts = 0;  // tile-parts walked

    // By tile index.
    std::map<std::uint32_t, TileParts> namedTiles;

    // Whether SIZ has been read: the grid then holds tileCount tiles.
    bool hasGrid() const { return tileCount > 0; }
    // Tile `index` of the row-major grid, with zeros for what no tile-part told; all zeros
    // when there is no such tile.
    TileRecord tile(std::uint32_t index) const;
};

// A codestream cannot address more tiles than this (ISO/IEC 15444-1 limits Isot to 65534);
// a larger grid is refused before anything is allocated for it.
constexpr std::int32_t kMaxTileCount = 65535;

// How a walk ended: at the codestream's end marker; with the bytes running out before it
// (no end marker, or a file cut short) after a walk that was sound so far; or at something a
// codestream cannot hold.
enum class WalkOutcome : std::uint8_t { Complete, RanOut, Invalid };

struct WalkResult {
    WalkOutcome outcome = WalkOutcome::Invalid;
    std::uint64_t end = 0;  // when Complete: the bytes up to and including the end marker
};

// Walks a codestream of `count` bytes, which `stream` holds from position 0 on (bytes in memory,
// or a window of a file), marker by marker: segments are passed by their lengths and
// tile-parts by Psot, so tile data is never read. Fills `info`, partly when the walk fails.
WalkResult walkCodestream(MarkerParser& parser, CodestreamInfo& info, ByteStream& stream,
                          std::uint64_t count);

// The same walk over bytes in memory; true when it reached the end marker.
bool parseCodestream(MarkerParser& parser, CodestreamInfo& info, const std::uint8_t* bytes,
                     std::uint32_t count);

}  // namespace bq
