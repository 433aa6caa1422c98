#include "codestream/report.h"

#include <algorithm>
#include <cstdio>

namespace bq {

namespace {

unsigned asUnsigned(std::int32_t value) {
    return static_cast<unsigned>(value);
}

}  // namespace

std::uint64_t reportCapacity(const CodestreamInfo& info) {
    const std::int64_t tiles = std::int64_t{info.tilesAcross} * info.tilesDown;
    return (static_cast<std::uint64_t>(std::max<std::int64_t>(tiles, 0)) + 4) * 64;
}

std::string formatReport(const CodestreamInfo& info, std::uint64_t capacity) {
    if (capacity == 0) {
        return {};
    }
    const std::uint64_t limit = capacity - 1;
    std::string report;
    report.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(limit, 1u << 24)));

    char header[512];
    const int headerLength = std::snprintf(
        header, sizeof header,
        "Image size: %u x %u\r\nComponents: %u\r\n\r\nTiles: %u x %u = %u\r\n"
        "-------------------------\r\n #, H x V, DX x DY, compressed size (bytes)\r\n",
        static_cast<unsigned>(info.x1 - info.x0), static_cast<unsigned>(info.y1 - info.y0),
        static_cast<unsigned>(info.components), asUnsigned(info.tilesAcross),
        asUnsigned(info.tilesDown), asUnsigned(info.tileCount));
    if (headerLength <= 0) {
        return report;
    }
    report.append(header, static_cast<std::size_t>(std::min<std::uint64_t>(
                              static_cast<std::uint64_t>(headerLength), limit)));
    if (!info.hasGrid()) {
        return report;
    }

    const auto across = static_cast<std::size_t>(std::max(info.tilesAcross, 0));
    const auto down = static_cast<std::size_t>(std::max(info.tilesDown, 0));
    for (std::size_t row = 0; row < down; ++row) {
        for (std::size_t column = 0; column < across; ++column) {
            const std::size_t index = row * across + column;
            if (index >= static_cast<std::size_t>(info.tileCount)) {
                return report;
            }
            const TileRecord tile = info.tile(static_cast<std::uint32_t>(index));
            char line[128];
            const int length = std::snprintf(
                line, sizeof line, "%2u, %u x %u, %u x %u, %u\r\n", static_cast<unsigned>(index),
                static_cast<unsigned>(column), static_cast<unsigned>(row),
                static_cast<unsigned>(tile.x1 - tile.x0), static_cast<unsigned>(tile.y1 - tile.y0),
                static_cast<unsigned>(tile.compressedSize));
            // A line that does not fit whole is left out, and so is everything after it.
            if (length <= 0 || report.size() + static_cast<std::size_t>(length) > limit) {
                return report;
            }
            report.append(line, static_cast<std::size_t>(length));
        }
    }
    return report;
}

}  // namespace bq
