#include "codestream/parse_codestream.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <vector>

#include "codestream/main_header.h"
#include "codestream/pair_scan.h"
#include "stream/memory_stream.h"

namespace bq {

namespace {

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

bool readSiz(ByteStream& stream, MarkerParser& parser, CodestreamInfo& info, std::uint64_t count) {
    // A segment too short for its own fixed fields is damaged: reading on would take the
    // following bytes for SIZ fields and the length arithmetic would wrap.
    if (parser.remaining < kSizFixedBytes) {
        return false;
    }
    std::array<std::uint8_t, kSizFixedBytes> fixed{};
    stream.readBytes(fixed.data(), kSizFixedBytes);
    const std::optional<ImageSize> size = stream.good() ? decodeSiz(fixed) : std::nullopt;
    if (!size) {
        return false;
    }
    info.components = size->csiz;
    info.x0 = size->xosiz;
    info.y0 = size->yosiz;
    info.x1 = size->xsiz;
    info.y1 = size->ysiz;

    const std::optional<std::uint64_t> across =
        tileSpan(size->xsiz, size->xosiz, size->xtsiz, size->xtosiz);
    const std::optional<std::uint64_t> down =
        tileSpan(size->ysiz, size->yosiz, size->ytsiz, size->ytosiz);
    if (!across || !down) {
        return false;
    }
    // Each factor is below 2^32, so the product cannot wrap in 64 bits.
    const std::uint64_t tileCount = *across * *down;
    if (tileCount == 0 || tileCount > static_cast<std::uint64_t>(kMaxTileCount)) {
        return false;
    }
    info.tileWidth = size->xtsiz;
    info.tileHeight = size->ytsiz;
    info.tileOffsetX = size->xtosiz;
    info.tileOffsetY = size->ytosiz;
    info.tilesAcross = static_cast<std::int32_t>(*across);
    info.tilesDown = static_cast<std::int32_t>(*down);
    info.tileCount = static_cast<std::int32_t>(tileCount);

    parser.remaining = static_cast<std::uint16_t>(parser.remaining - kSizFixedBytes);
    return parser.skipSegment(stream, count) == kStepOk;
}

// Tile data is searched for the end marker a block at a time.
constexpr std::uint32_t kScanBlock = 64 * 1024;

// The walk's verdict on a step that failed: bytes that ran out, or bytes that are wrong.
WalkOutcome failure(const ByteStream& stream) {
    return stream.good() ? WalkOutcome::Invalid : WalkOutcome::RanOut;
}

// Passes the marker segments of a tile-part header up to and including SOD. Entropy-coded
// data cannot hold the end marker's bytes, but a header segment (a comment, say) can.
WalkOutcome skipTilePartHeader(ByteStream& stream, std::uint64_t count) {
    for (;;) {
        std::uint16_t marker = 0;
        stream.readU16(marker);
        if (!stream.good()) {
            return WalkOutcome::RanOut;
        }
        if (marker == fullMarker(kCodeSod)) {
            return WalkOutcome::Complete;
        }
        if ((marker >> 8) != kMarkerPrefix) {
            return WalkOutcome::Invalid;
        }
        if (isBareMarker(marker)) {
            continue;
        }
        std::uint16_t length = 0;
        stream.readU16(length);
        if (!stream.good()) {
            return WalkOutcome::RanOut;
        }
        if (length < 2) {
            return WalkOutcome::Invalid;
        }
        const std::uint64_t target = stream.tell() + length - 2;
        if (target >= count || !stream.seek(target)) {
            return WalkOutcome::RanOut;
        }
    }
}

// From the stream's position, the offset of the first 0xFF 0xD9 pair, or none when the bytes
// run out first.
std::optional<std::uint64_t> findEndMarker(ByteStream& stream, std::uint64_t count) {
    const std::uint64_t start = stream.tell();
    if (start >= count) {
        return std::nullopt;
    }
    // No bigger than the bytes left: a file can hold thousands of small codestreams.
    std::vector<std::uint8_t> block;
    try {
        block.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kScanBlock, count - start)));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    std::uint8_t previous = 0;
    for (std::uint64_t at = start; at < count;) {
        const auto chunk =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(kScanBlock, count - at));
        stream.readBytes(block.data(), chunk);
        if (!stream.good()) {
            return std::nullopt;
        }
        if (previous == kMarkerPrefix && block[0] == kCodeEoc) {
            return at - 1;
        }
        const std::size_t pair = findEndPair(block.data(), chunk);
        if (pair < chunk) {
            return at + pair;
        }
        previous = block[chunk - 1];
        at += chunk;
    }
    return std::nullopt;
}

struct SotStep {
    enum { Next, Finished, Failed } kind = Failed;
    WalkOutcome outcome = WalkOutcome::Invalid;  // why, when Failed
    std::uint64_t end = 0;                       // when Finished
};

SotStep failed(WalkOutcome why) {
    return {SotStep::Failed, why, 0};
}

SotStep readSot(ByteStream& stream, MarkerParser& parser, CodestreamInfo& info,
                std::uint64_t count) {
    if (!parser.seen.test(findMarkerRow(kCodeCod)) || !parser.seen.test(findMarkerRow(kCodeQcd))) {
        return failed(WalkOutcome::Invalid);
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
        return failed(WalkOutcome::RanOut);
    }
    ++info.tileParts;
    parser.state = kStateTileData;
    if (isot >= info.tileCount) {
        return failed(WalkOutcome::Invalid);
    }
    TileParts* found = nullptr;
    try {
        found = &info.namedTiles[isot];
    } catch (const std::bad_alloc&) {
        return failed(WalkOutcome::Invalid);
    }
    TileParts& tile = *found;
    if (tile.count != 0 && tpsot > tile.count) {
        return failed(WalkOutcome::Invalid);
    }
    if (tile.count == 0 && tnsot != 0) {
        tile.count = tnsot;
    }
    tile.compressedSize += psot;  // modulo 2^32 by design

    const std::uint64_t sotStart = stream.tell() - kSotBytes;
    if (psot >= kSotBytes) {
        const std::uint64_t target = sotStart + psot;
        if (target >= count || !stream.seek(target)) {
            return failed(WalkOutcome::RanOut);
        }
        return {SotStep::Next, WalkOutcome::Complete, 0};
    }
    if (psot != 0) {
        return failed(WalkOutcome::Invalid);
    }
    // Psot 0: the tile-part runs up to the codestream's end marker, behind its header.
    if (const WalkOutcome header = skipTilePartHeader(stream, count);
        header != WalkOutcome::Complete) {
        return failed(header);
    }
    const std::optional<std::uint64_t> pair = findEndMarker(stream, count);
    if (!pair) {
        return failed(WalkOutcome::RanOut);
    }
    tile.compressedSize += static_cast<std::uint32_t>(*pair - sotStart);
    return {SotStep::Finished, WalkOutcome::Complete, *pair + 2};
}

}  // namespace

TileRecord CodestreamInfo::tile(std::uint32_t index) const {
    TileRecord record;
    if (!hasGrid() || index >= static_cast<std::uint32_t>(tileCount)) {
        return record;
    }
    const auto across = static_cast<std::uint32_t>(tilesAcross);
    clipSpan(index % across, x1, x0, tileWidth, tileOffsetX, record.x0, record.x1);
    clipSpan(index / across, y1, y0, tileHeight, tileOffsetY, record.y0, record.y1);
    if (const auto named = namedTiles.find(index); named != namedTiles.end()) {
        record.tilePartCount = named->second.count;
        record.compressedSize = named->second.compressedSize;
    }
    return record;
}

WalkResult walkCodestream(MarkerParser& parser, CodestreamInfo& info, ByteStream& stream,
                          std::uint64_t count) {
    if (count == 0) {
        return {WalkOutcome::RanOut, 0};
    }
    for (;;) {
        if (!stream.good()) {
            return {WalkOutcome::RanOut, 0};
        }
        if (parser.readMarker(stream) != kStepOk || !stream.good()) {
            return {failure(stream), 0};
        }
        switch (parser.marker) {
            case 0x00:
            case kMarkerPrefix:
                return {WalkOutcome::Invalid, 0};
            case kCodeSoc:
                break;
            case kCodeSiz:
                if (!readSiz(stream, parser, info, count)) {
                    return {failure(stream), 0};
                }
                break;
            case kCodeSot: {
                const SotStep step = readSot(stream, parser, info, count);
                if (step.kind == SotStep::Failed) {
                    return {step.outcome, 0};
                }
                if (step.kind == SotStep::Finished) {
                    return {WalkOutcome::Complete, step.end};
                }
                break;
            }
            default:
                if (parser.marker == kCodeEoc && parser.remaining == 0 && stream.good()) {
                    return {WalkOutcome::Complete, stream.tell()};
                }
                if (parser.skipSegment(stream, count) != kStepOk) {
                    return {WalkOutcome::RanOut, 0};
                }
                break;
        }
    }
}

bool parseCodestream(MarkerParser& parser, CodestreamInfo& info, const std::uint8_t* bytes,
                     std::uint32_t count) {
    if (bytes == nullptr || count == 0) {
        return false;
    }
    MemoryStream stream;
    stream.attach(bytes, count);
    return walkCodestream(parser, info, stream, count).outcome == WalkOutcome::Complete;
}

}  // namespace bq
