#pragma once
// Shares of a collection for running it on several machines: a file belongs to share K of N
// by a hash of its path below the folder argument, so the same tree mounted anywhere splits
// the same way and the shares together hold every file once.

#include <cstdint>
#include <optional>
#include <string_view>

namespace bq::cli {

struct Shard {
    std::uint64_t index = 1;  // K, from 1
    std::uint64_t count = 1;  // N
};

// "K/N" with 1 <= K <= N; none for anything else.
std::optional<Shard> parseShard(std::string_view text);

// FNV-1a, 64 bits, of the bytes.
std::uint64_t fnv1a64(std::string_view bytes);

bool inShard(std::string_view key, const Shard& shard);

}  // namespace bq::cli
