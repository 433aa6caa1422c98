#include "codestream/parse_codestream.h"

#include <algorithm>
#include <new>
#include <optional>

#include "codestream/pair_scan.h"
#include "stream/memory_stream.h"

namespace bq {

namespace {

constexpr std::uint8_t kCodeSoc = 0x4F;
constexpr std::uint8_t kCodeSiz = 0x51;
constexpr std::uint8_t kCodeCod = 0x52;
constexpr std::uint8_t kCodeQcd = 0x5C;
constexpr std::uint8_t kCodeSot = 0x90;
constexpr std::uint8_t kCodeEoc = 0xD9;

// Rsiz, Xsiz, Ysiz, XOsiz, YOsiz, XTsiz, YTsiz, XTOsiz, YTOsiz and Csiz.
constexpr std::uint16_t kSizFixedBytes = 36;
// The SOT marker, Lsot, Isot, Psot, TPsot and TNsot.
constexpr std::uint32_t kSotBytes = 12;

// The number of tiles along one axis: ceil((size - tileOffset) / tileSize), taken in 64 bits.
// None when the axis describes no image (an empty area, a tile size of 0, a grid starting at or
// past the image's end, or a first tile lying wholly before the image), since such values
// would give no tile or tiles of negative extent.
std::optional<std::uint64_t> tileSpan(std::uint32_t size, std::uint32_t offset,
                                      std::uint32_t tileSize, std::uint32_t tileOffset) {
    if (tileSize == 0 || offset >= size || tileOffset >= size ||
        std::uint64_t{tileOffset} + tileSize <= offset) {
        return std::nullopt;
    }
    return (std::uint64_t{size} - tileOffset + tileSize - 1) / tileSize;
}

// The tile's extent along one axis, clipped to the image: [max(t0, offset), min(t0 + tileSize,
// size)) with t0 = tileOffset + index * tileSize.
void clipSpan(std::uint64_t index, std::uint32_t size, std::uint32_t offset, std::uint32_t tileSize,
              std::uint32_t tileOffset, std::uint32_t& out0, std::uint32_t& out1) {
    const std::uint64_t t0 = std::uint64_t{tileOffset} + index * tileSize;
    out0 = static_cast<std::uint32_t>(std::max<std::uint64_t>(t0, offset));
    out1 = static_cast<std::uint32_t>(std::min<std::uint64_t>(t0 + tileSize, size));
}

bool readSiz(MemoryStream& stream, MarkerParser& parser, CodestreamInfo& info) {
    // A segment too short for its own fixed fields is damaged: reading on would take the
    // following bytes for SIZ fields and the length arithmetic would wrap.
    if (parser.remaining < kSizFixedBytes) {
        return false;
    }
    std::uint16_t rsiz = 0;
    std::uint32_t xsiz = 0;
    std::uint32_t ysiz = 0;
    std::uint32_t xosiz = 0;
    std::uint32_t yosiz = 0;
    std::uint32_t xtsiz = 0;
    std::uint32_t ytsiz = 0;
    std::uint32_t xtosiz = 0;
    std::uint32_t ytosiz = 0;
    std::uint16_t csiz = 0;
    stream.readU16(rsiz);
    stream.readU32(xsiz);
    stream.readU32(ysiz);
    stream.readU32(xosiz);
    stream.readU32(yosiz);
    stream.readU32(xtsiz);
    stream.readU32(ytsiz);
    stream.readU32(xtosiz);
    stream.readU32(ytosiz);
    stream.readU16(csiz);
    if (!stream.good()) {
        return false;
    }
    info.components = csiz;
    info.x0 = xosiz;
    info.y0 = yosiz;
    info.x1 = xsiz;
    info.y1 = ysiz;

    const std::optional<std::uint64_t> across = tileSpan(xsiz, xosiz, xtsiz, xtosiz);
    const std::optional<std::uint64_t> down = tileSpan(ysiz, yosiz, ytsiz, ytosiz);
    if (!across || !down) {
        return false;
    }
    // Each factor is below 2^32, so the product cannot wrap in 64 bits.
    const std::uint64_t count = *across * *down;
    if (count == 0 || count > static_cast<std::uint64_t>(kMaxTileCount)) {
        return false;
    }
    info.tilesAcross = static_cast<std::int32_t>(*across);
    info.tilesDown = static_cast<std::int32_t>(*down);
    info.tileCount = static_cast<std::int32_t>(count);
    try {
        info.tiles.assign(static_cast<std::size_t>(count), TileRecord{});
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::uint64_t row = 0; row < *down; ++row) {
        for (std::uint64_t column = 0; column < *across; ++column) {
            TileRecord& tile = info.tiles[static_cast<std::size_t>(row * *across + column)];
            clipSpan(column, xsiz, xosiz, xtsiz, xtosiz, tile.x0, tile.x1);
            clipSpan(row, ysiz, yosiz, ytsiz, ytosiz, tile.y0, tile.y1);
        }
    }

    parser.remaining = static_cast<std::uint16_t>(parser.remaining - kSizFixedBytes);
    return parser.skipSegment(stream) == kStepOk;
}

enum class SotOutcome { Next, Finished, Failed };

SotOutcome readSot(MemoryStream& stream, MarkerParser& parser, CodestreamInfo& info,
                   const std::uint8_t* bytes, std::uint32_t count) {
    if (!parser.seen.test(findMarkerRow(kCodeCod)) || !parser.seen.test(findMarkerRow(kCodeQcd))) {
        return SotOutcome::Failed;
    }
    std::uint16_t isot = 0;
    std::uint32_t psot = 0;
    std::uint8_t tpsot = 0;
    std::uint8_t tnsot = 0;
    stream.readU16(isot);
    stream.readU32(psot);
    stream.readU8(tpsot);
    stream.readU8(tnsot);
    if (!stream.good()) {
        return SotOutcome::Failed;
    }
    parser.state = kStateTileData;
    if (isot >= info.tileCount || std::size_t{isot} >= info.tiles.size()) {
        return SotOutcome::Failed;
    }
    TileRecord& tile = info.tiles[isot];
    if (tile.tilePartCount != 0 && tpsot > tile.tilePartCount) {
        return SotOutcome::Failed;
    }
    if (tile.tilePartCount == 0 && tnsot != 0) {
        tile.tilePartCount = tnsot;
    }
    tile.compressedSize += psot;  // modulo 2^32 by design

    const std::uint32_t sotStart = stream.tell() - kSotBytes;
    if (psot >= kSotBytes) {
        const std::uint64_t target = std::uint64_t{sotStart} + psot;
        if (target >= count || !stream.seek(static_cast<std::uint32_t>(target))) {
            return SotOutcome::Failed;
        }
        return SotOutcome::Next;
    }
    if (psot != 0) {
        return SotOutcome::Failed;
    }
    // Psot 0: the tile-part runs up to the codestream's closing 0xFF 0xD9.
    const std::uint32_t from = stream.tell();
    const std::size_t pair = from + findEndPair(bytes + from, count - from);
    if (pair >= count) {
        return SotOutcome::Failed;
    }
    tile.compressedSize += static_cast<std::uint32_t>(pair) - sotStart;
    return SotOutcome::Finished;
}

}  // namespace

bool parseCodestream(MarkerParser& parser, CodestreamInfo& info, const std::uint8_t* bytes,
                     std::uint32_t count) {
    if (bytes == nullptr || count == 0) {
        return false;
    }
    MemoryStream stream;
    stream.attach(bytes, count);
    for (;;) {
        if (!stream.good() || parser.readMarker(stream) != kStepOk || !stream.good()) {
            return false;
        }
        switch (parser.marker) {
            case 0x00:
            case 0xFF:
                return false;
            case kCodeSoc:
                break;
            case kCodeSiz:
                if (!readSiz(stream, parser, info)) {
                    return false;
                }
                break;
            case kCodeSot:
                switch (readSot(stream, parser, info, bytes, count)) {
                    case SotOutcome::Failed:
                        return false;
                    case SotOutcome::Finished:
                        return true;
                    case SotOutcome::Next:
                        break;
                }
                break;
            default:
                if (parser.skipSegment(stream) != kStepOk) {
                    return false;
                }
                if (parser.marker == kCodeEoc) {
                    return true;
                }
                break;
        }
    }
}

}  // namespace bq
